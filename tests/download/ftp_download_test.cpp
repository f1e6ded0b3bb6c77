// FTP downloads and uploads against a real server on loopback (Debian's
// pyftpdlib), in passive mode and, with passive mode refused, active mode.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "engine_fixture.h"
#include "ftp_server_process.h"

namespace lumora::test {
namespace {

class FtpDownloadTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    server_ = std::make_unique<FtpServer>(served_.root());
    ASSERT_GT(server_->port(), 0);
  }
  // Serves the same folder again, with the server script's `options`.
  void serve_with(const std::vector<std::string>& options) {
    server_.reset();
    server_ = std::make_unique<FtpServer>(served_.root(), options);
    ASSERT_GT(server_->port(), 0);
  }
  void refuse_passive() { serve_with({"no-pasv"}); }
  void TearDown() override {
    EngineTest::TearDown();
    server_.reset();
  }
  std::string url(const std::string& login, const std::string& name,
                  const std::string& host = "127.0.0.1") const {
    return "ftp://" + login + host + ":" + std::to_string(server_->port()) + "/" + name;
  }
  // The commands the server received, one a line ("commands=" option).
  std::string commands() const {
    std::ifstream in(commands_log());
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string commands_log() const { return served_.beside("commands"); }
  FtpServedFolder served_{1000000, 7};
  std::unique_ptr<FtpServer> server_;
};

TEST_F(FtpDownloadTest, TenConnectionsWithRestOffsets) {
  ASSERT_TRUE(download_.start_task(param_for(url("", "track.mp3"), "t.mp3")));
  EXPECT_EQ(finish().outcome, TaskOutcome::kComplete);
  EXPECT_EQ(file_sha256(path("t.mp3")), file_sha256(served_.track()));
  EXPECT_TRUE(recorder_.logged("登录成功"));
  EXPECT_TRUE(recorder_.logged("站点支持断点续传"));
  // Every segment is fetched from its start by some connection (one that
  // finished early may take a free segment before a new one opens).
  for (int k = 1; k < 10; ++k) EXPECT_TRUE(recorder_.logged("REST " + std::to_string(100000 * k)));
}

TEST_F(FtpDownloadTest, ActiveModeWhenPassiveIsRefused) {
  refuse_passive();
  // One session at a time: with several, the server's own bookkeeping of
  // active data channels loses one now and then (its PORT reply never
  // comes; the engine then retries, which takes 15 s).
  TaskParam p = param_for(url("", "track.mp3"), "t.mp3");
  p.connections = 1;
  ASSERT_TRUE(download_.start_task(p));
  EXPECT_EQ(finish().outcome, TaskOutcome::kComplete);
  EXPECT_EQ(file_sha256(path("t.mp3")), file_sha256(served_.track()));
  EXPECT_TRUE(recorder_.logged("尝试主动模式连接"));
  EXPECT_TRUE(recorder_.logged("PORT 127,0,0,1,"));
  EXPECT_FALSE(recorder_.logged("设置主动模式失败"));
}

// The PASV replies name 127.0.0.2, where a decoy hands out junk on the
// same port: the data must still come from the server we logged in to.
TEST_F(FtpDownloadTest, PassiveDataComesFromTheControlPeerNotTheNamedHost) {
  serve_with({"pasv-elsewhere"});
  ASSERT_TRUE(download_.start_task(param_for(url("", "track.mp3"), "t.mp3")));
  EXPECT_EQ(finish(std::chrono::seconds(30)).outcome, TaskOutcome::kComplete);
  EXPECT_EQ(file_sha256(path("t.mp3")), file_sha256(served_.track()));
  EXPECT_TRUE(recorder_.logged("PASV返回的地址 [127.0.0.2] 不是服务器的地址 [127.0.0.1]"));
}

// PASV and PORT cannot carry an IPv6 address: EPSV and EPRT do. Over IPv4
// the engine keeps to PASV, so a server that refuses EPSV serves it.
TEST_F(FtpDownloadTest, ExtendedCommandsOverIpv6OnlyAndBothModes) {
  struct Case {
    const char* what;
    std::vector<std::string> options;
    const char* host;
    const char* used;
    const char* never;
  };
  const Case cases[] = {
      {"IPv6, passive", {"host=::1"}, "[::1]", "EPSV\n", "PASV\n"},
      {"IPv6, active", {"host=::1", "no-pasv"}, "[::1]", "EPRT\n", "PORT\n"},
      {"IPv4, EPSV refused", {"no-epsv"}, "127.0.0.1", "PASV\n", "EPSV\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(commands_log());
    std::vector<std::string> options = c.options;
    options.push_back("commands=" + commands_log());
    serve_with(options);
    Recorder recorder;
    TaskParam p = param_for(url("", "track.mp3", c.host), "t.mp3");
    p.connections = 1;  // active mode: see ActiveModeWhenPassiveIsRefused
    EXPECT_EQ(run_to_end(recorder, p).outcome, TaskOutcome::kComplete);
    EXPECT_EQ(file_sha256(path("t.mp3")), file_sha256(served_.track()));
    std::filesystem::remove(path("t.mp3"));
    EXPECT_NE(commands().find(c.used), std::string::npos) << commands();
    EXPECT_EQ(commands().find(c.never), std::string::npos) << commands();
  }
}

TEST_F(FtpDownloadTest, UploadsByteExactInBothModes) {
  std::mt19937 random(11);
  std::ofstream out(path("up.bin"), std::ios::binary);
  for (int i = 0; i < 300001; ++i) out.put(static_cast<char>(random()));
  out.close();
  for (const bool passive : {true, false}) {
    SCOPED_TRACE(passive ? "passive" : "active");
    if (!passive) refuse_passive();
    std::filesystem::remove(served_.root() + "/up.bin");
    Recorder recorder;
    TaskParam p = param_for(url("user:secret@", "up.bin"), "up.bin");
    p.mode_flags = kModeUpload;
    p.send_block_size = 1000;
    recorder.attach(p);
    ASSERT_TRUE(download_.start_task(p));
    EXPECT_EQ(finish().outcome, TaskOutcome::kComplete);
    EXPECT_EQ(file_sha256(served_.root() + "/up.bin"), file_sha256(path("up.bin")));
    EXPECT_TRUE(recorder.logged("STOR /up.bin"));
    EXPECT_EQ(recorder.logged("PORT 127,0,0,1,"), !passive);
    EXPECT_EQ(recorder.count(TaskEventKind::kSizeKnown), 1);
    EXPECT_EQ(files(), std::vector<std::string>{"up.bin"});  // the source stays
  }
}

TEST_F(FtpDownloadTest, UploadRefusedOrMissingSourceFails) {
  std::ofstream(path("up.bin")) << "data";
  struct Case {
    std::string url, local;
    const char* logged;
  } cases[] = {
      // Anonymous users may only read.
      {url("", "up.bin"), "up.bin", "数据传送失败"},
      {url("user:secret@", "up.bin"), "absent.bin", "打开文件失败"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.local);
    Recorder recorder;
    TaskParam p = param_for(c.url, c.local);
    p.mode_flags = kModeUpload;
    recorder.attach(p);
    ASSERT_TRUE(download_.start_task(p));
    EXPECT_EQ(finish(std::chrono::seconds(10)).outcome, TaskOutcome::kFailed);
    EXPECT_TRUE(recorder.logged(c.logged));
    EXPECT_FALSE(std::filesystem::exists(served_.root() + "/up.bin"));
  }
}

TEST_F(FtpDownloadTest, UserFromTheAddressAndHiddenPassword) {
  ASSERT_TRUE(download_.start_task(param_for(url("user:secret@", "track.mp3"), "t.mp3")));
  EXPECT_EQ(finish().outcome, TaskOutcome::kComplete);
  EXPECT_TRUE(recorder_.logged("PASS ******"));
  EXPECT_FALSE(recorder_.logged("secret"));
}

TEST_F(FtpDownloadTest, FailuresNoRetryCanMend) {
  struct Case {
    std::string url;
    const char* logged;
  } cases[] = {
      {url("user:wrong@", "track.mp3"), "登录失败"},
      {url("", "missing.mp3"), "无法获得文件大小"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    Recorder recorder;
    TaskParam p = param_for(c.url, "x.mp3");
    recorder.attach(p);
    ASSERT_TRUE(download_.start_task(p));
    // pyftpdlib delays a wrong password's answer by up to 3 s.
    EXPECT_EQ(finish(std::chrono::seconds(10)).outcome, TaskOutcome::kFailed);
    EXPECT_TRUE(recorder.logged(c.logged));
    EXPECT_TRUE(files().empty());
  }
}

TEST_F(FtpDownloadTest, MmsAndRtspAreAcceptedThenFail) {
  for (const char* address : {"mms://127.0.0.1/a", "rtsp://127.0.0.1/a"}) {
    Recorder recorder;
    TaskParam p = param_for(address, "x.mp3");
    recorder.attach(p);
    ASSERT_TRUE(download_.start_task(p)) << address;
    EXPECT_EQ(finish(std::chrono::seconds(2)).outcome, TaskOutcome::kFailed);
  }
}

}  // namespace
}  // namespace lumora::test
