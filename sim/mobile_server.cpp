#include <httplib.h>

#include <nlohmann/json.hpp>

#include "lumora/sim/catalogue_servers.h"
#include "query_params.h"

namespace lumora::sim {
namespace {

using Json = nlohmann::ordered_json;

Json track_entry(std::int64_t album_id, const std::vector<SimTrack>& tracks, std::size_t index) {
  const SimTrack& track = tracks[index];
  Json entry;
  entry["index"] = index + 1;
  entry["trackId"] = album_id * 1000 + static_cast<std::int64_t>(index) + 1;
  entry["title"] = track.title;
  if (!track.play_url.empty()) entry["playUrl64"] = track.play_url;
  entry["duration"] = track.size / 8000;  // seconds at 64 kbit/s
  return entry;
}

std::string listing_answer(const Catalogue& catalogue, const AlbumGrowth& growth,
                           const httplib::Request& request) {
  const SimAlbum* album = catalogue.album(number_param(request, "albumId", -1));
  std::vector<SimTrack> tracks;
  if (album) {
    tracks = album->tracks;
    const std::vector<SimTrack> added = growth.added(album->id);
    tracks.insert(tracks.end(), added.begin(), added.end());
  }
  const long long size = std::max(1LL, number_param(request, "pageSize", kListingPageSize));
  const long long page = std::max(1LL, number_param(request, "pageId", 1));
  const bool ascending = request.get_param_value("isAsc") != "false";
  const long long count = static_cast<long long>(tracks.size());
  Json list = Json::array();
  for (long long i = (page - 1) * size; i < std::min(count, page * size); ++i) {
    const auto index = static_cast<std::size_t>(ascending ? i : count - 1 - i);
    list.push_back(track_entry(album->id, tracks, index));
  }
  Json answer;
  answer["ret"] = 0;
  answer["msg"] = "0";
  answer["data"]["pageId"] = page;
  answer["data"]["pageSize"] = size;
  answer["data"]["maxPageId"] = (count + size - 1) / size;
  answer["data"]["totalCount"] = count;
  answer["data"]["list"] = std::move(list);
  return json_text(answer, album && album->escaped_listing);
}

}  // namespace

MobileServer::MobileServer(const Catalogue& catalogue, const AlbumGrowth& growth)
    : CatalogueServer(std::make_unique<httplib::Server>(), "http", kTrackListPath,
                      [&catalogue, &growth](const httplib::Request& request) {
                        return listing_answer(catalogue, growth, request);
                      }) {}

}  // namespace lumora::sim
