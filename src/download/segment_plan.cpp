#include "lumora/download/segment_plan.h"

#include <algorithm>
#include <utility>

namespace lumora {

void SegmentPlan::cut(std::int64_t size, int connections, int owner) {
  segments_.clear();
  size_ = std::max<std::int64_t>(size, 0);
  cut_ = true;
  std::int64_t n = std::clamp(connections, 1, kMaxSegments);
  if (size_ < kMinPiece) n = 1;
  const std::int64_t piece = size_ / n;
  for (std::int64_t i = 0; i < n; ++i) {
    Segment s;
    s.start = i * piece;
    s.length = i + 1 == n ? size_ - s.start : piece;
    segments_.push_back(s);
  }
  segments_[0].in_use = true;
  segments_[0].owner = owner;
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

std::optional<SegmentPlan::Handout> SegmentPlan::hand_out(int owner) {
  for (std::size_t i = 0; i < segments_.size(); ++i) {
    Segment& s = segments_[i];
    if (!s.in_use && s.remaining() > 0) {
      s.in_use = true;
      s.owner = owner;
      return Handout{i, std::nullopt};
    }
  }
  if (!splits_allowed_) return std::nullopt;
  const std::optional<std::size_t> split = split_largest(owner);
  if (!split) return std::nullopt;
  const std::int64_t start = segments_[*split].start;
  Handout h{*split, std::nullopt};
  for (std::size_t i = 0; i < *split; ++i)
    if (segments_[i].end() == start) h.shrunk = segments_[i];
  return h;
}

std::optional<std::size_t> SegmentPlan::take(int owner) {
  const std::optional<Handout> h = hand_out(owner);
  if (!h) return std::nullopt;
  return h->index;
}

std::size_t SegmentPlan::done_count() const {
  return static_cast<std::size_t>(std::count_if(
      segments_.begin(), segments_.end(), [](const Segment& s) { return s.remaining() == 0; }));
}

std::optional<std::size_t> SegmentPlan::split_largest(int owner) {
  Segment* largest = nullptr;
  for (Segment& s : segments_)
    if (!largest || s.unclaimed() > largest->unclaimed()) largest = &s;
  if (!largest || largest->unclaimed() < 2 * kMinPiece) return std::nullopt;
  const std::int64_t free = largest->unclaimed();
  const std::int64_t lower = (free + 1) / 2;
  Segment upper;
  upper.start = largest->next_offset() + largest->reserved + lower;
  upper.length = free - lower;
  upper.in_use = true;
  upper.owner = owner;
  largest->length -= upper.length;
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
