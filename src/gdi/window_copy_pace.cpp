#include "gdi/window_copy_pace.h"

#include "platform/win32.h"

namespace KMC {

void WindowCopyPace::waitForTurn() {
  if (copiedBefore_) {
    // Unsigned difference: right across the counter's wrap.
    const uint32_t since = static_cast<uint32_t>(timeGetTime()) - lastStart_;
    if (since < intervalMs_) Sleep(static_cast<DWORD>(intervalMs_ - since));
  }
  lastStart_ = static_cast<uint32_t>(timeGetTime());
  copiedBefore_ = true;
}

}  // namespace KMC
