// Downloads against servers that misbehave, and stopping.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "engine_fixture.h"
#include "lumora/sim/audio_server.h"
#include "lumora/test_support/loopback_server.h"

namespace lumora::test {
namespace {

using Clock = std::chrono::steady_clock;

class HttpFaultTest : public EngineTest {
 protected:
  sim::AudioServer server_;
};

TEST_F(HttpFaultTest, DroppedConnectionIsRetriedAndTheFileIsExact) {
  sim::AudioFaults drop;
  drop.drop = sim::AudioFaults::Drop::once;
  drop.drop_after_bytes = 30000;
  const sim::AudioFile f = server_.add_file(1000000, drop);
  ASSERT_TRUE(download_.start_task(param_for(f.url, "a.mp3")));
  EXPECT_EQ(finish().outcome, TaskOutcome::kComplete);
  EXPECT_EQ(file_sha256(path("a.mp3")), server_.sha256(f.path));
  EXPECT_TRUE(recorder_.logged("等待5秒后重试"));
}

TEST_F(HttpFaultTest, WholeFileAnswersToRangesStayExact) {
  for (const bool content_range_missing : {false, true}) {
    SCOPED_TRACE(content_range_missing);
    sim::AudioFaults faults;
    faults.ignore_range = !content_range_missing;
    faults.range_without_content_range = content_range_missing;
    const sim::AudioFile f = server_.add_file(1000000, faults);
    Recorder recorder;
    TaskParam p = param_for(f.url, f.path.substr(7));
    recorder.attach(p);
    ASSERT_TRUE(download_.start_task(p));
    EXPECT_EQ(finish().outcome, TaskOutcome::kComplete);
    EXPECT_EQ(file_sha256(path(f.path.substr(7))), server_.sha256(f.path));
  }
}

TEST_F(HttpFaultTest, RedirectWithCookieAndRelativeLocationIsFollowed) {
  sim::AudioFaults faults;
  faults.redirect_with_cookie = true;
  faults.relative_redirect = true;
  const sim::AudioFile f = server_.add_file(500000, faults);
  ASSERT_TRUE(download_.start_task(param_for(f.url, "r.mp3")));
  EXPECT_EQ(finish().outcome, TaskOutcome::kComplete);
  EXPECT_EQ(file_sha256(path("r.mp3")), server_.sha256(f.path));
  const std::string moved = "/audio/moved/" + f.path.substr(7);
  EXPECT_TRUE(recorder_.logged("重定向到 [" + server_.base_url() + moved + "]"));
  const auto followed = server_.log().matching(moved);
  ASSERT_FALSE(followed.empty());
  for (const auto& r : followed) {
    EXPECT_EQ(r.header("Cookie").rfind("lumora_ticket=", 0), 0u) << r.header("Cookie");
    EXPECT_EQ(r.header("Cookie").find(';'), std::string::npos);
    EXPECT_EQ(r.header("Referer"), server_.base_url() + "/audio");  // from the task's address
  }
}

TEST_F(HttpFaultTest, AnswersThatCannotSucceedFailAtOnceAndLeaveNoFile) {
  struct Case {
    const char* name;
    sim::AudioFaults faults;
    const char* logged;
  };
  sim::AudioFaults no_length;
  no_length.no_content_length = true;
  sim::AudioFaults missing;
  missing.not_found = true;
  for (const Case& c : {Case{"no-length", no_length, "无法获得文件大小"},
                        Case{"404", missing, "出现错误"}}) {
    SCOPED_TRACE(c.name);
    const sim::AudioFile f = server_.add_file(300000, c.faults);
    Recorder recorder;
    TaskParam p = param_for(f.url, "x.mp3");
    recorder.attach(p);
    const auto began = Clock::now();
    ASSERT_TRUE(download_.start_task(p));
    EXPECT_EQ(finish(std::chrono::seconds(1)).outcome, TaskOutcome::kFailed);
    EXPECT_LT(Clock::now() - began, std::chrono::seconds(1));
    EXPECT_TRUE(recorder.logged(c.logged));
    EXPECT_TRUE(files().empty());
  }
}

TEST_F(HttpFaultTest, StopMidTransferEndsQuicklyAndKeepsTheWork) {
  sim::AudioFaults slow;
  slow.rate_cap = 100000;
  const sim::AudioFile f = server_.add_file(5000000, slow);
  TaskParam p = param_for(f.url, "a.mp3");
  ASSERT_TRUE(download_.start_task(p));
  // Wait for the first stored block: the file exists and is being written.
  ASSERT_TRUE(recorder_.wait_for(TaskEventKind::kSizeKnown));
  ASSERT_EQ(recorder_.count(TaskEventKind::kSizeKnown), 1);
  EXPECT_GT(download_.received_bytes(), 0);
  const auto began = Clock::now();
  const TaskResult r = stop();
  EXPECT_LT(Clock::now() - began, std::chrono::milliseconds(p.stop_wait_ms + 200));
  EXPECT_EQ(recorder_.count(TaskEventKind::kTaskEnded), 1);
  EXPECT_EQ(recorder_.events().back().kind, TaskEventKind::kTaskEnded);
  EXPECT_EQ(r.outcome, TaskOutcome::kStopped);
  EXPECT_EQ(r.stored, recorder_.events().back().value);
  EXPECT_GT(r.stored, 0);
  EXPECT_FALSE(download_.busy());
  EXPECT_EQ(download_.received_bytes(), 0);
  // Never under the final name; the working file and its record stay.
  EXPECT_EQ(files(), (std::vector<std::string>{"a.mp3.part", "a.mp3.part.rec"}));
}

TEST_F(HttpFaultTest, RecentBytesAddUpToTheFile) {
  sim::AudioFaults slow;
  slow.rate_cap = 2000000;
  const sim::AudioFile f = server_.add_file(1000000, slow);
  std::int64_t taken = 0;
  ASSERT_TRUE(download_.start_task(param_for(f.url, "a.mp3")));
  while (!recorder_.wait_ended(std::chrono::milliseconds(5))) taken += download_.take_recent_bytes();
  // The last blocks may land after the final take; kind 4 carries the size.
  EXPECT_LE(taken, 1000000);
  EXPECT_GT(taken, 0);
  EXPECT_EQ(finish().outcome, TaskOutcome::kComplete);
}

TEST_F(HttpFaultTest, OversizedAnswerHeadFails) {
  LoopbackServer raw([](int fd, const std::string&) {
    send_text(fd, "HTTP/1.1 200 OK\r\nX-Filler: " + std::string(5000, 'x') +
                      "\r\nContent-Length: 10\r\n\r\n0123456789");
  });
  ASSERT_TRUE(download_.start_task(param_for(raw.url("/a.mp3"), "a.mp3")));
  EXPECT_EQ(finish(std::chrono::seconds(2)).outcome, TaskOutcome::kFailed);
  EXPECT_TRUE(recorder_.logged("HTTP返回头部信息过长"));
  EXPECT_TRUE(files().empty());
}

TEST_F(HttpFaultTest, RequestHeadOnTheWire) {
  LoopbackServer raw([](int fd, const std::string&) {
    send_text(fd, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello");
  });
  ASSERT_TRUE(download_.start_task(param_for(raw.url("/dir/a.mp3"), "a.mp3")));
  EXPECT_EQ(finish().outcome, TaskOutcome::kComplete);
  const std::string host = "127.0.0.1:" + std::to_string(raw.port());
  ASSERT_EQ(raw.heads().size(), 1u);
  EXPECT_EQ(raw.heads()[0],
            "GET /dir/a.mp3 HTTP/1.1\r\nHost: " + host +
                "\r\nAccept: */*\r\nReferer: http://" + host +
                "/dir\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
                "Pragma: no-cache\r\nCache-Control: no-cache\r\nConnection: close\r\n\r\n");
}

TEST_F(HttpFaultTest, ThroughAProxy) {
  LoopbackServer proxy(LoopbackServer::proxy());
  const sim::AudioFile f = server_.add_file(1000000);
  TaskParam p = param_for(f.url, "p.mp3");
  p.proxy = "127.0.0.1:" + std::to_string(proxy.port());
  ASSERT_TRUE(download_.start_task(p));
  EXPECT_EQ(finish().outcome, TaskOutcome::kComplete);
  EXPECT_EQ(file_sha256(path("p.mp3")), server_.sha256(f.path));
  const auto heads = proxy.heads();
  ASSERT_GE(heads.size(), 10u);
  int ranged = 0;
  for (const std::string& h : heads) {
    EXPECT_EQ(h.rfind("GET " + f.url + " HTTP/1.1\r\n", 0), 0u) << h;
    EXPECT_NE(h.find("Proxy-Connection: Keep-Alive\r\n"), std::string::npos);
    ranged += h.find("\r\nRange: bytes=") != std::string::npos;
  }
  EXPECT_EQ(ranged, static_cast<int>(heads.size()) - 1);
}

}  // namespace
}  // namespace lumora::test
