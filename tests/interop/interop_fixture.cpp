#include "interop_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>
#include <utility>

#include "lumora/sim/audio_bytes.h"
#include "lumora/text/code_page.h"

namespace lumora::test {
namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// The process's published contents, one file per seed and size, removed
// when the process ends.
class Contents {
 public:
  std::string path(std::uint64_t seed, std::int64_t size) {
    std::lock_guard lock(mutex_);
    if (!folder_) {
      folder_.emplace("lumora-interop-src");
      ::chmod(folder_->string().c_str(), 0755);
    }
    const std::string p = *folder_ / (std::to_string(seed) + "-" + std::to_string(size));
    if (made_.emplace(p, true).second) make(p, seed, size);
    return p;
  }
  std::string sha(std::uint64_t seed, std::int64_t size) {
    std::lock_guard lock(mutex_);
    const std::string key = std::to_string(seed) + "-" + std::to_string(size);
    auto it = shas_.find(key);
    if (it == shas_.end())
      it = shas_.emplace(key, sim::audio_sha256(seed, static_cast<std::uint64_t>(size))).first;
    return it->second;
  }

 private:
  static void make(const std::string& p, std::uint64_t seed, std::int64_t size) {
    std::ofstream o(p, std::ios::binary);
    std::vector<std::uint8_t> block(1 << 20);
    for (std::int64_t at = 0; at < size; at += static_cast<std::int64_t>(block.size())) {
      const auto n = static_cast<std::size_t>(
          std::min<std::int64_t>(static_cast<std::int64_t>(block.size()), size - at));
      sim::fill_audio_bytes(seed, static_cast<std::uint64_t>(at), {block.data(), n});
      o.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n));
    }
    o.close();
    ::chmod(p.c_str(), 0644);
    // Each seed its own time, hours back: the validators differ per content.
    const auto when = fs::file_time_type::clock::now() -
                      std::chrono::hours(2 + static_cast<int>(seed % 16));
    fs::last_write_time(p, when);
  }
  std::mutex mutex_;
  std::optional<TempFolder> folder_;  // made at the first publish
  std::map<std::string, bool> made_;
  std::map<std::string, std::string> shas_;
};

Contents& contents() {
  static Contents c;
  return c;
}

}  // namespace

LogTally tally_log(const std::string& path, int field) {
  LogTally t;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string s; words >> s;) w.push_back(s);
    if (w.empty()) continue;
    ++t.entries;
    const int i = field < 0 ? static_cast<int>(w.size()) + field : field;
    if (i < 0 || i >= static_cast<int>(w.size())) continue;
    char* end = nullptr;
    const long long v = std::strtoll(w[i].c_str(), &end, 10);
    if (end && *end == '\0') t.bytes += v;
  }
  return t;
}

namespace {

// The decimal number right after `marker` in `line`, if there is one.
std::optional<std::int64_t> number_after(const std::string& line, std::string_view marker) {
  const std::size_t at = line.find(marker);
  if (at == std::string::npos) return std::nullopt;
  const char* begin = line.c_str() + at + marker.size();
  char* end = nullptr;
  const long long v = std::strtoll(begin, &end, 10);
  if (end == begin) return std::nullopt;
  return v;
}

}  // namespace

std::vector<std::int64_t> asked_starts(const std::string& path, LogKind kind) {
  std::vector<std::int64_t> starts;
  std::ifstream in(path);
  // By session, since the lines of parallel ones interleave.
  struct Session {
    bool sized = false;    // the SIZE reply came: the RESTs before it are the probe
    bool started = false;  // a REST has given the coming transfer its start
  };
  std::map<std::string, Session> sessions;
  for (std::string line; std::getline(in, line);) {
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    if (kind == LogKind::kHttpRequests) {
      starts.push_back(number_after(line, "bytes=").value_or(0));
      continue;
    }
    // vsftpd names the session's process as "[pid N]"; proftpd's line starts with it.
    const auto pid = number_after(line, "[pid ");
    Session& s = sessions[pid ? std::to_string(*pid) : line.substr(0, line.find(' '))];
    if (line.find("SIZE ") != std::string::npos) {
      s.sized = true;
    } else if (const auto offset = number_after(line, "REST "); offset && s.sized) {
      starts.push_back(*offset);
      s.started = true;
    } else if (line.find("RETR ") != std::string::npos) {
      if (!std::exchange(s.started, false)) starts.push_back(0);
    }
  }
  return starts;
}

void expect_no_kept_bytes_asked(const char* server, const ResumeRecord& record,
                                const std::vector<std::int64_t>& starts, const LogTally& sent,
                                std::int64_t per_entry) {
  std::vector<std::int64_t> inside;
  for (const std::int64_t s : starts)
    for (const RecordedSegment& seg : record.segments)
      if (seg.received > 0 && s >= seg.start && s < seg.start + seg.received) {
        inside.push_back(s);
        break;
      }
  EXPECT_EQ(static_cast<int>(starts.size()), sent.entries);
  EXPECT_EQ(inside, std::vector<std::int64_t>{}) << "starts in kept bytes, of " << starts.size();
  const std::int64_t missing = record.size - record.received_total();
  std::printf("[ resumed  ] %s: %d asked, none for kept bytes; %lld bytes sent for %lld "
              "missing, tight bound %lld\n",
              server, sent.entries, static_cast<long long>(sent.bytes),
              static_cast<long long>(missing),
              static_cast<long long>(missing + sent.entries * per_entry));
}

