#include "lumora/download/segment_plan.h"

#include <gtest/gtest.h>

namespace lumora {
namespace {

TEST(SegmentPlan, CutsEqualSegmentsWithRemainderLast) {
  struct Case {
    std::int64_t size;
    int connections;
    std::size_t count;
    std::int64_t piece;
    std::int64_t last;
  } cases[] = {
      {1000000, 10, 10, 100000, 100000},
      {1000003, 10, 10, 100000, 100003},
      {20479, 10, 1, 20479, 20479},  // below one piece: one connection
      {20480, 10, 10, 2048, 2048},
      {1, 10, 1, 1, 1},
      {0, 10, 1, 0, 0},
      {100000, 0, 1, 100000, 100000},
      {100000, -3, 1, 100000, 100000},
      {5000000000LL, 10, 10, 500000000, 500000000},  // past 4 GiB
      {1000000, 100000, SegmentPlan::kMaxSegments, 3906, 1000000 - 255 * 3906},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    SegmentPlan plan;
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
  SegmentPlan plan;
  plan.cut(1000000, 10, 1);
  for (int k = 1; k < 10; ++k) {
    const auto piece = plan.take(k + 1);
    ASSERT_TRUE(piece);
    EXPECT_EQ(plan.at(*piece).start, 100000 * k);
  }
}

TEST(SegmentPlan, SplitsTheLargestRemainderKeepingTheLargerLowerHalf) {
  SegmentPlan plan;
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

  SegmentPlan odd;
  odd.cut(40961, 1, 1);
  ASSERT_TRUE(odd.take(2));
  EXPECT_EQ(odd.at(0).length, 20481);  // the odd byte stays below
  EXPECT_EQ(odd.at(1).length, 20480);
}

TEST(SegmentPlan, NoSplitBelowTwoPieces) {
  SegmentPlan plan;
  plan.cut(40959, 1, 1);
  EXPECT_FALSE(plan.take(2));
  SegmentPlan exact;
  exact.cut(40960, 1, 1);
  EXPECT_TRUE(exact.take(2));
}

TEST(SegmentPlan, StoreClipsAtTheShrunkEnd) {
  SegmentPlan plan;
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
  SegmentPlan plan;
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
  SegmentPlan plan;
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
  SegmentPlan plan;
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
  SegmentPlan plan;
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
