#include "decoded_feed.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace play {

namespace {

// av_frame_free for unique_ptr.
struct FrameDeleter {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
typedef std::unique_ptr<AVFrame, FrameDeleter> FramePointer;

FramePointer newFrame() { return FramePointer(av_frame_alloc()); }

// A decoded picture and its time in milliseconds from the stream's start.
struct TimedPicture {
  FramePointer picture;
  int64_t time;
};

}  // namespace

DecodedFeed::DecodedFeed(FramePool* pool, const DecodeOptions& options)
    : FrameFeed(options.backwards), pool_(pool), options_(options), loopStartMs_(options.startMs) {}

DecodedFeed::~DecodedFeed() { stop(); }

bool DecodedFeed::open(const std::string& path, std::string* error) {
  if (!file_.open(path, options_.threads, error)) return false;
  const VideoStreamInfo& info = file_.info();
  converter_.reset(new PictureConverter(info.alpha));
  if (info.periodMs > 0) nominalPeriod_ = info.periodMs;
  if (info.width > 0 && info.height > 0) aspect_.store(info.width * info.sampleAspect / info.height);
  return true;
}

void DecodedFeed::start() {
  thread_ = std::thread([this] {
    if (options_.backwards) {
      decodeBackwards();
    } else {
      decodeForwards();
    }
  });
}

void DecodedFeed::stop() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    stop_ = true;
  }
  space_.notify_all();
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> hold(lock_);
  for (KMC::VideoSample* frame : queue_) frame->release();
  unplayed_.fetch_add(static_cast<int64_t>(queue_.size()));
  queue_.clear();
  finished_ = true;
}

bool DecodedFeed::restartAt(int32_t time, bool backwards) {
  stop();  // the decoding thread is gone: its fields are this thread's now
  int64_t fileMs = static_cast<int64_t>(time) - kMediaOrigin - loopOffset_;
  int64_t length = info().durationMs;
  fileMs = std::max<int64_t>(fileMs, 0);
  if (length > 0) fileMs = std::min(fileMs, length);
  // Backwards from 0 plays the first picture alone; a start of 0 would mean "from the end".
  if (backwards) fileMs = std::max<int64_t>(fileMs, 1);
  options_.startMs = fileMs;
  options_.backwards = backwards;
  restarted_ = true;
  {
    std::lock_guard<std::mutex> hold(lock_);
    stop_ = false;
    finished_ = false;
    finalFrame_ = nullptr;
    finalEnd_ = 0;
  }
  start();
  return true;
}

bool DecodedFeed::nextTiming(int32_t* start, uint32_t* duration) {
  std::lock_guard<std::mutex> hold(lock_);
  if (queue_.empty()) return false;
  *start = queue_.front()->startTime;
  *duration = queue_.front()->duration;
  return true;
}

KMC::VideoSample* DecodedFeed::takeNext() {
  KMC::VideoSample* frame = nullptr;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (queue_.empty()) return nullptr;
    frame = queue_.front();
    queue_.pop_front();
  }
  space_.notify_all();
  return frame;
}

int64_t DecodedFeed::endOf(const KMC::VideoSample* frame) const {
  std::lock_guard<std::mutex> hold(lock_);
  return frame == finalFrame_ ? finalEnd_ : FrameFeed::endOf(frame);
}

bool DecodedFeed::exhausted() const {
  std::lock_guard<std::mutex> hold(lock_);
  return finished_ && queue_.empty();
}

int64_t DecodedFeed::damaged() const {
  std::lock_guard<std::mutex> hold(lock_);
  return file_.damagedPackets() + conversionFailures_;
}

std::string DecodedFeed::problem() const {
  std::lock_guard<std::mutex> hold(lock_);
  return problem_;
}

void DecodedFeed::finish(const std::string& problem) {
  std::lock_guard<std::mutex> hold(lock_);
  finished_ = true;
  if (problem_.empty()) problem_ = problem;
}

bool DecodedFeed::stopRequested() const {
  std::lock_guard<std::mutex> hold(lock_);
  return stop_;
}

double DecodedFeed::ownDuration(const AVFrame* picture) const {
  double own = file_.frameDuration(picture);
  return own > 0 ? own : nominalPeriod_;
}

bool DecodedFeed::deliver(const AVFrame* picture, int64_t time, double duration, bool final) {
  {
    // Room first, then the frame: at most kQueueFrames are made ahead of the taker. This
    // thread alone fills the queue, so the room stays.
    std::unique_lock<std::mutex> hold(lock_);
    space_.wait(hold, [this] { return stop_ || queue_.size() < static_cast<size_t>(kQueueFrames); });
    if (stop_) return false;
  }
  int64_t start = std::max<int64_t>(kMediaOrigin + loopOffset_ + time, 1);
  uint32_t length = static_cast<uint32_t>(std::max<int64_t>(std::llround(duration), 1));
  PooledFrame* frame = converter_->convert(picture, pool_, static_cast<int32_t>(std::min<int64_t>(start, INT32_MAX)), length);
  std::lock_guard<std::mutex> hold(lock_);
  if (!frame) {
    ++conversionFailures_;
    return true;
  }
  made_.fetch_add(1);
  if (final) {
    finalFrame_ = frame;
    finalEnd_ = static_cast<int64_t>(frame->startTime) + frame->duration;
    frame->duration = 0;
  }
  if (picture->sample_aspect_ratio.num > 0 && picture->sample_aspect_ratio.den > 0) {
    aspect_.store(picture->width * av_q2d(picture->sample_aspect_ratio) / picture->height);
  } else {
    aspect_.store(picture->width * file_.info().sampleAspect / picture->height);
  }
  queue_.push_back(frame);
  return true;
}

