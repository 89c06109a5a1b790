// The component's life (create, destroy, create again), its interfaces and parameters, every
// port code, port removal, and the locks held around each renderer call.
#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "framework/identifiers.h"
#include "output_rig.h"

namespace testing_vo {
namespace {

using KMC::RectFloat;
using KMC::MaskedFloat4;

TEST(LifecycleTest, CreateRegistersFormatsOnceAndBuildsTheHardwareName) {
  OutputRig rig;
  rig.context.setSetting("VideoDriver|FormatCache", "Enabled", 1);
  ASSERT_TRUE(rig.create());
  EXPECT_TRUE(rig.output->isInitialized());
  EXPECT_TRUE(rig.output->isActive());
  EXPECT_EQ(rig.output->hardwareName(), "MachineREC");
  EXPECT_TRUE(rig.output->formatCacheEnabled());
  EXPECT_EQ(rig.output->formatTable().size(), 2u);
  EXPECT_FALSE(rig.output->formatsPending());

  EXPECT_FALSE(rig.create()) << "a second create is refused";
  EXPECT_EQ(rig.output->count("registerFormats"), 1);
  EXPECT_EQ(rig.output->count("initializeRenderer"), 1);

  // destroy joins the output thread: the loop has ended and the rounds stop.
  ASSERT_TRUE(rig.output->destroy());
  EXPECT_FALSE(rig.output->hasOutputThread());
  EXPECT_EQ(rig.output->count("shutdownRenderer"), 1);
  const int64_t rounds = rig.output->outputRounds();
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(rig.output->outputRounds(), rounds);

  // It can be created again (with the setting off now) and initialises anew.
  rig.context.setSetting("VideoDriver|FormatCache", "Enabled", 0);
  ASSERT_TRUE(rig.create());
  EXPECT_EQ(rig.output->hardwareName(), "Machine");
  EXPECT_EQ(rig.output->count("initializeRenderer"), 2);
  EXPECT_EQ(rig.output->count("registerFormats"), 1);
  EXPECT_EQ(rig.output->count("rendererIdentity"), 1);
}

TEST(LifecycleTest, FailingInitializationMakesCreateAnswerFalseAndStopsTheThread) {
  OutputRig rig;
  rig.output->failInitForever.store(true);
  EXPECT_FALSE(rig.create());
  EXPECT_FALSE(rig.output->hasOutputThread());
  rig.output->failInitForever.store(false);
  EXPECT_TRUE(rig.create()) << "destroy cleared the failure";
}

// The engine gives up waiting for a window (its user closed the player) and destroys the output
// from another thread: the create still waiting for the renderer returns, answering false.
TEST(LifecycleTest, CreateStillWaitingAnswersFalseOnceTheOutputIsDestroyed) {
  OutputRig rig;
  rig.output->runLoop.store(false);  // the renderer never initialises, as without a window
  std::atomic<int> answer{-1};
  std::thread creator([&] { answer.store(rig.create() ? 1 : 0); });
  awaitOrEnd([&] { return rig.output->hasOutputThread(); }, "create starting the output thread");
  EXPECT_TRUE(rig.output->destroy());
  expectReturns([&] { creator.join(); }, "create after destroy");
  EXPECT_EQ(answer.load(), 0);
  EXPECT_FALSE(rig.output->hasOutputThread());
  rig.output->runLoop.store(true);
  EXPECT_TRUE(rig.create()) << "and it can be created again";
}

TEST(InterfaceTest, QueryInterfaceCommandsAndProperties) {
  OutputRig rig;
  RecordingRenderer* output = rig.output;
  void* out = &rig;
  EXPECT_EQ(output->queryInterface(KMC::kComponentInterfaceId, &out), KMC::kResultOk);
  EXPECT_EQ(out, static_cast<KMC::ComponentInterface*>(output));
  EXPECT_EQ(output->queryInterface(KMC::kOutputInterfaceId, &out), KMC::kResultOk);
  EXPECT_EQ(out, static_cast<KMC::OutputInterface*>(output));
  EXPECT_EQ(output->queryInterface(KMC::kOutputComponentId, &out), KMC::kResultOk);
  EXPECT_EQ(out, static_cast<KMC::OutputComponent*>(output));
  EXPECT_NE(out, static_cast<void*>(static_cast<KMC::Plugin*>(output)));
  EXPECT_EQ(output->queryInterface(KMC::kInputInterfaceId, &out), KMC::kResultNotFound);
  EXPECT_EQ(out, nullptr);

  KMC::TimeMultiplierInterface* multiplier = output;
  EXPECT_EQ(multiplier->timeMultiplier(7), 1);
  EXPECT_EQ(multiplier->timeMultiplierBias(), -100);

  EXPECT_TRUE(output->sendCommand(KMC::kCommandDeactivate, 0));
  EXPECT_FALSE(output->isActive());
  EXPECT_TRUE(output->sendCommand(KMC::kCommandActivate, 0));
  EXPECT_TRUE(output->isActive());
  EXPECT_TRUE(output->sendCommand(KMC::kCommandReconfigure, 0));
  EXPECT_TRUE(output->reconfigurationRequested());
  EXPECT_TRUE(output->sendCommand(0x12345678, 0));

  host::OwnedNameList names;
  names.append("x");
  ASSERT_TRUE(output->listProperties(names.get()));
  ASSERT_EQ(names.size(), 3u);
  KMC::PropertyValue value;
  EXPECT_TRUE(output->getProperty(names[1], &value));
  EXPECT_FALSE(output->getProperty("name", &value));
}

TEST(InterfaceTest, SelectionKeepsListOrderAndSkipsUnknownAndClosingIds) {
  OutputRig rig;
  ASSERT_TRUE(rig.create());
  rig.addPort(1);
  rig.addPort(2);
  PortInterface* third = rig.addPort(3);
  EXPECT_EQ(rig.streams[2]->timeMultiplier(), static_cast<KMC::TimeMultiplierInterface*>(rig.output));

  ASSERT_TRUE(rig.select({3, 99, 1}));
  EXPECT_EQ(rig.selected(), (std::list<int32_t>{3, 1}));
  rig.command(third, KMC::kCommandDisconnect);
  EXPECT_EQ(rig.selected(), (std::list<int32_t>{1})) << "disconnect unselects";
  ASSERT_TRUE(rig.select({3, 2}));
  EXPECT_EQ(rig.selected(), (std::list<int32_t>{2})) << "a closing channel cannot be selected";

  KMC::PropertyValue empty;  // null list pointer
  EXPECT_FALSE(rig.output->setParameter(KMC::kParameterSelectChannels, &empty));
  EXPECT_FALSE(rig.output->getParameter(KMC::kParameterSelectedChannels, &empty));
  EXPECT_FALSE(rig.output->setParameter(KMC::kParameterSelectChannels, nullptr));
  host::OwnedIdList ids;
  KMC::PropertyValue value = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, ids.get());
  EXPECT_FALSE(rig.output->getParameter(0x1003000e, &value));
}

class PortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(rig.create());
    port = rig.pushChannels(1)[0];
    channel = static_cast<RecordingRenderer::Port*>(port)->channel();
  }
  OutputRig rig;
  PortInterface* port = nullptr;
  RecordingRenderer::Channel* channel = nullptr;
};

