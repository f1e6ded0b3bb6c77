#include "lumora/cli/followed_albums.h"

#include <limits>
#include <nlohmann/json.hpp>

namespace lumora::cli {
namespace {

using Json = nlohmann::ordered_json;

bool digits_only(const std::string& s) {
  return !s.empty() && s.size() <= 18 && s.find_first_not_of("0123456789") == std::string::npos;
}

Json to_json(const FollowedAlbum& a) {
  return {{"id", a.id},
          {"dir", a.dir},
          {"tag", a.tag},
          {"playlist", a.playlist},
          {"notify", a.notify},
          {"limit_rate", a.limit_rate},
          {"exec", a.exec},
          {"last_sync", a.last_sync.empty() ? Json(nullptr) : Json(a.last_sync)},
          {"result", a.result},
          {"failed", a.failed},
          {"tracks_held", a.tracks_held}};
}

// Throws nlohmann's type errors for members of the wrong kind.
FollowedAlbum from_json(const Json& j) {
  FollowedAlbum a;
  a.id = j.at("id").get<std::string>();
  a.dir = j.at("dir").get<std::string>();
  a.tag = j.value("tag", false);
  a.playlist = j.value("playlist", false);
  a.notify = j.value("notify", false);
  a.limit_rate = j.value("limit_rate", std::int64_t{0});
  a.exec = j.value("exec", std::string());
  if (j.contains("last_sync") && !j["last_sync"].is_null())
    a.last_sync = j["last_sync"].get<std::string>();
  a.result = j.value("result", std::string("never"));
  a.failed = j.value("failed", 0);
  a.tracks_held = j.value("tracks_held", 0);
  if (!digits_only(a.id)) throw std::invalid_argument("album id is not a number: " + a.id);
  if (a.limit_rate < 0 || a.limit_rate > std::numeric_limits<int>::max())
    throw std::invalid_argument("limit_rate is not a rate: " + std::to_string(a.limit_rate));
  if (a.dir.empty() || a.dir[0] != '/')
    throw std::invalid_argument("folder is not absolute: " + a.dir);
  return a;
}

}  // namespace

FollowedRead parse_followed(const std::string& text) {
  FollowedRead read;
  try {
    const Json root = Json::parse(text);
    if (!root.is_object() || !root.contains("albums") || !root["albums"].is_array())
      return {{}, "no \"albums\" array"};
    for (const Json& entry : root["albums"]) {
      if (!entry.is_object()) return {{}, "an album is not an object"};
      FollowedAlbum album = from_json(entry);
      if (find_followed(read.albums, album.id) >= 0)
        return {{}, "album " + album.id + " is there twice"};
      read.albums.push_back(std::move(album));
    }
  } catch (const std::exception& e) {
    return {{}, e.what()};
  }
  return read;
}

std::string followed_text(const std::vector<FollowedAlbum>& albums) {
  Json root;
  root["albums"] = Json::array();
  for (const FollowedAlbum& a : albums) root["albums"].push_back(to_json(a));
  return root.dump(2) + "\n";
}

std::string followed_json(const std::vector<FollowedAlbum>& albums) {
  Json list = Json::array();
  for (const FollowedAlbum& a : albums) list.push_back(to_json(a));
  return list.dump() + "\n";
}

int find_followed(const std::vector<FollowedAlbum>& albums, const std::string& id) {
  for (std::size_t i = 0; i < albums.size(); ++i)
    if (albums[i].id == id) return static_cast<int>(i);
  return -1;
}

}  // namespace lumora::cli
