// Cost of claiming locks through the lock manager, against a raw boost::recursive_mutex
// lock/unlock measured in the same run. Prints, after the table, each case's time per
// iteration as a ratio to its raw reference.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include <boost/thread/recursive_mutex.hpp>

#include "ratio_reporter.h"
#include "threading/lock_guard.h"
#include "threading/policy_lock_manager.h"

namespace {

using KMC::LockGuard;
using KMC::LockId;
using KMC::LockMode;
using KMC::PolicyLockManager;

void BM_RawMutexOne(benchmark::State& state) {
  boost::recursive_mutex mutex;
  for (auto _ : state) {
    mutex.lock();
    benchmark::ClobberMemory();
    mutex.unlock();
  }
}
BENCHMARK(BM_RawMutexOne);

void BM_RawMutexThree(benchmark::State& state) {
  boost::recursive_mutex a, b, c;
  for (auto _ : state) {
    a.lock();
    b.lock();
    c.lock();
    benchmark::ClobberMemory();
    c.unlock();
    b.unlock();
    a.unlock();
  }
}
BENCHMARK(BM_RawMutexThree);

// A lone Locked guard: each round creates and deletes the thread's lock list.
void BM_GuardOne(benchmark::State& state) {
  PolicyLockManager manager;
  LockId id = manager.createLock();
  for (auto _ : state) {
    LockGuard guard(manager, id, LockMode::Locked);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_GuardOne);

// A Locked guard inside a None guard that lives for the whole thread, as the output thread
// uses them: the list and state stay, only the mutex is taken and let go.
void BM_GuardOneInsideThreadGuard(benchmark::State& state) {
  PolicyLockManager manager;
  LockId id = manager.createLock();
  LockGuard threadLong(manager, id, LockMode::None);
  for (auto _ : state) {
    LockGuard guard(manager, id, LockMode::Locked);
    guard.release();
    LockGuard drop(manager, id, LockMode::Unlocked);  // mode None keeps it held; let it go
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_GuardOneInsideThreadGuard);

// The three component locks taken in the worst order (highest first: each lower one
// suspends and resumes the higher ones), inside thread-long None guards.
void BM_GuardThreeReverseOrder(benchmark::State& state) {
  PolicyLockManager manager;
  LockId a = manager.createLock(), b = manager.createLock(), c = manager.createLock();
  LockGuard na(manager, a, LockMode::None), nb(manager, b, LockMode::None),
      nc(manager, c, LockMode::None);
  for (auto _ : state) {
    LockGuard gc(manager, c, LockMode::Locked);
    LockGuard gb(manager, b, LockMode::Locked);
    LockGuard ga(manager, a, LockMode::Locked);
    benchmark::ClobberMemory();
    ga.release();
    gb.release();
    gc.release();
    LockGuard uc(manager, c, LockMode::Unlocked), ub(manager, b, LockMode::Unlocked),
        ua(manager, a, LockMode::Unlocked);
  }
}
BENCHMARK(BM_GuardThreeReverseOrder);

// The three locks in order through lone guards (lists created and deleted every round).
void BM_GuardThreeInOrder(benchmark::State& state) {
  PolicyLockManager manager;
  LockId a = manager.createLock(), b = manager.createLock(), c = manager.createLock();
  for (auto _ : state) {
    LockGuard ga(manager, a, LockMode::Locked);
    LockGuard gb(manager, b, LockMode::Locked);
    LockGuard gc(manager, c, LockMode::Locked);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_GuardThreeInOrder);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printRatio("BM_GuardOne", "BM_RawMutexOne");
  reporter.printRatio("BM_GuardOneInsideThreadGuard", "BM_RawMutexOne");
  reporter.printRatio("BM_GuardThreeInOrder", "BM_RawMutexThree");
  reporter.printRatio("BM_GuardThreeReverseOrder", "BM_RawMutexThree");
  benchmark::Shutdown();
  return 0;
}