TEST_F(PortTest, CreatePortRefusesOtherMediaKinds) {
  KMC::StreamDescriptor audio = host::makeStreamDescriptor("PCM", 2);
  host::EngineStream stream(5);
  EXPECT_EQ(rig.output->createPort(KMC::kChannelPush, &audio, &stream), nullptr);
  EXPECT_EQ(rig.output->createPort(KMC::kChannelPush, nullptr, &stream), nullptr);
  KMC::StreamDescriptor kind4 = host::makeStreamDescriptor("BGRX", KMC::kStreamVideoAlternate);
  PortInterface* other = rig.output->createPort(KMC::kChannelPush, &kind4, &stream);
  ASSERT_NE(other, nullptr);
  EXPECT_TRUE(rig.output->removePort(other));
}

TEST_F(PortTest, PositionStatusFollowsPresentationSeekAndReset) {
  KMC::PropertyValue value;
  EXPECT_FALSE(port->queryStatus(KMC::kStatusPosition, &value)) << "nothing presented yet";
  EXPECT_FALSE(port->queryStatus(KMC::kStatusPosition, nullptr));
  EXPECT_TRUE(port->queryStatus(0x40020000, &value)) << "unknown status";
  rig.deliver(port, 1000);
  ASSERT_TRUE(eventually([&] { return port->queryStatus(KMC::kStatusPosition, &value); }));
  EXPECT_EQ(value.payload.int32, 1000);

  rig.command(port, KMC::kCommandPause);
  ASSERT_TRUE(rig.seek(port, 3000));
  ASSERT_TRUE(port->queryStatus(KMC::kStatusPosition, &value)) << "a pending seek reports -1";
  EXPECT_EQ(value.payload.int32, -1);

  ASSERT_TRUE(rig.command(port, KMC::kCommandReset));
  EXPECT_FALSE(port->queryStatus(KMC::kStatusPosition, &value));
  EXPECT_EQ(rig.ledger.released(), 1) << "reset hands the shown frame back";
  EXPECT_EQ(rig.output->callsNamed("takeCurrentFrame").back().outputThread, false);
}

