// A file that changes on the server while ten connections fetch it: a
// server that answers with a new version, under new validators, from some
// request on. The task must end with one version whole, never a stitch.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>

#include "engine_fixture.h"
#include "lumora/test_support/loopback_server.h"

namespace lumora::test {
namespace {

// Ten pieces of 100000 bytes.
constexpr std::int64_t kSize = 1000000;

// Bytes [from, kSize) of version `v`: each version differs at every offset.
std::string version_body(int v, std::int64_t from) {
  std::string b = pattern_body(from, kSize);
  for (char& c : b) c = static_cast<char>(c + v);
  return b;
}

// Which validators the server sends with each version.
enum class Sends { kEtag, kLastModified, kBoth };

// Serves version 0 for the first `switch_after` requests, then one version
// a request (`every_request`) or version 1 for good.
class ChangingServer {
 public:
  ChangingServer(Sends sends, int switch_after, bool every_request)
      : raw_([=, this](int fd, const std::string& head) {
          const int n = requests_++;
          const int v = n < switch_after ? 0 : every_request ? n - switch_after + 1 : 1;
          send_text(fd, answer(sends, v, range_from(head)));
        }) {}
  std::string url() const { return raw_.url("/a.mp3"); }

  static std::string answer(Sends sends, int v, std::int64_t from) {
    std::string head = from < 0 ? "HTTP/1.1 200 OK\r\n"
                                : "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " +
                                      std::to_string(from) + "-" + std::to_string(kSize - 1) +
                                      "/" + std::to_string(kSize) + "\r\n";
    head += "Content-Length: " + std::to_string(kSize - std::max<std::int64_t>(from, 0)) + "\r\n";
    if (sends != Sends::kLastModified) head += "ETag: \"v" + std::to_string(v) + "\"\r\n";
    if (sends != Sends::kEtag)
      head += "Last-Modified: Mon, 0" + std::to_string(v % 10) + " Dec 2026 10:00:00 GMT\r\n";
    return head + "\r\n" + version_body(v, std::max<std::int64_t>(from, 0));
  }

 private:
  std::atomic<int> requests_{0};
  LoopbackServer raw_;
};

class ChangingFileTest : public EngineTest {
 protected:
  std::string read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
};

TEST_F(ChangingFileTest, ChangeMidDownloadStartsOverAndEndsWithTheNewVersion) {
  const Sends kinds[] = {Sends::kEtag, Sends::kLastModified, Sends::kBoth};
  for (const Sends sends : kinds) {
    SCOPED_TRACE(static_cast<int>(sends));
    ChangingServer server(sends, 3, false);
    const std::string name = 'v' + std::to_string(static_cast<int>(sends)) + ".mp3";
    Recorder recorder;
    EXPECT_EQ(run_to_end(recorder, param_for(server.url(), name)).outcome, TaskOutcome::kComplete);
    EXPECT_TRUE(read(name) == version_body(1, 0));
    EXPECT_TRUE(recorder.logged("服务器上的文件已改变, 重新下载"));
  }
}

TEST_F(ChangingFileTest, FileThatKeepsChangingFailsAfterTwoFreshStarts) {
  ChangingServer server(Sends::kEtag, 1, true);
  ASSERT_TRUE(download_.start_task(param_for(server.url(), "a.mp3")));
  const TaskResult r = finish();
  EXPECT_EQ(r.outcome, TaskOutcome::kFailed);
  EXPECT_EQ(r.failure.kind, FailureKind::kFileChanging);
  int fresh_starts = 0;
  for (const std::string& line : recorder_.logs())
    fresh_starts += line.find("服务器上的文件已改变, 重新下载") != std::string::npos;
  EXPECT_EQ(fresh_starts, 2);
  EXPECT_TRUE(recorder_.logged("服务器上的文件在下载中多次改变, 下载失败"));
  EXPECT_TRUE(files().empty());
}

TEST_F(ChangingFileTest, StopWhileStartingOverKeepsNoMixedWork) {
  // A stop right after the change: nothing of either version is kept for a
  // resume, since the stored bytes are the old version's.
  ChangingServer server(Sends::kEtag, 3, false);
  TaskParam p = param_for(server.url(), "s.mp3");
  std::atomic<bool> asked{false};
  LogRoutine log = p.log_routine;
  p.log_routine = [&, log](const Text& time, const Text& message, int level) {
    log(time, message, level);
    if (level == 3 && !asked.exchange(true)) download_.stop_task();  // marks only
  };
  ASSERT_TRUE(download_.start_task(p));
  EXPECT_EQ(finish().outcome, TaskOutcome::kStopped);
  EXPECT_TRUE(files().empty());
}

}  // namespace
}  // namespace lumora::test
