// FTP downloads stopped halfway and taken up again by a new task: the
// stored bytes stand and each piece goes on from its own offset (REST), a
// folder path finds its working file under the address's name, and a
// server that has stopped accepting REST gets the file fetched fresh.
#include <time.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "engine_fixture.h"
#include "ftp_server_process.h"
#include "lumora/download/resume_record.h"
#include "refetched_bytes.h"

namespace lumora::test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::int64_t kSize = 1000000;
constexpr std::int64_t kBlock = 20480;
// Bytes a second per data channel while throttled: small bursts keep what a
// server pushes past a piece's end (and so sends again) small.
constexpr int kPacedRate = 16384;

std::int64_t monotonic_ns() {
  timespec t{};
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// One RETR as the server saw it.
struct Retr {
  std::int64_t at_ns = 0;
  std::int64_t rest = 0;
  std::int64_t sent = 0;
};

class FtpResumeTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    server_ = std::make_unique<FtpServer>(
        served_.root(), std::vector<std::string>{"rate=" + rate_file(), "sent=" + sent_log(),
                                                 "no-rest-while=" + no_rest_flag()});
    ASSERT_GT(server_->port(), 0);
  }
  void TearDown() override {
    EngineTest::TearDown();
    server_.reset();
  }
  std::string rate_file() const { return served_.beside("rate"); }
  std::string sent_log() const { return served_.beside("sent"); }
  std::string no_rest_flag() const { return served_.beside("no-rest"); }
  std::string url() const {
    return "ftp://127.0.0.1:" + std::to_string(server_->port()) + "/track.mp3";
  }
  void pace(bool on) {
    if (on) std::ofstream(rate_file()) << kPacedRate;
    else std::filesystem::remove(rate_file());
  }
  // The RETRs the server received from `since_ns` on, once their data
  // channels closed.
  std::vector<Retr> retrs_since(std::int64_t since_ns) const {
    std::vector<Retr> out;
    std::istringstream in(read_file(sent_log()));
    for (Retr r; in >> r.at_ns >> r.rest >> r.sent;)
      if (r.at_ns >= since_ns) out.push_back(r);
    return out;
  }
  // Starts a task into `save_name` ("" for the folder) and stops it once
  // half the file is stored; the record it left.
  ResumeRecord interrupt(const std::string& save_name, const std::string& final_name) {
    Recorder recorder;
    TaskParam p = param_for(url(), save_name);
    recorder.attach(p);
    EXPECT_TRUE(download_.start_task(p));
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (download_.received_bytes() < kSize / 2 && Clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GE(download_.received_bytes(), kSize / 2);
    EXPECT_EQ(stop().outcome, TaskOutcome::kStopped);
    EXPECT_EQ(files(),
              (std::vector<std::string>{final_name + ".part", final_name + ".part.rec"}));
    const auto record = decode_record(read_file(path(final_name + ".part.rec")));
    EXPECT_TRUE(record);
    return record.value_or(ResumeRecord{});
  }

  FtpServedFolder served_{kSize, 5};
  std::unique_ptr<FtpServer> server_;
};

TEST_F(FtpResumeTest, StoppedTaskGoesOnFromTheRecord) {
  struct Case {
    const char* what;
    std::string save_name;  // "" saves into the folder under the address's name
    bool refuse_rest;       // the second task meets a server that refuses REST
  };
  const Case cases[] = {
      {"named file", "t.mp3", false},
      {"folder path", "", false},
      {"server refuses REST", "t.mp3", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string name = c.save_name.empty() ? "track.mp3" : c.save_name;
    pace(true);
    const ResumeRecord record = interrupt(c.save_name, name);
    ASSERT_EQ(record.size, kSize);
    ASSERT_EQ(record.address, url());
    ASSERT_GE(record.received_total(), kSize / 2);
    if (c.refuse_rest) {
      std::ofstream(no_rest_flag()) << "";
      pace(false);
    }

    const std::int64_t since = monotonic_ns();
    Recorder recorder;
    EXPECT_EQ(run_to_end(recorder, param_for(url(), c.save_name)).outcome, TaskOutcome::kComplete);
    EXPECT_EQ(files(), std::vector<std::string>{name});
    EXPECT_EQ(file_sha256(path(name)), file_sha256(served_.track()));

    // The server writes a RETR down once it sees its data channel closed.
    const auto retrs_sent = [&] {
      const std::vector<std::string> logs = recorder.logs();
      return static_cast<std::size_t>(std::count_if(logs.begin(), logs.end(), [](const std::string& l) {
        return l.rfind("RETR ", 0) == 0;
      }));
    };
    std::vector<Retr> retrs;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while ((retrs = retrs_since(since)).size() < retrs_sent() && Clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(retrs.size(), retrs_sent());
    if (c.refuse_rest) {
      // A fresh start: the whole file over one connection, from byte 0.
      ASSERT_EQ(retrs.size(), 1u);
      EXPECT_EQ(retrs[0].rest, 0);
      EXPECT_EQ(retrs[0].sent, kSize);
    } else {
      // Every piece with bytes missing goes on where its stored bytes end.
      std::set<std::int64_t> rests;
      std::vector<sim::SentSpan> spans;
      for (const Retr& r : retrs) {
        rests.insert(r.rest);
        spans.push_back({static_cast<std::uint64_t>(r.rest), static_cast<std::uint64_t>(r.sent)});
      }
      for (const RecordedSegment& s : record.segments)
        if (s.received < s.length) {
          EXPECT_EQ(rests.count(s.start + s.received), 1u) << s.start;
        }
      // Sent again: only what a server pushes past a piece's end before the
      // engine closes the channel (a block and one paced burst at most).
      EXPECT_LE(refetched(spans, record),
                static_cast<std::uint64_t>(retrs.size()) * (kBlock + kPacedRate));
      EXPECT_LT(refetched(spans, record), static_cast<std::uint64_t>(kSize / 2));
    }
    std::filesystem::remove(path(name));
    std::filesystem::remove(no_rest_flag());
  }
}

}  // namespace
}  // namespace lumora::test
