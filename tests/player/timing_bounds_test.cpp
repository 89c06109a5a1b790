// The player's records stay bounded on a run of any length: the timing record keeps at most
// its caps, spread over the whole run, with every frame still counted; the lateness figures
// are kept as a histogram whose p95 is the exact nearest rank where lateness is sane.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "lateness_stats.h"
#include "timing_log.h"

namespace {

TEST(TimingBounds, ADayAtSixtyFramesStaysWithinTheCapsAndCoversTheWholeRun) {
  play::TimingLog log;
  // Two channels at 60 fps for a simulated 10 hours: 4.3 million frames, one in 500 dropped.
  const int64_t frames = 60LL * 3600 * 10;
  int64_t drops = 0;
  for (int64_t i = 0; i < frames; ++i) {
    int64_t due = i * 1000 / 60;
    for (int32_t channel = 1; channel <= 2; ++channel) {
      bool dropped = i % 500 == 7;
      drops += dropped;
      log.frame(channel, due, static_cast<int32_t>(i % 9), dropped, false);
    }
    log.redraw(due, 16.7);
  }
  play::TimingRecord record = log.record();
  size_t dropsKept = 0;
  for (const play::TimedFrame& f : record.frames) dropsKept += f.dropped;
  EXPECT_LE(record.frames.size() - dropsKept, play::TimingRecord::kFrameCap);
  EXPECT_LE(dropsKept, play::TimingRecord::kDropCap);
  EXPECT_GE(dropsKept, play::TimingRecord::kDropCap / 2);  // thinning halves, never empties
  EXPECT_LE(record.redraws.size(), play::TimingRecord::kRedrawCap);
  EXPECT_EQ(record.presentedByChannel[1] + record.presentedByChannel[2], 2 * frames - drops);
  EXPECT_EQ(record.droppedByChannel[1] + record.droppedByChannel[2], drops);
  EXPECT_EQ(record.redrawCount, static_cast<uint64_t>(frames));
  // What is kept reaches from the start to the last stretch of the run, evenly.
  int64_t last = (frames - 1) * 1000 / 60;
  EXPECT_EQ(record.frames.front().due, 0);
  EXPECT_GT(record.frames[record.frames.size() - dropsKept - 1].due, last - last / 50);
  EXPECT_GT(record.redraws.back().media, last - last / 50);
  EXPECT_GT(record.frameStep, 1u);
}

TEST(TimingBounds, LatenessPercentileIsTheNearestRankInRangeAndCloseOutsideIt) {
  std::mt19937 random(26);
  std::uniform_int_distribution<int32_t> sane(-200, 900);
  std::vector<int32_t> values;
  play::LatenessStats stats, half, otherHalf;
  for (int i = 0; i < 100001; ++i) {
    int32_t v = sane(random);
    values.push_back(v);
    stats.add(v);
    (i % 2 ? half : otherHalf).add(v);
  }
  std::vector<int32_t> sorted = values;
  std::sort(sorted.begin(), sorted.end());
  size_t rank = static_cast<size_t>(std::ceil(0.95 * sorted.size()));
  play::LatenessSummary summary = stats.summary();
  EXPECT_EQ(summary.p95, sorted[rank - 1]);
  EXPECT_EQ(summary.max, sorted.back());
  half.merge(otherHalf);
  EXPECT_EQ(half.summary().p95, summary.p95);
  EXPECT_DOUBLE_EQ(half.summary().mean, summary.mean);

  // A stalled output: most frames 20 s late. The answer lies within the bucket's width.
  play::LatenessStats stalled;
  for (int i = 0; i < 100; ++i) stalled.add(i < 10 ? 5 : 20000 + i);
  play::LatenessSummary late = stalled.summary();
  EXPECT_GE(late.p95, 20094);
  EXPECT_LE(late.p95, late.max);
}

}  // namespace
