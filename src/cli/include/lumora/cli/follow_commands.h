// `follow`, `unfollow` and `following`: the followed set in following.json
// (followed_albums.h, following_file.h). Each prints what it did on
// standard output and a problem on standard error. Exit codes: 0 done,
// 1 the file cannot be read or written (or unfollow of an album not
// followed), 2 a folder that cannot be used or an album that cannot be
// listed.
#pragma once

#include <cstdint>
#include <string>

#include "lumora/catalogue/endpoints.h"

namespace lumora::cli {

struct FollowRequest {
  std::string album_id;
  std::string dir;  // UTF-8, as given; kept absolute
  bool tag = false;
  bool playlist = false;
  bool notify = false;
  std::int64_t limit_rate = 0;
  std::string exec;
  bool quiet = false;  // nothing on standard output
  PlatformEndpoints endpoints;
};

// Lists the album once (its first page) and refuses one that cannot be
// listed or has no tracks; then adds it, or changes the folder and options
// of one followed already.
int run_follow(const FollowRequest& request);
int run_unfollow(const std::string& album_id, bool quiet);
// "id\tfolder\toptions\tlast sync\tresult\ttracks held" per album, or JSON;
// with no album followed, says so on standard error.
int run_following(bool json);

}  // namespace lumora::cli
