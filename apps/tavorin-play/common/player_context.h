// The player's engine context: the stand-in's context plus what the player needs from the
// output's reports.
//
// - When the renderer hands over its adapter (setVideoAdapter, on the output thread while
//   create waits), the window and its drawing rectangle are written into it right there, so
//   create returns as soon as the renderer has initialised.
// - Presented frames (channelEvent kEventPresented) are timed against the media clock; late drops
//   (kEventDroppedLate) are counted; both go to the run's timing log. Presented frames are
//   checked to come in play order within each stretch of play (see PooledFrame::segment).
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>

#include "engine/engine_context.h"
#include "abi/abi.h"
#include "abi/video_adapter.h"
#include "lateness_stats.h"
#include "timing_log.h"

namespace play {

class PlayerContext final : public host::EngineContext {
 public:
  PlayerContext(KMC::MediaClock* clock, KMC::WindowHandle window, int32_t width, int32_t height,
                TimingLog* timing = nullptr);

  int32_t setVideoAdapter(KMC::VideoAdapterUnknown* adapter) override;
  int32_t channelEvent(int32_t channelId, int32_t code, KMC::VideoSample* object) override;

  // The engine's view of the adapter; null before the renderer handed one over. Engine
  // threads call its setters.
  KMC::VideoAdapterHWND* adapter() const { return adapter_.load(); }

  // Tells the renderer the window now has this client size.
  void resizeDrawing(int32_t width, int32_t height);

  // What one channel (or, with channelId -1, every channel) had presented and dropped late.
  // lateness sums up, over the presented frames, how far the clock had passed each one's due
  // point (its start time playing forward, its end playing backwards), in media milliseconds.
  struct Tally {
    int64_t presented = 0;
    int64_t dropped = 0;
    LatenessStats lateness;
    // Frames presented before one that they follow in play order (within one segment).
    int64_t outOfOrder = 0;
    // The segment and start time of the frame presented last; segment -1 before the first.
    int32_t lastSegment = -1;
    int32_t lastStart = 0;
  };
  Tally tally(int32_t channelId = -1) const;

  int64_t presented() const;
  int64_t dropped() const;
  // Presented plus dropped frames of one channel: cheaper than a tally.
  int64_t accountedFor(int32_t channelId) const;
  // The segment of the frame the channel presented last; -1 before its first.
  int32_t lastPresentedSegment(int32_t channelId) const;

 private:
  KMC::MediaClock* clock_;
  KMC::WindowHandle window_;
  TimingLog* timing_;
  std::atomic<int32_t> width_, height_;  // written by the main thread, read at the hand-over
  std::atomic<KMC::VideoAdapterHWND*> adapter_{nullptr};
  mutable std::mutex lock_;
  std::map<int32_t, Tally> tallies_;  // by channel id
};

}  // namespace play