int lines_holding(const std::string& path, const std::string& text) {
  std::ifstream in(path);
  int count = 0;
  for (std::string line; std::getline(in, line);) count += line.find(text) != std::string::npos;
  return count;
}

void InteropTest::SetUp() {
  // The servers' workers run as unprivileged users: everything readable,
  // nothing writable by them (some refuse a writable root or log folder).
  ::chmod(dir_.c_str(), 0755);
  for (const char* sub : {"/www", "/logs", "/out", "/run"}) {
    fs::create_directory(dir_ + sub);
    ::chmod((dir_ + sub).c_str(), 0755);
  }
  port_ = free_loopback_port();
  ASSERT_NE(port_, 0);
}

void InteropTest::TearDown() {
  download_.stop_task();
  server_.stop();
  authority_.reset();
}

std::vector<std::string> InteropTest::out_files() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir_ + "/out"))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void InteropTest::publish(const std::string& name, std::uint64_t seed, std::int64_t size) {
  const std::string source = contents().path(seed, size);
  ASSERT_FALSE(source.empty());
  const std::string target = www() + "/" + name;
  const std::string staged = target + ".new";
  fs::remove(staged);
  fs::create_hard_link(source, staged);
  fs::rename(staged, target);
}

std::string InteropTest::sha_of(std::uint64_t seed, std::int64_t size) {
  return contents().sha(seed, size);
}

void InteropTest::start_server(const std::vector<std::string>& argv,
                               const std::string& extra_log) {
  const std::string failure =
      server_.start(argv, port_, logs() + "/output.txt", extra_log, host_);
  ASSERT_EQ(failure, "") << "the server did not start";
}

std::string InteropTest::host_and_port() const {
  const std::string host = host_.find(':') == std::string::npos ? host_ : "[" + host_ + "]";
  return host + ":" + std::to_string(port_);
}

void InteropTest::listen_on(const std::string& host, bool tls) {
  host_ = host;
  port_ = free_loopback_port(host);
  ASSERT_NE(port_, 0) << "no free port on " << host;
  if (!tls) return;
  authority_ = std::make_unique<TrustedAuthority>();
  const sim::TlsIdentity identity = authority_->issue({.names = {host}});
  ASSERT_TRUE(identity);
  ASSERT_TRUE(write_text_file(certificate_file(), identity.certificate_pem()));
  ASSERT_TRUE(write_text_file(key_file(), identity.key_pem()));
}

namespace {

TaskParam task_param(const std::string& url, const std::string& path, int cap) {
  TaskParam p;
  p.mode_flags = kModeDownload;
  p.url = url;
  p.save_path = utf8_to_gbk(path);
  p.connections = kConnections;
  p.throughput_cap = cap;
  p.connect_timeout_ms = 5000;
  p.send_timeout_ms = 5001;
  p.receive_timeout_ms = 10000;
  p.stop_wait_ms = 1000;
  p.receive_block_size = static_cast<int>(kBlock);
  return p;
}

}  // namespace

TaskOutcome InteropTest::fetch(const std::string& url, const std::string& name,
                               int throughput_cap) {
  recorder_ = std::make_unique<Recorder>();
  TaskParam p = task_param(url, out(name), throughput_cap);
  recorder_->attach(p);
  if (!download_.start_task(p)) return TaskOutcome::kNone;
  std::optional<TaskResult> r = download_.wait(std::chrono::seconds(120));
  if (!r) {
    ADD_FAILURE() << "the task did not end within 120 s";
    download_.stop_task();
    r = download_.wait(std::chrono::milliseconds(0));
  }
  return r ? r->outcome : TaskOutcome::kNone;
}

std::optional<ResumeRecord> InteropTest::interrupt_at_half(const std::string& url,
                                                           const std::string& name,
                                                           int throughput_cap) {
  recorder_ = std::make_unique<Recorder>();
  TaskParam p = task_param(url, out(name), throughput_cap);
  recorder_->attach(p);
  if (!download_.start_task(p)) {
    ADD_FAILURE() << "the address was not accepted: " << url;
    return std::nullopt;
  }
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  while (download_.received_bytes() < kFileSize / 2 && download_.busy() &&
         Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  const std::int64_t stored = download_.received_bytes();
  download_.stop_task();
  const TaskOutcome outcome =
      download_.wait(std::chrono::milliseconds(0)).value_or(TaskResult{}).outcome;
  if (outcome != TaskOutcome::kStopped) {
    ADD_FAILURE() << "the task was not stopped at half (stored " << stored << ", outcome "
                  << static_cast<int>(outcome) << ")\n" << engine_log();
    return std::nullopt;
  }
  auto record = decode_record(read_file(out(name) + ".part.rec"));
  if (!record) ADD_FAILURE() << "no readable record beside the working file";
  return record;
}

std::string InteropTest::engine_log() const {
  if (!recorder_) return "";
  std::string text;
  for (const std::string& line : recorder_->logs()) text += line + "\n";
  return text.size() > 6000 ? "...\n" + text.substr(text.size() - 6000) : text;
}

}  // namespace lumora::test
