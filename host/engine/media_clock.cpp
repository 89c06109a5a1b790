#include "engine/media_clock.h"

namespace host {

RealTimeMediaClock::RealTimeMediaClock(int32_t time, int32_t rate)
    : baseMedia_(time), baseReal_(Steady::now()), rate_(rate == 0 ? 1000 : rate) {}

int64_t RealTimeMediaClock::nowLocked() const {
  if (!running_) return baseMedia_;
  int64_t realMs = std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - baseReal_).count();
  return baseMedia_ + realMs * rate_ / 1000;
}

int32_t RealTimeMediaClock::currentTime() {
  std::lock_guard<std::mutex> hold(lock_);
  return static_cast<int32_t>(nowLocked());
}

bool RealTimeMediaClock::isRunning() {
  std::lock_guard<std::mutex> hold(lock_);
  return running_;
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
}

void RealTimeMediaClock::seek(int32_t time) {
  std::lock_guard<std::mutex> hold(lock_);
  baseMedia_ = time;
  baseReal_ = Steady::now();
}

bool RealTimeMediaClock::setRate(int32_t rate) {
  if (rate == 0) return false;
  std::lock_guard<std::mutex> hold(lock_);
  baseMedia_ = nowLocked();
  baseReal_ = Steady::now();
  rate_ = rate;
  return true;
}

}  // namespace host
