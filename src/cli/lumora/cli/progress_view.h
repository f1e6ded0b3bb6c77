// What `get` prints while it works. On a terminal: one live line per running
// track (percent, size, speed, time left), redrawn in place, with a line per
// finished track above them. Otherwise only the finished-track lines. Last,
// the summary.
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

// "  37%   7.4/20.0 MiB   1.2 MiB/s   0:11 left  name"
std::string live_line(const LiveTrack& track);
// "1.5 KiB", "7.4 MiB": binary units, one decimal from KiB on.
std::string size_text(std::int64_t bytes);

class ProgressView {
 public:
  // `live` on a terminal; `out` and `err` are written only here.
  ProgressView(std::FILE* out, std::FILE* err, bool live);

  // A finished track's line, e.g. "done    3/20  name.mp3".
  void finished(const std::string& line);
  // A reason or warning, as one line on `err`.
  void problem(const std::string& text);
  // Replaces the live lines; does nothing unless live.
  void show_live(const std::vector<LiveTrack>& tracks);
  // Clears the live lines and prints "done D, skipped S, failed F".
  void summary(int done, int skipped, int failed);

 private:
  void erase_live();
  void draw_live();

  std::FILE* out_;
  std::FILE* err_;
  const bool live_;
  std::mutex mutex_;
  std::vector<std::string> lines_;
  int drawn_ = 0;
};

}  // namespace lumora::cli
