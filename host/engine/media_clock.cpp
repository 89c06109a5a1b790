#include "engine/media_clock.h"

namespace host {

RealTimeMediaClock::RealTimeMediaClock(int32_t time, int32_t rate)
    : baseMedia_(time), baseReal_(Steady::now()), rate_(rate == 0 ? 1000 : rate) {}

int64_t RealTimeMediaClock::nowLocked() const {
  if (!running_) return baseMedia_;
  int64_t realMs = std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - baseReal_).count();
  int64_t t = baseMedia_ + realMs * rate_ / 1000;
  return stopReachedLocked(t) ? stop_ : t;
}

bool RealTimeMediaClock::stopReachedLocked(int64_t t) const {
  return hasStop_ && (rate_ > 0 ? t >= stop_ : t <= stop_);
}

int32_t RealTimeMediaClock::currentTime() {
  std::lock_guard<std::mutex> hold(lock_);
  return static_cast<int32_t>(nowLocked());
}

bool RealTimeMediaClock::isRunning() {
  std::lock_guard<std::mutex> hold(lock_);
  return running_ && !stopReachedLocked(nowLocked());
}

int32_t RealTimeMediaClock::rate() {
  std::lock_guard<std::mutex> hold(lock_);
  return rate_;
}

void RealTimeMediaClock::play() {
  std::lock_guard<std::mutex> hold(lock_);
  if (running_) return;
  baseReal_ = Steady::now();
  running_ = true;
}

void RealTimeMediaClock::pause() {
  std::lock_guard<std::mutex> hold(lock_);
  baseMedia_ = nowLocked();
  running_ = false;
  hasStop_ = false;
}

void RealTimeMediaClock::seek(int32_t time) {
  std::lock_guard<std::mutex> hold(lock_);
  baseMedia_ = time;
  baseReal_ = Steady::now();
  hasStop_ = false;
}

bool RealTimeMediaClock::setRate(int32_t rate) {
  if (rate == 0) return false;
  std::lock_guard<std::mutex> hold(lock_);
  baseMedia_ = nowLocked();
  baseReal_ = Steady::now();
  rate_ = rate;
  hasStop_ = false;
  return true;
}

bool RealTimeMediaClock::stopAt(int32_t time) {
  std::lock_guard<std::mutex> hold(lock_);
  hasStop_ = false;
  int64_t now = nowLocked();
  if (rate_ > 0 ? now >= time : now <= time) return false;
  hasStop_ = true;
  stop_ = time;
  return true;
}

}  // namespace host
