// What happened when, over a whole play run, for the timing picture: frames presented or
// dropped late (their due time and lateness in media time), redraws (the media time and the
// wall-clock gap since the redraw before), and the pauses, seeks and rate changes.
//
// Memory stays bounded on a run of any length. Each kind of record is kept up to its cap
// (TimingRecord::kFrameCap and so on); once a series is full it keeps every second record it
// holds and from then on only every second one that comes, doubling that step each time it
// fills again. So the records that stay are spread evenly over the whole run, however long,
// at a density the picture can show anyway (it is 1200 pixels wide). Frames dropped late are
// a series of their own, so the many presented frames never thin out the few drops. The
// totals count every record, kept or not. Marks (pauses, seeks, rate changes) come from keys;
// the first kMarkCap are kept.
//
// Thread-safe: the output thread reports frames while the main thread records the rest.
#pragma once

#include <cstdint>
#include <map>
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

// Up to `cap` records of a series, thinned evenly as described above.
template <typename T>
class ThinnedSeries {
 public:
  explicit ThinnedSeries(size_t cap) : cap_(cap < 2 ? 2 : cap) {}

  void add(const T& record) {
    if (seen_++ % step_ != 0) return;
    if (kept_.size() == cap_) {
      size_t out = 0;
      for (size_t in = 0; in < kept_.size(); in += 2) kept_[out++] = kept_[in];
      kept_.resize(out);
      step_ *= 2;
      // The record in hand is kept only if it falls on the new, wider step.
      if ((seen_ - 1) % step_ != 0) return;
    }
    kept_.push_back(record);
  }
  const std::vector<T>& kept() const { return kept_; }
  uint64_t seen() const { return seen_; }
  // One record kept of this many.
  uint64_t step() const { return step_; }

 private:
  size_t cap_;
  std::vector<T> kept_;
  uint64_t seen_ = 0;
  uint64_t step_ = 1;
};

struct TimingRecord {
  static constexpr size_t kFrameCap = 1 << 16;    // presented frames kept
  static constexpr size_t kDropCap = 1 << 14;     // dropped frames kept
  static constexpr size_t kRedrawCap = 1 << 16;
  static constexpr size_t kMarkCap = 4096;

  std::vector<TimedFrame> frames;  // the kept ones, presented and dropped
  std::vector<TimedRedraw> redraws;
  std::vector<TimedMark> marks;
  // Every frame and redraw that happened, kept or not.
  std::map<int32_t, int64_t> presentedByChannel, droppedByChannel;
  uint64_t redrawCount = 0;
  // One presented frame kept of this many (1: all of them).
  uint64_t frameStep = 1;
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
  void mark(const TimedMark& mark);

  mutable std::mutex lock_;
  ThinnedSeries<TimedFrame> presented_{TimingRecord::kFrameCap};
  ThinnedSeries<TimedFrame> dropped_{TimingRecord::kDropCap};
  ThinnedSeries<TimedRedraw> redraws_{TimingRecord::kRedrawCap};
  std::vector<TimedMark> marks_;
  std::map<int32_t, int64_t> presentedByChannel_, droppedByChannel_;
};

}  // namespace play
