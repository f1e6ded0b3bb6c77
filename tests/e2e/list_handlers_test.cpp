// The Track list's check and menu handlers, reached through real clicks on
// the running application's widgets.
#include <QCursor>

#include "album_road_fixture.h"
#include "lumora/text/code_page.h"

namespace lumora::e2e {
namespace {

constexpr ControlName kList = u8"超级列表框1";

TEST_F(AlbumRoad, TickingRowsCountsThemInTheStatusBar) {
  list_tracks(sim::albums::kTwentyTracks, 3);
  const struct {
    int row;
    const char8_t* shown;
  } steps[] = {{0, u8"选中1个音频"}, {2, u8"选中2个音频"}, {0, u8"选中1个音频"},
               {1, u8"选中2个音频"}, {2, u8"选中1个音频"}};
  for (const auto& s : steps) {
    click_check_box(s.row);
    EXPECT_EQ(status_part(1), gbk(s.shown)) << s.row;
  }
  EXPECT_EQ(app_->shell().checked_rows().value, 1);
}

TEST_F(AlbumRoad, RightClickOpensTheMenuBelowRightOfTheCursor) {
  list_tracks(sim::albums::kTwentyTracks, 3);
  // No row is current yet: the click below the rows opens nothing.
  EXPECT_EQ(right_click(-1, std::nullopt), std::nullopt);
  EXPECT_TRUE(controls().is_enabled(WindowId::track, u8"取消选中"));

  // Nothing ticked, the menu dismissed: 取消选中 is disabled, 全部选中 stays.
  const std::optional<QPoint> opened = right_click(1, std::nullopt);
  ASSERT_TRUE(opened.has_value());
  EXPECT_EQ(*opened, QCursor::pos() + QPoint(3, 3));
  EXPECT_FALSE(controls().is_enabled(WindowId::track, u8"取消选中"));
  EXPECT_TRUE(controls().is_enabled(WindowId::track, u8"全部选中"));
  EXPECT_EQ(controls().current_row(WindowId::track, kList), 1);
}

TEST_F(AlbumRoad, CheckAllCountsEveryRowOnceWhateverWasTicked) {
  list_tracks(sim::albums::kTwentyTracks, 5);
  click_check_box(1);
  click_check_box(3);
  EXPECT_EQ(status_part(1), gbk(u8"选中2个音频"));
  ASSERT_TRUE(right_click(0, ControlName(u8"全部选中")).has_value());
  ASSERT_TRUE(wait_for([&] { return status_part(1) == gbk(u8"选中5个视频"); }));
  EXPECT_EQ(app_->shell().checked_rows().value, 5);
  for (int row = 0; row < 5; ++row)
    EXPECT_TRUE(controls().is_checked(WindowId::track, kList, row)) << row;
  // The chosen command runs after the right-click handler: it has the last word.
  EXPECT_FALSE(controls().is_enabled(WindowId::track, u8"全部选中"));
  EXPECT_TRUE(controls().is_enabled(WindowId::track, u8"取消选中"));
}

}  // namespace
}  // namespace lumora::e2e
