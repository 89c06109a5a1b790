// Engine threads hammer one output with every port and component call at random while a real
// clock runs: no deadlock, no crash, and every frame released exactly once. The second test adds
// what an engine does around it: callbacks from inside notifications and pulls, and teardown
// (destroy racing removePort, the last release with or without destroy). Run both under
// ThreadSanitizer and AddressSanitizer too.
#include <list>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "output_rig.h"

namespace testing_vo {
namespace {

struct Worker {
  struct OwnedPort {
    PortInterface* port;
    int32_t id;
    std::unique_ptr<host::ScriptedSource> source;  // pull channels
  };
  std::vector<OwnedPort> ports;
  std::vector<std::unique_ptr<host::ScriptedSource>> retiredSources;  // alive until the end
};

// Random engine traffic on the ports of one output, shared by the engine threads of a test.
class Traffic {
 public:
  Traffic(OutputRig& rig, host::RealTimeMediaClock& clock) : rig_(rig), clock_(clock) {}

  // Called with each new pull channel's source before it is connected (to hook it).
  std::function<void(host::ScriptedSource&, PortInterface*)> onNewSource;

  void addPort(Worker& worker, std::mt19937& random) {
    int32_t id = nextId_.fetch_add(1);
    bool pull = random() % 3 == 0;
    PortInterface* port;
    {
      std::lock_guard<std::mutex> hold(streamsLock_);  // the rig's lists are not thread-safe
      port = rig_.addPort(id, pull ? 2 : 1, random() % 2 ? "BGRA" : "BGRX");
    }
    ASSERT_NE(port, nullptr);
    Worker::OwnedPort owned{port, id, nullptr};
    if (pull) {
      owned.source.reset(new host::ScriptedSource());
      if (onNewSource) onNewSource(*owned.source, port);
      rig_.connect(port, owned.source.get());
    } else {
      rig_.connect(port, &rig_.dummySource);
    }
    worker.ports.push_back(std::move(owned));
  }

  // Removes one of the worker's ports, disconnected first or not; answers removePort's answer.
  bool removePort(Worker& worker, size_t at, bool disconnectFirst) {
    if (disconnectFirst) rig_.command(worker.ports[at].port, KMC::kCommandDisconnect);
    bool removed = rig_.output->removePort(worker.ports[at].port);
    if (worker.ports[at].source) worker.retiredSources.push_back(std::move(worker.ports[at].source));
    worker.ports.erase(worker.ports.begin() + static_cast<long>(at));
    return removed;
  }

  // One random engine call.
  void step(Worker& worker, std::mt19937& random) {
    if (worker.ports.empty()) addPort(worker, random);
    Worker::OwnedPort& owned = worker.ports[random() % worker.ports.size()];
    PortInterface* port = owned.port;
    const int32_t now = clock_.currentTime();
    switch (random() % 16) {
      case 0:
      case 1:
      case 2: {
        int32_t start = random() % 8 == 0 ? 0 : now + static_cast<int32_t>(random() % 120) - 40;
        host::OwnedVideoSample* frame = rig_.ledger.make(start, 40);
        if (owned.source) {
          owned.source->append(frame);
        } else {
          PropertyValue value = PropertyValue::ofPointer(KMC::kPropertyObject, frame);
          port->setPortValue(KMC::kValueDeliverFrame, &value);
        }
        break;
      }
      case 3: rig_.command(port, KMC::kCommandRun); break;
      case 4: rig_.command(port, KMC::kCommandPause); break;
      case 5: rig_.seek(port, now + static_cast<int32_t>(random() % 100)); break;
      case 6: rig_.command(port, KMC::kCommandFlush); break;
      case 7: rig_.command(port, KMC::kCommandReset); break;
      case 8: {
        KMC::RectFloatRecord rect = host::rectFloat(0, 0, (random() % 4 + 1) / 4.0, 1);
        PropertyValue value = PropertyValue::ofPointer(KMC::kPropertyObject, &rect);
        port->setPortValue(KMC::kValueSetOutputRect, &value);
        KMC::MaskedFloat4 factors(static_cast<float>(random() % 2), 1, 1, 1, 15);
        value = PropertyValue::ofPointer(KMC::kPropertyObject, &factors);
        port->setPortValue(KMC::kValueSetDisplayFactors, &value);
        break;
      }
      case 9: {
        std::list<int32_t> ids;
        for (int i = 0; i < 4; ++i) ids.push_back(1 + static_cast<int32_t>(random() % nextId_.load()));
        rig_.select(ids);
        rig_.selected();
        break;
      }
      case 10: addPort(worker, random); break;
      case 11: EXPECT_TRUE(removePort(worker, random() % worker.ports.size(), random() % 2)); break;
      case 12:
        rig_.connect(port, owned.source ? static_cast<KMC::UpstreamSource*>(owned.source.get()) : &rig_.dummySource);
        break;
      case 13: rig_.output->sendCommand(random() % 2 ? KMC::kCommandActivate : KMC::kCommandDeactivate, 0); break;
      case 14: rig_.output->sendCommand(KMC::kCommandReconfigure, 0); break;
      case 15: {
        PropertyValue value;
        port->queryStatus(KMC::kStatusReady, &value);
        port->queryStatus(KMC::kStatusPosition, &value);
        break;
      }
    }
  }