TEST_F(PortTest, SeekTrimsTheQueueAndIgnoresOtherValues) {
  rig.command(port, KMC::kCommandPause);
  rig.deliver(port, 1000);
  ASSERT_TRUE(eventually([&] { return rig.context.channelEvents(KMC::kEventPresented).size() == 1; }));
  for (int t : {2000, 2040, 2080}) rig.deliver(port, t);

  KMC::PropertyValue object = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, nullptr);
  EXPECT_TRUE(port->portCommand(KMC::kCommandSeek, &object)) << "not an integer: ignored";
  EXPECT_TRUE(port->portCommand(KMC::kCommandSeek, nullptr)) << "no value at all: ignored too";
  EXPECT_EQ(channel->queuedFrames(), 3u);
  ASSERT_TRUE(rig.seek(port, 0));
  EXPECT_EQ(channel->queuedFrames(), 3u) << "a seek to 0 keeps the queue";
  rig.command(port, KMC::kCommandReset);  // cancels that seek
  ASSERT_TRUE(rig.seek(port, 9000));
  EXPECT_EQ(channel->queuedFrames(), 0u);
  EXPECT_EQ(rig.ledger.released(), 4);  // 3 trimmed + the one handed back by reset
}

TEST_F(PortTest, DeliveryFlushAndUntimedFrames) {
  rig.command(port, KMC::kCommandPause);
  rig.deliver(port, 1000);
  ASSERT_TRUE(eventually([&] { return rig.context.channelEvents(KMC::kEventPresented).size() == 1; }));
  rig.deliver(port, 5000);
  rig.deliver(port, 5040);
  EXPECT_EQ(channel->queuedFrames(), 2u);
  ASSERT_TRUE(rig.command(port, KMC::kCommandFlush));
  EXPECT_EQ(channel->queuedFrames(), 0u);
  rig.deliver(port, 5000);
  rig.deliver(port, 0);  // untimed: empties the queue and goes next
  ASSERT_TRUE(eventually([&] { return rig.context.channelEvents(KMC::kEventPresented).size() == 2; }));
  EXPECT_EQ(rig.eventStarts(KMC::kEventPresented).back(), 0);

  KMC::PropertyValue none;
  EXPECT_FALSE(port->setPortValue(KMC::kValueDeliverFrame, &none)) << "null frame";
  EXPECT_FALSE(port->setPortValue(KMC::kValueDeliverFrame, nullptr));
  EXPECT_FALSE(port->setPortValue(0x2099000E, &none));
  EXPECT_TRUE(port->portCommand(0x30990000, &none)) << "unknown commands are accepted";
}

