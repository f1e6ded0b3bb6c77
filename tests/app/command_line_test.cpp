// lumorafm --version and --help answer on a machine without a display.
#include <gtest/gtest.h>

#include <sstream>

#include "lumora/test_support/child_process.h"
#include "lumora/version.h"

namespace lumora::test {
namespace {

const ChildSetup kNoDisplay{.output = ChildSetup::Output::kPipe,
                            .output_file = {},
                            .env = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}};

TEST(WindowProgramCommandLine, VersionAndHelpNeedNoDisplay) {
  const RunResult version = run_program(LUMORAFM_PATH, {"--version"}, kNoDisplay);
  EXPECT_EQ(version.code, 0) << version.err;
  EXPECT_EQ(version.out, std::string("lumorafm ") + kVersion + "\n");

  const RunResult help = run_program(LUMORAFM_PATH, {"--help"}, kNoDisplay);
  EXPECT_EQ(help.code, 0) << help.err;
  EXPECT_EQ(help.out.rfind("Usage: lumorafm\n", 0), 0u) << help.out;
  std::istringstream lines(help.out);
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;

  const RunResult full = run_program(LUMORAFM_PATH, {"--version"},
                                     {.output = ChildSetup::Output::kFile,
                                      .output_file = "/dev/full",
                                      .env = kNoDisplay.env});
  EXPECT_EQ(full.code, 1);
  EXPECT_EQ(full.err, "lumorafm: write error: No space left on device\n");
}

}  // namespace
}  // namespace lumora::test
