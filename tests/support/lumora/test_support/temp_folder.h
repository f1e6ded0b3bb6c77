// A fresh folder of a test's own under the system's temporary folder, gone
// with everything in it when the object goes.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace lumora::test {

class TempFolder {
 public:
  // Makes "<temp>/<prefix>-XXXXXX"; throws std::system_error with the
  // system's reason when it cannot.
  explicit TempFolder(std::string_view prefix = "lumora-test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string string() const { return path_.string(); }
  // "<folder>/<name>".
  std::string operator/(std::string_view name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// A whole file's bytes; empty when it cannot be read.
std::string read_file(const std::filesystem::path& path);

}  // namespace lumora::test
