// The engine calling back into the output from inside a notification, on the output thread:
// each frame is still released once, the pass survives changes to what it was working on, and
// calls that would have the output thread wait for itself answer false instead of hanging.
#include <atomic>

#include <gtest/gtest.h>

#include "output_rig.h"

namespace testing_vo {
namespace {

TEST(CallbackTest, FlushInsideTheDroppedLateNotification) {
  OutputRig rig;
  PortInterface* port = nullptr;
  rig.context.setEventHook([&](int32_t, int32_t code, KMC::VideoSample*) {
    if (code == KMC::kEventDroppedLate) rig.command(port, KMC::kCommandFlush);
  });
  ASSERT_TRUE(rig.create());
  port = rig.pushChannels(1)[0];
  rig.deliver(port, 1000);  // shown: later frames wait for their time
  ASSERT_TRUE(eventually([&] { return rig.context.channelEvents(KMC::kEventPresented).size() == 1; }));
  rig.select({});  // nothing is taken before all four are queued
  for (int32_t start : {900, 940, 1100, 1140}) rig.deliver(port, start);  // two late, two early
  rig.select({1});
  ASSERT_TRUE(eventually([&] { return rig.ledger.released() == 4; }));
  ASSERT_TRUE(rig.passes(3));
  EXPECT_EQ(rig.eventStarts(KMC::kEventDroppedLate), (std::vector<int32_t>{900, 940}));
  EXPECT_EQ(static_cast<RecordingRenderer::Port*>(port)->channel()->queuedFrames(), 0u) << "flushed";
  EXPECT_EQ(rig.ledger.doubleReleases(), 0);
  rig.shutdown();
  EXPECT_TRUE(rig.ledger.allReleasedExactlyOnce());
}

TEST(CallbackTest, SelectionChangeAndDisconnectInsideThePresentedNotification) {
  OutputRig rig;
  std::vector<PortInterface*> ports;
  rig.context.setEventHook([&](int32_t channel, int32_t code, KMC::VideoSample* frame) {
    if (code != KMC::kEventPresented) return;
    if (channel == 1 && frame->startTime == 1000) rig.select({3, 2});
    if (channel == 2) rig.command(ports[1], KMC::kCommandDisconnect);
  });
  ASSERT_TRUE(rig.create());
  ports = rig.pushChannels(3);
  rig.select({});
  for (PortInterface* port : ports) rig.deliver(port, 1000);
  rig.select({1, 2, 3});
  ASSERT_TRUE(eventually([&] { return rig.context.channelEvents(KMC::kEventPresented, 3).size() == 1; }));
  rig.deliver(ports[2], 1040);
  rig.clock.setTime(1040);
  ASSERT_TRUE(eventually([&] { return rig.context.channelEvents(KMC::kEventPresented, 3).size() == 2; }));
  EXPECT_EQ(rig.selected(), (std::list<int32_t>{3}));
  rig.shutdown();
  EXPECT_TRUE(rig.ledger.allReleasedExactlyOnce());
}

TEST(CallbackTest, DestroyAndRemovePortFromTheOutputThreadAnswerFalse) {
  OutputRig rig;
  PortInterface* port = nullptr;
  std::atomic<int> answers{0};  // bit 0: destroy answered, bit 1: removePort answered
  std::atomic<bool> anyTrue{false};
  rig.context.setEventHook([&](int32_t, int32_t code, KMC::VideoSample*) {
    if (code != KMC::kEventPresented || answers.load() != 0) return;
    if (rig.output->destroy()) anyTrue.store(true);
    answers.fetch_or(1);
    if (rig.output->removePort(port)) anyTrue.store(true);
    answers.fetch_or(2);
  });
  ASSERT_TRUE(rig.create());
  port = rig.pushChannels(1)[0];
  rig.deliver(port, 1000);
  awaitOrEnd([&] { return answers.load() == 3; }, "destroy and removePort answering on the output thread");
  EXPECT_FALSE(anyTrue.load());
  // The output goes on, and the engine thread can take it down as usual.
  rig.deliver(port, 1040);
  rig.clock.setTime(1040);
  ASSERT_TRUE(eventually([&] { return rig.context.channelEvents(KMC::kEventPresented).size() == 2; }));
  rig.shutdown();
  EXPECT_TRUE(rig.ledger.allReleasedExactlyOnce());
}

}  // namespace
}  // namespace testing_vo
