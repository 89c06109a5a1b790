// The state line on the error output while playing: once a second, at once when a key
// changed the state, and once at the end. On a terminal it rewrites itself in place;
// otherwise each one is a line of its own. Main thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>

namespace play {

class ProgressLine {
 public:
  struct State {
    bool paused;
    int32_t rate;  // thousandths; negative backwards
    int32_t positionMs;
    int64_t presented;
    int64_t dropped;
    uint32_t redraws;
  };

  explicit ProgressLine(std::ostream& err) : err_(err) {}
  // Play begins now.
  void start();
  // Shows state when a second has passed since the last line, or at once with `now` or
  // `last` (the final one, which ends the line on a terminal).
  void show(const State& state, bool last, bool now = false);

 private:
  std::ostream& err_;
  bool onTerminal_ = false;
  std::chrono::steady_clock::time_point start_, last_;
};

}  // namespace play
