// When a run is over: --seconds of media time have passed (files), or the clock has passed
// every frame handed out and the output has presented or dropped them all (or had a second's
// grace to). A paused run is never over by itself. Owns the grace timer; main thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "playback_control.h"
#include "player_context.h"
#include "player_options.h"
#include "stream_ports.h"

namespace play {

class EndOfPlay {
 public:
  // How long past the end the output gets to present or drop its last frames.
  static constexpr double kGraceSeconds = 1.0;

  EndOfPlay(const PlayerOptions& options, const PlaybackControl* control) : options_(options), control_(control) {}

  // The clock began at clockStart (for --seconds).
  void begin(int32_t clockStart) { clockStart_ = clockStart; }
  bool over(int32_t now, const std::vector<Stream>& streams, const PlayerContext& context);

 private:
  const PlayerOptions& options_;
  const PlaybackControl* control_;
  int32_t clockStart_ = 0;
  std::chrono::steady_clock::time_point endReached_;  // when the clock first passed every frame
  int32_t endSegment_ = 0;  // the segment endReached_ was seen in
};

}  // namespace play
