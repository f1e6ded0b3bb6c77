// The segment table of one task: which piece of the file each connection
// fetches. Pure bookkeeping, no threads or sockets; the task guards it with
// its counter lock. Offsets and lengths are bytes, 64-bit.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace lumora {

struct Segment {
  std::int64_t start = 0;
  std::int64_t length = 0;
  std::int64_t received = 0;
  std::int64_t reserved = 0;  // being received past `received` right now
  int owner = -1;             // connection id while in use
  bool in_use = false;
  // When the owner took it, and what was received by then: its pace.
  std::chrono::steady_clock::time_point taken_at{};
  std::int64_t received_at_take = 0;

  std::int64_t end() const { return start + length; }
  std::int64_t next_offset() const { return start + received; }
  std::int64_t remaining() const { return length - received; }
  // What a split may still give away.
  std::int64_t unclaimed() const { return length - received - reserved; }
};

class SegmentPlan {
 public:
  // Smallest piece worth a connection of its own: on a real line each new
  // connection pays a round trip to connect and another to ask (and a TLS
  // handshake), which a piece smaller than this does not win back.
  static constexpr std::int64_t kMinPiece = 1 << 20;
  // Upper bound on segments, so a huge `connections` cannot make
  // zero-length pieces or thousands of threads.
  static constexpr int kMaxSegments = 256;
  // A remainder under two pieces is still halved when its owner, at the
  // pace it has kept for at least this long, would need longer than this
  // for it alone (a slow connection at the end of a file)...
  static constexpr std::chrono::seconds kSlowRemainder{1};
  // ...down to halves of this size.
  static constexpr std::int64_t kSlowSplitFloor = 64 << 10;
  using Clock = std::chrono::steady_clock;

  // `min_piece`: no segment is cut or split off smaller than this (at
  // least 1 byte).
  explicit SegmentPlan(std::int64_t min_piece = kMinPiece);

  // Cuts `size` bytes into N equal segments, N = connections but no more
  // than fit min_piece each (so a file under two pieces stays whole); the
  // last takes the remainder. Segment 0 is given to `owner`.
  void cut(std::int64_t size, int connections, int owner, Clock::time_point now = Clock::now());
  bool is_cut() const { return cut_; }
  std::int64_t size() const { return size_; }

  // Takes over a table learnt earlier (a resume): the segments must tile
  // [0, size); what they received is done and never handed out again.
  // None is in use afterwards.
  void restore(std::int64_t size, std::vector<Segment> segments);

  // What a connection is handed: the segment, and when it was split off
  // another one, that one as it stands after giving its upper part away.
  struct Handout {
    std::size_t index = 0;
    std::optional<Segment> shrunk;
  };
  // Work for a connection: a segment nobody works on that still misses
  // bytes, else (while splits are allowed) the upper half of the largest
  // unclaimed remainder when that is at least two pieces, else of the one
  // a slow owner would need longest for (see kSlowRemainder); the lower,
  // larger half stays. Empty when none of these exists.
  std::optional<Handout> hand_out(int owner, Clock::time_point now = Clock::now());
  std::optional<std::size_t> take(int owner, Clock::time_point now = Clock::now());
  // The server ignores ranges: a split-off piece would be read from byte 0,
  // so from now on only whole segments are handed out.
  void stop_splitting() { splits_allowed_ = false; }
  // The connection stopped working on the segment; it may be taken again.
  void release(std::size_t index);
  // Counts a block that arrived at the segment's next offset, clipped to the
  // segment's current end. Returns the bytes to store there.
  std::int64_t store(std::size_t index, std::int64_t length);
  // Claims up to `length` bytes from the next offset for a receive straight
  // into the file, so no split can give them away meanwhile; commit counts
  // what arrived (at most the claim) and drops the claim.
  std::int64_t reserve(std::size_t index, std::int64_t length);
  void commit(std::size_t index, std::int64_t length);
  // The offset and length of `index` as it stands now.
  const Segment& at(std::size_t index) const { return segments_[index]; }
  std::size_t count() const { return segments_.size(); }

  std::int64_t received_total() const;
  bool complete() const;
  // Segments with nothing left to fetch.
  std::size_t done_count() const;

 private:
  // The segment whose remainder a split halves, if any.
  std::optional<std::size_t> split_target(Clock::time_point now) const;
  std::size_t split(std::size_t index, int owner, Clock::time_point now);
  static void give(Segment& s, int owner, Clock::time_point now);

  std::vector<Segment> segments_;
  std::int64_t min_piece_;
  std::int64_t size_ = 0;
  bool cut_ = false;
  bool splits_allowed_ = true;
};

}  // namespace lumora
