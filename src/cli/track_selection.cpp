#include "lumora/cli/track_selection.h"

#include <charconv>
#include <set>

namespace lumora::cli {
namespace {

bool read_number(std::string_view text, int& out) {
  if (text.empty() || text.size() > 9) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size() && text[0] != '-' && text[0] != '+';
}

}  // namespace

TrackSelection select_tracks(std::string_view list, int count) {
  TrackSelection out;
  std::set<int> chosen;
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t comma = std::min(list.find(',', start), list.size());
    const std::string_view item = list.substr(start, comma - start);
    const std::size_t dash = item.find('-');
    int first = 0;
    int last = 0;
    const bool ok = dash == std::string_view::npos
                        ? read_number(item, first) && (last = first, true)
                        : read_number(item.substr(0, dash), first) &&
                              read_number(item.substr(dash + 1), last);
    if (!ok || first < 1 || first > last || last > count) {
      out.error = "bad track list item \"" + std::string(item) + "\" (the album has " +
                  std::to_string(count) + " tracks)";
      out.indices.clear();
      return out;
    }
    for (int n = first; n <= last; ++n) chosen.insert(n - 1);
    start = comma + 1;
  }
  out.indices.assign(chosen.begin(), chosen.end());
  return out;
}

TrackSelection all_tracks(int count) {
  TrackSelection out;
  for (int i = 0; i < count; ++i) out.indices.push_back(i);
  return out;
}

}  // namespace lumora::cli
