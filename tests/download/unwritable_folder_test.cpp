// A folder the task cannot write: the task fails at once with the system's
// reason under the name it asked for, and numbers no name that does not
// exist. As root, the task runs on a thread whose file capabilities are
// dropped (they are per thread, and the engine's threads inherit them), so
// the folder's mode binds root as it binds a user.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <functional>
#include <thread>

#include "engine_fixture.h"
#include "lumora/sim/audio_server.h"
#include "lumora/text/code_page.h"

namespace lumora::test {
namespace {

// Drops the capabilities that let this thread write past a file's mode.
bool drop_file_override() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2] = {};
  if (::syscall(SYS_capget, &header, data) != 0) return false;
  for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
    data[cap / 32].effective &= ~(1u << (cap % 32));
  return ::syscall(SYS_capset, &header, data) == 0;
}

// Runs `body` on a thread that cannot write `folder`; false, without
// running it, when no such thread can be had here.
bool run_unable_to_write(const std::string& folder, const std::function<void()>& body) {
  bool ran = false;
  std::thread([&] {
    // The effective rights: plain access() lends root its capabilities back.
    if (!drop_file_override() || ::faccessat(AT_FDCWD, folder.c_str(), W_OK, AT_EACCESS) == 0)
      return;
    body();
    ran = true;
  }).join();
  return ran;
}

class UnwritableFolderTest : public EngineTest {
 protected:
  void TearDown() override {
    ::chmod(dir_.c_str(), 0700);
    EngineTest::TearDown();
  }
  sim::AudioServer server_;
};

TEST_F(UnwritableFolderTest, FailsAtOnceWithTheSystemsReasonUnderTheAskedName) {
  const sim::AudioFile f = server_.add_file(30000);
  struct Case {
    const char* what;
    bool name_taken;     // a file of the asked name is there already
    const char* failed;  // the name the task fails under
  };
  const Case cases[] = {
      {"a new name", false, "a.mp3"},
      {"a name that exists", true, "a(1).mp3"},  // only an existing name numbers
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.name_taken) std::ofstream(path("a.mp3")) << "mine";
    ASSERT_EQ(::chmod(dir_.c_str(), 0555), 0);
    TaskResult r;
    const bool ran = run_unable_to_write(dir_, [&] {
      Recorder recorder;
      r = run_to_end(recorder, param_for(f.url, "a.mp3"), std::chrono::seconds(10));
    });
    ASSERT_EQ(::chmod(dir_.c_str(), 0700), 0);
    if (!ran) GTEST_SKIP() << "no thread here is kept from writing a folder by its mode";
    EXPECT_EQ(r.outcome, TaskOutcome::kFailed);
    EXPECT_EQ(r.failure.kind, FailureKind::kLocalFile);
    EXPECT_EQ(r.failure.system_error, EACCES);
    EXPECT_EQ(describe(r.failure), "local file error: Permission denied");
    EXPECT_EQ(gbk_to_utf8(r.final_path), path(c.failed));
    EXPECT_EQ(files(), c.name_taken ? std::vector<std::string>{"a.mp3"}
                                    : std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace lumora::test
