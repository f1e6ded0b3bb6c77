#include "lumora/app/command_line.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "lumora/version.h"

namespace lumora {
namespace {

int print(const std::string& text) {
  const bool written = std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0;
  if (written) return 0;
  std::fprintf(stderr, "lumorafm: write error: %s\n", std::strerror(errno));
  return 1;
}

}  // namespace

std::optional<int> answer_command_line(int argc, char** argv) {
  if (argc != 2) return std::nullopt;
  const std::string arg = argv[1];
  if (arg == "--version") return print(std::string("lumorafm ") + kVersion + "\n");
  if (arg == "--help" || arg == "-h")
    return print(
        "Usage: lumorafm\n"
        "\n"
        "The LumoraFM album downloader: search albums, list their tracks and\n"
        "download the ticked ones, in two windows. It takes no arguments; for\n"
        "scripts, timers and followed albums see lumorafm-cli(1).\n"
        "\n"
        "  --help, --version   print this or the version and exit\n");
  return std::nullopt;
}

}  // namespace lumora
