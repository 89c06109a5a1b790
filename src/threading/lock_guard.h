// A scoped claim on one lock of a PolicyLockManager.
//
// Unlike a std::lock_guard, it does not necessarily lock anything: it sets the calling thread's
// mode of one lock (None, Locked, Unlocked) and, when released, sets the mode back to what it
// was before the guard. Releasing a guard whose previous mode was None leaves the mutex as the
// guard's scope left it; the mutex is let go at the latest when the thread's last guard on the
// lock ends. The guard belongs to the thread that filled it and must be released there.
#pragma once

#include "threading/lock_mode.h"
#include "threading/policy_lock_manager.h"

namespace KMC {

class LockGuard {
 public:
  // An inert guard, to be filled by PolicyLockManager::acquire.
  LockGuard() = default;
  // Fills the guard at once through manager.acquire(*this, id, mode); the guard stays inert
  // when the manager has no lock with that id (see isActive).
  LockGuard(PolicyLockManager& manager, LockId id, LockMode mode);
  ~LockGuard();

  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;

  // Restores the previous mode and drops this guard's claim. A second release, or a release of
  // an inert guard, does nothing.
  void release();

  // True while the guard holds a claim that has not been released.
  bool isActive() const { return !released_; }

 private:
  friend class PolicyLockManager;

  PolicyLockManager::LockState* state_ = nullptr;
  LockMode previousMode_ = LockMode::None;
  PolicyLockManager* manager_ = nullptr;
  PolicyLockManager::Entry* entry_ = nullptr;
  bool released_ = true;
};

}  // namespace KMC
