#include "lumora/sim/album_growth.h"

namespace lumora::sim {

void AlbumGrowth::add(std::int64_t album_id, std::vector<SimTrack> tracks) {
  std::lock_guard lock(mutex_);
  auto& list = added_[album_id];
  list.insert(list.end(), std::make_move_iterator(tracks.begin()),
              std::make_move_iterator(tracks.end()));
}

std::vector<SimTrack> AlbumGrowth::added(std::int64_t album_id) const {
  std::lock_guard lock(mutex_);
  const auto it = added_.find(album_id);
  return it == added_.end() ? std::vector<SimTrack>() : it->second;
}

}  // namespace lumora::sim