TEST_F(PortTest, RectanglesFactorsAndValues) {
  ASSERT_TRUE(rig.passes(2));
  rig.output->clearCalls();
  KMC::RectFloatRecord rect = host::rectFloat(0.25, 0.25, 0.75, 0.75);
  KMC::PropertyValue value = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, &rect);
  ASSERT_TRUE(port->setPortValue(KMC::kValueSetOutputRect, &value));
  ASSERT_TRUE(eventually([&] { return rig.output->count("geometryChanged") == 1; }));
  ASSERT_TRUE(port->setPortValue(KMC::kValueSetOutputRect, &value));
  ASSERT_TRUE(rig.passes(3));
  EXPECT_EQ(rig.output->count("geometryChanged"), 1) << "the same rectangle twice is one change";
  EXPECT_TRUE(rig.output->lastGeometry().sameEdges(RectFloat(rect)));

  // Read back into an engine rectangle: the edges are written, the engine's table pointer kept.
  KMC::RectFloatRecord read = host::rectFloat(0, 0, 0, 0);
  KMC::PropertyValue out = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, &read);
  ASSERT_TRUE(port->getPortValue(KMC::kValueGetOutputRect, &out));
  EXPECT_TRUE(RectFloat(read).sameEdges(RectFloat(rect)));
  EXPECT_EQ(read.table, host::kEngineRectTable);

  MaskedFloat4 factors(0.0f, 2.0f, 3.0f, 4.0f, 15);
  value = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, &factors);
  ASSERT_TRUE(port->setPortValue(KMC::kValueSetDisplayFactors, &value));
  MaskedFloat4 merged(9.0f, 9.0f, 9.0f, 9.0f, 0);
  out = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, &merged);
  ASSERT_TRUE(port->getPortValue(KMC::kValueGetDisplayFactors, &out));
  EXPECT_EQ(merged[0], 0.0f);
  EXPECT_EQ(merged[3], 4.0f);
  EXPECT_EQ(merged.mask, 15);

  KMC::PropertyValue empty;
  EXPECT_FALSE(port->getPortValue(KMC::kValueGetOutputRect, &empty));
  EXPECT_FALSE(port->getPortValue(KMC::kValueGetDisplayFactors, &empty));
  EXPECT_FALSE(port->setPortValue(KMC::kValueSetOutputRect, &empty));
  EXPECT_FALSE(port->setPortValue(KMC::kValueSetDisplayFactors, &empty));
  EXPECT_FALSE(port->getPortValue(KMC::kValueRendererObject, &empty));
  EXPECT_FALSE(port->getPortValue(0x2099000E, &empty));
  ASSERT_TRUE(port->getPortValue(KMC::kValueSurfaceObject, &empty));
  EXPECT_EQ(empty.payload.pointer, static_cast<void*>(rig.output));
  ASSERT_TRUE(port->getPortValue(KMC::kValueIntegerA, &empty));
  EXPECT_EQ(empty.payload.int32, -1);
  ASSERT_TRUE(port->getPortValue(KMC::kValueIntegerB, &empty));
  EXPECT_EQ(empty.payload.int32, -1);
}

