// The engine against Debian's FTP servers on loopback, vsftpd and proftpd,
// each in passive mode and, with passive mode refused, active mode, and in
// passive mode on ::1 alone (EPSV, which PASV's reply cannot stand in for).
// Every
// server is started by the test with a config written into its folder and
// paced per session; its transfer log (xferlog) counts what it sent.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "interop_fixture.h"

namespace lumora::test {
namespace {

constexpr int kPaceKiB = 2048;  // per session; see http_servers_test.cpp
constexpr int kXferBytesField = 7;  // xferlog: date (5 fields), seconds, host, bytes

struct FtpServer {
  const char* name;
  std::string (*version)();  // "" when the server is not there
  std::function<std::vector<std::string>(const InteropTest&, int port, const std::string& tag,
                                         bool passive)>
      command;
  bool passive;
  const char* host = "127.0.0.1";
};

void write_file(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string vsftpd_binary() { return std::string(LUMORA_VSFTPD_DIR) + "/usr/sbin/vsftpd"; }

// vsftpd is unpacked beside the system, not installed: its package
// conflicts with proftpd-core's (scripts/setup.sh).
std::string vsftpd_version() {
  std::ifstream in(std::string(LUMORA_VSFTPD_DIR) + "/VERSION");
  std::string v;
  std::getline(in, v);
  return v;
}

std::vector<std::string> vsftpd(const InteropTest& t, int port, const std::string& tag,
                                bool passive) {
  const std::string d = t.dir(), conf = d + "/run/vsftpd-" + tag + ".conf";
  // It drops to `nopriv_user` inside an empty folder only root may write.
  std::filesystem::create_directories(d + "/run/empty");
  const bool v6 = t.host().find(':') != std::string::npos;
  const std::string listen = v6 ? "listen=NO\nlisten_ipv6=YES\nlisten_address6=" + t.host()
                                : "listen=YES\nlisten_address=" + t.host();
  write_file(conf, listen + "\nlisten_port=" + std::to_string(port) +
                       "\nbackground=NO\nanonymous_enable=YES\nlocal_enable=NO\n"
                       "no_anon_password=YES\nanon_root=" + d + "/www\n"
                       "ftp_username=ftp\nnopriv_user=nobody\n"
                       "secure_chroot_dir=" + d + "/run/empty\n"
                       "connect_from_port_20=NO\nseccomp_sandbox=NO\n"
                       "max_clients=0\nmax_per_ip=0\n"
                       "pasv_enable=" + (passive ? "YES" : "NO") + "\n"
                       "xferlog_enable=YES\nxferlog_std_format=NO\ndual_log_enable=YES\n"
                       "xferlog_file=" + d + "/logs/" + tag + ".log\n"
                       "log_ftp_protocol=YES\n"
                       "vsftpd_log_file=" + d + "/logs/" + tag + ".commands.log\n"
                       "anon_max_rate=" + std::to_string(kPaceKiB * 1024) + "\n");
  return {vsftpd_binary(), conf};
}

std::vector<std::string> proftpd(const InteropTest& t, int port, const std::string& tag,
                                 bool passive) {
  const std::string d = t.dir(), conf = d + "/run/proftpd-" + tag + ".conf";
  write_file(conf, "ServerType standalone\nDefaultServer off\nSocketBindTight on\n"
                   "Port " + std::to_string(port) + "\nDefaultAddress " + t.host() +
                   "\nUseIPv6 " + (t.host().find(':') != std::string::npos ? "on" : "off") + "\n"
                   "User nobody\nGroup nogroup\n"
                   "PidFile " + d + "/run/proftpd.pid\n"
                   "ScoreboardFile " + d + "/run/proftpd.scoreboard\n"
                   "WtmpLog off\nUseReverseDNS off\nDelayEngine off\nMaxInstances 100\n"
                   "SystemLog " + d + "/logs/proftpd-" + tag + ".system.log\n"
                   "TransferLog " + d + "/logs/" + tag + ".log\n"
                   "LogFormat commands \"%P %r\"\n"
                   "ExtendedLog " + d + "/logs/" + tag + ".commands.log ALL commands\n"
                   "<Anonymous " + d + "/www>\n"
                   "  User ftp\n  Group nogroup\n  UserAlias anonymous ftp\n"
                   "  RequireValidShell off\n"
                   "  TransferRate RETR " + std::to_string(kPaceKiB) + "\n" +
                   (passive ? "" : "  <Limit EPSV PASV>\n    DenyAll\n  </Limit>\n") +
                   "</Anonymous>\n");
  return {"/usr/sbin/proftpd", "-n", "-c", conf};
}

std::string proftpd_version() { return package_version("proftpd-core"); }

const FtpServer kServers[] = {
    {"vsftpd_passive", vsftpd_version, vsftpd, true},
    {"vsftpd_active", vsftpd_version, vsftpd, false},
    {"proftpd_passive", proftpd_version, proftpd, true},
    {"proftpd_active", proftpd_version, proftpd, false},
    {"vsftpd_ipv6", vsftpd_version, vsftpd, true, "::1"},
    {"proftpd_ipv6", proftpd_version, proftpd, true, "::1"},
};

class FtpInterop : public InteropTest, public ::testing::WithParamInterface<FtpServer> {
 protected:
  void SetUp() override {
    InteropTest::SetUp();
    if (HasFatalFailure()) return;
    const std::string version = GetParam().version();
    ASSERT_NE(version, "") << GetParam().name << ": the server is not there (scripts/setup.sh)";
    RecordProperty("version", version);
    std::printf("%s %s\n", GetParam().name, version.c_str());
    if (std::string(GetParam().host) != host_) {
      ASSERT_NO_FATAL_FAILURE(listen_on(GetParam().host, false));
    }
  }
  void start(const std::string& tag) {
    start_server(GetParam().command(*this, port_, tag, GetParam().passive),
                 logs() + "/proftpd-" + tag + ".system.log");
  }
  void restart(const std::string& tag) {
    server_.stop();
    start(tag);
  }
  std::string url(const std::string& name) const { return "ftp://" + host_and_port() + "/" + name; }
  LogTally tally(const std::string& tag) const {
    return tally_log(logs() + "/" + tag + ".log", kXferBytesField);
  }
};

TEST_P(FtpInterop, WholeFileOverTenConnectionsIsExact) {
  publish("f.bin", kOldSeed);
  ASSERT_NO_FATAL_FAILURE(start("whole"));
  EXPECT_EQ(fetch(url("f.bin"), "f.bin"), TaskOutcome::kComplete) << engine_log();
  EXPECT_EQ(out_files(), std::vector<std::string>{"f.bin"});
  EXPECT_EQ(file_sha256(out("f.bin")), sha_of(kOldSeed));
  server_.stop();
  EXPECT_GE(tally("whole").entries, kConnections);
  if (host() != "127.0.0.1") {  // every session's data channel came through EPSV
    EXPECT_GE(lines_holding(logs() + "/whole.commands.log", "EPSV"), kConnections);
  }
}

TEST_P(FtpInterop, StopAtHalfThenResumeFetchesOnlyTheRest) {
  publish("f.bin", kOldSeed);
  ASSERT_NO_FATAL_FAILURE(start("first"));
  const auto record = interrupt_at_half(url("f.bin"), "f.bin");
  ASSERT_TRUE(record);
  ASSERT_NO_FATAL_FAILURE(restart("resume"));  // its own transfer log: only the resume's transfers
  EXPECT_EQ(fetch(url("f.bin"), "f.bin"), TaskOutcome::kComplete) << engine_log();
  EXPECT_EQ(out_files(), std::vector<std::string>{"f.bin"});
  EXPECT_EQ(file_sha256(out("f.bin")), sha_of(kOldSeed));
  server_.stop();
  const LogTally sent = tally("resume");
  ASSERT_GE(sent.entries, 1);
  expect_no_kept_bytes_asked(
      GetParam().name, *record,
      asked_starts(logs() + "/resume.commands.log", LogKind::kFtpCommands), sent, kBlock);
}

TEST_P(FtpInterop, FileReplacedBetweenStopAndResumeEndsAsTheNewFile) {
  publish("f.bin", kOldSeed);
  ASSERT_NO_FATAL_FAILURE(start("first"));
  ASSERT_TRUE(interrupt_at_half(url("f.bin"), "f.bin"));
  // FTP gives no validators, only SIZE: a replacement of the same size
  // cannot be seen, so this one is a mebibyte longer.
  publish("f.bin", kNewSeed, kFileSize + (1 << 20));
  ASSERT_NO_FATAL_FAILURE(restart("resume"));
  EXPECT_EQ(fetch(url("f.bin"), "f.bin"), TaskOutcome::kComplete) << engine_log();
  EXPECT_EQ(out_files(), std::vector<std::string>{"f.bin"});
  EXPECT_EQ(file_sha256(out("f.bin")), sha_of(kNewSeed, kFileSize + (1 << 20)));
}

INSTANTIATE_TEST_SUITE_P(Servers, FtpInterop, ::testing::ValuesIn(kServers),
                         [](const ::testing::TestParamInfo<FtpServer>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace lumora::test
