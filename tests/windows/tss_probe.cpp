// Probe DLL: thread-specific values of Boost.Thread and the lock manager's per-thread lists,
// used from threads the DLL did not create.
#include <atomic>

#include <boost/thread/tss.hpp>

#include "threading/lock_guard.h"
#include "threading/policy_lock_manager.h"

#define PROBE_EXPORT extern "C" __declspec(dllexport)

namespace {

std::atomic<int> g_cleanups{0};

void countCleanup(int* value) {
  delete value;
  g_cleanups.fetch_add(1);
}

boost::thread_specific_ptr<int> g_value(countCleanup);

KMC::PolicyLockManager& manager() {
  static KMC::PolicyLockManager* const instance = new KMC::PolicyLockManager;
  return *instance;
}

}  // namespace

// Gives the calling thread a value, cleaned up when the thread ends.
PROBE_EXPORT void probeSetThreadValue() { g_value.reset(new int(1)); }

// Clean-ups of values so far: at thread exit, or on reset.
PROBE_EXPORT int probeCleanups() { return g_cleanups.load(); }

// Takes a new lock of the DLL's manager and lets it go again on the calling thread. Answers
// 1 when the thread had its own lock list exactly while it held the lock.
PROBE_EXPORT int probeLockRoundTrip() {
  KMC::LockId id = manager().createLock();
  bool before = manager().hasThreadLockList();
  bool during = false;
  bool held = false;
  {
    KMC::LockGuard guard(manager(), id, KMC::LockMode::Locked);
    during = manager().hasThreadLockList();
    held = manager().holds(id);
  }
  bool after = manager().hasThreadLockList();
  manager().destroyLock(id);
  return !before && during && held && !after ? 1 : 0;
}
