// The simulator's deterministic catalogue: albums and tracks in Chinese
// (UTF-8, as the platform sends them), each track's audio file registered
// with the audio server. The same build always gives the same catalogue.
//
// What is in it:
// - keyword "心理罪": 45 albums, 3 search pages (20, 20, 5), among them:
//   kOneTrack (1 track, 12 288 bytes, below the 20 480-byte split floor),
//   kTwentyTracks (20: exactly one listing page), kFortyFiveTracks (45: pages
//   of 20, 20, 5), kTwoHundredFiveTracks (205: 11 pages), kWithoutCategory
//   (no category_title), kOddTitles (titles holding "/", "\" and the three
//   bytes "%41", and a track without playUrl64), kLargeFiles (20 479, 20 480,
//   20 481 bytes, 1 MiB + 1 and 50 MiB); the rest have 2 small tracks each.
// - keyword "鬼吹灯": 2 albums, 1 page.
// - keyword "连播": 1 album, kTwoThousandTracks (2 000 tracks: 100 listing
//   pages), for measuring long listings. Any other keyword finds nothing.
// Ordinary tracks are 40 960 to about 340 000 bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumora::sim {

class AudioServer;

struct SimTrack {
  std::string title;
  std::string audio_path;  // on the audio server: "/audio/<n>.mp3"
  std::string play_url;    // playUrl64; empty when the listing has none
  std::uint64_t size = 0;
};

struct SimAlbum {
  std::int64_t id = 0;
  std::string title;
  std::string nickname;
  std::optional<std::string> category_title;
  std::vector<SimTrack> tracks;
  bool escaped_listing = false;  // track pages use \u escapes instead of raw UTF-8
};

namespace albums {
inline constexpr std::int64_t kOneTrack = 3700001;
inline constexpr std::int64_t kTwentyTracks = 3700002;
inline constexpr std::int64_t kFortyFiveTracks = 3700003;
inline constexpr std::int64_t kTwoHundredFiveTracks = 3700004;
inline constexpr std::int64_t kWithoutCategory = 3700005;
inline constexpr std::int64_t kOddTitles = 3700006;
inline constexpr std::int64_t kLargeFiles = 3700007;
inline constexpr std::int64_t kTwoThousandTracks = 3700008;
inline constexpr std::int64_t kSameNames = 3700009;  // found by id only
}  // namespace albums

inline constexpr std::string_view kKeyword = "心理罪";         // 45 albums
inline constexpr std::string_view kOtherKeyword = "鬼吹灯";    // 2 albums
inline constexpr std::string_view kLongKeyword = "连播";       // 1 album of 2 000 tracks
inline constexpr int kSearchRows = 20;
inline constexpr int kListingPageSize = 20;

class Catalogue {
 public:
  // Registers every track's file with `audio`, which must outlive the use
  // of the play addresses (not the catalogue itself).
  explicit Catalogue(AudioServer& audio);

  const std::vector<SimAlbum>& albums() const { return albums_; }
  const SimAlbum* album(std::int64_t id) const;
  // Albums whose title holds `keyword` (UTF-8), in catalogue order; none for
  // an empty keyword.
  std::vector<const SimAlbum*> search(std::string_view keyword) const;

 private:
  std::vector<SimAlbum> albums_;
};

}  // namespace lumora::sim
