#include "threading/lock_guard.h"

namespace KMC {

LockGuard::LockGuard(PolicyLockManager& manager, LockId id, LockMode mode) {
  manager.acquire(*this, id, mode);  // an unknown id leaves the guard inert (isActive false)
}

LockGuard::~LockGuard() { release(); }

void LockGuard::release() {
  if (released_) return;
  released_ = true;
  manager_->release(*this);
}

}  // namespace KMC
