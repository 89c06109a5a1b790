// The engine's push side: a thread that delivers every frame falling within kAheadFrames of
// the media clock (in play direction) to its stream's port, a quarter of the shortest frame
// period apart. It holds playback control's feeding lock for each pass, so a seek never
// meets a delivery halfway.
//
// Owns the thread; start() and stop() are the main thread's, the streams are read (and their
// delivered counts written) by the thread in between.
#pragma once

#include <atomic>
#include <thread>
#include <vector>

#include "engine/media_clock.h"
#include "playback_control.h"
#include "stream_ports.h"

namespace play {

class PushFeeder {
 public:
  // Push channels are kept this many frames ahead of the clock: enough to ride out a late
  // feeding pass, few enough that frames are made just in time.
  static const int kAheadFrames = 4;

  PushFeeder(std::vector<Stream>* streams, host::RealTimeMediaClock* clock, PlaybackControl* control)
      : streams_(streams), clock_(clock), control_(control) {}
  ~PushFeeder() { stop(); }
  PushFeeder(const PushFeeder&) = delete;
  PushFeeder& operator=(const PushFeeder&) = delete;

  void start();
  // Ends the thread after its current pass and joins it.
  void stop();

 private:
  void feed();

  std::vector<Stream>* streams_;
  host::RealTimeMediaClock* clock_;
  PlaybackControl* control_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace play
