#include "lumora/sim/simulator.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <set>

#include "lumora/net/http_request.h"
#include "lumora/sim/audio_bytes.h"

namespace lumora::sim {
namespace {

using Json = nlohmann::json;

std::string fetch(const std::string& url, int* status = nullptr) {
  const ByteArray body = http_request(url, {.status_out = status});
  return {body.begin(), body.end()};
}

Json fetch_json(const std::string& url) { return Json::parse(fetch(url), nullptr, false); }

class SimulatorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { sim = new Simulator; }
  static void TearDownTestSuite() { delete sim; }
  static Simulator* sim;
};
Simulator* SimulatorTest::sim = nullptr;

TEST_F(SimulatorTest, SearchSpansPagesOverHttps) {
  const Json first = fetch_json(sim->search_url(kKeyword));
  EXPECT_EQ(first["data"]["result"]["response"]["totalPage"], 3);
  std::set<std::int64_t> ids;
  const std::size_t expected[] = {20, 20, 5, 0};
  for (int page = 1; page <= 4; ++page) {
    SCOPED_TRACE(page);
    const std::string text = fetch(sim->search_url(kKeyword, page));
    // Odd pages come as raw UTF-8, even ones with \u escapes.
    EXPECT_EQ(text.find("\\u") != std::string::npos, page % 2 == 0 && page < 4);
    const Json docs = Json::parse(text)["data"]["result"]["response"]["docs"];
    EXPECT_EQ(docs.size(), expected[page - 1]);
    for (const Json& doc : docs) {
      ids.insert(doc["id"].get<std::int64_t>());
      EXPECT_NE(doc["title"].get<std::string>().find(kKeyword), std::string::npos);
      EXPECT_EQ(doc.contains("category_title"), doc["id"] != albums::kWithoutCategory);
    }
  }
  EXPECT_EQ(ids.size(), 45u);
  EXPECT_EQ(fetch_json(sim->search_url("鬼吹灯", 1))["data"]["result"]["response"]["docs"].size(), 2u);
  for (const char* nothing : {"", "不存在"})
    EXPECT_EQ(fetch_json(sim->search_url(nothing))["data"]["result"]["response"]["totalPage"], 0);
  const auto logged = sim->search_log().matching("/revision/search");
  ASSERT_FALSE(logged.empty());
  EXPECT_NE(logged.front().target.find("kw=%E5%BF%83%E7%90%86%E7%BD%AA"), std::string::npos);
}

TEST_F(SimulatorTest, ListingPagesMatchTheCatalogue) {
  struct Case {
    std::int64_t album;
    int pages;
    std::size_t last_page;
  };
  const Case cases[] = {{albums::kOneTrack, 1, 1},
                        {albums::kTwentyTracks, 1, 20},
                        {albums::kFortyFiveTracks, 3, 5},
                        {albums::kTwoHundredFiveTracks, 11, 5},
                        {999, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.album);
    EXPECT_EQ(fetch_json(sim->track_list_url(c.album))["data"]["maxPageId"], c.pages);
    if (c.pages == 0) continue;
    const Json last = fetch_json(sim->track_list_url(c.album, c.pages));
    const SimAlbum& album = *sim->catalogue().album(c.album);
    ASSERT_EQ(last["data"]["list"].size(), c.last_page);
    EXPECT_EQ(last["data"]["list"].back()["title"], album.tracks.back().title);
    EXPECT_EQ(last["data"]["list"].back()["playUrl64"], album.tracks.back().play_url);
  }
}

TEST_F(SimulatorTest, OddTitlesAndMissingAddress) {
  const std::string text = fetch(sim->track_list_url(albums::kOddTitles));
  EXPECT_NE(text.find("%41"), std::string::npos);  // left for the client's percent-decoding
  const Json list = Json::parse(text)["data"]["list"];
  std::string titles;
  int without_address = 0;
  for (const Json& track : list) {
    titles += track["title"].get<std::string>();
    without_address += !track.contains("playUrl64");
  }
  EXPECT_NE(titles.find('/'), std::string::npos);
  EXPECT_NE(titles.find('\\'), std::string::npos);
  EXPECT_EQ(without_address, 1);
}

TEST_F(SimulatorTest, TrackFilesHaveTheirExpectedContent) {
  std::uint64_t smallest = UINT64_MAX, largest = 0;
  for (const SimAlbum& album : sim->catalogue().albums()) {
    for (const SimTrack& track : album.tracks) {
      smallest = std::min(smallest, track.size);
      largest = std::max(largest, track.size);
    }
  }
  EXPECT_LT(smallest, 20480u);
  EXPECT_EQ(largest, 50u << 20);

  for (const std::int64_t id : {albums::kOneTrack, albums::kOddTitles}) {
    for (const SimTrack& track : sim->catalogue().album(id)->tracks) {
      if (track.play_url.empty()) continue;
      SCOPED_TRACE(track.title);
      const std::string body = fetch(track.play_url);
      EXPECT_EQ(body.size(), track.size);
      EXPECT_EQ(sha256_hex({reinterpret_cast<const std::uint8_t*>(body.data()), body.size()}),
                sim->expected_sha256(track));
    }
  }
}

}  // namespace
}  // namespace lumora::sim
