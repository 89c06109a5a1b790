// A file's video as a feed: a demux-and-decode thread of its own (the engine's side, never the
// plug-in's output thread) converts every picture into a pooled 32-bit frame, times it from
// the stream's timestamps, and keeps a few frames ready in a bounded queue, so a file of any
// length needs only a handful of frames in memory.
//
// Timing: a frame starts at kMediaOrigin plus its timestamp in milliseconds from the stream's
// start (a start time of 0 would mean "untimed" to the output) and lasts until the next
// frame's timestamp; the last frame, or one whose successor does not come later, lasts what it
// carries itself or else the stream's nominal frame period. Looping adds the played length to
// every further pass, so media time keeps going forward. Playing forwards, the file's final
// frame is handed over with duration 0 ("until replaced"), so its picture stays on screen once
// the file is over, as players keep it, however long other streams play on; the feed keeps its
// true end for the player's account.
//
// Backwards, the thread decodes from the key frame before the part still to play up to that
// part's end, keeps the last kBackwardsWindow pictures and hands them out newest first, then
// does the same for the part before them: memory stays bounded at the price of decoding a
// group of pictures more than once.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "frame_feed.h"
#include "frame_pool.h"
#include "picture_converter.h"
#include "video_file.h"

struct AVFrame;

namespace play {

struct DecodeOptions {
  // FFmpeg's decoding threads per file: 1 decodes on the feed's own thread alone; 0 lets
  // FFmpeg choose (its frame threads hand pictures over by means a thread checker cannot see).
  int threads = 1;
  int64_t startMs = 0;     // play from this point of the file
  bool loop = false;       // start again at the end (forwards only)
  bool backwards = false;  // frames in falling time order, from startMs or the end
};

class DecodedFeed : public FrameFeed {
 public:
  static constexpr int32_t kMediaOrigin = 100;
  static constexpr int kQueueFrames = 4;
  static constexpr int kBackwardsWindow = 8;

  DecodedFeed(FramePool* pool, const DecodeOptions& options);
  // Stops the thread; frames still queued are released (and counted unplayed).
  ~DecodedFeed() override;

  // Opens the file; false with *error saying what is wrong with it.
  bool open(const std::string& path, std::string* error);
  const VideoStreamInfo& info() const { return file_.info(); }
  // Starts decoding, after open (again after stop).
  void start();
  // Ends decoding and releases the frames not taken.
  void stop();
  // The file's length from its header in media milliseconds (0 when unknown).
  int64_t lengthMs() const { return info().durationMs; }

  bool nextTiming(int32_t* start, uint32_t* duration) override;
  bool exhausted() const override;
  const char* fourCC() const override { return info().alpha ? "BGRA" : "BGRX"; }
  double period() const override { return nominalPeriod_; }
  double displayAspect() const override { return aspect_.load(); }

  // Pictures the decoder gave (backwards play decodes some more than once).
  int64_t decoded() const { return decoded_.load(); }
  // Frames made for playing: handed out, or unplayed.
  int64_t made() const { return made_.load(); }
  // Damaged packets and pictures (see VideoFile), and pictures that could not be converted.
  int64_t damaged() const;
  // Frames made but never handed out (still queued when playing stopped).
  int64_t unplayed() const { return unplayed_.load(); }
  // A problem that ended decoding early, or empty.
  std::string problem() const;

 protected:
  KMC::VideoSample* takeNext() override;
  int64_t endOf(const KMC::VideoSample* frame) const override;
  // Stops decoding, releases what was not taken, and decodes anew from the file time that
  // media time `time` falls on in the current loop pass (clamped to the file).
  bool restartAt(int32_t time, bool backwards) override;

 private:
  void decodeForwards();
  void decodeBackwards();
  // Waits for room in the queue, then converts picture (at file time ms, lasting duration ms)
  // and queues it. Answers false once stopped.
  bool deliver(const AVFrame* picture, int64_t time, double duration, bool final = false);
  // The duration of a picture with no later neighbour.
  double ownDuration(const AVFrame* picture) const;
  void finish(const std::string& problem);
  bool stopRequested() const;

  FramePool* pool_;
  DecodeOptions options_;
  VideoFile file_;  // decoding thread only, after start
  std::unique_ptr<PictureConverter> converter_;
  double nominalPeriod_ = 40;
  int64_t loopOffset_ = 0;  // media time added to this pass's frames (decoding thread)
  int64_t loopStartMs_ = 0;  // where every loop pass starts: the first start point
  bool restarted_ = false;   // repositioned: the file is read from wherever it was left
  std::thread thread_;

  mutable std::mutex lock_;
  std::condition_variable space_;  // with lock_: the queue has room, or stop
  std::deque<KMC::VideoSample*> queue_;
  bool finished_ = false;  // with lock_: the thread will queue no more
  bool stop_ = false;      // with lock_
  std::string problem_;    // with lock_
  int64_t conversionFailures_ = 0;  // with lock_
  const KMC::VideoSample* finalFrame_ = nullptr;  // with lock_: the file's last frame, shown until replaced
  int64_t finalEnd_ = 0;                           // with lock_: its true end

  std::atomic<int64_t> decoded_{0};
  std::atomic<int64_t> made_{0};
  std::atomic<int64_t> unplayed_{0};
  std::atomic<double> aspect_{0};
};

}  // namespace play
