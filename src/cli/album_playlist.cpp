#include "lumora/cli/album_playlist.h"

#include <algorithm>

#include "lumora/cli/atomic_file.h"
#include "lumora/cli/download_archive.h"
#include "lumora/cli/listing_output.h"
#include "lumora/road/file_name.h"
#include "lumora/text/code_page.h"

namespace lumora::cli {

std::string playlist_text(const std::vector<PlaylistEntry>& entries) {
  std::string text = "#EXTM3U\n";
  for (const PlaylistEntry& e : entries) {
    std::string title = e.title;
    std::replace_if(title.begin(), title.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    text += "#EXTINF:-1," + title + "\n";
    text += (e.file_name.rfind('#', 0) == 0 ? "./" : "") + e.file_name + "\n";
  }
  return text;
}

std::string playlist_file_name(const std::string& album_id, const std::string& gbk_album_title) {
  if (gbk_album_title.empty()) return album_id + ".m3u8";
  return gbk_to_utf8(safe_file_name(gbk_album_title)) + ".m3u8";
}

std::string write_playlist(const std::string& path, const std::vector<PlaylistEntry>& entries) {
  const std::string text = playlist_text(entries);
  std::string old;
  if (read_whole_file(path, old) && old == text) return {};
  return replace_file_atomically(path, text);
}

}  // namespace lumora::cli

namespace lumora::cli {
namespace {

// The file that holds the track, or empty when the folder has none.
std::string held_file(const std::string& album_id, const TrackEntry& track,
                      const TrackReport& outcome, const DownloadArchive& archive) {
  using State = TrackReport::State;
  if (outcome.state == State::done || outcome.state == State::skipped) return outcome.file_name;
  std::string name;
  if (outcome.state == State::not_chosen && !track.address.empty() &&
      archive.has(archive_key(album_id, shown(track.track_id), shown(track.address)), &name))
    return name;
  return {};
}

}  // namespace

std::string keep_album_playlist(const std::string& dir, const std::string& album_id,
                                const GetReport& report) {
  if (report.outcomes.size() != report.tracks.size() || report.tracks.empty()) return {};
  const DownloadArchive archive(dir);
  std::vector<PlaylistEntry> entries;
  for (std::size_t i = 0; i < report.tracks.size(); ++i) {
    std::string name = held_file(album_id, report.tracks[i], report.outcomes[i], archive);
    if (!name.empty()) entries.push_back({shown(report.tracks[i].title), std::move(name)});
  }
  const std::string file = playlist_file_name(album_id, report.tracks.front().album_title);
  return write_playlist(dir + "/" + file, entries);
}

}  // namespace lumora::cli
