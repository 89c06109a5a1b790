#include "progress_line.h"

#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "player_window.h"

namespace play {

namespace {
double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
}  // namespace

void ProgressLine::start() {
  onTerminal_ = platform::errorsGoToTerminal();
  start_ = last_ = std::chrono::steady_clock::now();
}

void ProgressLine::show(const State& state, bool last, bool now) {
  if (!last && !now && secondsSince(last_) < 1.0) return;
  last_ = std::chrono::steady_clock::now();
  char rate[32];
  int32_t speed = std::abs(state.rate);
  if (speed >= 1000) {
    std::snprintf(rate, sizeof rate, "%gx", speed / 1000.0);
  } else {
    std::snprintf(rate, sizeof rate, "1/%gx", 1000.0 / speed);
  }
  char line[240];
  std::snprintf(line, sizeof line,
                "%-7s %6s %-9s  position %8.2f s  presented %6lld  dropped %5lld  redraws %6u  (%.0f s)",
                state.paused ? "paused" : "playing", rate, state.rate < 0 ? "backwards" : "forwards",
                state.positionMs / 1000.0, static_cast<long long>(state.presented),
                static_cast<long long>(state.dropped), state.redraws, secondsSince(start_));
  if (onTerminal_) {
    err_ << "\r" << line << (last ? "\n" : "") << std::flush;
  } else {
    err_ << line << "\n" << std::flush;
  }
}

}  // namespace play
