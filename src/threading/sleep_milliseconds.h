// Suspends the calling thread for about the given number of milliseconds (at least that long,
// at the system timer's resolution). 0 gives the rest of the time slice to other threads.
#pragma once

#include <cstdint>

namespace KMC {

void sleepMilliseconds(uint32_t milliseconds);

}  // namespace KMC
