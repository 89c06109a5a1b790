// The frame schedule against a manual media clock: late-frame drop and tolerance at each rate,
// pause and seek, untimed frames, expiry of a shown push frame, and the 101 ms recomposition.
#include <atomic>

#include <gtest/gtest.h>

#include "output_rig.h"
#include "platform/win32.h"
#ifndef _WIN32
#include "support/millisecond_counter_guard.h"
#endif

namespace testing_vo {
namespace {

class ScheduleTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(rig.create()); }

  bool presentedCount(size_t n) {
    return eventually([&] { return rig.context.channelEvents(KMC::kEventPresented).size() >= n; });
  }

  OutputRig rig;
};

TEST_F(ScheduleTest, AtNormalRateAFrameMoreThan10MsBehindIsDroppedAndOneAt10MsPresented) {
  PortInterface* port = rig.pushChannels(1)[0];
  host::OwnedVideoSample* late = rig.deliver(port, 989);
  host::OwnedVideoSample* onTime = rig.deliver(port, 990);
  ASSERT_TRUE(presentedCount(1));

  EXPECT_EQ(rig.eventStarts(KMC::kEventDroppedLate), std::vector<int32_t>{989});
  EXPECT_EQ(rig.eventStarts(KMC::kEventPresented), std::vector<int32_t>{990});
  EXPECT_EQ(late->releaseCount(), 1);
  EXPECT_EQ(onTime->releaseCount(), 0);  // the renderer shows it

  // The next frame replaces it: the renderer answers the old one, which is reported (kEventRendererObject)
  // and released.
  rig.deliver(port, 1000);
  ASSERT_TRUE(presentedCount(2));
  // kEventRendererObject follows kEventPresented within the same presentation, and the release
  // follows kEventRendererObject.
  ASSERT_TRUE(eventually([&] { return !rig.context.channelEvents(KMC::kEventRendererObject).empty() && onTime->releaseCount() == 1; }));
  auto objects = rig.context.channelEvents(KMC::kEventRendererObject);
  ASSERT_EQ(objects.size(), 1u);
  EXPECT_EQ(objects[0].object, onTime);
  EXPECT_EQ(onTime->releaseCount(), 1);
}

TEST_F(ScheduleTest, DoubleRateWidensTheToleranceTo40Ms) {
  rig.clock.setRate(2000);
  PortInterface* port = rig.pushChannels(1)[0];
  rig.deliver(port, 959);
  rig.deliver(port, 960);
  ASSERT_TRUE(presentedCount(1));
  EXPECT_EQ(rig.eventStarts(KMC::kEventDroppedLate), std::vector<int32_t>{959});
  EXPECT_EQ(rig.eventStarts(KMC::kEventPresented), std::vector<int32_t>{960});
}

TEST_F(ScheduleTest, InReverseTheEndTimeIsCompared) {
  rig.clock.setRate(-1000);
  PortInterface* port = rig.pushChannels(1)[0];
  // Ends at 1025: the clock (1000) is more than 10 ms below it, so it is late going backwards
  // (by its start, 985, it would not be).
  rig.deliver(port, 985, 40);
  // Ends at 1000: on time.
  rig.deliver(port, 960, 40);
  ASSERT_TRUE(presentedCount(1));
  EXPECT_EQ(rig.eventStarts(KMC::kEventDroppedLate), std::vector<int32_t>{985});
  EXPECT_EQ(rig.eventStarts(KMC::kEventPresented), std::vector<int32_t>{960});
}

TEST_F(ScheduleTest, PausedChannelKeepsItsFrameAndSeeksPresentOnce) {
  PortInterface* port = rig.pushChannels(1)[0];
  rig.deliver(port, 1000);
  ASSERT_TRUE(presentedCount(1));
  rig.command(port, KMC::kCommandPause);
  for (int t : {1040, 1080, 1120}) rig.deliver(port, t);
  rig.clock.setTime(1040);
  ASSERT_TRUE(rig.passes(3));
  EXPECT_EQ(rig.eventStarts(KMC::kEventPresented), std::vector<int32_t>{1000}) << "paused: nothing new";

  // A seek to a queued frame's start shows that frame once; the channel stays paused.
  ASSERT_TRUE(rig.seek(port, 1080));
  ASSERT_TRUE(presentedCount(2));
  ASSERT_TRUE(rig.passes(3));
  EXPECT_EQ(rig.eventStarts(KMC::kEventPresented), (std::vector<int32_t>{1000, 1080}));
  EXPECT_TRUE(rig.eventStarts(KMC::kEventDroppedLate).empty()) << "the seek trims silently";

  // A seek between frames shows nothing until the clock reaches the next frame.
  ASSERT_TRUE(rig.seek(port, 1100));
  ASSERT_TRUE(rig.passes(3));
  EXPECT_EQ(rig.context.channelEvents(KMC::kEventPresented).size(), 2u);
  rig.clock.setTime(1120);
  ASSERT_TRUE(presentedCount(3));
  EXPECT_EQ(rig.eventStarts(KMC::kEventPresented).back(), 1120);
}