  // Releases the frames that the sources never handed out: they are still the engine's.
  static void releaseUnpulled(std::vector<Worker>& workers) {
    for (Worker& worker : workers) {
      for (Worker::OwnedPort& owned : worker.ports) {
        if (owned.source) worker.retiredSources.push_back(std::move(owned.source));
      }
      for (auto& source : worker.retiredSources) {
        PropertyValue value;
        while (source->remaining() > 0 && source->pull(KMC::kPullCode, &value)) {
          static_cast<KMC::VideoSample*>(value.payload.pointer)->release();
        }
      }
    }
  }

  int32_t nextId() const { return nextId_.load(); }

 private:
  OutputRig& rig_;
  host::RealTimeMediaClock& clock_;
  std::atomic<int32_t> nextId_{1};
  std::mutex streamsLock_;
};

void expectEveryFrameReleasedOnce(const host::SampleLedger& ledger) {
  EXPECT_EQ(ledger.doubleReleases(), 0);
  EXPECT_EQ(ledger.unreleased().size(), 0u);
  EXPECT_TRUE(ledger.allReleasedExactlyOnce());
}

TEST(StressTest, RandomEngineTrafficKeepsEveryFrameAccountedFor) {
  OutputRig rig;
  host::RealTimeMediaClock clock(1000);
  rig.context.setClock(&clock);
  rig.output->recordCalls.store(false);
  ASSERT_TRUE(rig.create());
  clock.play();

  const int kWorkers = 4;
  std::vector<Worker> workers(kWorkers);
  Traffic traffic(rig, clock);
  std::atomic<bool> stop{false};
  std::vector<std::thread> threads;
  for (int i = 0; i < kWorkers; ++i) {
    threads.emplace_back([&, i] {
      std::mt19937 random(1234 + i);
      while (!stop.load()) traffic.step(workers[i], random);
    });
  }
  std::this_thread::sleep_for(std::chrono::seconds(2));
  stop.store(true);
  for (std::thread& thread : threads) thread.join();

  EXPECT_GT(rig.context.channelEvents(KMC::kEventPresented).size(), 0u) << "frames were presented meanwhile";
  rig.output->sendCommand(KMC::kCommandActivate, 0);
  ASSERT_TRUE(rig.output->destroy());
  for (Worker& worker : workers) {
    for (Worker::OwnedPort& owned : worker.ports) rig.output->removePort(owned.port);  // retired ones wait here
  }
  Traffic::releaseUnpulled(workers);
  expectEveryFrameReleasedOnce(rig.ledger);
  EXPECT_GT(rig.ledger.created(), 100);
}

// Rounds of: three engine threads with random traffic while the engine answers notifications and
// pulls by calling back in; then destroy on one thread racing removePort on the others; then the
// last release, after a destroy or without one.
TEST(StressTest, CallbacksAndTeardownRacesKeepEveryFrameAccountedFor) {
  const int kThreads = 3;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  int rounds = 0;
  int64_t callbacks = 0;
  for (; std::chrono::steady_clock::now() < end; ++rounds) {
    SCOPED_TRACE(rounds);
    std::atomic<bool> sourcesCallBack{true};  // off once the teardown has begun
    std::vector<Worker> workers(kThreads);      // their sources outlive the output
    OutputRig rig;
    host::RealTimeMediaClock clock(1000);
    rig.context.setClock(&clock);
    rig.output->recordCalls.store(false);
    Traffic traffic(rig, clock);

    // The engine's answers, on the output thread (notifications) and on pull threads. The
    // port of a channel that is being reported on stays valid for the call.
    std::mutex portsLock;
    std::map<int32_t, PortInterface*> portOfChannel;
    std::atomic<int64_t> calledBack{0};
    std::atomic<uint32_t> dice{static_cast<uint32_t>(rounds) * 7919u};
    rig.context.setEventHook([&](int32_t channelId, int32_t code, KMC::VideoSample*) {
      if (code != KMC::kEventPresented && code != KMC::kEventDroppedLate) return;
      PortInterface* port;
      {
        std::lock_guard<std::mutex> hold(portsLock);
        auto found = portOfChannel.find(channelId);
        if (found == portOfChannel.end()) return;
        port = found->second;
      }
      const uint32_t roll = dice.fetch_add(2654435761u) >> 24;
      calledBack.fetch_add(1);
      switch (roll % 12) {
        case 0: rig.command(port, KMC::kCommandFlush); break;
        case 1: rig.command(port, KMC::kCommandReset); break;
        case 2: rig.seek(port, clock.currentTime() + 20); break;
        case 3: rig.select({channelId % 5 + 1, channelId}); break;
        case 4: rig.command(port, KMC::kCommandDisconnect); break;
        case 5: rig.deliver(port, clock.currentTime() + 30); break;
        case 6: EXPECT_FALSE(rig.output->destroy()); break;
        case 7: EXPECT_FALSE(rig.output->removePort(port)); break;
        case 8: rig.output->sendCommand(KMC::kCommandReconfigure, 0); break;
        default: break;
      }
    });
    traffic.onNewSource = [&](host::ScriptedSource& source, PortInterface* port) {
      std::shared_ptr<std::atomic<int>> pulls = std::make_shared<std::atomic<int>>(0);
      source.setPullHook([&rig, &sourcesCallBack, port, pulls] {
        // Now and then a source gives up from inside its own pull.
        if (pulls->fetch_add(1) == 40 && sourcesCallBack.load()) rig.command(port, KMC::kCommandDisconnect);
      });
    };
    ASSERT_TRUE(rig.create());
    clock.play();

    std::atomic<int> phase{0};  // 0 traffic, 1 teardown race
    std::atomic<int> trafficDone{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
      threads.emplace_back([&, i] {
        std::mt19937 random(991 * rounds + i);
        Worker& worker = workers[i];
        while (phase.load() == 0) {
          const size_t before = worker.ports.size();
          traffic.step(worker, random);
          if (worker.ports.size() > before) {
            std::lock_guard<std::mutex> hold(portsLock);
            portOfChannel[worker.ports.back().id] = worker.ports.back().port;
          }
        }
        // No port call from here on: destroy deletes the ports of live channels, so it waits
        // until every engine thread has left the traffic.
        trafficDone.fetch_add(1);
        if (i == 0) {
          while (trafficDone.load() < kThreads) std::this_thread::yield();
          EXPECT_TRUE(rig.output->destroy());
        } else {
          std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        }
        while (!worker.ports.empty()) traffic.removePort(worker, 0, false);  // true or false
      });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    {
      // Ports leave the map before any of them can go; the hook no longer finds them.
      std::lock_guard<std::mutex> hold(portsLock);
      portOfChannel.clear();
      sourcesCallBack.store(false);
      phase.store(1);
    }
    for (std::thread& thread : threads) thread.join();
    callbacks += calledBack.load();

    // Ports made after destroy, never removed, then the last release (half the rounds without
    // removing the ones left either).
    std::mt19937 random(rounds);
    traffic.addPort(workers[0], random);
    rig.deliver(workers[0].ports.back().port, 1000);
    if (rounds % 2 == 0) {
      while (!workers[0].ports.empty()) traffic.removePort(workers[0], 0, true);
    }
    expectReturns([&] { rig.output->releaseReference(); }, "the last release");
    rig.output = nullptr;
    Traffic::releaseUnpulled(workers);
    expectEveryFrameReleasedOnce(rig.ledger);
  }
  EXPECT_GT(rounds, 1);
  EXPECT_GT(callbacks, 0) << "the engine called back from inside notifications";
}

}  // namespace
}  // namespace testing_vo
