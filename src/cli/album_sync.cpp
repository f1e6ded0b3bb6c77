#include "lumora/cli/album_sync.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

#include "lumora/cli/album_get.h"
#include "lumora/cli/album_playlist.h"
#include "lumora/cli/config_folder.h"
#include "lumora/cli/desktop_notice.h"
#include "lumora/cli/following_file.h"
#include "lumora/cli/interrupt.h"
#include "lumora/cli/listing_output.h"
#include "lumora/cli/standard_output.h"
#include "lumora/cli/sync_lock.h"

namespace lumora::cli {
namespace {

int complain(const std::string& text, int code) {
  print_problem(text);
  return code;
}

std::string utc_now() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&now, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

int count(const GetReport& report, TrackReport::State state) {
  return static_cast<int>(std::count_if(report.outcomes.begin(), report.outcomes.end(),
                                        [state](const TrackReport& t) { return t.state == state; }));
}

// Per-track lines are get's; a sync says one line per album, so the view
// writes them nowhere and keeps only the reasons on standard error.
struct QuietView {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> sink{std::fopen("/dev/null", "w"), std::fclose};
  ProgressView view{sink ? sink.get() : stderr, stderr, Display::kQuiet};
};

// "3 new tracks: TITLE", with the album's title when the listing gives one.
void notify_new_tracks(const FollowedAlbum& album, const GetReport& report, int done) {
  const std::string title =
      report.tracks.empty() || report.tracks.front().album_title.empty()
          ? "album " + album.id
          : shown(report.tracks.front().album_title);
  const std::string summary =
      std::to_string(done) + (done == 1 ? " new track: " : " new tracks: ") + title;
  if (const std::string why = send_desktop_notice(summary, album.dir); !why.empty())
    complain("album " + album.id + ": notification not sent: " + why, 0);
}

class Sync {
 public:
  explicit Sync(const SyncRequest& request) : request_(request) {}

  // Syncs `album` and notes the result in it; the album's exit code.
  int album(FollowedAlbum& album) {
    GetReport report;
    QuietView quiet;
    const int code = run_get({.album_id = album.id,
                              .dir = album.dir,
                              .tracks = std::nullopt,
                              .skip_existing = true,
                              .tag = album.tag,
                              .jobs = request_.jobs,
                              .limit_rate = request_.limit_rate > 0 ? request_.limit_rate : album.limit_rate,
                              .exec = request_.exec.empty() ? album.exec : request_.exec,
                              .endpoints = request_.endpoints,
                              .report = &report},
                             quiet.view);
    note(album, code, report);
    const int done = count(report, TrackReport::State::done);
    if ((album.notify || request_.notify) && done > 0) notify_new_tracks(album, report, done);
    int result = code == 2 ? 1 : code;
    if ((album.playlist || request_.playlist) && !report.outcomes.empty()) {
      if (const std::string problem = keep_album_playlist(album.dir, album.id, report);
          !problem.empty()) {
        complain("album " + album.id + ": cannot write its playlist: " + problem, 1);
        result = std::max(result, 1);
      }
    }
    print_out(summary_line(album, report) + "\n");
    return result;
  }

 private:
  static void note(FollowedAlbum& album, int code, const GetReport& report) {
    album.last_sync = utc_now();
    album.failed = count(report, TrackReport::State::failed);
    // An album not listed this time still holds what it held.
    if (!report.outcomes.empty())
      album.tracks_held =
          count(report, TrackReport::State::done) + count(report, TrackReport::State::skipped);
    if (interrupted())
      album.result = "interrupted";
    else if (code == 0)
      album.result = "ok";
    else if (code == 2)
      album.result = "album failed";
    else if (album.failed > 0)
      album.result = "tracks failed";
    else if (!report.listing_whole)
      album.result = "listing not whole";
    else
      album.result = "exec failed";  // every track done, but the --exec program failed
  }

  static std::string summary_line(const FollowedAlbum& album, const GetReport& report) {
    const std::string head = "album " + album.id + "  ";
    if (report.outcomes.empty()) return head + album.result;
    return head + "done " + std::to_string(count(report, TrackReport::State::done)) +
           ", skipped " + std::to_string(count(report, TrackReport::State::skipped)) +
           ", failed " + std::to_string(album.failed) + ", held " +
           std::to_string(album.tracks_held) + "/" + std::to_string(report.tracks.size()) +
           (album.result == "ok" ? "" : "  (" + album.result + ")");
  }

  const SyncRequest& request_;
};

// Writes the results of `synced` into the file's albums still followed.
bool note_results(const FollowingFile& file, const std::vector<FollowedAlbum>& synced) {
  std::string error;
  const bool written = file.update(
      [&](std::vector<FollowedAlbum>& albums) {
        for (const FollowedAlbum& s : synced) {
          const int at = find_followed(albums, s.id);
          if (at < 0) continue;
          FollowedAlbum& a = albums[at];
          a.last_sync = s.last_sync;
          a.result = s.result;
          a.failed = s.failed;
          a.tracks_held = s.tracks_held;
        }
        return !synced.empty();
      },
      error);
  if (!written) complain(error, 1);
  return written;
}

}  // namespace

int run_sync(const SyncRequest& request) {
  const ConfigFolder folder = config_folder();
  if (folder.path.empty()) return complain(folder.error, 1);
  const SyncLock lock(folder.path);
  if (lock.busy()) {
    if (!request.quiet)
      print_out("another sync is running (" + lock.path() + " is held); this one does nothing\n");
    return 0;
  }
  if (!lock.taken()) return complain(lock.error(), 1);
  const FollowingFile file(folder.path);
  std::vector<FollowedAlbum> albums;
  std::string error;
  if (!file.read(albums, error)) return complain(error, 1);
  if (albums.empty()) {
    if (!request.quiet)
      print_out("no album is followed; add one with: lumorafm-cli follow ALBUM_ID --dir DIR\n");
    return 0;
  }
  Sync sync(request);
  std::vector<FollowedAlbum> synced;
  int code = 0;
  for (FollowedAlbum& album : albums) {
    if (interrupted()) break;
    code = std::max(code, sync.album(album));
    synced.push_back(album);
  }
  const bool noted = note_results(file, synced);
  if (interrupted()) return interrupted_exit_code();
  return noted ? code : std::max(code, 1);
}

}  // namespace lumora::cli
