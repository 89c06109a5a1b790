// The engine's media clocks: a manual clock that moves only when a test moves it, and a
// real-time clock with rate, pause and seek for the player.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

#include "abi/engine_objects.h"

namespace host {

// Time, running state and rate are set by the test; every answer is what was set last.
// Thread-safe: the output thread reads while the test writes.
class ManualMediaClock final : public KMC::MediaClock {
 public:
  // Entry 0 of the engine object (abi/abi.h); the plug-in never calls it.
  void* deletingDestructor(uint32_t flags) override { return KMC::runDeletingDestructor(this, flags); }
  explicit ManualMediaClock(int32_t time = 0, bool running = true, int32_t rate = 1000)
      : time_(time), running_(running), rate_(rate) {}

  int32_t currentTime() override { ++timeQueries_; return time_.load(); }
  bool isRunning() override { return running_.load(); }
  int32_t rate() override { return rate_.load(); }

  void setTime(int32_t time) { time_.store(time); }
  void advance(int32_t milliseconds) { time_.fetch_add(milliseconds); }
  void setRunning(bool running) { running_.store(running); }
  void setRate(int32_t rate) { rate_.store(rate); }
  // How often currentTime was asked (a sign of life of the presentation loop).
  int64_t timeQueries() const { return timeQueries_.load(); }

 private:
  std::atomic<int32_t> time_;
  std::atomic<bool> running_;
  std::atomic<int32_t> rate_;
  std::atomic<int64_t> timeQueries_{0};
};

// Media time that follows std::chrono::steady_clock at a rate in thousandths (negative plays
// backwards). Starts paused at the given time. Thread-safe.
class RealTimeMediaClock final : public KMC::MediaClock {
 public:
  // Entry 0 of the engine object (abi/abi.h); the plug-in never calls it.
  void* deletingDestructor(uint32_t flags) override { return KMC::runDeletingDestructor(this, flags); }
  explicit RealTimeMediaClock(int32_t time = 0, int32_t rate = 1000);

  int32_t currentTime() override;
  bool isRunning() override;
  int32_t rate() override;

  void play();
  void pause();
  // Jumps to a media time; keeps the running state.
  void seek(int32_t time);
  // A rate of 0 is refused (the clock keeps its rate): the engine never answers 0.
  bool setRate(int32_t rate);
  // Makes the running clock stop by itself on reaching time in its direction, so that whoever
  // drives it can act at exactly that media time (a scripted run). False, and nothing armed,
  // when the clock is already there or past it. pause, seek and setRate drop the stop.
  bool stopAt(int32_t time);

 private:
  typedef std::chrono::steady_clock Steady;
  // With lock_: media time now.
  int64_t nowLocked() const;
  // With lock_: media time t (running) has reached the armed stop.
  bool stopReachedLocked(int64_t t) const;

  mutable std::mutex lock_;
  int64_t baseMedia_;          // media time at baseReal_
  Steady::time_point baseReal_;
  int32_t rate_;
  bool running_ = false;
  bool hasStop_ = false;
  int64_t stop_ = 0;
};

}  // namespace host
