// The engine's format query per call, with the cache off (format table) and on (the cache
// file, statements compiled once and kept by name), against copying the same two descriptors
// into the engine's vector, measured in the same run.
#include <benchmark/benchmark.h>

#include "engine/engine_component.h"
#include "engine/engine_context.h"
#include "engine/engine_values.h"
#include "engine/library_loader.h"
#include "engine/plugin_host.h"
#include "abi/interfaces.h"
#include "abi/plugin.h"
#include "support/environment_guard.h"
#include "support/temp_folder.h"

namespace {

struct Output {
  Output() : library(host::defaultPluginPath()), engine("Bench Machine ") { engine.open(library, &pluginHost); }
  ~Output() { engine.component()->destroy(); }
  host::LibraryLoader library;
  host::RecordingPluginHost pluginHost;
  host::EngineContext context;
  host::EngineComponent engine;
};

void BM_CopyTwoDescriptors(benchmark::State& state) {
  KMC::FormatDescriptor two[2] = {{"BGRA", 20, 1, 200}, {"BGRX", 20, 1, 200}};
  for (auto _ : state) {
    host::OwnedFormatList list;
    list.append(two[0]);
    list.append(two[1]);
    benchmark::DoNotOptimize(list.begin());
  }
}
BENCHMARK(BM_CopyTwoDescriptors);

void runQueries(benchmark::State& state, bool cacheOn) {
  testsupport::TempFolder folder("tavorin-bench");
  testsupport::EnvironmentGuard dataHome("XDG_DATA_HOME", folder.path().c_str());
  {
    Output output;
    output.context.setSetting("VideoDriver|FormatCache", "Enabled", cacheOn ? 1 : 0);
    for (auto _ : state) {
      host::OwnedFormatList list;
      if (!output.engine.component()->queryFormats(&output.context, 1, 2, 1, list.get()) || list.size() != 2) {
        state.SkipWithError("query failed");
        break;
      }
    }
  }
}

void BM_QueryCacheOff(benchmark::State& state) { runQueries(state, false); }
void BM_QueryCacheOn(benchmark::State& state) { runQueries(state, true); }
BENCHMARK(BM_QueryCacheOff);
BENCHMARK(BM_QueryCacheOn)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
