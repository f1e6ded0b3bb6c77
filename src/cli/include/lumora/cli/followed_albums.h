// The albums `follow` keeps and `sync` fetches, in following.json:
//
//   {"albums":[{"id":"3700002","dir":"/home/me/Books","tag":false,
//               "playlist":true,"notify":false,"limit_rate":0,"exec":"",
//               "last_sync":"2026-12-09T14:00:00Z","result":"ok",
//               "failed":0,"tracks_held":20}]}
//
// "last_sync" is null and "result" "never" before the first sync. Members
// this version does not know are dropped on the next write; members it
// knows that a file lacks take their defaults.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumora::cli {

inline constexpr const char* kFollowingFileName = "following.json";

struct FollowedAlbum {
  std::string id;   // decimal digits
  std::string dir;  // absolute, UTF-8
  bool tag = false;
  bool playlist = false;
  bool notify = false;          // a desktop notification when a sync brings tracks
  std::int64_t limit_rate = 0;  // bytes per second; 0: none
  std::string exec;             // run with each new file's path; empty: none
  std::string last_sync;  // UTC "YYYY-MM-DDTHH:MM:SSZ"; empty: never
  // "never", "ok", "tracks failed", "album failed" or "interrupted".
  std::string result = "never";
  int failed = 0;       // tracks that failed in the last sync
  int tracks_held = 0;  // of the album's tracks, those in the folder after it
};

struct FollowedRead {
  std::vector<FollowedAlbum> albums;
  std::string error;  // not empty: the file is there but cannot be used
};

// Parses the file's text; an error names what is wrong, not the path.
FollowedRead parse_followed(const std::string& text);
std::string followed_text(const std::vector<FollowedAlbum>& albums);
// The albums as `following --json` prints them: a JSON array.
std::string followed_json(const std::vector<FollowedAlbum>& albums);

// The position of the album in `albums`, or -1.
int find_followed(const std::vector<FollowedAlbum>& albums, const std::string& id);

}  // namespace lumora::cli
