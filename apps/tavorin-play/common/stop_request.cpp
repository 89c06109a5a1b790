#include "stop_request.h"

#include <atomic>

namespace play {

namespace {
std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
}  // namespace

void requestStop() { g_stop.store(true); }
bool stopRequested() { return g_stop.load(); }

}  // namespace play
