// Pull channels: the prefetch limit, sleeping on the wake event, stale and unusable frames,
// the ready status, and stopping the thread with the channel.
#include <gtest/gtest.h>

#include "output_rig.h"

namespace testing_vo {
namespace {

class PullChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(rig.create());
    port = rig.addPort(7, 2);
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
  ASSERT_TRUE(eventually([&] { return rig.context.channelEvents(2).size() >= 1; }));
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

  PortInterface* push = rig.addPort(8, 1);
  EXPECT_TRUE(push->queryStatus(KMC::kStatusReady, &none)) << "push channels are always ready";
}

TEST_F(PullChannelTest, FramesBeforeAPendingSeekAndUnusableFramesAreReleased) {
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
  EXPECT_EQ(unusable->releaseCount(), 1);
  EXPECT_EQ(wanted->releaseCount(), 0);
  EXPECT_EQ(source.lastCode(), KMC::kPullCode);
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
