// Where lumorafm-cli keeps its own state: $XDG_CONFIG_HOME/lumorafm, or
// ~/.config/lumorafm when XDG_CONFIG_HOME is unset, empty or relative (a
// relative one is to be ignored, by the XDG rules).
#pragma once

#include <string>

namespace lumora::cli {

struct ConfigFolder {
  std::string path;   // without a trailing "/"; empty when neither variable helps
  std::string error;  // why there is none
};

// Reads the environment; does not create the folder.
ConfigFolder config_folder();

// Creates the folder (and its parents) when missing; the reason when it cannot.
std::string make_config_folder(const std::string& path);

}  // namespace lumora::cli
