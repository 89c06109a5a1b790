// Taking an output down in the orders an engine may choose: removing a port while the channels
// are held for a reconfiguration, removePort racing destroy, and the last release of a
// component that was never destroyed (or that got new ports after destroy).
#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "output_rig.h"

namespace testing_vo {
namespace {

// With the drawing target gone the loop holds every channel and waits for it: a port removed
// meanwhile is retired all the same, and the other channel goes on once the target is back.
TEST(TeardownTest, RemovePortWhileTheChannelsAreHeldForAReconfiguration) {
  OutputRig rig;
  ASSERT_TRUE(rig.create());
  std::vector<PortInterface*> ports = rig.pushChannels(2);
  rig.deliver(ports[0], 1000);
  ASSERT_TRUE(eventually([&] { return rig.context.channelEvents(KMC::kEventPresented).size() == 1; }));

  // The target goes away (as when the engine sets window 0): not ready, reconfiguration due.
  rig.output->setRendererReady(false);
  rig.output->requestReconfiguration();
  ASSERT_TRUE(eventually([&] { return rig.output->count("holdChannel") == 2; }));
  rig.command(ports[0], KMC::kCommandDisconnect);
  bool removed = false;
  expectReturns([&] { removed = rig.output->removePort(ports[0]); }, "removePort of a held channel");
  EXPECT_TRUE(removed);
  rig.ports.erase(rig.ports.begin());
  EXPECT_EQ(rig.output->count("detachChannel"), 1);
  EXPECT_EQ(rig.ledger.released(), 1) << "the shown frame went with its channel";

  // A reconfiguration step that keeps failing holds the channels too.
  rig.output->reconfigureFailures.store(1000000);
  rig.output->setRendererReady(true);
  ASSERT_TRUE(eventually([&] { return rig.output->count("reconfigure") > 2; }));
  PortInterface* late = rig.addPort(3);
  rig.connect(late, &rig.dummySource);
  rig.command(late, KMC::kCommandDisconnect);
  expectReturns([&] { removed = rig.output->removePort(late); }, "removePort during a failing reconfiguration");
  EXPECT_TRUE(removed);
  rig.ports.pop_back();

  rig.output->reconfigureFailures.store(0);
  ASSERT_TRUE(eventually([&] { return rig.output->count("reconfigureCommit") == 1; }));
  // The output thread resumes the channels right after the commit: wait for it to get there.
  EXPECT_TRUE(eventually([&] { return rig.output->count("resumeChannel") == rig.output->count("holdChannel"); }))
      << "every hold ends in a resume, also for the channel removed while held";
  rig.deliver(ports[1], 1000);
  ASSERT_TRUE(eventually([&] { return rig.context.channelEvents(KMC::kEventPresented, 2).size() == 1; }));
  rig.shutdown();
  EXPECT_TRUE(rig.ledger.allReleasedExactlyOnce());
}

// Whichever of removePort and destroy comes second finds the channel gone and answers as for
// a port it does not know. Here removePort has to wait for renderLock (held by this thread, as
// a drawing pass would hold it) while destroy takes the channels down.
TEST(TeardownTest, RemovePortRacingDestroyFindsTheChannelGone) {
  OutputRig rig;
  ASSERT_TRUE(rig.create());
  ASSERT_TRUE(rig.output->destroy());  // no output thread from here: destroy waits for nothing
  PortInterface* port = rig.addPort(1);
  rig.connect(port, &rig.dummySource);
  rig.deliver(port, 1000);

  std::atomic<int> answer{-1};
  std::thread remover;
  {
    KMC::LockGuard render(rig.output->lockManager(), rig.output->renderLockId(), KMC::LockMode::Locked);
    remover = std::thread([&] { answer.store(rig.output->removePort(port) ? 1 : 0); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // removePort is waiting by now
    EXPECT_TRUE(rig.output->destroy());
  }
  remover.join();
  EXPECT_EQ(answer.load(), 0) << "destroy took the channel down first";
  EXPECT_EQ(rig.output->channelCount() + rig.output->retiredChannelCount(), 0u);
  EXPECT_TRUE(rig.ledger.allReleasedExactlyOnce());
}

// Deleting the component by its last release, without destroy: the output thread is stopped
// and every channel detached while the renderer is still whole.
class LastReleaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.output->attachedChannels = &attached;
    ASSERT_TRUE(rig.create());
  }
  // Connected channels, a push one with frames and a pull one, not removed.
  void addChannels(int32_t firstId) {
    PortInterface* push = rig.addPort(firstId);
    rig.connect(push, &rig.dummySource);
    rig.command(push, KMC::kCommandRun);
    rig.deliver(push, 1000);
    rig.deliver(push, 1040);
    PortInterface* pull = rig.addPort(firstId + 1, KMC::kChannelPull);
    source.append(rig.ledger.make(1000, 40));
    rig.connect(pull, &source);
  }
  void releaseLastReference() {
    expectReturns([&] { EXPECT_EQ(rig.output->releaseReference(), 0); }, "the last release");
    rig.output = nullptr;  // deleted itself
  }

  host::ScriptedSource source;  // outlives the component
  std::atomic<int> attached{0};
  OutputRig rig;
};

TEST_F(LastReleaseTest, WhileTheOutputRuns) {
  addChannels(1);
  rig.select({1, 2});
  ASSERT_TRUE(eventually([&] { return rig.context.channelEvents(KMC::kEventPresented).size() >= 1 && source.remaining() == 0; }));
  releaseLastReference();
  EXPECT_EQ(attached.load(), 0);
  EXPECT_TRUE(rig.ledger.allReleasedExactlyOnce());
}

TEST_F(LastReleaseTest, WithPortsCreatedAfterDestroy) {
  addChannels(1);
  ASSERT_TRUE(rig.output->destroy());
  addChannels(3);
  ASSERT_TRUE(eventually([&] { return source.remaining() == 0; }));
  releaseLastReference();
  EXPECT_EQ(attached.load(), 0);
  EXPECT_TRUE(rig.ledger.allReleasedExactlyOnce());
}

}  // namespace
}  // namespace testing_vo
