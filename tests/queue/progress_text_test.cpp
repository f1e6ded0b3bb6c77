#include "lumora/queue/progress_text.h"

#include <gtest/gtest.h>

namespace lumora {
namespace {

TEST(ProgressText, PercentAndKilobytesRoundHalfAwayFromZero) {
  EXPECT_EQ(progress_text(500, 1000, 0), "50%-0KB");
  EXPECT_EQ(progress_text(495, 1000, 512), "50%-1KB");   // 49.5 % and 0.5 KB round up
  EXPECT_EQ(progress_text(4, 1000, 511), "0%-0KB");      // 0.4 % and 0.499 KB round down
  EXPECT_EQ(progress_text(37, 100, 85 * 1024), "37%-85KB");
  EXPECT_EQ(progress_text(1000, 1000, 0), "100%-0KB");
}

TEST(ProgressText, UnknownSizeShowsZeroPercent) {
  EXPECT_EQ(progress_text(12345, 0, 2048), "0%-2KB");
}

TEST(ProgressText, SizesBeyondFourGigabytes) {
  const std::int64_t size = 6LL << 30;
  EXPECT_EQ(progress_text(size / 2, static_cast<double>(size), 0), "50%-0KB");
}

}  // namespace
}  // namespace lumora
