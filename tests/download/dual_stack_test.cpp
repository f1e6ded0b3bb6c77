// IPv6 and names with several addresses: an audio server that listens on
// ::1 only, reached by its literal and by a name the resolver answers with
// ::1 alone; a name whose first address refuses or stays silent and whose
// second answers, within the connect time-out; addresses that all stay
// silent take one connect time-out together.
#include <netdb.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "lumora/sim/audio_server.h"
#include "lumora/test_support/loopback_server.h"
#include "lumora/text/code_page.h"
#include "mute_server.h"
#include "name_resolver.h"

namespace lumora::test {
namespace {

using Clock = std::chrono::steady_clock;

// What the injected resolver answers for any name: these addresses with
// their own ports, in this order, whatever port was asked for.
struct Answer {
  std::string address;
  int port;
};
std::mutex answers_mutex;
std::vector<Answer> answers;

int scripted_resolve(const char*, const char*, const addrinfo* hints, addrinfo** result) {
  std::lock_guard lock(answers_mutex);
  addrinfo numeric = *hints;
  numeric.ai_flags |= AI_NUMERICHOST;
  addrinfo* head = nullptr;
  addrinfo** tail = &head;
  for (const Answer& a : answers) {
    if (::getaddrinfo(a.address.c_str(), std::to_string(a.port).c_str(), &numeric, tail) != 0)
      continue;
    while (*tail) tail = &(*tail)->ai_next;
  }
  *result = head;
  return head ? 0 : EAI_NONAME;
}

class DualStackTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    set_resolve_function(scripted_resolve);
  }
  void TearDown() override {
    EngineTest::TearDown();
    set_resolve_function(nullptr);
  }
  static void answer_with(std::vector<Answer> list) {
    std::lock_guard lock(answers_mutex);
    answers = std::move(list);
  }
  sim::AudioServer v6_{{.host = "::1"}};
};

TEST_F(DualStackTest, AnIpv6OnlyServerByLiteralAndByName) {
  answer_with({{"::1", v6_.port()}});
  const sim::AudioFile f = v6_.add_file(1000000);
  ASSERT_EQ(f.url.rfind("http://[::1]:", 0), 0u);
  const std::string by_name = "http://v6-only.test:" + std::to_string(v6_.port()) + f.path;
  for (const std::string& url : {f.url, by_name}) {
    SCOPED_TRACE(url);
    v6_.log().clear();
    Recorder recorder;
    const TaskResult r = run_to_end(recorder, param_for(url, "a.mp3"));
    EXPECT_EQ(r.outcome, TaskOutcome::kComplete);
    EXPECT_EQ(file_sha256(path("a.mp3")), v6_.sha256(f.path));
    std::filesystem::remove(path("a.mp3"));
    const auto requests = v6_.log().matching(f.path);
    ASSERT_GE(requests.size(), 10u);
    // The Host line names the host as the address wrote it.
    const std::string host = url == f.url ? "[::1]:" : "v6-only.test:";
    EXPECT_EQ(requests.front().header("Host"), host + std::to_string(v6_.port()));
  }
}

// Every connection of the task goes through the first address before it
// reaches the second, within one connect time-out, so none needs a retry.
TEST_F(DualStackTest, TheNextAddressAnswersWhenTheFirstRefusesOrStaysSilent) {
  MuteServer silent(MuteServer::Mode::kQueueFull);
  struct Case {
    const char* what;
    Answer first;
  };
  const Case cases[] = {
      {"refused", {"127.0.0.1", free_loopback_port()}},
      {"silent", {"127.0.0.1", silent.port()}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    answer_with({c.first, {"::1", v6_.port()}});
    const sim::AudioFile f = v6_.add_file(300000);
    TaskParam p = param_for("http://two-addresses.test/" + f.path.substr(1), "b.mp3");
    p.connections = 2;
    p.connect_timeout_ms = 2000;
    Recorder recorder;
    const TaskResult r = run_to_end(recorder, p, std::chrono::seconds(20));
    EXPECT_EQ(r.outcome, TaskOutcome::kComplete);
    EXPECT_EQ(file_sha256(path("b.mp3")), v6_.sha256(f.path));
    std::filesystem::remove(path("b.mp3"));
    // Had an attempt failed, its retry would have waited five seconds.
    EXPECT_FALSE(recorder.logged("等待5秒后重试"));
  }
}

// However many addresses stay silent, the attempt ends within the connect
// time-out, not within that many time-outs.
TEST_F(DualStackTest, SilentAddressesTogetherTakeOneConnectTimeOut) {
  MuteServer first(MuteServer::Mode::kQueueFull), second(MuteServer::Mode::kQueueFull);
  answer_with({{"127.0.0.1", first.port()}, {"127.0.0.1", second.port()}});
  constexpr int kTimeoutMs = 1000;
  TaskParam p = param_for("http://two-silent.test/a.mp3", "c.mp3");
  p.connect_timeout_ms = kTimeoutMs;
  std::mutex mutex;
  std::condition_variable cv;
  std::optional<Clock::time_point> timed_out;
  p.log_routine = [&](const Text&, const Text& message, int) {
    std::lock_guard lock(mutex);
    if (!timed_out && gbk_to_utf8(message) == "连接 [two-silent.test:80]超时") {
      timed_out = Clock::now();
      cv.notify_all();
    }
  };
  const auto start = Clock::now();
  ASSERT_TRUE(download_.start_task(p));
  std::unique_lock lock(mutex);
  ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return timed_out.has_value(); }));
  EXPECT_GE(*timed_out - start, std::chrono::milliseconds(kTimeoutMs));
  // Two whole time-outs would be 2 s.
  EXPECT_LT(*timed_out - start, std::chrono::milliseconds(kTimeoutMs * 3 / 2));
  lock.unlock();
  download_.stop_task();
}

}  // namespace
}  // namespace lumora::test
