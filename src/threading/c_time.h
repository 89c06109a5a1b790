// A millisecond stopwatch over the operating system's 32-bit millisecond counter.
//
// Over reading the counter directly it adds a start that counts the time spent stopped, a
// reset that rebases the reading on any value without stopping, and a 1 ms timer resolution
// request held for the stopwatch's life (requests of live instances nest).
//
// Wrap: the counter wraps every 2^32 ms (about 49.7 days). Every interval is computed as a
// difference of two counter readings in 32-bit unsigned arithmetic, so an interval shorter
// than 2^32 ms reads correctly even when it spans the wrap; a longer one reads modulo 2^32.
//
// A CTime belongs to one thread; it has no lock.
#pragma once

#include <cstdint>

namespace KMC {

class CTime {
 public:
  // Stopped, reading 0.
  CTime();
  virtual ~CTime();

  CTime(const CTime&) = delete;  // each instance owns one timer resolution request
  CTime& operator=(const CTime&) = delete;

  // Runs the stopwatch from what it reads now; the time spent stopped is not counted. Does
  // nothing when it already runs. Always answers true.
  bool start();
  // Milliseconds counted: constant while stopped, growing with the counter while running.
  int64_t elapsed() const;
  // Makes the stopwatch read value now, without changing whether it runs.
  void reset(int64_t value);

 private:
  static int64_t now();
  // later - earlier of two counter readings, correct across one wrap.
  static int64_t interval(int64_t earlier, int64_t later);

  enum : int32_t { kRunning = 0, kStopped = 2 };
  int32_t state_;
  int64_t baseTime_;     // counter reading the offset refers to
  int64_t markTime_;     // counter reading when the stopwatch last stood still
  int64_t offset_;       // reading at base time
  int64_t pausedTotal_;  // milliseconds spent stopped since base time
};

}  // namespace KMC