TEST_F(PortTest, RemovePortAfterDisconnectWaitsForTheOutputThreadsPass) {
  rig.deliver(port, 1000);
  ASSERT_TRUE(eventually([&] { return rig.context.channelEvents(KMC::kEventPresented).size() == 1; }));
  rig.deliver(port, 1040);
  ASSERT_TRUE(rig.command(port, KMC::kCommandDisconnect));
  ASSERT_TRUE(rig.output->removePort(port));
  auto detaches = rig.output->callsNamed("detachChannel");
  ASSERT_EQ(detaches.size(), 1u);
  EXPECT_TRUE(detaches[0].outputThread) << "retired by the output thread's pass";
  EXPECT_EQ(rig.output->channelCount(), 0u);
  EXPECT_EQ(rig.output->retiredChannelCount(), 0u);
  EXPECT_TRUE(rig.ledger.allReleasedExactlyOnce());
  EXPECT_FALSE(rig.output->removePort(port)) << "no longer known";
}

TEST_F(PortTest, RemovingAConnectedPortDisconnectsItFirst) {
  rig.deliver(port, 1000);
  ASSERT_TRUE(rig.output->removePort(port));
  EXPECT_TRUE(rig.ledger.allReleasedExactlyOnce());
}

TEST_F(PortTest, RemovePortWithoutARunningLoopRetiresOnTheCallingThread) {
  rig.output->destroy();
  PortInterface* late = rig.addPort(9);
  rig.deliver(late, 1000);
  ASSERT_TRUE(rig.output->removePort(late));
  EXPECT_TRUE(rig.ledger.allReleasedExactlyOnce());
}

TEST_F(PortTest, DestroyReleasesQueuedAndShownFramesOfEveryChannel) {
  rig.deliver(port, 1000);
  ASSERT_TRUE(eventually([&] { return rig.context.channelEvents(KMC::kEventPresented).size() == 1; }));
  rig.deliver(port, 5000);
  rig.deliver(port, 5040);
  ASSERT_TRUE(rig.output->destroy());
  EXPECT_TRUE(rig.ledger.allReleasedExactlyOnce());
  EXPECT_EQ(rig.output->channelCount(), 0u);
}

TEST_F(PortTest, ReconfigurationHoldsEveryChannelAndRetriesAFailedStep) {
  rig.output->reconfigureFailures.store(2);
  rig.output->requestReconfiguration();
  // The channels are resumed last, after the commit: wait for that, then read the rest.
  ASSERT_TRUE(eventually([&] { return rig.output->count("resumeChannel") == 1; }));
  EXPECT_EQ(rig.output->count("reconfigureCommit"), 1);
  EXPECT_EQ(rig.output->count("reconfigure"), 3);
  EXPECT_EQ(rig.output->count("holdChannel"), 1);
  EXPECT_EQ(rig.output->count("resumeChannel"), 1);
  // Port traffic goes on afterwards (the queue mutex was given back).
  rig.deliver(port, 1000);
  ASSERT_TRUE(eventually([&] { return rig.context.channelEvents(KMC::kEventPresented).size() == 1; }));
}

