#include "lumora/cli/listing_output.h"

#include <algorithm>
#include <cctype>
#include <nlohmann/json.hpp>

#include "lumora/text/code_page.h"

namespace lumora::cli {
namespace {

std::string field(const Text& gbk_text) {
  std::string s = shown(gbk_text);
  std::replace_if(s.begin(), s.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; },
                  ' ');
  return s;
}

nlohmann::ordered_json id_value(const Text& id) {
  const bool number = !id.empty() && id.size() <= 18 &&
                      std::all_of(id.begin(), id.end(),
                                  [](unsigned char c) { return std::isdigit(c); });
  if (number) return std::stoll(id);
  return shown(id);
}

std::string dumped(const nlohmann::ordered_json& array) {
  return array.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace

std::string shown(const Text& gbk_text) { return gbk_to_utf8(gbk_text); }

std::string album_lines(const std::vector<AlbumEntry>& albums) {
  std::string out;
  for (const AlbumEntry& a : albums)
    out += field(a.id) + '\t' + field(a.title) + '\t' + field(a.category) + '\t' +
           field(a.nickname) + '\n';
  return out;
}

std::string album_json(const std::vector<AlbumEntry>& albums) {
  nlohmann::ordered_json array = nlohmann::ordered_json::array();
  for (const AlbumEntry& a : albums)
    array.push_back({{"id", id_value(a.id)},
                     {"title", shown(a.title)},
                     {"category", shown(a.category)},
                     {"uploader", shown(a.nickname)}});
  return dumped(array);
}

std::string track_lines(const std::vector<TrackEntry>& tracks) {
  std::string out;
  for (std::size_t i = 0; i < tracks.size(); ++i)
    out += std::to_string(i + 1) + '\t' + field(tracks[i].title) + '\t' +
           field(tracks[i].address) + '\n';
  return out;
}

std::string track_json(const std::vector<TrackEntry>& tracks) {
  nlohmann::ordered_json array = nlohmann::ordered_json::array();
  for (std::size_t i = 0; i < tracks.size(); ++i)
    array.push_back({{"number", i + 1},
                     {"title", shown(tracks[i].title)},
                     {"address", shown(tracks[i].address)}});
  return dumped(array);
}

}  // namespace lumora::cli
