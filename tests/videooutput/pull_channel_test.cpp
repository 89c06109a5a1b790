// Pull channels: the prefetch limit, sleeping on the wake event, stale and unusable frames,
// the ready status, and stopping the thread with the channel.
#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "output_rig.h"

namespace testing_vo {
namespace {

class PullChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(rig.create());
    port = rig.addPort(7, KMC::kChannelPull);
    ASSERT_NE(port, nullptr);
    channel = static_cast<RecordingRenderer::Port*>(port)->channel();
    ASSERT_TRUE(channel->isPull());
  }

  void script(int n, int32_t firstStart = 1000) {
    for (int i = 0; i < n; ++i) source.append(rig.ledger.make(firstStart + 40 * i, 40));
  }

  host::ScriptedSource source;  // outlives the output: its pull threads use it to the end
  OutputRig rig;
  PortInterface* port = nullptr;
  RecordingRenderer::Channel* channel = nullptr;
};

TEST_F(PullChannelTest, PrefetchesAtMost8FramesThenSleepsOnItsEvent) {
  script(20);
  rig.connect(port, &source);  // not selected: nothing consumes the queue
  ASSERT_TRUE(eventually([&] { return channel->queuedFrames() == 8; }));
  const int64_t pulls = source.pulls();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));  // would be ~30 polls
  EXPECT_EQ(source.pulls(), pulls) << "a full queue waits on the wake event instead of polling";
  EXPECT_EQ(channel->queuedFrames(), 8u);

  // Presentation makes room and wakes it: it refills to 8 again, never more.
  rig.command(port, KMC::kCommandRun);
  rig.select({7});
  ASSERT_TRUE(eventually([&] { return rig.context.channelEvents(KMC::kEventPresented).size() >= 1; }));
  ASSERT_TRUE(eventually([&] { return source.pulls() > pulls; }));
  EXPECT_LE(channel->queuedFrames(), 8u);
}

TEST_F(PullChannelTest, ReadyOnlyWithTwoQueuedFrames) {
  PropertyValue none;
  EXPECT_FALSE(port->queryStatus(KMC::kStatusReady, &none));
  script(1);
  rig.connect(port, &source);
  ASSERT_TRUE(eventually([&] { return channel->queuedFrames() == 1; }));
  EXPECT_FALSE(port->queryStatus(KMC::kStatusReady, &none));
  script(1, 1040);
  ASSERT_TRUE(eventually([&] { return channel->queuedFrames() == 2; }));
  EXPECT_TRUE(port->queryStatus(KMC::kStatusReady, &none));

  PortInterface* push = rig.addPort(8, KMC::kChannelPush);
  EXPECT_TRUE(push->queryStatus(KMC::kStatusReady, &none)) << "push channels are always ready";
}

TEST_F(PullChannelTest, FramesBeforeAPendingSeekAreReleasedAndUnusableOnesLeftAlone) {
  ASSERT_TRUE(rig.seek(port, 5000));
  host::OwnedVideoSample* stale = rig.ledger.make(1000, 40);
  host::OwnedVideoSample* unusable = rig.ledger.make(5000, 40);
  unusable->usable = 0;
  host::OwnedVideoSample* wanted = rig.ledger.make(5000, 40);
  source.append(stale);
  source.append(nullptr);  // answered, but no frame: nothing to queue or release
  source.append(unusable);
  source.append(wanted);
  rig.connect(port, &source);
  ASSERT_TRUE(eventually([&] { return source.remaining() == 0 && channel->queuedFrames() == 1; }));
  EXPECT_EQ(stale->releaseCount(), 1);
  EXPECT_EQ(unusable->releaseCount(), 0) << "its word may be the engine's own count: not ours to release";
  EXPECT_EQ(wanted->releaseCount(), 0);
  EXPECT_EQ(source.lastCode(), KMC::kPullCode);
}

// A slow source must not keep the queue from the output thread and the engine: the pull runs
// without the queue lock, and a frame it brings after a flush belongs to nobody's queue.
TEST_F(PullChannelTest, PullsWithoutTheQueueLockAndDropsWhatAFlushOvertook) {
  std::atomic<bool> inPull{false}, letGo{false};
  source.setPullHook([&] {
    inPull.store(true);
    while (!letGo.load()) std::this_thread::sleep_for(std::chrono::microseconds(100));
  });
  host::OwnedVideoSample* frame = rig.ledger.make(1000, 40);
  source.append(frame);
  rig.connect(port, &source);
  ASSERT_TRUE(eventually([&] { return inPull.load(); }));

  boost::recursive_mutex& queue = channel->queueMutex();
  const bool lockFree = queue.try_lock();
  if (lockFree) queue.unlock();
  EXPECT_TRUE(lockFree) << "the queue is locked across the source's pull";
  if (!lockFree) {
    letGo.store(true);  // a flush would wait for the pull
    return;
  }
  rig.command(port, KMC::kCommandFlush);
  // The engine may let a source go once disconnect has returned: it waits for the pull.
  std::atomic<bool> disconnected{false};
  std::thread engine([&] {
    rig.command(port, KMC::kCommandDisconnect);
    disconnected.store(true);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(disconnected.load()) << "disconnect returned with the pull still running";
  letGo.store(true);
  engine.join();
  EXPECT_EQ(frame->releaseCount(), 1) << "brought after the flush: released, not queued";
  EXPECT_EQ(channel->queuedFrames(), 0u);
  EXPECT_TRUE(rig.output->removePort(port));  // its thread stops before the hook's flags go
}

TEST_F(PullChannelTest, RemovingThePortStopsTheThreadAndReleasesItsFrames) {
  script(3);
  rig.connect(port, &source);
  ASSERT_TRUE(eventually([&] { return channel->queuedFrames() == 3; }));
  // Polls at 1 ms now that the script is empty.
  ASSERT_TRUE(eventually([&] { return source.pulls() > 10; }));
  rig.command(port, KMC::kCommandDisconnect);
  ASSERT_TRUE(rig.output->removePort(port));
  const int64_t pulls = source.pulls();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(source.pulls(), pulls);
  EXPECT_TRUE(rig.ledger.allReleasedExactlyOnce());
}

}  // namespace
}  // namespace testing_vo
