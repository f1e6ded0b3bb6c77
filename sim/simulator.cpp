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

Simulator::Simulator() : catalogue_(audio_), search_(catalogue_), mobile_(catalogue_) {}

Simulator::~Simulator() { stop(); }

void Simulator::stop() {
  search_.stop();
  mobile_.stop();
  audio_.stop();
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
