#include "lumora/cli/config_folder.h"

#include <cstdlib>
#include <filesystem>

namespace lumora::cli {

ConfigFolder config_folder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return {std::string(xdg) + "/lumorafm", {}};
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return {std::string(home) + "/.config/lumorafm", {}};
  return {{}, "neither XDG_CONFIG_HOME nor HOME names a folder"};
}

std::string make_config_folder(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (std::filesystem::is_directory(path, error)) return {};
  return "cannot create " + path + (error ? ": " + error.message() : "");
}

}  // namespace lumora::cli
