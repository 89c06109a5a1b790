// Lock identifiers and the modes a lock guard can ask for.
#pragma once

#include <cstdint>

namespace KMC {

// Identifies one lock of a PolicyLockManager. Ids come from one process-wide counter and are
// never reused, so the locks a component creates one after the other have ascending ids, and
// ascending id is the order in which every thread takes them.
typedef int64_t LockId;

// What a LockGuard asks of the calling thread for its scope. A scoped enum because the bare
// name None is taken by a macro of the X11 headers in the player.
enum class LockMode : int32_t {
  None = 0,      // claim nothing: a held mutex stays held, a free one stays free
  Locked = 1,    // the thread must hold the mutex
  Unlocked = 2,  // the thread must not hold the mutex (gives a held lock up for the scope)
};

}  // namespace KMC
