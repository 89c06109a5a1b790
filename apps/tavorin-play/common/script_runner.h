// Plays a --script: each step's key at a media time (the clock stops there by itself, so the
// key acts at exactly that time, and play goes on after it unless the key paused) or a wall
// time after the step before. Owns the position in the script; the main thread calls run()
// once per pass of its loop.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <vector>

#include "engine/media_clock.h"
#include "key_commands.h"
#include "playback_control.h"

namespace play {

class ScriptRunner {
 public:
  ScriptRunner(const std::vector<ScriptStep>& steps, host::RealTimeMediaClock* clock, const PlaybackControl* control)
      : steps_(steps), clock_(clock), control_(control) {}

  // Play begins: delays of the first step count from now.
  void start() { last_ = std::chrono::steady_clock::now(); }
  // Performs the step that is due, if any, through perform.
  void run(const std::function<void(const Command&)>& perform);

 private:
  const std::vector<ScriptStep>& steps_;
  host::RealTimeMediaClock* clock_;
  const PlaybackControl* control_;
  size_t next_ = 0;
  bool armed_ = false;  // the clock is set to stop at the next step's time
  std::chrono::steady_clock::time_point last_;  // when the step before ran
};

}  // namespace play
