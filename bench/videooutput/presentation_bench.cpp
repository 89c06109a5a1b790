// One presentation pass with 1, 4 and 16 push channels (every channel presents a fresh frame
// and the picture is composed through the recording renderer), and a lock manager guard
// against a raw recursive mutex. Each result is printed as a ratio to the raw
// boost::recursive_mutex lock/unlock pair measured first in the same run. Last, how many
// frames of a push channel arrive too late to be shown while a pull channel beside it waits on
// a slow source, against the same run with a prompt source.
#include <atomic>
#include <chrono>
#include <list>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>
#include <boost/thread/recursive_mutex.hpp>

#include "engine/engine_context.h"
#include "engine/engine_stream.h"
#include "engine/media_clock.h"
#include "engine/upstream_source.h"
#include "engine/video_sample.h"
#include "recording_renderer.h"
#include "threading/lock_guard.h"
#include "threading/policy_lock_manager.h"

namespace {

double g_mutexNanoseconds = 0;  // the reference: one raw lock/unlock pair

// Times the loop itself so that the ratio uses the same clock for both sides.
template <typename Body>
double nanosecondsPerIteration(benchmark::State& state, Body body) {
  auto begin = std::chrono::steady_clock::now();
  int64_t n = 0;
  for (auto _ : state) {
    body();
    ++n;
  }
  auto spent = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - begin).count();
  return n ? spent / static_cast<double>(n) : 0;
}

void reportRatio(benchmark::State& state, double nanoseconds) {
  if (g_mutexNanoseconds > 0) state.counters["x_raw_mutex"] = nanoseconds / g_mutexNanoseconds;
}

void BM_RawRecursiveMutex(benchmark::State& state) {
  boost::recursive_mutex mutex;
  g_mutexNanoseconds = nanosecondsPerIteration(state, [&] {
    mutex.lock();
    benchmark::ClobberMemory();
    mutex.unlock();
  });
  reportRatio(state, g_mutexNanoseconds);
}
BENCHMARK(BM_RawRecursiveMutex);

void BM_LockGuardLockedAcquireRelease(benchmark::State& state) {
  KMC::PolicyLockManager manager;
  KMC::LockId id = manager.createLock();
  double ns = nanosecondsPerIteration(state, [&] {
    KMC::LockGuard guard(manager, id, KMC::LockMode::Locked);
    benchmark::ClobberMemory();
  });
  reportRatio(state, ns);
}
BENCHMARK(BM_LockGuardLockedAcquireRelease);

void BM_PresentationPass(benchmark::State& state) {
  const int channels = static_cast<int>(state.range(0));
  host::ManualMediaClock clock(1000, true, 1000);
  host::EngineContext context(&clock);
  host::SampleLedger ledger;
  host::ScriptedSource source;
  KMC::PluginDescriptor descriptor;
  descriptor.name = KMC::NarrowString("Bench", &KMC::StandardAllocator<char>::instance());
  testing_vo::RecordingRenderer output;
  output.setDescriptor(&descriptor);
  output.recordCalls.store(false);
  if (!output.create(&context)) {
    state.SkipWithError("create failed");
    return;
  }
  // Park the output thread outside the loop; this thread runs the passes.
  output.runLoop.store(false);
  output.keepRunning_.store(false);
  while (output.loopRunning()) std::this_thread::yield();

  KMC::StreamDescriptor stream = host::makeStreamDescriptor("BGRA", KMC::kStreamVideo);
  std::vector<std::unique_ptr<host::EngineStream>> streams;
  std::vector<KMC::PortInterface*> ports;
  std::list<int32_t> ids;
  for (int i = 1; i <= channels; ++i) {
    streams.emplace_back(new host::EngineStream(i));
    KMC::PortInterface* port = output.createPort(KMC::kChannelPush, &stream, streams.back().get());
    KMC::PropertyValue value = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, &source);
    port->portCommand(KMC::kCommandConnect, &value);
    KMC::PropertyValue none;
    port->portCommand(KMC::kCommandRun, &none);
    ports.push_back(port);
    ids.push_back(i);
  }
  KMC::PropertyValue selection = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, &ids);
  output.setParameter(KMC::kParameterSelectChannels, &selection);

  std::atomic<bool> run{true};
  int32_t time = 1000;
  double ns = nanosecondsPerIteration(state, [&] {
    time += 40;
    clock.setTime(time);
    for (KMC::PortInterface* port : ports) {
      KMC::PropertyValue value = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, ledger.make(time, 40, 4, 4));
      port->setPortValue(KMC::kValueDeliverFrame, &value);
    }
    output.presentationLoop(&run, 1);
  });
  reportRatio(state, ns);
  state.counters["frames"] = static_cast<double>(ledger.created());
  output.destroy();
  for (KMC::PortInterface* port : ports) output.removePort(port);
}
BENCHMARK(BM_PresentationPass)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMicrosecond);

