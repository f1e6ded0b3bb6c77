// The extended M3U playlist (UTF-8, ".m3u8") `--playlist` keeps in an
// album's folder: the tracks the folder holds, in the album's order, each
// as "#EXTINF:-1,title" and its file name relative to the playlist.
#pragma once

#include <string>
#include <vector>

#include "lumora/cli/album_get.h"

namespace lumora::cli {

struct PlaylistEntry {
  std::string title;      // UTF-8
  std::string file_name;  // UTF-8, a name inside the playlist's folder
};

// The playlist's text. Line breaks in a title become spaces, so each entry
// stays two lines; a file name that starts with "#" is written "./#...",
// so no player takes it for a comment.
std::string playlist_text(const std::vector<PlaylistEntry>& entries);

// The playlist's file name for an album: its title made safe as track file
// names are (GBK in, UTF-8 out), or the album id when the title is empty.
std::string playlist_file_name(const std::string& album_id, const std::string& gbk_album_title);

// Replaces the playlist at `path` atomically unless it already holds
// exactly this text. Returns the reason when it cannot be written.
std::string write_playlist(const std::string& path, const std::vector<PlaylistEntry>& entries);

// The album's playlist in `dir` after a get: tracks done or skipped in
// this run, and tracks not chosen this time that the folder's archive
// holds; failed tracks are left out. Returns the reason when it cannot be
// written; nothing is written for an album that was not listed.
std::string keep_album_playlist(const std::string& dir, const std::string& album_id,
                                const GetReport& report);

}  // namespace lumora::cli
