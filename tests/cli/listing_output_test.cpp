#include "lumora/cli/listing_output.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include <nlohmann/json.hpp>

#include "lumora/cli/progress_view.h"
#include "lumora/text/code_page.h"

namespace lumora::cli {
namespace {

TEST(ListingOutput, LinesStayOneAlbumOrTrackEachInUtf8) {
  const std::vector<AlbumEntry> albums = {
      {"12", utf8_to_gbk("标题\twith tab"), utf8_to_gbk("分类"), "two\nlines"}};
  EXPECT_EQ(album_lines(albums), "12\t标题 with tab\t分类\ttwo lines\n");
  const std::vector<TrackEntry> tracks = {{utf8_to_gbk("第1集"), "http://h/1.mp3", "", "", ""},
                                          {"", "", "", "", ""}};
  EXPECT_EQ(track_lines(tracks), "1\t第1集\thttp://h/1.mp3\n2\t\t\n");
}

TEST(ListingOutput, ControlCharactersShowAsEscapesAndJsonStaysExact) {
  const Text title = "a\x1b]0;owned\x07" "b\x1b[2J\x7f" + utf8_to_gbk("第") + "\rc";
  const std::vector<TrackEntry> tracks = {{title, "http://h/1.mp3", "", "", ""}};
  EXPECT_EQ(track_lines(tracks),
            "1\ta\\x1b]0;owned\\x07b\\x1b[2J\\x7f第 c\thttp://h/1.mp3\n");
  // C1 controls (UTF-8 C2 80 to C2 9F) escaped, the characters around them kept.
  const std::pair<const char*, const char*> c1[] = {
      {"x\xc2\x9b[31m\xc2\xa0y", "x\\x9b[31m\xc2\xa0y"},  // CSI; NBSP kept
      {"\xc2\x80", "\\x80"},
      {"\xc2\x9f", "\\x9f"},
      {"\xc2\x7f", "\xc2\\x7f"},
      {"\xc2\xa0\xc2", "\xc2\xa0\xc2"},
      {"\x1f \x7f", "\\x1f \\x7f"},
  };
  for (const auto& [text, shown_as] : c1) EXPECT_EQ(visible(text), shown_as);
  const auto parsed = nlohmann::json::parse(track_json(tracks));
  EXPECT_EQ(parsed[0]["title"], "a\x1b]0;owned\x07" "b\x1b[2J\x7f第\rc");
  EXPECT_EQ(live_line({.name = "n\x1b[2J"}).find('\x1b'), std::string::npos);
}

// Album ids are strings in every JSON the program writes: an id of 19
// digits would not survive a reader that takes numbers as doubles.
TEST(ListingOutput, JsonIdsAreAlwaysStrings) {
  const std::vector<AlbumEntry> albums = {{"3700001", "a", "", ""}, {"x-1", "b", "", ""},
                                          {"", "c", "", ""}};
  const auto parsed = nlohmann::json::parse(album_json(albums));
  EXPECT_EQ(parsed[0]["id"], "3700001");
  EXPECT_EQ(parsed[1]["id"], "x-1");
  EXPECT_EQ(parsed[2]["id"], "");
  // A byte GBK cannot decode still leaves valid JSON.
  const auto odd = nlohmann::json::parse(track_json({{"\xFF", "u", "", "", ""}}));
  EXPECT_EQ(odd[0]["number"], 1);
}

TEST(ProgressText, AlbumLinesAndSummariesInTheTotalsUnit) {
  struct Case {
    AlbumProgress album;
    const char* line;
  };
  const Case cases[] = {
      {{58, 200, 412ll << 20, 1390ll << 20, 179.1}, "58/200 tracks  412/1,390 MiB  2.3 MiB/s  7:05 left"},
      {{1, 3, 1536, 4096, 1.0}, "1/3 tracks  1.5/4.0 KiB  1.5 KiB/s  0:02 left"},
      {{0, 3, 0, -1, 0.0}, "0/3 tracks  0 B  0 B/s  --:-- left"},
      {{2, 2, 5ll << 30, 5ll << 30, 10.0}, "2/2 tracks  5,120/5,120 MiB  512.0 MiB/s  0:00 left"},
      {{1, 9, 999, 1000, 1.0}, "1/9 tracks  999/1,000 B  999 B/s  0:00 left"},
  };
  for (const Case& c : cases) EXPECT_EQ(album_line(c.album), c.line);
  EXPECT_EQ(summary_line({20, 0, 0, 0, 40055603, 3.14}), "done 20, skipped 0, failed 0 - 38.2 MiB in 3.1 s");
  EXPECT_EQ(summary_line({3, 1, 2, 17, 0, 0.04}),
            "done 3, skipped 1, failed 2, not fetched 17 - 0 B in 0.0 s");
  const std::pair<long long, const char*> numbers[] = {
      {0, "0"}, {999, "999"}, {1000, "1,000"}, {2000000000, "2,000,000,000"}, {-1234, "-1,234"}};
  for (const auto& [n, text] : numbers) EXPECT_EQ(thousands(n), text);
}

TEST(ProgressText, LiveLinesShowPercentSizeSpeedAndTimeLeft) {
  EXPECT_EQ(size_text(512), "512 B");
  EXPECT_EQ(size_text(1536), "1.5 KiB");
  EXPECT_EQ(size_text(20 * 1024 * 1024), "20.0 MiB");
  EXPECT_EQ(live_line({"a.mp3", 5 * 1024 * 1024, 20 * 1024 * 1024, 5.0}),
            " 25%  5.0 MiB/20.0 MiB  1.0 MiB/s  0:15 left  a.mp3");
  EXPECT_EQ(live_line({"b.mp3", 0, -1, 0.0}), "  ?%  0 B  0 B/s  --:-- left  b.mp3");
}

// A reason names what failed, and a name may carry control characters.
TEST(ProgressView, ProblemsReachStandardErrorEscaped) {
  char* buffer = nullptr;
  std::size_t length = 0;
  std::FILE* err = open_memstream(&buffer, &length);
  {
    ProgressView view(stdout, err, Display::kLines);
    view.problem("track 1/1 a\x1b]0;x\x07\xc2\x9b.mp3: no address");
  }
  std::fclose(err);
  EXPECT_EQ(std::string(buffer, length), "lumorafm-cli: track 1/1 a\\x1b]0;x\\x07\\x9b.mp3: no address\n");
  std::free(buffer);
}

// What the terminal receives: live lines redrawn in place, finished lines
// and the summary above them; without a terminal only the latter.
TEST(ProgressView, LiveLinesAreErasedBeforeEveryFinishedLine) {
  const AlbumProgress album{1, 2, 1536, 4096, 1.0};
  const RunSummary summary{1, 0, 0, 0, 1536, 1.0};
  for (const bool live : {true, false}) {
    SCOPED_TRACE(live);
    char* buffer = nullptr;
    std::size_t length = 0;
    std::FILE* out = open_memstream(&buffer, &length);
    {
      ProgressView view(out, stderr, live ? Display::kLive : Display::kLines);
      view.show_live(album, {{"a.mp3", 0, -1, 0}, {"b.mp3", 0, -1, 0}});
      view.finished("done    1/2  a.mp3");
      view.show_live(album, {{"b.mp3", 0, -1, 0}});
      view.summary(summary);
    }
    std::fclose(out);
    const std::string text(buffer, length);
    std::free(buffer);
    const std::string head = "\x1b[2K" + album_line(album) + "\n";
    const std::string a = "\x1b[2K" + live_line({"a.mp3", 0, -1, 0}) + "\n";
    const std::string b = "\x1b[2K" + live_line({"b.mp3", 0, -1, 0}) + "\n";
    const std::string last = "done 1, skipped 0, failed 0 - 1.5 KiB in 1.0 s\n";
    if (live)
      EXPECT_EQ(text, head + a + b + "\x1b[3A\x1b[Jdone    1/2  a.mp3\n" + head + b +
                          "\x1b[2A\x1b[J" + last);
    else
      EXPECT_EQ(text, "done    1/2  a.mp3\n" + last);
  }
}

}  // namespace
}  // namespace lumora::cli
