// A desktop notification through org.freedesktop.Notifications on the
// user's session bus (sd-bus), for new tracks a sync brings.
#pragma once

#include <string>

namespace lumora::cli {

// Sends one notification from "lumorafm-cli". Returns why it was not sent
// ("no session bus: REASON", "the notification service did not take it:
// REASON"); empty when it was. Waits at most a few seconds for the answer.
std::string send_desktop_notice(const std::string& summary, const std::string& body);

}  // namespace lumora::cli
