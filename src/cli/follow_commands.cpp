#include "lumora/cli/follow_commands.h"

#include <cstdio>
#include <filesystem>

#include "lumora/cli/config_folder.h"
#include "lumora/cli/following_file.h"
#include "lumora/text/code_page.h"

namespace lumora::cli {
namespace {

void say(const std::string& line) {
  std::fprintf(stdout, "%s\n", line.c_str());
  std::fflush(stdout);
}

int complain(const std::string& text, int code) {
  std::fprintf(stderr, "lumorafm-cli: %s\n", text.c_str());
  return code;
}

std::string options_text(const FollowedAlbum& a) {
  if (a.tag && a.playlist) return "tag,playlist";
  if (a.tag) return "tag";
  return a.playlist ? "playlist" : "-";
}

std::string listing_line(const FollowedAlbum& a) {
  return a.id + "\t" + a.dir + "\t" + options_text(a) + "\t" +
         (a.last_sync.empty() ? "never" : a.last_sync) + "\t" + a.result + "\t" +
         std::to_string(a.tracks_held);
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
  if (error) return complain("cannot use folder " + request.dir, 2);
  const std::string clean = dir.size() > 1 && dir.back() == '/' ? dir.substr(0, dir.size() - 1) : dir;
  std::string said;
  const int code = change_following([&](std::vector<FollowedAlbum>& albums) {
    const int at = find_followed(albums, request.album_id);
    FollowedAlbum& a = at >= 0 ? albums[at] : albums.emplace_back();
    said = (at >= 0 ? "still following album " : "following album ") + request.album_id +
           " into " + clean;
    a.id = request.album_id;
    a.dir = clean;
    a.tag = request.tag;
    a.playlist = request.playlist;
    return true;
  });
  if (code == 0) say(said);
  return code;
}

int run_unfollow(const std::string& album_id) {
  bool found = false;
  const int code = change_following([&](std::vector<FollowedAlbum>& albums) {
    const int at = find_followed(albums, album_id);
    found = at >= 0;
    if (found) albums.erase(albums.begin() + at);
    return found;
  });
  if (code != 0) return code;
  if (!found) return complain("album " + album_id + " is not followed", 1);
  say("no longer following album " + album_id + " (its files stay)");
  return 0;
}

int run_following(bool json) {
  const ConfigFolder folder = config_folder();
  if (folder.path.empty()) return complain(folder.error, 1);
  std::vector<FollowedAlbum> albums;
  std::string error;
  if (!FollowingFile(folder.path).read(albums, error)) return complain(error, 1);
  if (json) {
    std::fputs(followed_json(albums).c_str(), stdout);
  } else {
    for (const FollowedAlbum& a : albums) say(listing_line(a));
  }
  return 0;
}

}  // namespace lumora::cli
