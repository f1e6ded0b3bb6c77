#include "lumora/cli/existing_track.h"

#include <filesystem>

#include "lumora/net/http_request.h"
#include "lumora/text/code_page.h"

namespace lumora::cli {
namespace {

constexpr int kMethodHead = 2;

std::int64_t content_length(const Text& header_lines) {
  static constexpr std::string_view kName = "content-length:";
  std::size_t start = 0;
  while (start < header_lines.size()) {
    std::size_t end = header_lines.find("\r\n", start);
    if (end == Text::npos) end = header_lines.size();
    std::string line = header_lines.substr(start, end - start);
    for (char& c : line) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (line.rfind(kName, 0) == 0) {
      try {
        return std::stoll(line.substr(kName.size()));
      } catch (const std::exception&) {
        return -1;
      }
    }
    start = end + 2;
  }
  return -1;
}

}  // namespace

std::int64_t server_file_size(const Text& address) {
  Text headers_out;
  int status = 0;
  http_request(address, {.method = kMethodHead, .headers_out = &headers_out, .status_out = &status});
  return status == 200 ? content_length(headers_out) : -1;
}

std::int64_t size_in_folder(const DownloadArchive& archive, const std::string& name) {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::path(archive.dir()) / name;
  if (!std::filesystem::is_regular_file(path, error)) return -1;
  const auto size = std::filesystem::file_size(path, error);
  return error ? -1 : static_cast<std::int64_t>(size);
}

ExistingTrack find_existing(DownloadArchive& archive, const TrackOnDisk& track) {
  if (const auto entry = archive.find(track.key)) {
    const std::int64_t size = size_in_folder(archive, entry->file_name);
    if (size < 0) return {};
    if (entry->size >= 0 && size != entry->size)
      return {Presence::kChanged, entry->file_name, entry->size, size};
    return {Presence::kDone, entry->file_name};
  }
  if (const auto old = archive.find(gbk_to_utf8(track.address))) {
    const std::int64_t size = size_in_folder(archive, old->file_name);
    if (size >= 0) {
      archive.add(track.key, old->file_name, size);
      return {Presence::kDone, old->file_name};
    }
  }
  const std::string name = std::filesystem::path(gbk_to_utf8(track.path)).filename().string();
  if (track.name_shared) return {};
  const std::int64_t size = size_in_folder(archive, name);
  if (size < 0 || size != server_file_size(track.address)) return {};
  archive.add(track.key, name, size);
  return {Presence::kDone, name};
}

}  // namespace lumora::cli
