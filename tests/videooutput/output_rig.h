// An engine around one VideoOutput<RecordingRenderer>: manual clock, context, frame ledger,
// streams and descriptors, with helpers to drive ports and to wait for the output thread.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <list>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/engine_context.h"
#include "engine/engine_stream.h"
#include "engine/engine_values.h"
#include "engine/media_clock.h"
#include "engine/upstream_source.h"
#include "engine/video_sample.h"
#include "recording_renderer.h"
#include "support/eventually.h"
#include "support/temp_data_folder.h"

namespace testing_vo {

using KMC::PortInterface;
using KMC::PropertyValue;

using testsupport::eventually;

// Runs call on a thread of its own and waits for it to return. A call that has not returned
// within the limit is a hang: the test fails and the program ends at once, since the hung
// thread could never be joined or its objects torn down.
inline void expectReturns(const std::function<void()>& call, const char* what, int limitSeconds = 20) {
  std::packaged_task<void()> task(call);
  std::future<void> done = task.get_future();
  std::thread runner(std::move(task));
  if (done.wait_for(std::chrono::seconds(limitSeconds)) != std::future_status::ready) {
    ADD_FAILURE() << what << " did not return";
    std::fflush(nullptr);
    std::_Exit(1);
  }
  runner.join();
  done.get();
}

// Like eventually, for a condition whose failure means a thread of the output hangs: the test
// fails and the program ends at once instead of hanging in teardown.
inline void awaitOrEnd(const std::function<bool()>& condition, const char* what) {
  if (eventually(condition)) return;
  ADD_FAILURE() << what << " never happened";
  std::fflush(nullptr);
  std::_Exit(1);
}

class OutputRig {
 private:
  // First member: the output's format cache (and destroy's purge of it) writes here, never
  // into the user's data folder, and the folder outlives the output.
  testsupport::TempDataFolder dataFolder_{"tavorin-output-data"};

 public:
  explicit OutputRig(int32_t time = 1000, bool running = true, int32_t rate = 1000)
      : clock(time, running, rate), context(&clock), output(new RecordingRenderer()) {
    descriptor.name = KMC::NarrowString("Machine", &KMC::StandardAllocator<char>::instance());
    output->setDescriptor(&descriptor);
  }
  ~OutputRig() { shutdown(); }

  void shutdown() {
    if (!output) return;
    output->destroy();
    for (PortInterface* port : ports) output->removePort(port);
    delete output;
    output = nullptr;
  }

  bool create() { return output->create(&context); }

  // A new port of a push or pull channel.
  PortInterface* addPort(int32_t id, int32_t kind = KMC::kChannelPush, const char* fourCC = "BGRA") {
    descriptors.push_back(host::makeStreamDescriptor(fourCC, KMC::kStreamVideo));
    streams.emplace_back(new host::EngineStream(id));
    PortInterface* port = output->createPort(kind, &descriptors.back(), streams.back().get());
    if (port) ports.push_back(port);
    return port;
  }

  // Connected, running and selected push channels with ids 1..n.
  std::vector<PortInterface*> pushChannels(int n) {
    std::vector<PortInterface*> out;
    std::list<int32_t> ids;
    for (int i = 1; i <= n; ++i) {
      PortInterface* port = addPort(i);
      connect(port, &dummySource);
      command(port, KMC::kCommandRun);
      out.push_back(port);
      ids.push_back(i);
    }
    select(ids);
    return out;
  }

  bool command(PortInterface* port, int32_t code) {
    PropertyValue none;
    return port->portCommand(code, &none);
  }
  bool connect(PortInterface* port, KMC::UpstreamSource* source) {
    PropertyValue value = PropertyValue::ofPointer(KMC::kPropertyObject, source);
    return port->portCommand(KMC::kCommandConnect, &value);
  }
  bool seek(PortInterface* port, int32_t time) {
    PropertyValue value = PropertyValue::ofInt32(time);
    return port->portCommand(KMC::kCommandSeek, &value);
  }
  // Through engine-made id lists, as an engine selects.
  bool select(const std::list<int32_t>& wanted) {
    host::OwnedIdList ids;
    for (int32_t id : wanted) ids.append(id);
    PropertyValue value = PropertyValue::ofPointer(KMC::kPropertyObject, ids.get());
    return output->setParameter(KMC::kParameterSelectChannels, &value);
  }
  std::list<int32_t> selected() {
    host::OwnedIdList ids;
    PropertyValue value = PropertyValue::ofPointer(KMC::kPropertyObject, ids.get());
    output->getParameter(KMC::kParameterSelectedChannels, &value);
    std::vector<int32_t> got = ids.values();
    return std::list<int32_t>(got.begin(), got.end());
  }
  host::OwnedVideoSample* deliver(PortInterface* port, int32_t start, uint32_t duration = 40) {
    host::OwnedVideoSample* frame = ledger.make(start, duration);
    PropertyValue value = PropertyValue::ofPointer(KMC::kPropertyObject, frame);
    port->setPortValue(KMC::kValueDeliverFrame, &value);
    return frame;
  }

  // Returns once the output thread has started n further passes after this call, so that a
  // whole pass has seen everything the test did before.
  bool passes(int n = 2) {
    int64_t target = output->presentationPasses() + n;
    return eventually([&] { return output->presentationPasses() >= target; });
  }

  std::vector<int32_t> eventStarts(int32_t code, int32_t channel = -1) {
    std::vector<int32_t> out;
    for (const host::ChannelEventRecord& event : context.channelEvents(code, channel)) out.push_back(event.startTime);
    return out;
  }

  host::ManualMediaClock clock;
  host::EngineContext context;
  host::SampleLedger ledger;
  host::ScriptedSource dummySource;  // the connect payload of push channels
  KMC::PluginDescriptor descriptor;
  RecordingRenderer* output;
  std::list<KMC::StreamDescriptor> descriptors;
  std::vector<std::unique_ptr<host::EngineStream>> streams;
  std::vector<PortInterface*> ports;
};

}  // namespace testing_vo
