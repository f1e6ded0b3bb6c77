#include "lumora/download/segment_plan.h"

#include <gtest/gtest.h>

namespace lumora {
namespace {

// Pieces small enough for the tables below to stay readable.
constexpr std::int64_t kSmall = 20480;

TEST(SegmentPlan, CutsEqualSegmentsWithRemainderLast) {
  constexpr std::int64_t kMiB = 1 << 20;
  struct Case {
    std::int64_t size;
    int connections;
    std::int64_t min_piece;
    std::size_t count;
    std::int64_t piece;
    std::int64_t last;
  } cases[] = {
      {1000000, 10, kSmall, 10, 100000, 100000},
      {1000003, 10, kSmall, 10, 100000, 100003},
      {20479, 10, kSmall, 1, 20479, 20479},  // below one piece: one connection
      {61439, 10, kSmall, 2, 30719, 30720},  // no piece below the minimum
      {1, 10, kSmall, 1, 1, 1},
      {0, 10, kSmall, 1, 0, 0},
      {100000, 0, kSmall, 1, 100000, 100000},
      {100000, -3, kSmall, 1, 100000, 100000},
      {5000000000LL, 10, kSmall, 10, 500000000, 500000000},  // past 4 GiB
      {10000000, 100000, kSmall, SegmentPlan::kMaxSegments, 39062, 10000000 - 255 * 39062},
      // The engine's own minimum: small tracks stay whole.
      {300000, 10, SegmentPlan::kMinPiece, 1, 300000, 300000},
      {3 * kMiB / 2, 10, SegmentPlan::kMinPiece, 1, 3 * kMiB / 2, 3 * kMiB / 2},
      {3 * kMiB, 10, SegmentPlan::kMinPiece, 3, kMiB, kMiB},
      {40 * kMiB, 10, SegmentPlan::kMinPiece, 10, 4 * kMiB, 4 * kMiB},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    SegmentPlan plan(c.min_piece);
    plan.cut(c.size, c.connections, 7);
    ASSERT_EQ(plan.count(), c.count);
    EXPECT_EQ(plan.at(0).length, c.piece);
    EXPECT_EQ(plan.at(c.count - 1).length, c.last);
    EXPECT_EQ(plan.at(c.count - 1).end(), c.size);
    EXPECT_TRUE(plan.at(0).in_use);
    EXPECT_EQ(plan.at(0).owner, 7);
    for (std::size_t i = 1; i < c.count; ++i) EXPECT_EQ(plan.at(i).start, plan.at(i - 1).end());
  }
}

TEST(SegmentPlan, FurtherConnectionsTakeFreeSegmentsInOrder) {
  SegmentPlan plan(kSmall);
  plan.cut(1000000, 10, 1);
  for (int k = 1; k < 10; ++k) {
    const auto piece = plan.take(k + 1);
    ASSERT_TRUE(piece);
    EXPECT_EQ(plan.at(*piece).start, 100000 * k);
  }
}

TEST(SegmentPlan, SplitsTheLargestRemainderKeepingTheLargerLowerHalf) {
  SegmentPlan plan(kSmall);
  plan.cut(300001, 3, 1);  // 100000, 100000, 100001
  ASSERT_TRUE(plan.take(2));
  ASSERT_TRUE(plan.take(3));
  plan.store(0, 100000);   // segment 0 done
  plan.store(1, 10000);    // 90000 left
  plan.store(2, 1);        // 100000 left: the largest
  const auto piece = plan.take(4);
  ASSERT_TRUE(piece);
  EXPECT_EQ(*piece, 3u);
  EXPECT_EQ(plan.at(2).length, 1 + 50000);
  EXPECT_EQ(plan.at(3).start, 200000 + 1 + 50000);
  EXPECT_EQ(plan.at(3).length, 50000);
  EXPECT_EQ(plan.at(3).end(), 300001);

  SegmentPlan odd(kSmall);
  odd.cut(40961, 1, 1);
  ASSERT_TRUE(odd.take(2));
  EXPECT_EQ(odd.at(0).length, 20481);  // the odd byte stays below
  EXPECT_EQ(odd.at(1).length, 20480);
}

TEST(SegmentPlan, NoSplitBelowTwoPieces) {
  SegmentPlan plan(kSmall);
  plan.cut(40959, 1, 1);
  EXPECT_FALSE(plan.take(2));
  SegmentPlan exact(kSmall);
  exact.cut(40960, 1, 1);
  EXPECT_TRUE(exact.take(2));
}

TEST(SegmentPlan, ASlowOwnersRemainderUnderTwoPiecesIsStillHalved) {
  using namespace std::chrono_literals;
  constexpr std::int64_t kMiB = 1 << 20;
  const SegmentPlan::Clock::time_point t0{};
  SegmentPlan plan;  // the engine's own minimum: 1 MiB pieces
  plan.cut(3 * kMiB, 3, 1, t0);
  ASSERT_EQ(plan.take(2, t0), 1u);
  ASSERT_EQ(plan.take(3, t0), 2u);
  plan.store(0, kMiB);           // the first connection is done and idle
  plan.store(1, kMiB - 200000);  // fast: 200000 bytes left, well under a second
  plan.store(2, 100000);         // slow: about 15 s left at its pace
  EXPECT_FALSE(plan.take(1, t0 + 500ms)) << "a pace watched for less than a second";
  const auto piece = plan.take(1, t0 + 1500ms);
  ASSERT_TRUE(piece);
  EXPECT_EQ(plan.at(*piece).end(), 3 * kMiB);
  EXPECT_EQ(plan.at(2).end(), plan.at(*piece).start);
  // The fast remainder is never halved: a new connection would not win.
  plan.store(2, plan.at(2).remaining());
  plan.store(*piece, plan.at(*piece).remaining());
  EXPECT_FALSE(plan.take(4, t0 + 1500ms));
}

TEST(SegmentPlan, StoreClipsAtTheShrunkEnd) {
  SegmentPlan plan(kSmall);
  plan.cut(100000, 1, 1);
  EXPECT_EQ(plan.store(0, 10000), 10000);
  ASSERT_TRUE(plan.take(2));  // segment 0 now ends at 55000
  EXPECT_EQ(plan.at(0).end(), 55000);
  // A block straddling the new end: only the part below it is stored.
  EXPECT_EQ(plan.store(0, 40000), 40000);
  EXPECT_EQ(plan.store(0, 20480), 5000);
  EXPECT_EQ(plan.store(0, 100), 0);
  EXPECT_EQ(plan.store(1, 45000), 45000);
  EXPECT_EQ(plan.store(1, 1), 0);
  EXPECT_TRUE(plan.complete());
  EXPECT_EQ(plan.received_total(), 100000);
}

TEST(SegmentPlan, ASplitLeavesAClaimedReceiveAlone) {
  SegmentPlan plan(kSmall);
  plan.cut(100000, 1, 1);
  EXPECT_EQ(plan.reserve(0, 20480), 20480);  // a receive is in flight
  const auto piece = plan.take(2);
  ASSERT_TRUE(piece);
  // Only the unclaimed 79520 bytes are halved.
  EXPECT_EQ(plan.at(*piece).start, 20480 + 39760);
  EXPECT_EQ(plan.at(0).end(), plan.at(*piece).start);
  plan.commit(0, 1000);  // fewer bytes arrived than claimed
  EXPECT_EQ(plan.at(0).next_offset(), 1000);
  EXPECT_EQ(plan.at(0).reserved, 0);
  EXPECT_EQ(plan.reserve(0, 1 << 20), plan.at(0).remaining());  // claims stop at the end
}

TEST(SegmentPlan, ReleasedSegmentIsTakenBeforeAnySplit) {
  SegmentPlan plan(kSmall);
  plan.cut(1000000, 2, 1);
  ASSERT_EQ(plan.take(2), std::optional<std::size_t>(1));
  plan.store(1, 1000);
  plan.release(1);
  const auto again = plan.take(3);
  ASSERT_EQ(again, std::optional<std::size_t>(1));
  EXPECT_EQ(plan.at(1).next_offset(), 501000);
  EXPECT_EQ(plan.count(), 2u);
  EXPECT_FALSE(plan.complete());
}


TEST(SegmentPlan, HandOutReportsTheSegmentThatShrank) {
  SegmentPlan plan(kSmall);
  plan.cut(1000000, 2, 1);
  ASSERT_EQ(plan.take(2), 1u);
  const auto h = plan.hand_out(3);
  ASSERT_TRUE(h);
  ASSERT_TRUE(h->shrunk);
  EXPECT_EQ(h->shrunk->start, 0);
  EXPECT_EQ(h->shrunk->end(), plan.at(h->index).start);
  EXPECT_EQ(h->shrunk->owner, 1);
  plan.stop_splitting();
  EXPECT_FALSE(plan.hand_out(4));  // whole segments only, and none is free
}

TEST(SegmentPlan, RestoredTableHandsOutOnlyWhatIsMissing) {
  SegmentPlan plan(kSmall);
  std::vector<Segment> table(3);
  table[0] = {.start = 0, .length = 100000, .received = 100000};
  table[1] = {.start = 100000, .length = 100000, .received = 30000, .in_use = true};
  table[2] = {.start = 200000, .length = 100000, .received = 0};
  plan.restore(300000, table);
  EXPECT_TRUE(plan.is_cut());
  EXPECT_EQ(plan.received_total(), 130000);
  EXPECT_EQ(plan.done_count(), 1u);
  const auto first = plan.take(7);
  ASSERT_EQ(first, 1u);  // the in-use mark of the old run is gone
  EXPECT_EQ(plan.at(1).next_offset(), 130000);
  EXPECT_EQ(plan.take(8), 2u);
  // Further work comes from splitting a missing remainder, never the done one.
  const auto split = plan.take(9);
  ASSERT_TRUE(split);
  EXPECT_GE(plan.at(*split).start, 200000);
}

}  // namespace
}  // namespace lumora
