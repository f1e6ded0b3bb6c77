// Search and listing through the real widgets, against the simulator.
#include <QApplication>

#include "album_road_fixture.h"
#include "lumora/text/code_page.h"
#include "lumora/text/number.h"

namespace lumora::e2e {
namespace {

const QString kKeyword = QString::fromUtf8(sim::kKeyword.data(), sim::kKeyword.size());

std::string utf8_percent(std::string_view utf8) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : utf8) out += {'%', kHex[c >> 4], kHex[c & 15]};
  return out;
}

TEST_F(AlbumRoad, SearchFillsTheAlbumListFromEveryPage) {
  const std::size_t logged = sim_->search_log().snapshot().size();
  search(kKeyword, 45);

  const auto requests = sim_->search_log().snapshot();
  ASSERT_EQ(requests.size() - logged, 4u);  // the first request, then pages 1..3
  const std::string kw = "kw=" + utf8_percent(sim::kKeyword);
  EXPECT_EQ(requests[logged].target, "/revision/search?core=album&" + kw +
                                         "&spellchecker=true&rows=20&condition=relation"
                                         "&device=iPhone");
  for (int page = 1; page <= 3; ++page) {
    EXPECT_NE(requests[logged + page].target.find(kw + "&page=" + std::to_string(page) + "&"),
              std::string::npos);
  }
  // Rows in search order: title, hidden id, category, uploader.
  const auto found = sim_->catalogue().search(sim::kKeyword);
  for (int row = 0; row < 45; ++row) {
    const sim::SimAlbum& album = *found[row];
    EXPECT_EQ(controls().cell(WindowId::main, u8"超级列表框1", row, 0), utf8_to_gbk(album.title));
    EXPECT_EQ(controls().cell(WindowId::main, u8"超级列表框1", row, 1), decimal_text(album.id));
    EXPECT_EQ(controls().cell(WindowId::main, u8"超级列表框1", row, 2),
              utf8_to_gbk(album.category_title.value_or("")));
    EXPECT_EQ(controls().cell(WindowId::main, u8"超级列表框1", row, 3),
              utf8_to_gbk(album.nickname));
  }
}

TEST_F(AlbumRoad, SecondSearchAppendsAndUnknownKeywordAddsNothing) {
  search(QString::fromUtf8(sim::kOtherKeyword.data(), sim::kOtherKeyword.size()), 2);
  search(QString::fromUtf8(sim::kOtherKeyword.data(), sim::kOtherKeyword.size()), 4);
  search(QStringLiteral("no such album"), 4);
}

TEST_F(AlbumRoad, ListingFillsTheTrackListPageByPage) {
  search(kKeyword, 45);
  const std::size_t logged = sim_->mobile_log().snapshot().size();
  open_album(sim::albums::kFortyFiveTracks);

  EXPECT_EQ(sim_->mobile_log().snapshot().size() - logged, 4u);  // page 1 twice, then 2 and 3
  const sim::SimAlbum& album = *sim_->catalogue().album(sim::albums::kFortyFiveTracks);
  ASSERT_EQ(track_list()->topLevelItemCount(), 45);
  for (int row = 0; row < 45; ++row) {
    EXPECT_EQ(track_cell(row, 0), "");
    EXPECT_EQ(track_cell(row, 1), utf8_to_gbk(album.tracks[row].title));
    EXPECT_EQ(track_cell(row, 2), album.tracks[row].play_url);
    EXPECT_EQ(track_cell(row, 3), "");
    EXPECT_FALSE(controls().is_checked(WindowId::track, u8"超级列表框1", row));
  }
  // A second album goes below the first.
  open_album(sim::albums::kTwentyTracks);
  EXPECT_EQ(track_list()->topLevelItemCount(), 65);
}

TEST_F(AlbumRoad, PercentEscapesInTheBodyAreDecodedBeforeParsing) {
  search(kKeyword, 45);
  open_album(sim::albums::kOddTitles);
  const sim::SimAlbum& album = *sim_->catalogue().album(sim::albums::kOddTitles);
  bool saw_percent_title = false;
  for (int row = 0; row < track_list()->topLevelItemCount(); ++row) {
    const std::string& title = album.tracks[row].title;
    const std::size_t at = title.find("%41");
    if (at == std::string::npos) continue;
    saw_percent_title = true;
    const std::string decoded = title.substr(0, at) + "A" + title.substr(at + 3);
    EXPECT_EQ(track_cell(row, 1), utf8_to_gbk(decoded));
  }
  EXPECT_TRUE(saw_percent_title);
}

TEST_F(AlbumRoad, ClosingTheTrackWindowWhileAListingRunsIsHarmless) {
  search(kKeyword, 45);
  const std::size_t logged = sim_->mobile_log().snapshot().size();
  ListView* list = album_list();
  for (int r = 0; r < list->topLevelItemCount(); ++r) {
    if (controls().cell(WindowId::main, u8"超级列表框1", r, 1) ==
        decimal_text(sim::albums::kTwoHundredFiveTracks)) {
      list->scrollToItem(list->topLevelItem(r));
      const QPoint at = list->visualItemRect(list->topLevelItem(r)).center();
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
      QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
  }
  ASSERT_TRUE(wait_for([&] { return track_list() && track_list()->topLevelItemCount() > 0; }));
  track_window()->close();
  ASSERT_TRUE(wait_for([&] { return track_window() == nullptr; }));
  // The worker goes on through every page, writing to a window that is gone.
  ASSERT_TRUE(wait_for([&] { return sim_->mobile_log().snapshot().size() - logged == 12; }));
  ASSERT_TRUE(wait_for([&] { return app_->running_workers() == 0; }));
}

}  // namespace
}  // namespace lumora::e2e
