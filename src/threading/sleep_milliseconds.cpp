#include "threading/sleep_milliseconds.h"

#include "platform/win32.h"

namespace KMC {

void sleepMilliseconds(uint32_t milliseconds) { Sleep(milliseconds); }

}  // namespace KMC
