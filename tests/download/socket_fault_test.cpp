// The socket layer's failure texts as a task's log routine receives them.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>

#include "engine_fixture.h"
#include "lumora/test_support/loopback_server.h"

namespace lumora::test {
namespace {

class SocketFaultTest : public EngineTest {
 protected:
  // True once the log holds `utf8`; false after `limit`.
  bool wait_logged(const std::string& utf8, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!recorder_.logged(utf8)) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }
};

// A reset while the connection waits for the answer is an error the
// connection reports, not a failed receive. A reset that lands before the
// wait starts is met by the receive call itself ("接收数据错误"), so the
// attempt that shows it may be a retry.
TEST_F(SocketFaultTest, AResetDuringTheWaitLogsTheConnectionsError) {
  LoopbackServer server([](int fd, const std::string&) {
    const linger reset{1, 0};  // the server's close then resets
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  });
  ASSERT_TRUE(download_.start_task(param_for(server.url("/a.mp3"), "a.mp3")));
  EXPECT_TRUE(wait_logged("有错误发生", std::chrono::seconds(40)));
  EXPECT_NE(stop().outcome, TaskOutcome::kComplete);
}

}  // namespace
}  // namespace lumora::test
