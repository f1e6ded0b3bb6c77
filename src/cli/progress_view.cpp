#include "lumora/cli/progress_view.h"

#include <cmath>

#include "lumora/cli/listing_output.h"

namespace lumora::cli {
namespace {

std::string formatted(const char* pattern, double a, double b = 0) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, a, b);
  return text;
}

std::string time_left_text(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) return "--:--";
  const long s = std::lround(seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  return text;
}

}  // namespace

std::string size_text(std::int64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " B";
  if (bytes < 1024 * 1024) return formatted("%.1f KiB", bytes / 1024.0);
  return formatted("%.1f MiB", bytes / (1024.0 * 1024.0));
}

std::string live_line(const LiveTrack& t) {
  const double speed = t.seconds > 0 ? t.received / t.seconds : 0;
  std::string line;
  if (t.size > 0) {
    line = formatted("%3.0f%%  ", 100.0 * static_cast<double>(t.received) / t.size) +
           size_text(t.received) + "/" + size_text(t.size);
  } else {
    line = "  ?%  " + size_text(t.received);
  }
  line += "  " + size_text(static_cast<std::int64_t>(speed)) + "/s  ";
  const double left = t.size > 0 && speed > 0 ? (t.size - t.received) / speed : -1;
  return line + time_left_text(left) + " left  " + visible(t.name);
}

ProgressView::ProgressView(std::FILE* out, std::FILE* err, bool live)
    : out_(out), err_(err), live_(live) {}

void ProgressView::erase_live() {
  // Up to the first live line, then clear to the end of the screen.
  if (drawn_ > 0) std::fprintf(out_, "\x1b[%dA\x1b[J", drawn_);
  drawn_ = 0;
}

void ProgressView::draw_live() {
  for (const std::string& line : lines_) std::fprintf(out_, "\x1b[2K%s\n", line.c_str());
  drawn_ = static_cast<int>(lines_.size());
}

void ProgressView::finished(const std::string& line) {
  std::lock_guard lock(mutex_);
  // The live lines come back with the next redraw, without the finished one.
  if (live_) erase_live();
  lines_.clear();
  std::fprintf(out_, "%s\n", visible(line).c_str());
  std::fflush(out_);
}

void ProgressView::problem(const std::string& text) {
  std::lock_guard lock(mutex_);
  if (live_) erase_live();
  std::fflush(out_);
  std::fprintf(err_, "lumorafm-cli: %s\n", visible(text).c_str());
  std::fflush(err_);
  if (live_) draw_live();
  std::fflush(out_);
}

void ProgressView::show_live(const std::vector<LiveTrack>& tracks) {
  if (!live_) return;
  std::lock_guard lock(mutex_);
  lines_.clear();
  for (const LiveTrack& t : tracks) lines_.push_back(live_line(t));
  erase_live();
  draw_live();
  std::fflush(out_);
}

void ProgressView::summary(int done, int skipped, int failed) {
  std::lock_guard lock(mutex_);
  if (live_) erase_live();
  lines_.clear();
  std::fprintf(out_, "done %d, skipped %d, failed %d\n", done, skipped, failed);
  std::fflush(out_);
}

}  // namespace lumora::cli
