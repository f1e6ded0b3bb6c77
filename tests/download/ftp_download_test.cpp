// FTP downloads and uploads against a real server on loopback (Debian's
// pyftpdlib), in passive mode and, with passive mode refused, active mode.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "engine_fixture.h"

extern char** environ;

namespace lumora::test {
namespace {

// Runs the server script; the port comes on its first output line.
class FtpServer {
 public:
  explicit FtpServer(const std::string& root, const char* option = nullptr) {
    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const std::string script = std::string(LUMORA_TEST_DIR) + "/ftp_server.py";
    const char* argv[] = {"/usr/bin/python3", script.c_str(), root.c_str(), option, nullptr};
    if (::posix_spawn(&pid_, argv[0], &actions, nullptr, const_cast<char**>(argv), environ) != 0)
      pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string line;
    char c;
    pollfd p{out[0], POLLIN, 0};
    while (pid_ > 0 && ::poll(&p, 1, 10000) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n')
      line += c;
    ::close(out[0]);
    port_ = line.empty() ? 0 : std::stoi(line);
  }
  ~FtpServer() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  int port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

class FtpDownloadTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    root_ = dir_ + "-root";
    std::filesystem::create_directory(root_);
    std::mt19937 random(7);
    std::ofstream out(root_ + "/track.mp3", std::ios::binary);
    for (int i = 0; i < 1000000; ++i) out.put(static_cast<char>(random()));
    out.close();
    server_ = std::make_unique<FtpServer>(root_);
    ASSERT_GT(server_->port(), 0);
  }
  // Serves the same folder again, refusing passive mode.
  void refuse_passive() {
    server_.reset();
    server_ = std::make_unique<FtpServer>(root_, "no-pasv");
    ASSERT_GT(server_->port(), 0);
  }
  void TearDown() override {
    EngineTest::TearDown();
    server_.reset();
    std::filesystem::remove_all(root_);
  }
  std::string url(const std::string& login, const std::string& name) const {
    return "ftp://" + login + "127.0.0.1:" + std::to_string(server_->port()) + "/" + name;
  }
  std::string root_;
  std::unique_ptr<FtpServer> server_;
};

TEST_F(FtpDownloadTest, TenConnectionsWithRestOffsets) {
  ASSERT_TRUE(download_.start_task(param_for(url("", "track.mp3"), "t.mp3")));
  ASSERT_TRUE(recorder_.wait_ended());
  EXPECT_EQ(recorder_.outcome(), TaskOutcome::kComplete);
  EXPECT_EQ(file_sha256(path("t.mp3")), file_sha256(root_ + "/track.mp3"));
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
  ASSERT_TRUE(recorder_.wait_ended());
  EXPECT_EQ(recorder_.outcome(), TaskOutcome::kComplete);
  EXPECT_EQ(file_sha256(path("t.mp3")), file_sha256(root_ + "/track.mp3"));
  EXPECT_TRUE(recorder_.logged("尝试主动模式连接"));
  EXPECT_TRUE(recorder_.logged("PORT 127,0,0,1,"));
  EXPECT_FALSE(recorder_.logged("设置主动模式失败"));
}

TEST_F(FtpDownloadTest, UploadsByteExactInBothModes) {
  std::mt19937 random(11);
  std::ofstream out(path("up.bin"), std::ios::binary);
  for (int i = 0; i < 300001; ++i) out.put(static_cast<char>(random()));
  out.close();
  for (const bool passive : {true, false}) {
    SCOPED_TRACE(passive ? "passive" : "active");
    if (!passive) refuse_passive();
    std::filesystem::remove(root_ + "/up.bin");
    Recorder recorder;
    TaskParam p = param_for(url("user:secret@", "up.bin"), "up.bin");
    p.mode_flags = kModeUpload;
    p.send_block_size = 1000;
    recorder.attach(p);
    ASSERT_TRUE(download_.start_task(p));
    ASSERT_TRUE(recorder.wait_ended());
    download_.stop_task();
    EXPECT_EQ(recorder.outcome(), TaskOutcome::kComplete);
    EXPECT_EQ(file_sha256(root_ + "/up.bin"), file_sha256(path("up.bin")));
    EXPECT_TRUE(recorder.logged("STOR /up.bin"));
    EXPECT_EQ(recorder.logged("PORT 127,0,0,1,"), !passive);
    EXPECT_EQ(recorder.count(kEventSizeKnown), 1);
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
    ASSERT_TRUE(recorder.wait_ended(std::chrono::seconds(10)));
    download_.stop_task();
    EXPECT_EQ(recorder.outcome(), TaskOutcome::kFailed);
    EXPECT_TRUE(recorder.logged(c.logged));
    EXPECT_FALSE(std::filesystem::exists(root_ + "/up.bin"));
  }
}

TEST_F(FtpDownloadTest, UserFromTheAddressAndHiddenPassword) {
  ASSERT_TRUE(download_.start_task(param_for(url("user:secret@", "track.mp3"), "t.mp3")));
  ASSERT_TRUE(recorder_.wait_ended());
  EXPECT_EQ(recorder_.outcome(), TaskOutcome::kComplete);
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
    ASSERT_TRUE(recorder.wait_ended(std::chrono::seconds(10)));
    EXPECT_EQ(recorder.outcome(), TaskOutcome::kFailed);
    EXPECT_TRUE(recorder.logged(c.logged));
    download_.stop_task();
    EXPECT_TRUE(files().empty());
  }
}

TEST_F(FtpDownloadTest, MmsAndRtspAreAcceptedThenFail) {
  for (const char* address : {"mms://127.0.0.1/a", "rtsp://127.0.0.1/a"}) {
    Recorder recorder;
    TaskParam p = param_for(address, "x.mp3");
    recorder.attach(p);
    ASSERT_TRUE(download_.start_task(p)) << address;
    ASSERT_TRUE(recorder.wait_ended(std::chrono::seconds(2)));
    EXPECT_EQ(recorder.outcome(), TaskOutcome::kFailed);
    download_.stop_task();
  }
}

}  // namespace
}  // namespace lumora::test
