// What happened when, over a whole play run, for the timing picture: every frame presented or
// dropped late (its due time and lateness in media time), every redraw (the media time and the
// wall-clock gap since the redraw before), and the pauses, seeks and rate changes.
//
// Thread-safe: the output thread reports frames while the main thread records the rest.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace play {

struct TimedFrame {
  int32_t channelId;
  int64_t due;       // media ms: the start playing forwards, the end backwards
  int32_t lateness;  // media ms past the due time when presented (or dropped)
  bool dropped;      // dropped late instead of presented
  bool backwards;    // the clock ran backwards
};

struct TimedRedraw {
  int64_t media;      // the media clock when the redraw was seen
  double intervalMs;  // wall time since the redraw before
};

enum class MarkKind { kPause, kSeek, kRate };

struct TimedMark {
  MarkKind kind;
  int64_t media;          // where it happened
  int64_t target = 0;     // kSeek: where play went on
  int32_t rate = 0;       // kRate: the new rate in thousandths (negative: backwards)
  double pausedSeconds = -1;  // kPause: how long the pause lasted (wall); -1 while it lasts
};

struct TimingRecord {
  std::vector<TimedFrame> frames;
  std::vector<TimedRedraw> redraws;
  std::vector<TimedMark> marks;
};

class TimingLog {
 public:
  void frame(int32_t channelId, int64_t due, int32_t lateness, bool dropped, bool backwards);
  void redraw(int64_t media, double intervalMs);
  void pause(int64_t media);
  // Ends the last pause: it lasted `seconds` of wall time.
  void resume(double seconds);
  void seek(int64_t from, int64_t to);
  void rate(int64_t media, int32_t rate);

  TimingRecord record() const;

 private:
  mutable std::mutex lock_;
  TimingRecord record_;
};

}  // namespace play
