#include "lumora/cli/follow_commands.h"

#include <cstdio>
#include <filesystem>

#include "lumora/catalogue/track_listing.h"
#include "lumora/cli/cli_options.h"
#include "lumora/cli/config_folder.h"
#include "lumora/cli/following_file.h"
#include "lumora/cli/listing_commands.h"
#include "lumora/cli/listing_output.h"
#include "lumora/cli/standard_output.h"
#include "lumora/text/code_page.h"

namespace lumora::cli {
namespace {

void say(const std::string& line) { print_out(line + "\n"); }

int complain(const std::string& text, int code) {
  print_problem(text);
  return code;
}

std::string options_text(const FollowedAlbum& a) {
  std::string text;
  const auto add = [&](const std::string& option) { text += (text.empty() ? "" : ",") + option; };
  if (a.tag) add("tag");
  if (a.playlist) add("playlist");
  if (a.notify) add("notify");
  if (a.limit_rate > 0) add("limit-rate=" + rate_text(a.limit_rate));
  if (!a.exec.empty()) add("exec=" + a.exec);
  return text.empty() ? "-" : text;
}

std::string listing_line(const FollowedAlbum& a) {
  return a.id + "\t" + visible(a.dir) + "\t" + visible(options_text(a)) + "\t" +
         (a.last_sync.empty() ? "never" : a.last_sync) + "\t" + a.result + "\t" +
         std::to_string(a.tracks_held);
}

// Why the album cannot be followed: it cannot be listed, or has no track
// on its first page. Empty when it can.
std::string unlisted(const FollowRequest& request) {
  std::size_t tracks = 0;
  const PageWalk walk = list_album_track_pages(
      request.album_id, request.endpoints,
      [&](const std::vector<TrackEntry>& page) { tracks += page.size(); }, nullptr,
      {.max_pages = 1, .stop = {}});
  return tracks > 0 ? std::string() : empty_listing(walk, request.album_id);
}

// Runs `change` on the followed set; the exit code.
int change_following(const FollowingFile::Change& change) {
  const ConfigFolder folder = config_folder();
  if (folder.path.empty()) return complain(folder.error, 1);
  std::string error;
  if (!FollowingFile(folder.path).update(change, error)) return complain(error, 1);
  return 0;
}

}  // namespace

int run_follow(const FollowRequest& request) {
  if (gbk_to_utf8(utf8_to_gbk(request.dir)) != request.dir)
    return complain("folder name has characters GBK lacks: " + request.dir, 2);
  std::error_code error;
  const std::string dir = std::filesystem::absolute(request.dir, error).lexically_normal().string();
  if (error) return complain("cannot use folder " + request.dir + ": " + error.message(), 2);
  const std::string clean = dir.size() > 1 && dir.back() == '/' ? dir.substr(0, dir.size() - 1) : dir;
  if (const std::string problem = unlisted(request); !problem.empty())
    return complain("cannot follow: " + problem, 2);
  std::string said;
  const int code = change_following([&](std::vector<FollowedAlbum>& albums) {
    const int at = find_followed(albums, request.album_id);
    FollowedAlbum& a = at >= 0 ? albums[at] : albums.emplace_back();
    said = (at >= 0 ? "still following album " : "following album ") + request.album_id +
           " into " + visible(clean);
    a.id = request.album_id;
    a.dir = clean;
    a.tag = request.tag;
    a.playlist = request.playlist;
    a.notify = request.notify;
    a.limit_rate = request.limit_rate;
    a.exec = request.exec;
    return true;
  });
  if (code == 0 && !request.quiet) say(said);
  return code;
}

int run_unfollow(const std::string& album_id, bool quiet) {
  bool found = false;
  const int code = change_following([&](std::vector<FollowedAlbum>& albums) {
    const int at = find_followed(albums, album_id);
    found = at >= 0;
    if (found) albums.erase(albums.begin() + at);
    return found;
  });
  if (code != 0) return code;
  if (!found) return complain("album " + album_id + " is not followed", 1);
  if (!quiet) say("no longer following album " + album_id + " (its files stay)");
  return 0;
}

int run_following(bool json) {
  const ConfigFolder folder = config_folder();
  if (folder.path.empty()) return complain(folder.error, 1);
  std::vector<FollowedAlbum> albums;
  std::string error;
  if (!FollowingFile(folder.path).read(albums, error)) return complain(error, 1);
  if (albums.empty())
    complain("no album is followed; add one with: lumorafm-cli follow ALBUM_ID --dir DIR", 0);
  if (json) {
    print_out(followed_json(albums));
  } else {
    for (const FollowedAlbum& a : albums) say(listing_line(a));
  }
  return 0;
}

}  // namespace lumora::cli
