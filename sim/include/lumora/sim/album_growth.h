// Tracks an album gains after the catalogue was made, as a serial gains its
// next episodes: the listing answers the album's own tracks, then these.
// Thread-safe: tests add while the mobile server answers.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

#include "lumora/sim/catalogue.h"

namespace lumora::sim {

class AlbumGrowth {
 public:
  void add(std::int64_t album_id, std::vector<SimTrack> tracks);
  // The tracks added to the album so far, in the order they were added.
  std::vector<SimTrack> added(std::int64_t album_id) const;

 private:
  mutable std::mutex mutex_;
  std::map<std::int64_t, std::vector<SimTrack>> added_;
};

}  // namespace lumora::sim
