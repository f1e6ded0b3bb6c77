// A stop ends within stop_wait_ms whatever the connections are doing, also
// while one waits for a name that never resolves; the resolver thread it
// leaves behind ends by itself later and touches nothing of the task.
#include <netdb.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "engine_fixture.h"
#include "name_resolver.h"

namespace lumora::test {
namespace {

using Clock = std::chrono::steady_clock;

// A resolver that hangs until released, then answers with loopback, so the
// abandoned thread has a list to free after its task is long gone.
std::mutex gate_mutex;
std::condition_variable gate_cv;
bool gate_open = false;
int resolve_calls = 0;

int hanging_resolve(const char*, const char* service, const addrinfo* hints, addrinfo** result) {
  std::unique_lock lock(gate_mutex);
  ++resolve_calls;
  gate_cv.notify_all();
  gate_cv.wait(lock, [] { return gate_open; });
  lock.unlock();
  return ::getaddrinfo("127.0.0.1", service, hints, result);
}

class StopTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    {
      std::lock_guard lock(gate_mutex);
      gate_open = false;
      resolve_calls = 0;
    }
    set_resolve_function(hanging_resolve);
  }
  void TearDown() override {
    open_gate();
    EngineTest::TearDown();
    set_resolve_function(nullptr);
  }
  static void open_gate() {
    std::lock_guard lock(gate_mutex);
    gate_open = true;
    gate_cv.notify_all();
  }
  static bool resolving(int calls) {
    std::unique_lock lock(gate_mutex);
    return gate_cv.wait_for(lock, std::chrono::seconds(10),
                            [calls] { return resolve_calls >= calls; });
  }
};

TEST_F(StopTest, StopEndsWithinItsWaitWhileANameNeverResolves) {
  const char* addresses[] = {"http://never-answers.test/a.mp3",
                             "ftp://never-answers.test/a.mp3"};
  int calls = 0;
  for (const char* address : addresses) {
    SCOPED_TRACE(address);
    Recorder recorder;
    TaskParam p = param_for(address, "a.mp3");
    p.stop_wait_ms = 1000;
    recorder.attach(p);
    ASSERT_TRUE(download_.start_task(p));
    ASSERT_TRUE(resolving(++calls));
    // Should the stop wait for the name after all, the gate opens after
    // 5 s, so the test fails on the time taken rather than hanging.
    std::promise<void> stopped;
    std::thread watchdog([done = stopped.get_future()] {
      if (done.wait_for(std::chrono::seconds(5)) != std::future_status::ready) open_gate();
    });
    const auto start = Clock::now();
    download_.stop_task();
    const auto took = Clock::now() - start;
    stopped.set_value();
    watchdog.join();
    EXPECT_LT(took, std::chrono::milliseconds(p.stop_wait_ms));
    EXPECT_FALSE(download_.busy());
    const std::optional<TaskResult> r = download_.wait(std::chrono::milliseconds(0));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->outcome, TaskOutcome::kStopped);
    EXPECT_TRUE(files().empty());
  }
  EXPECT_GE(resolver_threads_running(), 2);
  open_gate();
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (resolver_threads_running() > 0 && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(resolver_threads_running(), 0);
}

}  // namespace
}  // namespace lumora::test
