#include "lumora/sim/catalogue.h"

#include <algorithm>

#include "lumora/sim/audio_server.h"

namespace lumora::sim {
namespace {

struct TrackDef {
  std::string title;
  std::uint64_t size;
  bool has_play_url = true;
};

struct AlbumDef {
  std::int64_t id;
  std::string title;
  std::string nickname;
  std::optional<std::string> category;
  std::vector<TrackDef> tracks;
};

const char* const kNicknames[] = {"雷米有声", "暗夜电台", "听书人小王", "周建龙", "有声的紫襟"};
const char* const kCategories[] = {"有声书", "悬疑", "广播剧", "相声评书"};

// Ordinary tracks: 40 960 to about 340 000 bytes, varied per album and track.
std::uint64_t ordinary_size(std::int64_t album, int track) {
  return 40960 + static_cast<std::uint64_t>(album * 131 + track * 7919) % 300000;
}

std::vector<TrackDef> numbered(std::int64_t album, int count, const std::string& name) {
  std::vector<TrackDef> tracks;
  for (int k = 1; k <= count; ++k)
    tracks.push_back({"第" + std::to_string(k) + "集 " + name, ordinary_size(album, k)});
  return tracks;
}

AlbumDef album_def(std::int64_t id, const std::string& title, std::vector<TrackDef> tracks) {
  const auto n = static_cast<std::size_t>(id);
  return {id, title, kNicknames[n % 5], std::string(kCategories[n % 4]), std::move(tracks)};
}

std::vector<AlbumDef> album_defs() {
  using namespace albums;
  std::vector<AlbumDef> defs;
  defs.push_back(album_def(kOneTrack, "心理罪之画像", {{"画像 全一集", 12288}}));
  defs.push_back(album_def(kTwentyTracks, "心理罪之教化场", numbered(kTwentyTracks, 20, "教化场")));
  defs.push_back(album_def(kFortyFiveTracks, "心理罪之城市之光", numbered(kFortyFiveTracks, 45, "城市之光")));
  defs.push_back(album_def(kTwoHundredFiveTracks, "心理罪（全集）", numbered(kTwoHundredFiveTracks, 205, "心理罪")));
  AlbumDef no_category = album_def(kWithoutCategory, "心理罪之暗河", numbered(kWithoutCategory, 3, "暗河"));
  no_category.category.reset();
  defs.push_back(std::move(no_category));
  defs.push_back(album_def(kOddTitles, "心理罪之第七个读者",
                             {{"第1集 A/B面", 50001},
                              {"第2集 左\\右", 50002},
                              {"第3集 折扣%41", 50003},
                              {"第4集 暂无音频", 50004, false},
                              {"第5集 尾声", 50005}}));
  defs.push_back(album_def(kLargeFiles, "心理罪 高品质版",
                             {{"片头 20479", 20479},
                              {"片头 20480", 20480},
                              {"片头 20481", 20481},
                              {"第1集 一兆零一字节", (1u << 20) + 1},
                              {"第2集 五十兆", 50u << 20}}));
  // Enough further matches for three search pages.
  for (int k = 1; defs.size() < 45; ++k)
    defs.push_back(album_def(3700100 + k, "心理罪 第" + std::to_string(k) + "季 精编",
                               numbered(3700100 + k, 2, "精编")));
  defs.push_back(album_def(3700201, "鬼吹灯之精绝古城", numbered(3700201, 3, "精绝古城")));
  defs.push_back(album_def(3700202, "鬼吹灯之龙岭迷窟", numbered(3700202, 3, "龙岭迷窟")));
  // Titles that make the same file name: twice the same title and size, two
  // titles that clean to one name.
  defs.push_back(album_def(kSameNames, "同名测试",
                             {{"Same", 40000}, {"Same", 40000}, {"a/b", 30000}, {"a_b", 30000}}));
  defs.push_back(album_def(kTwoThousandTracks, "长篇连播 两千集", numbered(kTwoThousandTracks, 2000, "长篇")));
  return defs;
}

}  // namespace

Catalogue::Catalogue(AudioServer& audio) {
  for (AlbumDef& def : album_defs()) {
    SimAlbum album{def.id, def.title, def.nickname, def.category, {}, def.id % 2 == 0};
    for (const TrackDef& track : def.tracks) {
      const AudioFile file = audio.add_file(track.size);
      album.tracks.push_back({track.title, file.path, track.has_play_url ? file.url : std::string(), file.size});
    }
    albums_.push_back(std::move(album));
  }
}

const SimAlbum* Catalogue::album(std::int64_t id) const {
  const auto it = std::find_if(albums_.begin(), albums_.end(), [&](const SimAlbum& a) { return a.id == id; });
  return it == albums_.end() ? nullptr : &*it;
}

std::vector<const SimAlbum*> Catalogue::search(std::string_view keyword) const {
  std::vector<const SimAlbum*> found;
  if (keyword.empty()) return found;
  for (const SimAlbum& album : albums_) {
    if (album.title.find(keyword) != std::string::npos) found.push_back(&album);
  }
  return found;
}

}  // namespace lumora::sim
