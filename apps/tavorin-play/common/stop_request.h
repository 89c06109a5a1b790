// The one flag that ends a run early, with the usual teardown and report: set by a signal
// (Ctrl-C), the q and Escape keys, and the window's close button; read by every wait of the
// run. A lock-free atomic, so a signal handler may set it.
#pragma once

namespace play {

void requestStop();
bool stopRequested();

}  // namespace play
