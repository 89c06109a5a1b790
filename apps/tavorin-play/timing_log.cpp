#include "timing_log.h"

namespace play {

void TimingLog::frame(int32_t channelId, int64_t due, int32_t lateness, bool dropped, bool backwards) {
  std::lock_guard<std::mutex> hold(lock_);
  record_.frames.push_back(TimedFrame{channelId, due, lateness, dropped, backwards});
}

void TimingLog::redraw(int64_t media, double intervalMs) {
  std::lock_guard<std::mutex> hold(lock_);
  record_.redraws.push_back(TimedRedraw{media, intervalMs});
}

void TimingLog::pause(int64_t media) {
  std::lock_guard<std::mutex> hold(lock_);
  TimedMark mark{MarkKind::kPause, media};
  record_.marks.push_back(mark);
}

void TimingLog::resume(double seconds) {
  std::lock_guard<std::mutex> hold(lock_);
  for (size_t i = record_.marks.size(); i-- > 0;) {
    if (record_.marks[i].kind != MarkKind::kPause) continue;
    if (record_.marks[i].pausedSeconds < 0) record_.marks[i].pausedSeconds = seconds;
    break;
  }
}

void TimingLog::seek(int64_t from, int64_t to) {
  std::lock_guard<std::mutex> hold(lock_);
  TimedMark mark{MarkKind::kSeek, from};
  mark.target = to;
  record_.marks.push_back(mark);
}

void TimingLog::rate(int64_t media, int32_t rate) {
  std::lock_guard<std::mutex> hold(lock_);
  TimedMark mark{MarkKind::kRate, media};
  mark.rate = rate;
  record_.marks.push_back(mark);
}

TimingRecord TimingLog::record() const {
  std::lock_guard<std::mutex> hold(lock_);
  return record_;
}

}  // namespace play
