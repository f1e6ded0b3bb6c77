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

bool already_downloaded(DownloadArchive& archive, const Text& address, const Text& gbk_path,
                        std::string* file_name) {
  const std::string utf8_address = gbk_to_utf8(address);
  if (archive.has(utf8_address, file_name)) return true;
  const std::filesystem::path path(gbk_to_utf8(gbk_path));
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  const auto size = std::filesystem::file_size(path, error);
  if (error || static_cast<std::int64_t>(size) != server_file_size(address)) return false;
  archive.add(utf8_address, path.filename().string());
  if (file_name) *file_name = path.filename().string();
  return true;
}

}  // namespace lumora::cli
