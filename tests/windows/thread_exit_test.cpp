// Thread-specific values of Boost.Thread in a DLL that links it statically are cleaned up when
// a thread the DLL did not create ends. That takes the TLS callback Boost.Thread brings
// along; without it the values of engine threads leak, silently.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "engine/library_loader.h"
#include "engine/plugin_host.h"
#include "framework/identifiers.h"
#include "abi/interfaces.h"
#include "abi/plugin.h"

namespace {

typedef void (*SetThreadValue)();
typedef int (*Count)();

// A thread made with CreateThread, not std::thread, runs this: a __stdcall function as
// CreateThread calls it on 32-bit Windows too.
DWORD WINAPI callOnThisThread(void* function) {
  reinterpret_cast<SetThreadValue>(function)();
  return 0;
}

class ProbeLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library_.isLoaded()) << library_.error();
    setThreadValue_ = reinterpret_cast<SetThreadValue>(library_.symbol("probeSetThreadValue"));
    cleanups_ = reinterpret_cast<Count>(library_.symbol("probeCleanups"));
    lockRoundTrip_ = reinterpret_cast<Count>(library_.symbol("probeLockRoundTrip"));
    ASSERT_NE(setThreadValue_, nullptr);
    ASSERT_NE(cleanups_, nullptr);
    ASSERT_NE(lockRoundTrip_, nullptr);
  }

  host::LibraryLoader library_{"tavorin_tss_probe.dll"};
  SetThreadValue setThreadValue_ = nullptr;
  Count cleanups_ = nullptr;
  Count lockRoundTrip_ = nullptr;
};

TEST_F(ProbeLibrary, ValuesOfEngineThreadsAreCleanedUpWhenTheThreadsEnd) {
  const int before = cleanups_();
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) threads.emplace_back([this] { setThreadValue_(); });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(cleanups_(), before + 8);
}

TEST_F(ProbeLibrary, ValuesOfThreadsMadeWithCreateThreadAreCleanedUpToo) {
  const int before = cleanups_();
  HANDLE thread = CreateThread(nullptr, 0, callOnThisThread, reinterpret_cast<void*>(setThreadValue_), 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  CloseHandle(thread);
  EXPECT_EQ(cleanups_(), before + 1);
}

TEST_F(ProbeLibrary, AValueStillSetIsNotCleanedUpBeforeItsThreadEnds) {
  const int before = cleanups_();
  HANDLE set = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE finish = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread thread([&] {
    setThreadValue_();
    SetEvent(set);
    WaitForSingleObject(finish, INFINITE);
  });
  WaitForSingleObject(set, INFINITE);
  EXPECT_EQ(cleanups_(), before);
  SetEvent(finish);
  thread.join();
  EXPECT_EQ(cleanups_(), before + 1);
  CloseHandle(set);
  CloseHandle(finish);
}

TEST_F(ProbeLibrary, TheLockManagerKeepsAListPerEngineThreadOnlyWhileItHoldsALock) {
  std::vector<int> results(4, -1);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < results.size(); ++i) {
    threads.emplace_back([this, &results, i] {
      int ok = 1;
      for (int round = 0; round < 50; ++round) ok &= lockRoundTrip_();
      results[i] = ok;
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int result : results) EXPECT_EQ(result, 1);
}

// The plug-in itself, built and released by threads the engine made, many times over.
TEST(PluginOnEngineThreads, BuildsAndReleasesItsComponentOnThreadsThatThenEnd) {
  host::LibraryLoader library(host::defaultPluginPath());
  ASSERT_TRUE(library.isLoaded()) << library.error();
  KMC::GetPluginFunction entry = library.getPlugin();
  ASSERT_NE(entry, nullptr);
  for (int round = 0; round < 20; ++round) {
    std::vector<int> built(2, 0);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < built.size(); ++i) {
      threads.emplace_back([&, i] {
        host::RecordingPluginHost host;
        KMC::Plugin* plugin = nullptr;
        if (entry(&host, &plugin) != 0 || !plugin) return;
        void* output = nullptr;
        KMC::NarrowString name("com.kestra.mediacore.component.output", &KMC::StandardAllocator<char>::instance());
        bool found = plugin->queryInterface(name, &output) == KMC::kResultOk && output;
        built[i] = found && plugin->releaseReference() == 0 ? 1 : 0;
      });
    }
    for (std::thread& thread : threads) thread.join();
    for (int result : built) ASSERT_EQ(result, 1) << "round " << round;
  }
}

}  // namespace
