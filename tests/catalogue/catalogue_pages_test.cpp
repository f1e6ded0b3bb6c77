// The catalogue's page walks against the simulator, including what the
// platform gets wrong, staged with the simulator's answer overrides.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "lumora/catalogue/album_search.h"
#include "lumora/catalogue/platform_page.h"
#include "lumora/catalogue/track_listing.h"
#include "lumora/sim/simulator.h"
#include "lumora/test_support/loopback_server.h"
#include "lumora/text/code_page.h"

namespace lumora {
namespace {

using sim::albums::kFortyFiveTracks;
using sim::albums::kTwentyTracks;


// `count` rows of a listing page's "list", titled t0, t1, ...
std::string track_rows(int count) {
  std::string list;
  for (int i = 0; i < count; ++i)
    list += std::string(i ? "," : "") + R"({"title":"t)" + std::to_string(i) + R"(","playUrl64":"u"})";
  return list;
}

class CataloguePages : public ::testing::Test {
 protected:
  sim::Simulator sim;
  PlatformEndpoints endpoints{sim.search_base(), sim.mobile_base()};

  struct Albums {
    PageWalk walk;
    std::vector<AlbumEntry> rows;
    int pages_delivered = 0;
  };
  struct Tracks {
    PageWalk walk;
    std::vector<TrackEntry> rows;
  };

  Albums search(std::string_view utf8_keyword) {
    Albums out;
    Text keyword = utf8_to_gbk(utf8_keyword);
    out.walk = search_album_pages(keyword, endpoints, [&](const std::vector<AlbumEntry>& page) {
      out.rows.insert(out.rows.end(), page.begin(), page.end());
      ++out.pages_delivered;
    });
    return out;
  }

  Tracks list(const Text& album_id) {
    Tracks out;
    out.walk = list_album_track_pages(album_id, endpoints, [&](const std::vector<TrackEntry>& page) {
      out.rows.insert(out.rows.end(), page.begin(), page.end());
    });
    return out;
  }

  Tracks list_tracks_of(const std::string& album_id) { return list(album_id); }

  std::vector<std::string> search_targets() {
    std::vector<std::string> targets;
    for (const auto& r : sim.search_log().snapshot()) targets.push_back(r.target);
    return targets;
  }
  std::size_t listing_requests() { return sim.mobile_log().snapshot().size(); }