// A push channel fed 42 frames at 25 fps ahead of a real clock, beside a pull channel whose
// source takes pullMilliseconds for every pull. Answers the push channel's late drops.
int64_t pushDropsBesideSource(int pullMilliseconds) {
  const int32_t kFrames = 42;
  host::RealTimeMediaClock clock(1000);
  host::EngineContext context(&clock);
  host::SampleLedger ledger;
  host::ScriptedSource pushSource, pullSource;
  pullSource.setPullHook([pullMilliseconds] {
    std::this_thread::sleep_for(std::chrono::milliseconds(pullMilliseconds));
  });
  for (int32_t i = 0; i < kFrames + 8; ++i) pullSource.append(ledger.make(1040 + 40 * i, 40, 4, 4));
  KMC::PluginDescriptor descriptor;
  descriptor.name = KMC::NarrowString("Bench", &KMC::StandardAllocator<char>::instance());
  int64_t drops = -1;
  {
    testing_vo::RecordingRenderer output;
    output.setDescriptor(&descriptor);
    output.recordCalls.store(false);
    if (!output.create(&context)) return -1;
    KMC::StreamDescriptor stream = host::makeStreamDescriptor("BGRX", 1);
    host::EngineStream pushStream(1), pullStream(2);
    KMC::PortInterface* push = output.createPort(KMC::kChannelPush, &stream, &pushStream);
    KMC::PortInterface* pull = output.createPort(KMC::kChannelPull, &stream, &pullStream);
    KMC::PropertyValue none;
    KMC::PropertyValue value = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, &pushSource);
    push->portCommand(KMC::kCommandConnect, &value);
    value = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, &pullSource);
    pull->portCommand(KMC::kCommandConnect, &value);
    push->portCommand(KMC::kCommandRun, &none);
    pull->portCommand(KMC::kCommandRun, &none);
    std::list<int32_t> ids{1, 2};
    KMC::PropertyValue selection = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, &ids);
    output.setParameter(KMC::kParameterSelectChannels, &selection);
    clock.play();
    for (int32_t i = 0; i < kFrames; ++i) {
      const int32_t start = 1040 + 40 * i;
      while (clock.currentTime() < start - 40) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      value = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, ledger.make(start, 40, 4, 4));
      push->setPortValue(KMC::kValueDeliverFrame, &value);
    }
    while (clock.currentTime() < 1040 + 40 * kFrames + 40) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    drops = static_cast<int64_t>(context.channelEvents(KMC::kEventDroppedLate, 1).size());
    push->portCommand(KMC::kCommandDisconnect, &none);
    pull->portCommand(KMC::kCommandDisconnect, &none);
    output.removePort(push);
    output.removePort(pull);
    output.destroy();
  }
  KMC::PropertyValue left;
  while (pullSource.remaining() > 0 && pullSource.pull(KMC::kPullCode, &left)) {
    static_cast<KMC::VideoSample*>(left.payload.pointer)->release();
  }
  return drops;
}

void BM_PushChannelBesideSlowSource(benchmark::State& state) {
  int64_t drops = 0, reference = 0;
  for (auto _ : state) {
    reference = pushDropsBesideSource(0);
    drops = pushDropsBesideSource(30);
  }
  state.counters["push_frames"] = 42;
  state.counters["dropped_late_slow_source"] = static_cast<double>(drops);
  state.counters["dropped_late_prompt_source"] = static_cast<double>(reference);
}
BENCHMARK(BM_PushChannelBesideSlowSource)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
