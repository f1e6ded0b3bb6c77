// The shared test support where a fault would hide in the tests that use
// it: folders that go, children that end within their deadlines, and a
// server whose connections no child process keeps open.
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "lumora/test_support/child_process.h"
#include "lumora/test_support/loopback_server.h"
#include "lumora/test_support/temp_folder.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(TempFolder, IsFreshAndGoesWithItsContent) {
  std::filesystem::path kept;
  {
    const TempFolder a("lumora-support");
    const TempFolder b("lumora-support");
    EXPECT_NE(a.path(), b.path());
    EXPECT_TRUE(std::filesystem::is_empty(a.path()));
    std::filesystem::create_directories(a.path() / "sub");
    std::ofstream(a / "sub/file") << "x";
    EXPECT_EQ(read_file(a / "sub/file"), "x");
    kept = a.path();
  }
  EXPECT_FALSE(std::filesystem::exists(kept));
  EXPECT_THROW(TempFolder("missing/below"), std::system_error);
}

TEST(ChildProcess, EveryWaitEndsByItsDeadline) {
  {
    SCOPED_TRACE("a child that is gone ends the wait at once");
    ChildProcess child("/bin/true", {});
    const auto began = Clock::now();
    EXPECT_FALSE(child.pump_until([] { return false; }, 30s));
    EXPECT_LT(Clock::now() - began, 10s);
    EXPECT_EQ(child.exit_code(), 0);
  }
  {
    SCOPED_TRACE("a child that ignores SIGTERM is killed after the grace");
    ChildProcess child("/bin/sh", {"-c", "trap '' TERM; echo ready; while :; do :; done"});
    ASSERT_TRUE(child.pump_until([&] { return child.out() == "ready\n"; }, 30s));
    child.terminate(200ms);
    EXPECT_EQ(child.exit_code(), 128 + SIGKILL);
  }
  {
    SCOPED_TRACE("a program that is not there");
    ChildProcess child("/nonexistent/program", {});
    EXPECT_FALSE(child.started());
    EXPECT_EQ(child.start_error(), ENOENT);
  }
}

TEST(LoopbackServer, AnswersByResponderAndLeavesTheRestToAHandler) {
  LoopbackServer echo([](const CapturedRequest& r) -> std::optional<std::string> {
    return http_answer("HTTP/1.1 200 OK", "", r.target + ":" + r.body);
  });
  const int fd = connect_loopback(echo.port());
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(send_text(fd, "POST /a HTTP/1.1\r\nContent-Length: 2\r\n\r\nhi"
                            "GET /b HTTP/1.1\r\nX-Y: z\r\n\r\n"));
  std::string answers;
  char buffer[256];
  while (answers.find("/b:") == std::string::npos) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    ASSERT_GT(n, 0);
    answers.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  EXPECT_NE(answers.find("\r\n\r\n/a:hi"), std::string::npos) << answers;
  EXPECT_EQ(echo.connections(), 1);
  EXPECT_EQ(echo.heads()[1], "GET /b HTTP/1.1\r\nX-Y: z\r\n\r\n");
  EXPECT_EQ(echo.requests()[1].header("X-Y"), "z");

  std::string after_head;
  {
    LoopbackServer raw([&](int peer, const std::string&) {
      char c[5];
      if (::recv(peer, c, sizeof c, MSG_WAITALL) == 5) after_head.assign(c, 5);
    });
    const int client = connect_loopback(raw.port());
    send_text(client, "GET / HTTP/1.1\r\n\r\nbytes");
    ::shutdown(client, SHUT_WR);
    char sink;
    ::recv(client, &sink, 1, 0);  // until the handler has closed
    ::close(client);
  }
  EXPECT_EQ(after_head, "bytes");
}

// A child started while a connection is open must not inherit the
// server's end: the client would wait for an end that never comes.
TEST(LoopbackServer, AChildProcessDoesNotHoldItsConnections) {
  std::unique_ptr<ChildProcess> bystander;  // outlives the connection
  LoopbackServer server([&](int peer, const std::string&) {
    bystander = std::make_unique<ChildProcess>("/bin/sleep", std::vector<std::string>{"30"});
    send_text(peer, "HTTP/1.1 200 OK\r\n\r\nbody");
  });
  const int fd = connect_loopback(server.port());
  const timeval limit{10, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  ASSERT_TRUE(send_text(fd, "GET / HTTP/1.1\r\n\r\n"));
  const auto began = Clock::now();
  std::string answer;
  char buffer[256];
  for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
    answer.append(buffer, static_cast<std::size_t>(n));
  ::close(fd);
  EXPECT_EQ(answer, "HTTP/1.1 200 OK\r\n\r\nbody");
  EXPECT_LT(Clock::now() - began, 10s);
}

}  // namespace
}  // namespace lumora::test
