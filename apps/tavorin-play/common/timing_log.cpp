#include "timing_log.h"

namespace play {

void TimingLog::frame(int32_t channelId, int64_t due, int32_t lateness, bool dropped, bool backwards) {
  std::lock_guard<std::mutex> hold(lock_);
  TimedFrame frame{channelId, due, lateness, dropped, backwards};
  if (dropped) {
    dropped_.add(frame);
    ++droppedByChannel_[channelId];
  } else {
    presented_.add(frame);
    ++presentedByChannel_[channelId];
  }
}

void TimingLog::redraw(int64_t media, double intervalMs) {
  std::lock_guard<std::mutex> hold(lock_);
  redraws_.add(TimedRedraw{media, intervalMs});
}

void TimingLog::mark(const TimedMark& mark) {
  if (marks_.size() < TimingRecord::kMarkCap) marks_.push_back(mark);
}

void TimingLog::pause(int64_t media) {
  std::lock_guard<std::mutex> hold(lock_);
  mark(TimedMark{MarkKind::kPause, media});
}

void TimingLog::resume(double seconds) {
  std::lock_guard<std::mutex> hold(lock_);
  for (size_t i = marks_.size(); i-- > 0;) {
    if (marks_[i].kind != MarkKind::kPause) continue;
    if (marks_[i].pausedSeconds < 0) marks_[i].pausedSeconds = seconds;
    break;
  }
}

void TimingLog::seek(int64_t from, int64_t to) {
  std::lock_guard<std::mutex> hold(lock_);
  TimedMark seek{MarkKind::kSeek, from};
  seek.target = to;
  mark(seek);
}

void TimingLog::rate(int64_t media, int32_t rate) {
  std::lock_guard<std::mutex> hold(lock_);
  TimedMark change{MarkKind::kRate, media};
  change.rate = rate;
  mark(change);
}

TimingRecord TimingLog::record() const {
  std::lock_guard<std::mutex> hold(lock_);
  TimingRecord record;
  record.frames = presented_.kept();
  record.frames.insert(record.frames.end(), dropped_.kept().begin(), dropped_.kept().end());
  record.redraws = redraws_.kept();
  record.marks = marks_;
  record.presentedByChannel = presentedByChannel_;
  record.droppedByChannel = droppedByChannel_;
  record.redrawCount = redraws_.seen();
  record.frameStep = presented_.step();
  return record;
}

}  // namespace play
