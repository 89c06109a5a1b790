// Engine threads hammer one output with every port and component call at random while a real
// clock runs: no deadlock, no crash, and every frame released exactly once. Run it under
// ThreadSanitizer and AddressSanitizer too.
#include <list>
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

TEST(StressTest, RandomEngineTrafficKeepsEveryFrameAccountedFor) {
  OutputRig rig;
  host::RealTimeMediaClock clock(1000);
  rig.context.setClock(&clock);
  rig.output->recordCalls.store(false);
  ASSERT_TRUE(rig.create());
  clock.play();

  const int kWorkers = 4;
  std::vector<Worker> workers(kWorkers);
  std::atomic<bool> stop{false};
  std::atomic<int32_t> nextId{1};
  std::mutex streamsLock;  // the rig's stream and descriptor lists are not thread-safe

  auto addPort = [&](Worker& worker, std::mt19937& random) {
    int32_t id = nextId.fetch_add(1);
    bool pull = random() % 3 == 0;
    PortInterface* port;
    {
      std::lock_guard<std::mutex> hold(streamsLock);
      port = rig.addPort(id, pull ? 2 : 1, random() % 2 ? "BGRA" : "BGRX");
    }
    ASSERT_NE(port, nullptr);
    Worker::OwnedPort owned{port, id, nullptr};
    if (pull) {
      owned.source.reset(new host::ScriptedSource());
      rig.connect(port, owned.source.get());
    } else {
      rig.connect(port, &rig.dummySource);
    }
    worker.ports.push_back(std::move(owned));
  };

  auto work = [&](int index) {
    Worker& worker = workers[index];
    std::mt19937 random(1234 + index);
    while (!stop.load()) {
      if (worker.ports.empty()) addPort(worker, random);
      Worker::OwnedPort& owned = worker.ports[random() % worker.ports.size()];
      PortInterface* port = owned.port;
      const int32_t now = clock.currentTime();
      switch (random() % 16) {
        case 0:
        case 1:
        case 2: {
          int32_t start = random() % 8 == 0 ? 0 : now + static_cast<int32_t>(random() % 120) - 40;
          host::OwnedVideoSample* frame = rig.ledger.make(start, 40);
          if (owned.source) {
            owned.source->append(frame);
          } else {
            PropertyValue value = PropertyValue::ofPointer(KMC::kPropertyObject, frame);
            port->setPortValue(KMC::kValueDeliverFrame, &value);
          }
          break;
        }
        case 3: rig.command(port, KMC::kCommandRun); break;
        case 4: rig.command(port, KMC::kCommandPause); break;
        case 5: rig.seek(port, now + static_cast<int32_t>(random() % 100)); break;
        case 6: rig.command(port, KMC::kCommandFlush); break;
        case 7: rig.command(port, KMC::kCommandReset); break;
        case 8: {
          KMC::RectFloat rect(0, 0, (random() % 4 + 1) / 4.0, 1);
          PropertyValue value = PropertyValue::ofPointer(KMC::kPropertyObject, &rect);
          port->setPortValue(KMC::kValueSetOutputRect, &value);
          KMC::MaskedFloat4 factors(static_cast<float>(random() % 2), 1, 1, 1, 15);
          value = PropertyValue::ofPointer(KMC::kPropertyObject, &factors);
          port->setPortValue(KMC::kValueSetDisplayFactors, &value);
          break;
        }
        case 9: {
          std::list<int32_t> ids;
          for (int i = 0; i < 4; ++i) ids.push_back(1 + static_cast<int32_t>(random() % nextId.load()));
          rig.select(ids);
          rig.selected();
          break;
        }
        case 10: addPort(worker, random); break;
        case 11: {
          // Disconnect (or not) and remove one of this worker's ports.
          size_t at = random() % worker.ports.size();
          if (random() % 2) rig.command(worker.ports[at].port, KMC::kCommandDisconnect);
          EXPECT_TRUE(rig.output->removePort(worker.ports[at].port));
          if (worker.ports[at].source) worker.retiredSources.push_back(std::move(worker.ports[at].source));
          worker.ports.erase(worker.ports.begin() + static_cast<long>(at));
          break;
        }
        case 12: {
          Worker::OwnedPort& again = owned;
          rig.connect(again.port, again.source ? static_cast<KMC::UpstreamSource*>(again.source.get()) : &rig.dummySource);
          break;
        }
        case 13: rig.output->sendCommand(random() % 2 ? KMC::kCommandActivate : KMC::kCommandDeactivate, 0); break;
        case 14: rig.output->sendCommand(KMC::kCommandReconfigure, 0); break;
        case 15: {
          PropertyValue value;
          port->queryStatus(KMC::kStatusReady, &value);
          port->queryStatus(KMC::kStatusPosition, &value);
          break;
        }
      }
    }
  };

  std::vector<std::thread> threads;
  for (int i = 0; i < kWorkers; ++i) threads.emplace_back(work, i);
  std::this_thread::sleep_for(std::chrono::seconds(2));
  stop.store(true);
  for (std::thread& thread : threads) thread.join();

  EXPECT_GT(rig.context.channelEvents(2).size(), 0u) << "frames were presented meanwhile";
  rig.output->sendCommand(KMC::kCommandActivate, 0);
  ASSERT_TRUE(rig.output->destroy());
  for (Worker& worker : workers) {
    for (Worker::OwnedPort& owned : worker.ports) {
      rig.output->removePort(owned.port);  // retired ones still wait here
      if (owned.source) worker.retiredSources.push_back(std::move(owned.source));
    }
  }
  // Frames the sources never handed out are still the engine's.
  for (Worker& worker : workers) {
    for (auto& source : worker.retiredSources) {
      PropertyValue value;
      while (source->remaining() > 0 && source->pull(KMC::kPullCode, &value)) {
        static_cast<KMC::VideoSample*>(value.payload.pointer)->release();
      }
    }
  }
  EXPECT_EQ(rig.ledger.doubleReleases(), 0);
  EXPECT_EQ(rig.ledger.unreleased().size(), 0u);
  EXPECT_TRUE(rig.ledger.allReleasedExactlyOnce());
  EXPECT_GT(rig.ledger.created(), 100);
}

}  // namespace
}  // namespace testing_vo
