// What the run plays: one feed per stream, either the built-in clip's channels (and its
// overlay) or a decoder per file (per copy of a file with --channels N), with the frame pool
// all of them make their frames in.
//
// Owns the feeds, their names, the decoders and the pool; the pool outlives every frame
// (the session releases the plug-in before the media). The main thread opens, starts and
// stops it; the feeds themselves are taken from by the feeder and the pull channels.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "clip.h"
#include "clip_frames.h"
#include "decoded_feed.h"
#include "frame_feed.h"
#include "frame_pool.h"
#include "player_options.h"

namespace play {

class MediaSet {
 public:
  explicit MediaSet(const PlayerOptions& options);
  MediaSet(const MediaSet&) = delete;
  MediaSet& operator=(const MediaSet&) = delete;

  // Makes the feeds; a file that cannot be opened is named on err and left out. False when
  // there is nothing to play.
  bool open(std::ostream& err);
  bool playsFiles() const { return !options_.files.empty(); }

  // With files: the window that fits the first picture's display size in each tile, shrunk
  // to fit a common screen.
  void fittingWindowSize(int* width, int* height) const;

  // Starts the decoders; answers the media time of the first frame in play direction over
  // all streams, waiting up to 10 s for each decoder's first frame (less when the run is
  // stopped meanwhile).
  int32_t startAndFindFirstTime();
  // The media span seeks stay within.
  void seekSpan(int64_t* first, int64_t* last) const;
  void stopDecoding();

  size_t count() const { return feeds_.size(); }
  FrameFeed* feed(size_t stream) const { return feeds_[stream].get(); }
  const std::string& name(size_t stream) const { return names_[stream]; }
  DecodedFeed* decoder(size_t stream) const { return decoders_[stream]; }  // null for the clip
  // The clip's output area of a stream: its overlay on top, or its tile among `pictures`.
  bool isOverlay(size_t stream) const { return !playsFiles() && clipFrames_.isOverlay(static_cast<int>(stream)); }
  int clipFrameCount() const { return clipFrames_.frameCount(); }
  const FramePool& pool() const { return pool_; }

 private:
  const PlayerOptions& options_;
  bool reverse_;
  ClipTiming timing_;
  FramePool pool_;
  ClipFrames clipFrames_;
  std::vector<std::unique_ptr<FrameFeed>> feeds_;  // after the pool: goes first, returning its frames
  std::vector<std::string> names_;
  std::vector<DecodedFeed*> decoders_;  // by feed; null for clip channels
};

}  // namespace play
