// What a play run presented, and how it is printed: a readable block and one machine-readable
// line that starts with "REPORT " and holds key=value pairs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lateness_stats.h"

namespace play {

// One stream: a clip channel or a file.
struct StreamReport {
  int32_t channelId = 0;
  std::string name;        // the file, or "clip" / "overlay"
  int64_t decoded = -1;    // pictures the decoder gave; -1 for the built-in clip
  int64_t damaged = 0;     // undecodable packets and pictures skipped
  int64_t unplayed = 0;    // frames made but never delivered (playing stopped first)
  int64_t delivered = 0;
  int64_t presented = 0;
  int64_t dropped = 0;
  LatenessSummary lateness;
  int64_t outOfOrder = 0;  // frames presented against play order (within a stretch of play)
  std::string problem;     // what ended decoding early, or empty
};

struct PlayReport {
  int64_t expected = 0;    // frames in the clip over all channels; with files, frames decoded
  int64_t delivered = 0;   // frames handed to the output (pushed or pulled)
  int64_t presented = 0;   // channel events kEventPresented
  int64_t dropped = 0;     // channel events kEventDroppedLate
  LatenessSummary lateness;
  int64_t redraws = 0;     // window drawings (generation count)
  double seconds = 0;      // wall time from the clock's start to its end
  int64_t framesMade = 0;
  int64_t buffersAllocated = 0;  // pixel buffers the frame pool allocated (the rest were recycled)
  int64_t framesReleased = 0;
  int64_t extraReleases = 0;
  bool releasedOk = false; // every frame released exactly once
  double cpuMs = 0;        // user + system time of the whole process
  std::string window;      // "x11-shm", "x11", or "offscreen"
  std::vector<StreamReport> streams;
  int64_t damaged = 0;     // over all streams
  int64_t unplayed = 0;
  int64_t outOfOrder = 0;
  int64_t seeks = 0;       // seeks and changes of direction made while playing

  double redrawRate() const { return seconds > 0 ? redraws / seconds : 0; }
  double presentedShare() const { return expected > 0 ? static_cast<double>(presented) / expected : 0; }
};

// Several readable lines, a "STREAM " line of key=value pairs per stream, then the REPORT
// line, each ending in a newline.
std::string formatReport(const PlayReport& report);

}  // namespace play
