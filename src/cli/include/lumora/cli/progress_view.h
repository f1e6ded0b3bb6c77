// What `get` prints while it works. On a terminal: one live line for the
// whole album, then one per running track (percent, size, speed, time
// left), redrawn in place, with a line per finished track above them.
// Elsewhere (or on a terminal that cannot move its cursor) only the
// finished-track lines; quiet, not even those. Last, the summary.
//
// Thread-safe: job threads report finished tracks while the main thread
// redraws the live lines.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace lumora::cli {

struct LiveTrack {
  std::string name;  // UTF-8 file name
  std::int64_t received = 0;
  std::int64_t size = -1;  // -1 until known
  double seconds = 0;      // since the track started
};

// The album as a whole, for its live line and the summary.
struct AlbumProgress {
  int handled = 0;  // tracks done, skipped or failed
  int chosen = 0;
  std::int64_t received = 0;  // bytes fetched in this run
  // Bytes this run will fetch: the sizes known, and the tracks not started
  // yet at the mean of those; -1 while no size is known.
  std::int64_t expected = -1;
  double seconds = 0;  // since the fetching began
};

struct RunSummary {
  int done = 0;
  int skipped = 0;
  int failed = 0;
  int not_fetched = 0;  // chosen tracks left when the run was interrupted
  std::int64_t received = 0;
  double seconds = 0;
};

// "  37%   7.4/20.0 MiB   1.2 MiB/s   0:11 left  name"
std::string live_line(const LiveTrack& track);
// "58/200 tracks  412/1,390 MiB  2.3 MiB/s  7:05 left"
std::string album_line(const AlbumProgress& album);
// "done 20, skipped 0, failed 0 - 38.2 MiB in 3.1 s", with ", not fetched
// N" after the counts when some were left.
std::string summary_line(const RunSummary& summary);
// "1.5 KiB", "7.4 MiB": binary units, one decimal from KiB on.
std::string size_text(std::int64_t bytes);

enum class Display {
  kLive,   // a terminal that understands cursor movements
  kLines,  // finished-track lines only
  kQuiet,  // neither: problems and the summary only
};

// The display for standard output: live on a terminal whose TERM is set
// and not "dumb", lines elsewhere, quiet when asked.
Display display_for_stdout(bool quiet);

class ProgressView {
 public:
  // `out` and `err` are written only here.
  ProgressView(std::FILE* out, std::FILE* err, Display display);

  // A finished track's line, e.g. "done    3/20  name.mp3".
  void finished(const std::string& line);
  // A reason or warning, as one line on `err`.
  void problem(const std::string& text);
  // Replaces the live lines; does nothing unless live.
  void show_live(const AlbumProgress& album, const std::vector<LiveTrack>& tracks);
  // Clears the live lines and prints the summary line.
  void summary(const RunSummary& summary);

 private:
  void erase_live();
  void draw_live();

  std::FILE* out_;
  std::FILE* err_;
  const Display display_;
  std::mutex mutex_;
  std::vector<std::string> lines_;
  int drawn_ = 0;
};

}  // namespace lumora::cli