// Which component locks the caller holds around each renderer call. Output-thread calls may
// hold more than required (the loop keeps its locks between steps until it sleeps); engine
// thread calls hold exactly what the contract says.
TEST(LockContractTest, EveryRendererCallHoldsTheLocksTheContractNames) {
  OutputRig rig;
  rig.output->probeQueueLocks.store(true);
  rig.context.setSetting("VideoDriver|FormatCache", "Enabled", 1);
  ASSERT_TRUE(rig.create());
  PortInterface* port = rig.pushChannels(1)[0];
  rig.deliver(port, 1000, 40);
  ASSERT_TRUE(eventually([&] { return rig.context.channelEvents(KMC::kEventPresented).size() == 1; }));
  rig.deliver(port, 1040, 40);
  rig.clock.setTime(1040);
  ASSERT_TRUE(eventually([&] { return rig.output->count("convertFrame") == 2; }));
  rig.clock.setTime(1200);  // the shown frame expires
  ASSERT_TRUE(eventually([&] { return rig.output->count("takeCurrentFrame") == 1; }));
  rig.output->requestReconfiguration();
  ASSERT_TRUE(eventually([&] { return rig.output->count("resumeChannel") == 1; }));
  rig.output->sendCommand(KMC::kCommandDeactivate, 0);
  ASSERT_TRUE(eventually([&] { return rig.output->count("deactivate") == 1; }));
  rig.output->sendCommand(KMC::kCommandActivate, 0);
  rig.deliver(port, 1200);
  rig.command(port, KMC::kCommandReset);
  KMC::PropertyValue value;
  port->getPortValue(KMC::kValueSurfaceObject, &value);
  rig.command(port, KMC::kCommandDisconnect);
  ASSERT_TRUE(rig.output->removePort(port));
  rig.output->destroy();

  struct Rule {
    bool render, selection, list, queue;
    int thread;  // 1 output thread, 0 engine thread, -1 either
    bool exact;  // engine thread calls: no other component lock
  };
  const std::map<std::string, Rule> rules = {
      {"rendererIdentity", {false, false, false, false, 0, true}},
      {"registerFormats", {false, false, false, false, 0, true}},
      {"initializeRenderer", {true, false, false, false, 1, false}},
      {"shutdownRenderer", {true, false, false, false, 1, false}},
      {"reconfigure", {true, false, false, false, 1, false}},
      {"reconfigureCommit", {true, false, false, false, 1, false}},
      {"beginFrame", {true, true, false, false, 1, false}},
      {"endFrame", {true, true, false, false, 1, false}},
      {"deactivate", {true, false, false, false, 1, false}},
      {"surfaceObject", {false, false, false, false, 0, true}},
      {"attachChannel", {false, true, true, false, 0, true}},
      {"detachChannel", {false, false, true, true, 1, false}},
      {"acceptFrame", {true, true, false, true, 1, false}},
      {"convertFrame", {true, true, false, true, 1, false}},
      {"drawChannel", {true, true, false, true, 1, false}},
      {"holdChannel", {true, false, true, true, 1, false}},
      {"resumeChannel", {true, false, true, true, 1, false}},
      {"geometryChanged", {true, false, false, true, 1, false}},
  };
  std::set<std::string> seen;
  for (const RecordingRenderer::Call& call : rig.output->calls()) {
    SCOPED_TRACE(call.name);
    seen.insert(call.name);
    if (call.name == "takeCurrentFrame") {
      EXPECT_TRUE(call.queueLocked);
      EXPECT_TRUE(call.render);
      if (!call.outputThread) {
        EXPECT_FALSE(call.selection || call.list);
      }
      continue;
    }
    auto rule = rules.find(call.name);
    ASSERT_NE(rule, rules.end());
    const Rule& r = rule->second;
    EXPECT_TRUE(call.render || !r.render);
    EXPECT_TRUE(call.selection || !r.selection);
    EXPECT_TRUE(call.list || !r.list);
    EXPECT_TRUE(call.queueLocked || !r.queue);
    EXPECT_TRUE(r.thread < 0 || call.outputThread == (r.thread == 1));
    if (r.exact) {
      EXPECT_EQ(call.render, r.render);
      EXPECT_EQ(call.selection, r.selection);
      EXPECT_EQ(call.list, r.list);
    }
  }
  for (const auto& rule : rules) EXPECT_TRUE(seen.count(rule.first)) << rule.first << " never called";
}

