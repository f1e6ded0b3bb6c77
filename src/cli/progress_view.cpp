#include "lumora/cli/progress_view.h"

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "lumora/cli/listing_output.h"
#include "lumora/cli/standard_output.h"

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

double rate_of(std::int64_t bytes, double seconds) { return seconds > 0 ? bytes / seconds : 0; }

struct Unit {
  double size;
  const char* name;
};

Unit unit_for(std::int64_t bytes) {
  if (bytes < 1024) return {1, "B"};
  if (bytes < 1024 * 1024) return {1024.0, "KiB"};
  return {1024.0 * 1024.0, "MiB"};
}

// An amount in a unit: one decimal below 100, whole and grouped above.
std::string amount(std::int64_t bytes, Unit unit) {
  const double value = bytes / unit.size;
  if (unit.size == 1 || value >= 100) return thousands(std::llround(value));
  return formatted("%.1f", value);
}

}  // namespace

std::string size_text(std::int64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " B";
  if (bytes < 1024 * 1024) return formatted("%.1f KiB", bytes / 1024.0);
  return formatted("%.1f MiB", bytes / (1024.0 * 1024.0));
}

std::string live_line(const LiveTrack& t) {
  const double speed = rate_of(t.received, t.seconds);
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

std::string album_line(const AlbumProgress& a) {
  const double speed = rate_of(a.received, a.seconds);
  const Unit unit = unit_for(std::max(a.received, a.expected));
  std::string bytes = amount(a.received, unit);
  if (a.expected >= 0) bytes.append("/").append(amount(a.expected, unit));
  const double left =
      a.expected >= 0 && speed > 0 ? std::max<std::int64_t>(0, a.expected - a.received) / speed : -1;
  return std::to_string(a.handled) + "/" + std::to_string(a.chosen) + " tracks  " + bytes + " " +
         unit.name + "  " + size_text(static_cast<std::int64_t>(speed)) + "/s  " +
         time_left_text(left) + " left";
}

std::string summary_line(const RunSummary& s) {
  std::string line = "done " + std::to_string(s.done) + ", skipped " + std::to_string(s.skipped) +
                     ", failed " + std::to_string(s.failed);
  if (s.not_fetched > 0) line += ", not fetched " + std::to_string(s.not_fetched);
  return line + " - " + size_text(s.received) + formatted(" in %.1f s", s.seconds);
}

Display display_for_stdout(bool quiet) {
  if (quiet) return Display::kQuiet;
  const char* term = std::getenv("TERM");
  const bool moves_cursor = term && term[0] != '\0' && std::strcmp(term, "dumb") != 0;
  return isatty(STDOUT_FILENO) == 1 && moves_cursor ? Display::kLive : Display::kLines;
}

ProgressView::ProgressView(std::FILE* out, std::FILE* err, Display display)
    : out_(out), err_(err), display_(display) {}

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
  if (display_ == Display::kQuiet) return;
  std::lock_guard lock(mutex_);
  // The live lines come back with the next redraw, without the finished one.
  if (display_ == Display::kLive) erase_live();
  lines_.clear();
  std::fprintf(out_, "%s\n", visible(line).c_str());
  flush_checked(out_);
}

void ProgressView::problem(const std::string& text) {
  std::lock_guard lock(mutex_);
  const bool live = display_ == Display::kLive;
  if (live) erase_live();
  flush_checked(out_);
  std::fprintf(err_, "lumorafm-cli: %s\n", visible(text).c_str());
  std::fflush(err_);
  if (live) draw_live();
  flush_checked(out_);
}

void ProgressView::show_live(const AlbumProgress& album, const std::vector<LiveTrack>& tracks) {
  if (display_ != Display::kLive) return;
  std::lock_guard lock(mutex_);
  lines_.assign(1, album_line(album));
  for (const LiveTrack& t : tracks) lines_.push_back(live_line(t));
  erase_live();
  draw_live();
  flush_checked(out_);
}

void ProgressView::summary(const RunSummary& summary) {
  std::lock_guard lock(mutex_);
  if (display_ == Display::kLive) erase_live();
  lines_.clear();
  std::fprintf(out_, "%s\n", summary_line(summary).c_str());
  flush_checked(out_);
}

}  // namespace lumora::cli
