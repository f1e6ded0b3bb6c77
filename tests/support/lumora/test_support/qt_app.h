// Test support: one QApplication per test process (offscreen unless told
// otherwise), and an event-driven wait with a deadline.
#pragma once

#include <functional>

class QApplication;

namespace lumora::test {

QApplication& qt_app();

// Runs the event loop until `done()` holds; false when `timeout_ms` passed
// first. Posted events (a worker's blocking call) are served at once.
bool pump_until(const std::function<bool()>& done, int timeout_ms = 10000);

}  // namespace lumora::test