// The same for the calls the output makes into the engine. From the output thread,
// channelEvent and videoSizeChanged come with renderLock and selectionLock held (nobody can
// present, reset or remove the channel meanwhile); every call into the engine, those and the
// renderer's own (windowSizeChanged from reconfigure), is made without channelListLock and
// without a queue lock, so that the engine may call any operation of the output from inside.
// A source's pull comes from the channel's pull thread without any lock of the output.
TEST(LockContractTest, EveryCallIntoTheEngineHoldsTheLocksTheContractNames) {
  struct Seen {
    std::string operation;
    bool render, selection, list, queue, outputThread;
  };
  OutputRig rig;
  std::mutex seenLock;
  std::vector<Seen> seen;
  std::vector<RecordingRenderer::Channel*> channels;  // complete before any traffic
  auto look = [&](const char* operation) {
    KMC::PolicyLockManager& locks = rig.output->lockManager();
    Seen call{operation, locks.holds(rig.output->renderLockId()), locks.holds(rig.output->selectionLockId()),
              locks.holds(rig.output->channelListLockId()), false, rig.output->isOutputThread()};
    for (RecordingRenderer::Channel* channel : channels) {
      call.queue = call.queue || RecordingRenderer::callerHoldsQueue(channel);
    }
    std::lock_guard<std::mutex> hold(seenLock);
    seen.push_back(call);
  };
  rig.context.setCallHook(look);
  host::ScriptedSource source;
  source.setPullHook([&] { look("pull"); });
  ASSERT_TRUE(rig.create());
  std::vector<PortInterface*> ports = rig.pushChannels(1);
  PortInterface* pull = rig.addPort(2, KMC::kChannelPull);
  for (PortInterface* port : {ports[0], pull}) channels.push_back(static_cast<RecordingRenderer::Port*>(port)->channel());

  // Frames due at once keep the passes from sleeping, as busy playback does.
  rig.deliver(ports[0], 980);  // late: dropped
  rig.deliver(ports[0], 1000);
  source.append(rig.ledger.make(1000, 40, 8, 6));  // a new video size
  rig.connect(pull, &source);
  rig.command(pull, KMC::kCommandRun);
  rig.select({1, 2});
  ASSERT_TRUE(eventually([&] { return rig.context.channelEvents(KMC::kEventPresented).size() == 2; }));
  rig.deliver(ports[0], 1000);  // replaces the shown frame, which comes back converted
  ASSERT_TRUE(eventually([&] { return rig.context.channelEvents(KMC::kEventRendererObject).size() == 1; }));
  rig.output->requestReconfiguration();
  ASSERT_TRUE(eventually([&] { return !rig.context.windowSizes().empty(); }));
  rig.command(pull, KMC::kCommandDisconnect);  // no pull in flight after this
  rig.shutdown();

  std::lock_guard<std::mutex> hold(seenLock);
  std::set<std::string> operations;
  for (const Seen& call : seen) {
    SCOPED_TRACE(call.operation);
    operations.insert(call.operation);
    EXPECT_FALSE(call.list);
    EXPECT_FALSE(call.queue);
    if (call.operation == "pull") {
      EXPECT_FALSE(call.render || call.selection);
    } else {
      EXPECT_TRUE(call.outputThread);
      EXPECT_TRUE(call.render);
      if (call.operation != "windowSizeChanged") {
        EXPECT_TRUE(call.selection);
      }
    }
  }
  for (const char* operation : {"channelEvent", "videoSizeChanged", "windowSizeChanged", "pull"}) {
    EXPECT_TRUE(operations.count(operation)) << operation << " never called";
  }
}

// A format query names a context of its own; the output keeps reporting to the one create was
// given (the output thread reads it), also when the query registers the formats.
TEST(LockContractTest, AFormatQueryLeavesTheOutputsContextAlone) {
  OutputRig rig;
  rig.output->refuseFormatRegistration.store(true);  // formats stay pending: the query asks
  ASSERT_TRUE(rig.create());
  host::EngineContext other(&rig.clock);
  host::OwnedFormatList formats;
  EXPECT_TRUE(rig.output->queryFormats(&other, 1, 2, 1, formats.get()));
  EXPECT_EQ(rig.output->count("registerFormats"), 2);
  PortInterface* port = rig.pushChannels(1)[0];
  rig.deliver(port, 1000);
  EXPECT_TRUE(eventually([&] { return rig.context.channelEvents(KMC::kEventPresented).size() == 1; }));
  EXPECT_TRUE(other.channelEvents().empty());
}

}  // namespace
}  // namespace testing_vo
