// A set of recursive mutexes that every thread takes in ascending id order.
//
// Over a plain set of mutexes this adds two things:
//  - Order by construction, not by convention. A thread that holds higher-numbered locks and
//    asks for a lower one first lets the higher ones go ("suspends" them), takes the lower one
//    and then takes the higher ones back, lowest first. No two threads of one manager can
//    therefore deadlock on its mutexes, whatever order the code asks for them in. The price is
//    that another thread may take a suspended lock in between, so what the caller read under it
//    may have changed: code that can keep the order should, and reorderedRequests() lets a test
//    show that it does.
//  - Modes instead of lock/unlock pairs. A LockGuard sets the calling thread's mode of one lock
//    (None, Locked, Unlocked) for its scope and restores the previous mode when it ends, so a
//    scope can give its locks up (for example while it sleeps) inside a region that holds them,
//    and have them taken back when it ends.
//
// Each thread keeps its own list per manager (a ThreadLockList in a boost::thread_specific_ptr):
// one LockState per lock it has guards on, the locks it holds in the order taken (always
// ascending) and the locks it suspended and must take back. The list is created by the
// thread's first acquire and deleted when its last guard ends. Only the mutexes are shared
// between threads; lists and states are never seen by another thread.
//
// Locks are created and destroyed while the owning object is built or torn down; a lock must
// not be destroyed while any thread has a guard on it.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include <boost/thread/recursive_mutex.hpp>
#include <boost/thread/tss.hpp>

#include "threading/lock_mode.h"

namespace KMC {

class LockGuard;

class PolicyLockManager {
 public:
  class ThreadLockList;  // per thread and manager; defined in policy_lock_manager.cpp
  struct LockState;      // per thread, lock and manager
  struct Entry;          // a thread's LockState for one id and the count of its live guards

  PolicyLockManager();
  // Destroys every lock, highest id first. No thread may hold one or have a guard open.
  virtual ~PolicyLockManager();

  PolicyLockManager(const PolicyLockManager&) = delete;
  PolicyLockManager& operator=(const PolicyLockManager&) = delete;

  // Creates a free recursive mutex under a new id, greater than every id created before in
  // this process (by any manager). Safe to call from several threads at once.
  LockId createLock();

  // Deletes the lock. Answers false, changing nothing, when this manager has no lock with
  // that id (never created here, or already destroyed).
  bool destroyLock(LockId id);

  // Fills guard with the calling thread's claim on lock id and sets the thread's mode of that
  // lock to mode; may block (Locked) until the mutex is free, and takes any suspended higher
  // locks back before it answers. A guard that still holds an earlier claim is released first.
  // Answers true when the guard was filled; false, leaving the guard inert and the thread's
  // locks untouched, when this manager has no lock with that id.
  bool acquire(LockGuard& guard, LockId id, LockMode mode);

  // Introspection of the calling thread's view of this manager, for tests and assertions.
  // Whether the calling thread currently holds lock id through this manager.
  bool holds(LockId id) const;
  // The calling thread's mode of lock id (None when it has no guard on it).
  LockMode mode(LockId id) const;
  // The locks the calling thread holds, in the order taken (ascending).
  std::vector<LockId> heldLocks() const;
  // The locks the calling thread let go only to respect the order (empty outside acquire).
  std::vector<LockId> suspendedLocks() const;
  // Whether the calling thread has a lock list, i.e. has at least one guard open here.
  bool hasThreadLockList() const;
  // For tests: how many requests so far, on any thread, made this manager let a higher lock go
  // and take it back (taking or giving up a lock while holding a higher one).
  uint64_t reorderedRequests() const { return reorderedRequests_.load(); }

 private:
  friend class LockGuard;

  // Ends the claim of an unreleased guard (called once per guard, by LockGuard::release).
  void release(LockGuard& guard);

  // With list = the calling thread's list, state one of its states.
  void setMode(ThreadLockList& list, LockState& state, LockMode mode);
  void takeLock(ThreadLockList& list, LockState& state);
  void giveUpLock(ThreadLockList& list, LockState& state);
  void suspendHigherLocks(ThreadLockList& list, LockId id);
  void resumeSuspendedLocks(ThreadLockList& list);
  boost::recursive_mutex* mutexFor(LockId id) const;

  boost::thread_specific_ptr<ThreadLockList> threadLockLists_;
  std::atomic<uint64_t> reorderedRequests_{0};
  // Registry of the locks; registryMutex_ only guards the map itself, never taken while
  // waiting for one of the lock mutexes.
  mutable std::mutex registryMutex_;
  std::map<LockId, std::unique_ptr<boost::recursive_mutex>> registry_;
};

}  // namespace KMC
