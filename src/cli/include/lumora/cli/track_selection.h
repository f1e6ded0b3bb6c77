// Which tracks of an album `get` fetches: "1-5,9" as 1-based numbers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumora::cli {

struct TrackSelection {
  std::vector<int> indices;  // 0-based, ascending, each once
  std::string error;         // empty when the list is good
};

// Items are separated by ","; an item is N or N-M with 1 <= N <= M <= count.
// Overlapping items are merged. Anything else is an error naming the item.
TrackSelection select_tracks(std::string_view list, int count);

// Every track, in the album's order.
TrackSelection all_tracks(int count);

}  // namespace lumora::cli
