#include "playback_control.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "abi/engine_codes.h"

namespace play {

namespace {

typedef std::chrono::steady_clock Steady;

int64_t steadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now().time_since_epoch()).count();
}

// How long a seek waits for a restarted decoder's first frame.
const double kFirstFrameWaitSeconds = 10.0;

}  // namespace

void PlaybackControl::apply(const Command& command) {
  int32_t speed = std::abs(rate());
  int32_t sign = backwards() ? -1 : 1;
  switch (command.kind) {
    case CommandKind::kTogglePause:
      togglePause();
      break;
    case CommandKind::kSeekBy:
      seekTo(static_cast<int64_t>(clock_->currentTime()) + command.amount);
      break;
    case CommandKind::kSeekHome:
      seekTo(first_);
      break;
    case CommandKind::kSlower:
      if (speed > kSlowestRate) changeRate(sign * std::max(speed / 2, kSlowestRate));
      break;
    case CommandKind::kFaster:
      if (speed < kFastestRate) changeRate(sign * std::min(speed * 2, kFastestRate));
      break;
    case CommandKind::kNormalRate:
      changeRate(kNormalRate);
      break;
    case CommandKind::kReverse:
      reverse();
      break;
    default:
      break;
  }
}

void PlaybackControl::togglePause() {
  if (paused_.load()) {
    paused_.store(false);
    clock_->play();
    if (log_) log_->resume((steadyMs() - pausedAt_) / 1000.0);
  } else {
    clock_->pause();
    paused_.store(true);
    pausedAt_ = steadyMs();
    if (log_) log_->pause(clock_->currentTime());
  }
}

void PlaybackControl::seekTo(int64_t time) {
  int64_t from = clock_->currentTime();
  int64_t to = std::clamp(time, first_, last_);
  reposition(to, rate());
  if (log_) log_->seek(from, to);
}

void PlaybackControl::changeRate(int32_t rate) {
  if (rate == 0 || rate == this->rate()) return;
  int64_t now = clock_->currentTime();
  if ((rate < 0) != backwards()) {
    reposition(now, rate);
  } else {
    clock_->setRate(rate);
    rate_.store(rate);
  }
  if (log_) log_->rate(now, rate);
}

void PlaybackControl::reposition(int64_t time, int32_t rate) {
  std::lock_guard<std::mutex> feeding(feeding_);
  // The clock stands while the feeds start over, so the shown pictures do not expire.
  clock_->pause();
  int32_t segment = segment_.fetch_add(1) + 1;
  bool backwards = rate < 0;
  for (const Target& target : targets_) {
    if (target.source) target.source->hold(true);
  }
  KMC::PropertyValue none;
  for (const Target& target : targets_) target.port->portCommand(KMC::kCommandFlush, &none);
  for (const Target& target : targets_) target.feed->reposition(static_cast<int32_t>(time), backwards, segment);
  Steady::time_point began = Steady::now();
  for (const Target& target : targets_) {
    int32_t start = 0;
    uint32_t duration = 0;
    while (!target.feed->nextTiming(&start, &duration) && !target.feed->exhausted() &&
           std::chrono::duration<double>(Steady::now() - began).count() < kFirstFrameWaitSeconds) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!target.feed->nextTiming(&start, &duration)) continue;
    KMC::PropertyValue at = KMC::PropertyValue::ofInt32(start);
    target.port->portCommand(KMC::kCommandSeek, &at);
  }
  clock_->setRate(rate);
  rate_.store(rate);
  clock_->seek(static_cast<int32_t>(time));
  for (const Target& target : targets_) {
    if (target.source) target.source->hold(false);
  }
  if (!paused_.load()) clock_->play();
}

}  // namespace play
