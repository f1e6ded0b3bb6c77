#include "lumora/download/segment_plan.h"

#include <algorithm>
#include <utility>

namespace lumora {

SegmentPlan::SegmentPlan(std::int64_t min_piece) : min_piece_(std::max<std::int64_t>(min_piece, 1)) {}

void SegmentPlan::cut(std::int64_t size, int connections, int owner, Clock::time_point now) {
  segments_.clear();
  size_ = std::max<std::int64_t>(size, 0);
  cut_ = true;
  const std::int64_t n =
      std::clamp<std::int64_t>(size_ / min_piece_, 1, std::clamp(connections, 1, kMaxSegments));
  const std::int64_t piece = size_ / n;
  for (std::int64_t i = 0; i < n; ++i) {
    Segment s;
    s.start = i * piece;
    s.length = i + 1 == n ? size_ - s.start : piece;
    segments_.push_back(s);
  }
  give(segments_[0], owner, now);
}

void SegmentPlan::give(Segment& s, int owner, Clock::time_point now) {
  s.in_use = true;
  s.owner = owner;
  s.taken_at = now;
  s.received_at_take = s.received;
}

void SegmentPlan::restore(std::int64_t size, std::vector<Segment> segments) {
  segments_ = std::move(segments);
  for (Segment& s : segments_) {
    s.in_use = false;
    s.owner = -1;
    s.reserved = 0;
    s.received = std::clamp<std::int64_t>(s.received, 0, s.length);
  }
  size_ = size;
  cut_ = true;
}

std::optional<SegmentPlan::Handout> SegmentPlan::hand_out(int owner, Clock::time_point now) {
  for (std::size_t i = 0; i < segments_.size(); ++i) {
    Segment& s = segments_[i];
    if (!s.in_use && s.remaining() > 0) {
      give(s, owner, now);
      return Handout{i, std::nullopt};
    }
  }
  if (!splits_allowed_) return std::nullopt;
  const std::optional<std::size_t> target = split_target(now);
  if (!target) return std::nullopt;
  const std::size_t upper = split(*target, owner, now);
  return Handout{upper, segments_[*target]};
}

std::optional<std::size_t> SegmentPlan::take(int owner, Clock::time_point now) {
  const std::optional<Handout> h = hand_out(owner, now);
  if (!h) return std::nullopt;
  return h->index;
}

std::size_t SegmentPlan::done_count() const {
  return static_cast<std::size_t>(std::count_if(
      segments_.begin(), segments_.end(), [](const Segment& s) { return s.remaining() == 0; }));
}

std::optional<std::size_t> SegmentPlan::split_target(Clock::time_point now) const {
  std::optional<std::size_t> largest;
  for (std::size_t i = 0; i < segments_.size(); ++i)
    if (!largest || segments_[i].unclaimed() > segments_[*largest].unclaimed()) largest = i;
  if (largest && segments_[*largest].unclaimed() >= 2 * min_piece_) return largest;
  // Only segments being fetched are left to split (a free one is handed out
  // whole first); a new connection's round trips are small beside what
  // the slowest owner would still need.
  const double enough = std::chrono::duration<double>(kSlowRemainder).count();
  std::optional<std::size_t> slowest;
  double longest = enough;
  for (std::size_t i = 0; i < segments_.size(); ++i) {
    const Segment& s = segments_[i];
    const double watched = std::chrono::duration<double>(now - s.taken_at).count();
    if (!s.in_use || s.unclaimed() < 2 * kSlowSplitFloor || watched < enough) continue;
    const auto got = static_cast<double>(s.received - s.received_at_take);
    const double needs = static_cast<double>(s.unclaimed()) * watched / std::max(got, 1.0);
    if (needs > longest) {
      longest = needs;
      slowest = i;
    }
  }
  return slowest;
}

// The upper half of the unclaimed remainder becomes a new segment of
// `owner`; returns its index.
std::size_t SegmentPlan::split(std::size_t index, int owner, Clock::time_point now) {
  Segment& from = segments_[index];
  const std::int64_t free = from.unclaimed();
  const std::int64_t lower = (free + 1) / 2;
  Segment upper;
  upper.start = from.next_offset() + from.reserved + lower;
  upper.length = free - lower;
  from.length -= upper.length;
  give(upper, owner, now);
  segments_.push_back(upper);
  return segments_.size() - 1;
}

void SegmentPlan::release(std::size_t index) {
  segments_[index].in_use = false;
  segments_[index].owner = -1;
}

std::int64_t SegmentPlan::store(std::size_t index, std::int64_t length) {
  Segment& s = segments_[index];
  const std::int64_t n = std::clamp<std::int64_t>(length, 0, s.remaining());
  s.received += n;
  return n;
}

std::int64_t SegmentPlan::reserve(std::size_t index, std::int64_t length) {
  Segment& s = segments_[index];
  s.reserved = std::clamp<std::int64_t>(length, 0, s.remaining());
  return s.reserved;
}

void SegmentPlan::commit(std::size_t index, std::int64_t length) {
  Segment& s = segments_[index];
  s.received += std::clamp<std::int64_t>(length, 0, s.reserved);
  s.reserved = 0;
}

std::int64_t SegmentPlan::received_total() const {
  std::int64_t total = 0;
  for (const Segment& s : segments_) total += s.received;
  return total;
}

bool SegmentPlan::complete() const {
  return cut_ && received_total() == size_ &&
         std::all_of(segments_.begin(), segments_.end(),
                     [](const Segment& s) { return s.remaining() == 0; });
}

}  // namespace lumora