TEST_F(ScheduleTest, UntimedFrameIsPresentedWhateverTheClock) {
  PortInterface* port = rig.pushChannels(1)[0];
  rig.deliver(port, 1000);
  ASSERT_TRUE(presentedCount(1));
  rig.command(port, KMC::kCommandPause);
  rig.clock.setTime(500000);
  rig.deliver(port, 0);
  ASSERT_TRUE(presentedCount(2));
  EXPECT_EQ(rig.eventStarts(KMC::kEventPresented).back(), 0);
  EXPECT_TRUE(rig.eventStarts(KMC::kEventDroppedLate).empty()) << "an untimed frame is never late";
}

TEST_F(ScheduleTest, ShownPushFrameIsHandedBackOnceTheClockLeavesIt) {
  PortInterface* port = rig.pushChannels(1)[0];
  rig.clock.setTime(2000);
  host::OwnedVideoSample* frame = rig.deliver(port, 2000, 40);
  ASSERT_TRUE(presentedCount(1));
  rig.clock.setTime(2050);
  ASSERT_TRUE(rig.passes(3));
  EXPECT_EQ(frame->releaseCount(), 0) << "2050 is still within start + duration + 10";
  rig.clock.setTime(2051);
  ASSERT_TRUE(eventually([&] { return frame->releaseCount() == 1; }));

  rig.clock.setTime(2000);
  host::OwnedVideoSample* second = rig.deliver(port, 2000, 40);
  ASSERT_TRUE(presentedCount(2));
  rig.clock.setTime(1000);
  ASSERT_TRUE(rig.passes(3));
  EXPECT_EQ(second->releaseCount(), 0) << "1000 is not below start - 1000";
  rig.clock.setTime(999);
  ASSERT_TRUE(eventually([&] { return second->releaseCount() == 1; }));
  EXPECT_EQ(rig.output->count("takeCurrentFrame"), 2);
  EXPECT_EQ(frame->releaseCount(), 1);
}

TEST_F(ScheduleTest, RunningClockAtRateZeroDropsNothingAndKeepsLooping) {
  rig.clock.setRate(0);
  PortInterface* port = rig.pushChannels(1)[0];
  rig.deliver(port, 100);  // far behind the clock, but no time passes at rate 0
  ASSERT_TRUE(presentedCount(1));
  ASSERT_TRUE(rig.passes(3));
  EXPECT_TRUE(rig.eventStarts(KMC::kEventDroppedLate).empty());
}

#ifndef _WIN32  // the counter seam belongs to the POSIX layer
// The stopwatch reads the millisecond counter seam, which only this test moves.
std::atomic<DWORD> g_counter{5000};
DWORD frozenCounter() { return g_counter.load(); }

TEST(RecompositionTest, UnchangedPictureIsRecomposedOnceThe101MsHavePassed) {
  testsupport::MillisecondCounterGuard frozen(&frozenCounter);
  {
    OutputRig rig(1000, false);  // no running clock: nothing is ever due
    ASSERT_TRUE(rig.create());
    ASSERT_TRUE(rig.passes(3));
    const int64_t before = rig.output->count("beginFrame");
    EXPECT_EQ(before, 0);

    g_counter.fetch_add(100);
    ASSERT_TRUE(rig.passes(3));
    EXPECT_EQ(rig.output->count("beginFrame"), before) << "100 ms is not enough";

    g_counter.fetch_add(1);
    ASSERT_TRUE(rig.passes(3));
    EXPECT_EQ(rig.output->count("beginFrame"), before + 1);
    EXPECT_EQ(rig.output->count("endFrame"), before + 1);

    g_counter.fetch_add(101);
    ASSERT_TRUE(rig.passes(3));
    EXPECT_EQ(rig.output->count("beginFrame"), before + 2) << "the stopwatch restarted at 0";
  }
}
#endif

}  // namespace
}  // namespace testing_vo
