#include "lumora/cli/track_selection.h"

#include <gtest/gtest.h>

namespace lumora::cli {
namespace {

TEST(TrackSelection, ItemsAndRanges) {
  struct Case {
    const char* list;
    std::vector<int> indices;
  };
  const std::vector<Case> cases = {
      {"1", {0}},
      {"20", {19}},
      {"1-5,9", {0, 1, 2, 3, 4, 8}},
      {"9,1-2", {0, 1, 8}},
      {"3-4,4,1-3", {0, 1, 2, 3}},
      {"7-7", {6}},
      {"01", {0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    const TrackSelection s = select_tracks(c.list, 20);
    EXPECT_EQ(s.error, "");
    EXPECT_EQ(s.indices, c.indices);
  }
  EXPECT_EQ(all_tracks(3).indices, (std::vector<int>{0, 1, 2}));
}

TEST(TrackSelection, BadItemsAreNamed) {
  for (const char* bad : {"", "0", "21", "5-3", "1,,2", ",1", "1,", "a", "1-", "-3", "1-2-3",
                          " 1", "1 ", "+1", "2-x", "99999999999"}) {
    SCOPED_TRACE(bad);
    const TrackSelection s = select_tracks(bad, 20);
    EXPECT_NE(s.error.find("bad track list item"), std::string::npos);
    EXPECT_TRUE(s.indices.empty());
  }
  EXPECT_NE(select_tracks("1", 0).error, "");
}

}  // namespace
}  // namespace lumora::cli
