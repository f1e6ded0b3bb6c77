// The simulator for the cli benchmarks: its own catalogue (the 2,000-track
// album among it) plus an album of ten 20 MiB files, each answer capped at
// 1 MiB/s, and two albums whose one listing page is a single huge answer
// (about 40 MiB, and 100 MiB, over the limit). Prints its addresses, then
// serves until standard input closes.
//
// Output lines: "search URL", "mobile URL", "album ID", then per file
// "file URL SHA256", then "large ID BYTES" per huge answer.
#include <cstdio>
#include <iostream>
#include <string>

#include "lumora/sim/audio_bytes.h"
#include "lumora/sim/simulator.h"

// One page of `tracks` entries shaped as the platform's (about 175 bytes each).
std::string large_listing(int tracks) {
  std::string list;
  list.reserve(static_cast<std::size_t>(tracks) * 180);
  for (int i = 1; i <= tracks; ++i) {
    const std::string n = std::to_string(i);
    list += (i > 1 ? "," : "");
    list += R"({"index":)" + n + R"(,"trackId":)" + std::to_string(4000000000LL + i) +
            R"(,"title":"第)" + n + R"(集 鬼吹灯之精绝古城 连播","playUrl64":"http://127.0.0.1:9/audio/)" +
            n + R"(.mp3","duration":123})";
  }
  return R"({"ret":0,"msg":"0","data":{"pageId":1,"pageSize":20,"maxPageId":1,"totalCount":)" +
         std::to_string(tracks) + R"(,"list":[)" + list + "]}}";
}

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
  std::string large;
  for (const auto& [id, tracks] : {std::pair{"4000001", 240000}, std::pair{"4000002", 600000}}) {
    std::string body = large_listing(tracks);
    large += std::string("large ") + id + " " + std::to_string(body.size()) + "\n";
    sim.mobile_overrides().add({.needle = std::string("albumId=") + id + "&", .body = std::move(body)});
  }
  std::printf("search %s\nmobile %s\nalbum %s\n%s%s", sim.search_base().c_str(),
              sim.mobile_base().c_str(), kAlbum, files.c_str(), large.c_str());
  std::fflush(stdout);
  for (std::string line; std::getline(std::cin, line);) {
  }
}
