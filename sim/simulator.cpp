#include "lumora/sim/simulator.h"

#include <cstdio>

namespace lumora::sim {
namespace {

std::string percent_encoded(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalnum(u) || c == '-' || c == '.') {
      out += c;
    } else {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", u);
      out += escape;
    }
  }
  return out;
}

}  // namespace

Simulator::Simulator(const SimulatorOptions& options)
    : audio_({.tls = options.audio_tls}), catalogue_(audio_), search_(catalogue_),
      mobile_(catalogue_, growth_) {}

Simulator::~Simulator() { stop(); }

void Simulator::stop() {
  search_.stop();
  mobile_.stop();
  audio_.stop();
}

std::vector<SimTrack> Simulator::grow_album(std::int64_t album_id, int count) {
  const SimAlbum* album = catalogue_.album(album_id);
  if (!album) return {};
  const std::size_t had = album->tracks.size() + growth_.added(album_id).size();
  std::vector<SimTrack> tracks;
  for (int k = 1; k <= count; ++k) {
    const std::size_t number = had + static_cast<std::size_t>(k);
    const AudioFile file = audio_.add_file(40960 + number * 1009 % 50000);
    tracks.push_back({"第" + std::to_string(number) + "集 新篇", file.path, file.url, file.size});
  }
  growth_.add(album_id, tracks);
  return tracks;
}

std::string Simulator::search_url(std::string_view keyword, int page) const {
  std::string url = search_base() + kSearchPath + "?core=album&kw=" + percent_encoded(keyword);
  if (page > 0) url += "&page=" + std::to_string(page);
  return url + "&spellchecker=true&rows=20&condition=relation&device=iPhone";
}

std::string Simulator::track_list_url(std::int64_t album_id, int page) const {
  return mobile_base() + kTrackListPath + "?albumId=" + std::to_string(album_id) +
         "&device=android&isAsc=true&isQueryInvitationBrand=true&pageId=" + std::to_string(page) +
         "&pageSize=20&pre_page=0";
}

}  // namespace lumora::sim
