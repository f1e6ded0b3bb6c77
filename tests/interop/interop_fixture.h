// What every interop test does with a real server: a folder the server's
// unprivileged user can read, the published files (made once per process),
// the engine driven through whole, stopped and resumed tasks, and the
// server's own log read back to count what it sent.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "live_server.h"
#include "lumora/download/resume_record.h"
#include "lumora/test_support/temp_folder.h"
#include "lumora/test_support/trusted_authority.h"

namespace lumora::test {

inline constexpr std::int64_t kFileSize = 40ll << 20;
inline constexpr std::int64_t kBlock = 20480;  // the connection buffer
inline constexpr int kConnections = 10;
// What an answer's head may add to a logged byte count (some servers log
// the head and body together).
inline constexpr std::int64_t kHeadAllowance = 512;
inline constexpr std::uint64_t kOldSeed = 1601;
inline constexpr std::uint64_t kNewSeed = 1602;

// Requests (or transfers) a server logged, and the body bytes they carried.
struct LogTally {
  int entries = 0;
  std::int64_t bytes = 0;
};

// Sums the whitespace-separated field `field` (negative: from the end) of
// every line; lines without a number there are counted with 0 bytes.
LogTally tally_log(const std::string& path, int field);

// Where each request or transfer of a server's log asked its data to
// start. HTTP: one request a line, "bytes=N-" in it (none: 0). FTP: each
// "REST N" a session sends after its SIZE (the RESTs before it probe
// whether the server can resume), and 0 for a RETR without one; proftpd
// does not log a RETR the client cut short, so the RESTs count. A session
// is told by "[pid N]" in the line, or else by its first word.
enum class LogKind { kHttpRequests, kFtpCommands };
// Lines of the file at `path` that hold `text`.
int lines_holding(const std::string& path, const std::string& text);
std::vector<std::int64_t> asked_starts(const std::string& path, LogKind kind);
// Checks a resume against its server's log: as many starts as the log has
// entries, none inside bytes `record` keeps (a resume that asks for one
// fetches kept bytes again). Prints the server's count of bytes sent
// against the tight bound, the missing part plus `per_entry` each entry:
// only printed, since a server counts what it pushed towards the socket
// past a piece's end whether the engine read it or not.
void expect_no_kept_bytes_asked(const char* server, const ResumeRecord& record,
                                const std::vector<std::int64_t>& starts, const LogTally& sent,
                                std::int64_t per_entry);

class InteropTest : public ::testing::Test {
 public:
  // Read by the config writers.
  std::string dir() const { return dir_; }
  std::string www() const { return dir_ + "/www"; }
  std::string logs() const { return dir_ + "/logs"; }
  std::string out(const std::string& name) const { return dir_ + "/out/" + name; }
  std::vector<std::string> out_files() const;
  // Where the server listens: 127.0.0.1 or ::1, and "host:port" as an
  // address writes it ("[::1]:port").
  const std::string& host() const { return host_; }
  std::string host_and_port() const;
  // Over TLS: the server's certificate and key (PEM files).
  bool tls() const { return authority_ != nullptr; }
  std::string certificate_file() const { return dir_ + "/run/server.pem"; }
  std::string key_file() const { return dir_ + "/run/server.key"; }

 protected:
  void SetUp() override;
  void TearDown() override;

  // Puts the content of `seed` (made once per process) at www()/`name`,
  // replacing what is there in one rename, with an mtime of its own per
  // seed and in the past: some servers give no validators for a file
  // modified in the current second.
  void publish(const std::string& name, std::uint64_t seed, std::int64_t size = kFileSize);
  static std::string sha_of(std::uint64_t seed, std::int64_t size = kFileSize);

  // One task with ten connections, to its end; the outcome.
  TaskOutcome fetch(const std::string& url, const std::string& name, int throughput_cap = 0);
  // Starts a task and stops it once half the size is stored; the record it
  // left (nullopt, with a failure, when the stop did not leave one).
  std::optional<ResumeRecord> interrupt_at_half(const std::string& url, const std::string& name,
                                                int throughput_cap = 0);
  // The engine's log of the last task, for a failure message.
  std::string engine_log() const;

  // Starts the server (a failure ends the test with the server's words).
  void start_server(const std::vector<std::string>& argv, const std::string& extra_log = {});
  // The server is to listen on `host` (a free port there), over TLS with a
  // certificate of an authority the engine trusts while the test runs when
  // `tls`. Before start_server().
  void listen_on(const std::string& host, bool tls);

  TempFolder temp_{"lumora-interop"};
  std::string dir_ = temp_.string();
  std::string host_ = "127.0.0.1";
  int port_ = 0;
  std::unique_ptr<TrustedAuthority> authority_;
  LiveServer server_;
  Download download_;
  std::unique_ptr<Recorder> recorder_;
};

}  // namespace lumora::test
