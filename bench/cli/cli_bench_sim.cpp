// The simulator for cli_vs_peers.sh: its own catalogue (the 2,000-track
// album among it) plus an album of ten 20 MiB files, each answer capped at
// 1 MiB/s. Prints its addresses, then serves until standard input closes.
//
// Output lines: "search URL", "mobile URL", "album ID", then per file
// "file URL SHA256".
#include <cstdio>
#include <iostream>
#include <string>

#include "lumora/sim/audio_bytes.h"
#include "lumora/sim/simulator.h"

int main() {
  constexpr std::uint64_t kSize = 20ull << 20;
  constexpr std::uint64_t kRate = 1ull << 20;
  constexpr const char* kAlbum = "4000000";
  lumora::sim::Simulator sim;
  std::string list;
  std::string files;
  for (int i = 1; i <= 10; ++i) {
    const lumora::sim::AudioFile f = sim.audio().add_file(kSize, {.rate_cap = kRate});
    if (!list.empty()) list += ",";
    list += R"({"title":"bench-)" + std::to_string(i) + R"(","playUrl64":")" + f.url + R"("})";
    files += "file " + f.url + " " + lumora::sim::audio_sha256(f.seed, f.size) + "\n";
  }
  sim.mobile_overrides().add({.needle = std::string("albumId=") + kAlbum + "&",
                              .body = R"({"data":{"maxPageId":1,"list":[)" + list + "]}}"});
  std::printf("search %s\nmobile %s\nalbum %s\n%s", sim.search_base().c_str(),
              sim.mobile_base().c_str(), kAlbum, files.c_str());
  std::fflush(stdout);
  for (std::string line; std::getline(std::cin, line);) {
  }
}
