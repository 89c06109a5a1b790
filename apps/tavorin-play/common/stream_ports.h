// The streams as the output sees them: per stream a port of the output (push or pull), the
// engine's stream object and descriptor, the pull source when the channel pulls, the tile
// the picture is fitted into, and the count of frames handed over.
//
// Owns the streams and their ports' life: open() creates and connects the ports, start()
// runs them and selects every channel, place() hands each port its output rectangle when it
// changes (a window resize, or a picture of another shape), close() disconnects and removes
// them. The main thread calls all of it; the push feeder reads the streams while it runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "abi/interfaces.h"
#include "decoded_feed.h"
#include "engine/engine_stream.h"
#include "frame_feed.h"
#include "media_set.h"
#include "playback_control.h"
#include "player_options.h"
#include "tile_layout.h"

namespace play {

struct Stream {
  int32_t channelId = 0;
  std::string name;
  KMC::StreamDescriptor descriptor{};
  std::unique_ptr<host::EngineStream> peer;
  FrameFeed* feed = nullptr;
  DecodedFeed* decoder = nullptr;      // files only
  std::unique_ptr<FeedSource> source;  // pull channels only
  KMC::PortInterface* port = nullptr;
  Fractions tile{};                    // the stream's tile; its picture is fitted inside
  Fractions shownRect{-1, -1, -1, -1}; // the output rectangle last given to the port
  // Frames pushed so far: written by the feeder thread, read by the main thread. Held by
  // pointer so that streams stay movable in their vector.
  std::unique_ptr<std::atomic<int64_t>> delivered{new std::atomic<int64_t>(0)};

  int64_t handedOut() const { return source ? feed->handedOut() : delivered->load(); }
};

class StreamPorts {
 public:
  // One stream per feed of media, channel ids from 1, each with a port of output connected.
  // False with a message on err (the ports made so far stay for close()).
  bool open(const MediaSet& media, const PlayerOptions& options, KMC::OutputInterface* output, std::ostream& err);
  // What playback control seeks and flushes.
  std::vector<PlaybackControl::Target> targets() const;
  // Runs every port, selects every channel (the first stream drawn at the bottom) and
  // activates the output.
  bool start(KMC::ComponentInterface* component);
  // Gives each port its output rectangle in a window of width x height, where it changed.
  void place(int32_t width, int32_t height);
  // Disconnects every port, then removes them (removePort waits until the output thread has
  // retired the channel).
  void close(KMC::OutputInterface* output, std::ostream& err);

  std::vector<Stream>& streams() { return streams_; }
  const std::vector<Stream>& streams() const { return streams_; }

 private:
  std::vector<Stream> streams_;
};

}  // namespace play
