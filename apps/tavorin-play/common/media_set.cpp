#include "media_set.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <ostream>
#include <thread>

#include "stop_request.h"
#include "tile_layout.h"

namespace play {

MediaSet::MediaSet(const PlayerOptions& options)
    : options_(options),
      reverse_(options.rate < 0),
      timing_(options.fps, options.seconds),
      clipFrames_(&pool_, timing_, options.frameWidth, options.frameHeight, options.channels, reverse_) {}

bool MediaSet::open(std::ostream& err) {
  if (options_.files.empty()) {
    int count = options_.channels + (options_.overlay ? 1 : 0);
    for (int s = 0; s < count; ++s) {
      feeds_.emplace_back(new ClipFeed(&clipFrames_, s));
      names_.push_back(clipFrames_.isOverlay(s) ? "overlay" : "clip");
      decoders_.push_back(nullptr);
    }
    return true;
  }
  DecodeOptions decoding;
  decoding.threads = options_.decodeThreads;
  decoding.startMs = std::llround(options_.startSeconds * 1000);
  decoding.loop = options_.loop;
  decoding.backwards = reverse_;
  // --channels N with one file plays N copies, each decoded on its own.
  int copies = options_.files.size() == 1 ? options_.channels : 1;
  for (const std::string& path : options_.files) {
    for (int copy = 0; copy < copies; ++copy) {
      std::unique_ptr<DecodedFeed> decoder(new DecodedFeed(&pool_, decoding));
      std::string error;
      if (!decoder->open(path, &error)) {
        err << "tavorin-play: " << path << ": " << error << "\n";
        break;
      }
      decoders_.push_back(decoder.get());
      names_.push_back(path);
      feeds_.emplace_back(decoder.release());
    }
  }
  if (feeds_.empty()) {
    err << "tavorin-play: none of the files could be played\n";
    return false;
  }
  return true;
}

void MediaSet::fittingWindowSize(int* width, int* height) const {
  const VideoStreamInfo& first = decoders_.front()->info();
  double tileWidth = first.width > 0 ? first.width * first.sampleAspect : 640;
  double tileHeight = first.height > 0 ? first.height : 360;
  int columns = 1, rows = 1;
  if (!options_.stack) gridShape(static_cast<int>(feeds_.size()), &columns, &rows);
  double w = tileWidth * columns, h = tileHeight * rows;
  // Large pictures get a window that fits a common screen.
  double shrink = std::min({1.0, 1920.0 / w, 1080.0 / h});
  *width = std::max(16, static_cast<int>(std::lround(w * shrink)));
  *height = std::max(16, static_cast<int>(std::lround(h * shrink)));
}

int32_t MediaSet::startAndFindFirstTime() {
  for (DecodedFeed* decoder : decoders_) {
    if (decoder) decoder->start();
  }
  std::chrono::steady_clock::time_point since = std::chrono::steady_clock::now();
  int64_t start = reverse_ ? INT64_MIN : INT64_MAX;
  for (const std::unique_ptr<FrameFeed>& feed : feeds_) {
    int32_t first = 0;
    uint32_t duration = 0;
    while (!feed->nextTiming(&first, &duration) && !feed->exhausted() &&
           std::chrono::steady_clock::now() - since < std::chrono::seconds(10) && !stopRequested()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!feed->nextTiming(&first, &duration)) continue;
    start = reverse_ ? std::max<int64_t>(start, static_cast<int64_t>(first) + duration) : std::min<int64_t>(start, first);
  }
  if (start == INT64_MIN || start == INT64_MAX) start = DecodedFeed::kMediaOrigin;
  return static_cast<int32_t>(start);
}

void MediaSet::seekSpan(int64_t* first, int64_t* last) const {
  if (options_.files.empty()) {
    *first = timing_.firstStart();
    *last = timing_.startTime(timing_.frameCount() - 1);
    return;
  }
  int64_t longest = 0;
  for (DecodedFeed* decoder : decoders_) longest = std::max(longest, decoder ? decoder->lengthMs() : 0);
  bool open = options_.loop || longest <= 0;
  *first = DecodedFeed::kMediaOrigin;
  *last = open ? INT32_MAX : DecodedFeed::kMediaOrigin + longest;
}

void MediaSet::stopDecoding() {
  for (DecodedFeed* decoder : decoders_) {
    if (decoder) decoder->stop();
  }
}

}  // namespace play
