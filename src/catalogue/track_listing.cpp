#include "lumora/catalogue/track_listing.h"

#include <chrono>
#include <thread>

#include "lumora/catalogue/page_walk.h"
#include "lumora/catalogue/request_addresses.h"
#include "lumora/controls/control_names.h"
#include "lumora/controls/controls.h"
#include "lumora/text/code_page.h"
#include "lumora/text/number.h"

namespace lumora {
namespace {

const json::RowQuery kTrackQuery{
    {"data", "maxPageId"}, {"data", "list"}, {"title", "playUrl64", "trackId", "albumTitle", "nickname"}};

TrackEntry track_of(const std::vector<Text>& f) { return {f[0], f[1], f[3], f[4], f[2]}; }

void append_track(Controls& controls, const TrackEntry& track) {
  // Column 0 holds only the row's check box.
  controls.append_row_in_view(WindowId::track, kList, {Text(), track.title, track.address});
  // Lets the list repaint as rows arrive.
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace

PageWalk list_album_track_pages(const Text& album_id, const PlatformEndpoints& endpoints,
                                const TrackPageSink& sink, RequestComponent* connection,
                                const WalkBounds& bounds) {
  std::vector<TrackEntry> tracks;
  const auto deliver = [&] {
    if (!tracks.empty()) sink(tracks);
    tracks.clear();
  };
  return walk_pages({
      .first_address = track_listing_address(endpoints, album_id, 1),
      .query = kTrackQuery,
      .page_address = [&](int n) { return track_listing_address(endpoints, album_id, n); },
      .take_row =
          [&](const std::vector<Text>& fields) {
            tracks.push_back(track_of(fields));
            if (tracks.size() == kRowsPerDelivery) deliver();
          },
      .end_page = deliver,
      .connection = connection,
      .bounds = bounds,
  });
}

void list_album_tracks(const Text& album_id, Controls& controls,
                       const PlatformEndpoints& endpoints) {
  list_album_track_pages(album_id, endpoints, [&](const std::vector<TrackEntry>& tracks) {
    for (const TrackEntry& track : tracks) append_track(controls, track);
  });
}

void track_listing_worker(Controls& controls, const PlatformEndpoints& endpoints) {
  const int selected = controls.current_row(WindowId::main, kList);
  const Text album_id = selected < 0 ? Text() : controls.cell(WindowId::main, kList, selected, 1);
  list_album_tracks(album_id, controls, endpoints);
  const int albums = controls.row_count(WindowId::main, kList);
  controls.set_part_text(WindowId::track, kStatusBar, 1,
                         gbk(u8"已搜索") + decimal_text(albums < 0 ? 0 : albums) +
                             gbk(u8"个专辑"));
}

}  // namespace lumora