  // The first search request for the simulator's keyword: the only one
  // whose keyword is followed directly by the fixed tail.
  std::string first_search_needle() {
    const std::string url = sim.search_url(sim::kKeyword);
    return url.substr(url.find("kw="), url.find("&spellchecker") + 13 - url.find("kw="));
  }
};

TEST_F(CataloguePages, SearchReturnsEveryAlbumInOrderAsTheCatalogueHasThem) {
  const Albums found = search(sim::kKeyword);
  const auto expected = sim.catalogue().search(sim::kKeyword);
  ASSERT_EQ(found.rows.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(found.rows[i].id, std::to_string(expected[i]->id));
    EXPECT_EQ(gbk_to_utf8(found.rows[i].title), expected[i]->title);
    EXPECT_EQ(gbk_to_utf8(found.rows[i].nickname), expected[i]->nickname);
    EXPECT_EQ(gbk_to_utf8(found.rows[i].category), expected[i]->category_title.value_or(""));
  }
  EXPECT_EQ(found.walk.page_count, 3);
  EXPECT_EQ(found.pages_delivered, 3);
  EXPECT_FALSE(found.walk.ended_early);
  // The first request for the count, then pages 1 to 3: the same requests
  // as when counts are right.
  EXPECT_EQ(search_targets().size(), 4u);
}

TEST_F(CataloguePages, ListingReturnsEveryTrackWithItsAddress) {
  const Tracks found = list(std::to_string(kFortyFiveTracks));
  const sim::SimAlbum* album = sim.catalogue().album(kFortyFiveTracks);
  ASSERT_EQ(found.rows.size(), album->tracks.size());
  for (std::size_t i = 0; i < found.rows.size(); ++i) {
    EXPECT_EQ(gbk_to_utf8(found.rows[i].title), album->tracks[i].title);
    EXPECT_EQ(found.rows[i].address, album->tracks[i].play_url);
  }
  EXPECT_EQ(listing_requests(), 4u);  // pageId=1 twice, then 2 and 3
  EXPECT_FALSE(found.walk.ended_early);
}

TEST_F(CataloguePages, OneSharedConnectionAsksTheSameAndGetsTheSame) {
  const Tracks own = list(std::to_string(kFortyFiveTracks));
  const auto own_requests = sim.mobile_log().snapshot();
  sim.mobile_log().clear();
  RequestComponent connection;
  std::vector<TrackEntry> shared;
  list_album_track_pages(std::to_string(kFortyFiveTracks), endpoints,
                         [&](const auto& page) { shared.insert(shared.end(), page.begin(), page.end()); },
                         &connection);
  const auto shared_requests = sim.mobile_log().snapshot();
  ASSERT_EQ(shared.size(), own.rows.size());
  EXPECT_EQ(gbk_to_utf8(shared[44].title), gbk_to_utf8(own.rows[44].title));
  ASSERT_EQ(shared_requests.size(), own_requests.size());
  for (std::size_t i = 0; i < own_requests.size(); ++i) {
    EXPECT_EQ(shared_requests[i].target, own_requests[i].target);
    EXPECT_EQ(shared_requests[i].headers, own_requests[i].headers);
  }
}

TEST_F(CataloguePages, HugePageCountsStopAtTheFirstPageWithoutRows) {
  sim.search_overrides().add(
      {.needle = first_search_needle(),
       .body = R"({"data":{"result":{"response":{"totalPage":2000000000,"docs":[]}}}})"});
  const Albums albums = search(sim::kKeyword);
  EXPECT_EQ(albums.rows.size(), 45u);
  EXPECT_TRUE(albums.walk.ended_early);
  EXPECT_EQ(search_targets().size(), 5u);  // first, pages 1 to 3, the empty page 4

  // The listing's first request and page 1 are the same address: both say
  // 2,000,000,000 pages and bring one track.
  sim.mobile_overrides().add(
      {.needle = "pageId=1&",
       .body = R"({"data":{"maxPageId":2000000000,"list":[{"title":"x","playUrl64":"u"}]}})"});
  const Tracks tracks = list(std::to_string(kFortyFiveTracks));
  EXPECT_EQ(tracks.rows.size(), 1u + 20u + 5u);
  EXPECT_EQ(tracks.walk.pages_read, 3);
  EXPECT_TRUE(tracks.walk.ended_early);
  EXPECT_EQ(listing_requests(), 5u);
}

// A failed page is passed over; a failed first request leaves no count.
TEST_F(CataloguePages, FailedPagesArePassedOverAndTheWalkGoesOn) {
  struct Case {
    const char* what;
    std::string needle;
    int status;
    const char* body;
    std::size_t rows;
    std::size_t requests;
  };
  const std::vector<Case> cases = {
      {"failed first request", "pageId=1&", 500, "oops", 0, 1},
      {"first answer not JSON", "pageId=1&", 200, "<html>", 0, 1},
      {"failed middle page", "pageId=2&", 500, "oops", 25, 4},
      {"middle page not JSON", "pageId=2&", 200, "{\"data\":", 25, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim.mobile_overrides().clear();
    sim.mobile_log().clear();
    sim.mobile_overrides().add({.needle = c.needle, .status = c.status, .body = c.body});
    const Tracks found = list(std::to_string(kFortyFiveTracks));
    EXPECT_EQ(found.rows.size(), c.rows);
    EXPECT_EQ(listing_requests(), c.requests);
    EXPECT_FALSE(found.walk.ended_early);
  }
}

TEST_F(CataloguePages, ThreeFailedPagesInARowEndTheWalk) {
  sim.mobile_overrides().add(
      {.needle = "pageId=1&",
       .body = R"({"data":{"maxPageId":9,"list":[{"title":"x","playUrl64":"u"}]}})"});
  for (const char* page : {"pageId=2&", "pageId=3&", "pageId=4&"})
    sim.mobile_overrides().add({.needle = page, .status = 500, .body = "oops"});
  const Tracks found = list(std::to_string(kFortyFiveTracks));
  EXPECT_EQ(found.rows.size(), 1u);
  EXPECT_TRUE(found.walk.ended_early);
  EXPECT_EQ(found.walk.stopped_at, 4);
  EXPECT_EQ(found.walk.pages_failed, 3);
  EXPECT_EQ(listing_requests(), 5u);
}

// Only failures in a row end a walk: a good page between two failed ones
// starts the count again.
TEST_F(CataloguePages, FailedPagesApartDoNotEndTheWalk) {
  for (const char* page : {"pageId=2&", "pageId=4&", "pageId=6&"})
    sim.mobile_overrides().add({.needle = page, .status = 500, .body = "oops"});
  const Tracks found = list(std::to_string(sim::albums::kTwoHundredFiveTracks));
  EXPECT_EQ(found.rows.size(), 205u - 60u);
  EXPECT_FALSE(found.walk.ended_early);
  EXPECT_EQ(found.walk.pages_failed, 3);
  EXPECT_EQ(found.walk.page_problem, "HTTP 500");
  EXPECT_EQ(listing_requests(), 12u);
}

// What a caller can tell a person about a first answer that cannot be read.
TEST_F(CataloguePages, AnUnreadableFirstAnswerSaysWhy) {
  struct Case {
    const char* what;
    int status;
    std::string body;
    const char* problem;
  };
  const std::vector<Case> cases = {
      {"not found", 404, "<html>no</html>", "HTTP 404"},
      {"not JSON", 200, "<html>", "the answer is not JSON"},
      {"null", 200, "null", "the answer is not JSON"},
      {"too large", 200, std::string(kMaxPlatformAnswer + 1, ' '),
       "the answer is larger than 64 MiB"},
      {"JSON without rows", 404, R"({"data":{}})", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim.mobile_overrides().clear();
    sim.mobile_overrides().add({.needle = "pageId=1&", .status = c.status, .body = c.body});
    const Tracks found = list(std::to_string(kFortyFiveTracks));
    EXPECT_EQ(found.walk.first_problem, c.problem);
    EXPECT_TRUE(found.rows.empty());
  }
  endpoints.mobile_base = "http://127.0.0.1:" + std::to_string(test::free_loopback_port());
  EXPECT_EQ(list("1").walk.first_problem, "connection refused");
}

TEST_F(CataloguePages, BoundsEndTheWalkBeforeTheCountDoes) {
  const Text id = std::to_string(sim::albums::kTwoHundredFiveTracks);
  std::vector<TrackEntry> rows;
  const auto sink = [&](const std::vector<TrackEntry>& page) {
    rows.insert(rows.end(), page.begin(), page.end());
  };
  const PageWalk limited = list_album_track_pages(id, endpoints, sink, nullptr, {.max_pages = 3, .stop = {}});
  EXPECT_EQ(rows.size(), 60u);
  EXPECT_TRUE(limited.page_limit);
  EXPECT_FALSE(limited.ended_early);
  EXPECT_EQ(limited.stopped_at, 4);
  EXPECT_EQ(listing_requests(), 4u);

  rows.clear();
  sim.mobile_log().clear();
  const PageWalk stopped = list_album_track_pages(
      id, endpoints, sink, nullptr, {.max_pages = 0, .stop = [&] { return rows.size() >= 40; }});
  EXPECT_EQ(rows.size(), 40u);
  EXPECT_TRUE(stopped.stopped);
  EXPECT_EQ(stopped.stopped_at, 3);
  EXPECT_EQ(listing_requests(), 3u);
}

// A page of any length reaches the sink in parts, in order.
TEST_F(CataloguePages, ALongPageArrivesInParts) {
  const std::string list = track_rows(2500);
  sim.mobile_overrides().add(
      {.needle = "albumId=79&", .body = R"({"data":{"maxPageId":1,"list":[)" + list + "]}}"});
  std::vector<std::size_t> parts;
  std::vector<TrackEntry> rows;
  list_album_track_pages("79", endpoints, [&](const std::vector<TrackEntry>& part) {
    parts.push_back(part.size());
    rows.insert(rows.end(), part.begin(), part.end());
  });
  EXPECT_EQ(parts, (std::vector<std::size_t>{1000, 1000, 500}));
  ASSERT_EQ(rows.size(), 2500u);
  for (int i = 0; i < 2500; ++i) EXPECT_EQ(rows[i].title, 't' + std::to_string(i));
}

TEST_F(CataloguePages, APageRepeatingTheOneBeforeEndsAHugeCount) {
  const std::string list = track_rows(20);
  sim.mobile_overrides().add(
      {.needle = "albumId=77&", .body = R"({"data":{"maxPageId":2000000000,"list":[)" + list + "]}}"});
  const Tracks found = list_tracks_of("77");
  EXPECT_EQ(found.rows.size(), 20u);
  EXPECT_TRUE(found.walk.ended_early);
  EXPECT_EQ(found.walk.stopped_at, 2);
  EXPECT_EQ(listing_requests(), 3u);
}

TEST_F(CataloguePages, RawPercentSignsInTitlesStayAndEscapesAreDecoded) {
  sim.mobile_overrides().add(
      {.needle = "albumId=78&",
       .body = R"({"data":{"maxPageId":1,"list":[{"title":"Rise 100%"},{"title":"Rise 100% now"},)"
               R"({"title":"%4"},{"title":"%41%zz%"}]}})"});
  const Tracks found = list_tracks_of("78");
  ASSERT_EQ(found.rows.size(), 4u);
  const char* titles[] = {"Rise 100%", "Rise 100% now", "%4", "A%zz%"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(found.rows[i].title, titles[i]);
}

TEST_F(CataloguePages, MissingOrNonNumericPageCountsAskOnce) {
  const std::vector<std::string> answers = {
      R"({"data":{"result":{"response":{"docs":[{"id":1,"title":"t"}]}}}})",
      R"({"data":{"result":{"response":{"totalPage":"many","docs":[{"id":1}]}}}})",
      R"({"data":{"result":{"response":{"totalPage":0,"docs":[{"id":1}]}}}})",
      R"({"data":{"result":{"response":{"totalPage":-4,"docs":[{"id":1}]}}}})",
  };
  for (const std::string& answer : answers) {
    SCOPED_TRACE(answer);
    sim.search_overrides().clear();
    sim.search_log().clear();
    sim.search_overrides().add({.needle = first_search_needle(), .body = answer});
    const Albums found = search(sim::kKeyword);
    EXPECT_TRUE(found.rows.empty());
    EXPECT_EQ(found.walk.page_count <= 0, true);
    EXPECT_EQ(search_targets().size(), 1u);
  }
}

TEST_F(CataloguePages, EmptyKeywordIsSentEmptyAndFindsNothing) {
  const Albums found = search("");
  EXPECT_TRUE(found.rows.empty());
  const auto targets = search_targets();
  ASSERT_EQ(targets.size(), 1u);
  EXPECT_NE(targets[0].find("kw=&spellchecker=true"), std::string::npos);
}

TEST_F(CataloguePages, TwoSearchesAtOnceEachGetTheirOwnAlbums) {
  Albums first, second;
  std::thread a([&] { first = search(sim::kKeyword); });
  std::thread b([&] { second = search(sim::kOtherKeyword); });
  a.join();
  b.join();
  EXPECT_EQ(first.rows.size(), 45u);
  ASSERT_EQ(second.rows.size(), 2u);
  const auto expected = sim.catalogue().search(sim::kOtherKeyword);
  EXPECT_EQ(second.rows[0].id, std::to_string(expected[0]->id));
  EXPECT_EQ(search_targets().size(), 4u + 2u);
}

TEST_F(CataloguePages, ListingReadsAlbumTitleAndUploaderWhenGiven) {
  sim.mobile_overrides().add(
      {.needle = "albumId=42&",
       .body = R"({"data":{"maxPageId":1,"list":[{"title":"a","playUrl64":"u",)"
               R"("albumTitle":"Album","nickname":"Uploader"}]}})"});
  const Tracks found = list("42");
  ASSERT_EQ(found.rows.size(), 1u);
  EXPECT_EQ(found.rows[0].album_title, "Album");
  EXPECT_EQ(found.rows[0].nickname, "Uploader");
  const Tracks plain = list(std::to_string(kTwentyTracks));
  ASSERT_EQ(plain.rows.size(), 20u);
  EXPECT_TRUE(plain.rows[0].album_title.empty());
}

}  // namespace
}  // namespace lumora