void DecodedFeed::decodeForwards() {
  if ((options_.startMs > 0 || restarted_) && !file_.seek(options_.startMs)) {
    finish("cannot seek to the start point");
    return;
  }
  FramePointer picture = newFrame(), pending = newFrame();
  if (!picture || !pending) {
    finish("out of memory");
    return;
  }
  bool havePending = false;
  int64_t pendingTime = 0;
  // This pass's played span, for the next pass's offset.
  int64_t passStart = INT64_MIN, passEnd = INT64_MIN;
  // A pass entered by a seek counts from where passes start, so the next one follows on.
  if (restarted_ && options_.loop) passStart = loopStartMs_;
  std::string problem;
  while (!stopRequested()) {
    if (!file_.nextFrame(picture.get())) {
      if (havePending) {
        double length = ownDuration(pending.get());
        if (passStart == INT64_MIN) passStart = pendingTime;
        passEnd = pendingTime + std::llround(length);
        if (!deliver(pending.get(), pendingTime, length, !options_.loop)) break;
        havePending = false;
      }
      if (!options_.loop || passStart == INT64_MIN) break;
      options_.startMs = loopStartMs_;
      if (!file_.seek(options_.startMs)) {
        problem = "cannot seek back to loop";
        break;
      }
      loopOffset_ += passEnd - passStart;
      passStart = passEnd = INT64_MIN;
      continue;
    }
    decoded_.fetch_add(1);
    int64_t time = file_.frameTime(picture.get());
    // A picture without a timestamp, or one that goes back, follows its predecessor.
    if (havePending && (time == INT64_MIN || time <= pendingTime)) time = pendingTime + std::llround(nominalPeriod_);
    if (time == INT64_MIN) time = 0;
    if (havePending) {
      // Before the start point a picture only matters until the next one replaces it.
      if (time > options_.startMs || options_.startMs <= 0) {
        if (passStart == INT64_MIN) passStart = pendingTime;
        if (!deliver(pending.get(), pendingTime, static_cast<double>(time - pendingTime))) break;
      }
    }
    av_frame_unref(pending.get());
    av_frame_move_ref(pending.get(), picture.get());
    pendingTime = time;
    havePending = true;
  }
  finish(problem);
}

void DecodedFeed::decodeBackwards() {
  // Pictures at or after limit are played already (or lie after the start point).
  int64_t limit = options_.startMs > 0 ? options_.startMs + 1 : INT64_MAX;
  // The start of the picture played just before, which ends the newest picture of a window.
  int64_t followingStart = INT64_MIN;
  int64_t reach = 0;  // how far before limit the seek goes, beyond the key frame search
  FramePointer picture = newFrame();
  if (!picture) {
    finish("out of memory");
    return;
  }
  std::string problem;
  while (!stopRequested()) {
    int64_t seekTo = limit == INT64_MAX ? file_.info().durationMs - reach : limit - 1 - reach;
    seekTo = std::max<int64_t>(seekTo, 0);
    if (!file_.seek(seekTo)) {
      problem = "cannot seek, which backwards play needs";
      break;
    }
    std::deque<TimedPicture> window;
    bool olderDropped = false;
    int64_t previous = INT64_MIN;
    while (!stopRequested() && file_.nextFrame(picture.get())) {
      decoded_.fetch_add(1);
      int64_t time = file_.frameTime(picture.get());
      if (time == INT64_MIN || time <= previous) time = previous == INT64_MIN ? 0 : previous + std::llround(nominalPeriod_);
      previous = time;
      if (time >= limit) break;
      FramePointer kept = newFrame();
      if (!kept) break;
      av_frame_move_ref(kept.get(), picture.get());
      window.push_back(TimedPicture{std::move(kept), time});
      if (window.size() > static_cast<size_t>(kBackwardsWindow)) {
        window.pop_front();
        olderDropped = true;
      }
    }
    if (window.empty()) {
      if (seekTo == 0) break;  // nothing before limit: the first picture was played
      reach = std::max<int64_t>(2 * reach, 1000);  // the key frame lies further back
      continue;
    }
    bool stopped = false;
    for (size_t i = window.size(); i-- > 0 && !stopped;) {
      const TimedPicture& item = window[i];
      int64_t end = i + 1 < window.size() ? window[i + 1].time
                    : followingStart != INT64_MIN ? followingStart
                                                  : item.time + std::llround(ownDuration(item.picture.get()));
      stopped = !deliver(item.picture.get(), item.time, static_cast<double>(std::max<int64_t>(end - item.time, 1)));
    }
    if (stopped) break;
    if (seekTo == 0 && !olderDropped) break;  // the window began at the first picture
    followingStart = window.front().time;
    limit = window.front().time;
    reach = 0;
  }
  finish(problem);
}

}  // namespace play
