#include "player.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "clip.h"
#include "clip_frames.h"
#include "decoded_feed.h"
#include "engine/engine_stream.h"
#include "engine/host_window.h"
#include "engine/engine_component.h"
#include "engine/library_loader.h"
#include "engine/media_clock.h"
#include "engine/plugin_host.h"
#include "frame_pool.h"
#include "framework/identifiers.h"
#include "framework/interfaces.h"
#include "framework/plugin.h"
#include "play_report.h"
#include "player_context.h"
#include "png_writer.h"
#include "tile_layout.h"
#include "x11_presenter.h"

namespace play {

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

// Push channels are kept this many frames ahead of the clock: enough to ride out a late
// feeding pass, few enough that frames are made just in time.
const int kAheadFrames = 4;

// How long past the end the output gets to present or drop its last frames.
const double kEndGraceSeconds = 1.0;

typedef std::chrono::steady_clock Steady;

double secondsSince(Steady::time_point start) {
  return std::chrono::duration<double>(Steady::now() - start).count();
}

double processCpuMilliseconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

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

class Session {
 public:
  Session(const PlayerOptions& options, std::ostream& out, std::ostream& err)
      : options_(options),
        out_(out),
        err_(err),
        timing_(options.fps, options.seconds),
        reverse_(options.rate < 0),
        clock_(0, options.rate),
        window_(std::max(options.windowWidth, 1), std::max(options.windowHeight, 1)),
        context_(&clock_, window_.handle(), std::max(options.windowWidth, 1), std::max(options.windowHeight, 1)),
        frames_(&pool_, timing_, options.frameWidth, options.frameHeight, options.channels, reverse_),
        engine_("tavorin-play") {}

  // The window must not outlive the presenter's image it may draw into.
  ~Session() { detachWindowFromPresenter(); }

  int run();

 private:
  // Makes one feed per stream: the clip's channels, or a decoder per file (a file that cannot
  // be opened is named and left out). Answers false when there is nothing to play.
  bool openMedia();
  // With files and no --window: the window fits the first picture's display size per tile.
  void chooseWindowSize();
  // Starts the decoders and sets the clock to the first frame in play direction.
  void positionClock();
  // Gives each port its output rectangle: its tile, or its picture fitted into its tile.
  void placeStreams();
  // The clock has passed every frame handed out, or --seconds of media time are over.
  bool playOver(int32_t now);
  bool openWindow();
  bool loadPlugin();
  bool createOutput();
  bool openStreams();
  void play();
  void feedPushChannels();
  // A resize reaches the window surface and the renderer's drawing rectangle.
  void handleWindowEvents(const X11Presenter::Events& events);
  // The window surface becomes the presenter's image, so the renderer's window copy is all
  // the copying a picture needs before the X request; false when the image cannot serve.
  bool drawIntoPresenterImage(int width, int height);
  void detachWindowFromPresenter();
  void pumpWindow();
  void showProgress(bool last);
  void closeStreams();
  void releasePlugin();
  bool writeSnapshot();
  PlayReport report() const;

  PlayerOptions options_;
  std::ostream& out_;
  std::ostream& err_;
  ClipTiming timing_;
  bool reverse_;
  host::RealTimeMediaClock clock_;
  host::HostWindow window_;
  PlayerContext context_;
  FramePool pool_;
  ClipFrames frames_;
  std::vector<std::unique_ptr<FrameFeed>> feeds_;
  std::vector<std::string> feedNames_;
  std::vector<DecodedFeed*> decoders_;  // by feed; null for clip channels
  int32_t clockStart_ = 0;
  Steady::time_point endReached_;  // when the clock first passed every frame
  std::unique_ptr<X11Presenter> presenter_;
  uint32_t shownGeneration_ = 0;

  std::unique_ptr<host::LibraryLoader> library_;
  host::RecordingPluginHost pluginHost_;
  host::EngineComponent engine_;
  KMC::ComponentInterface* component_ = nullptr;
  KMC::OutputInterface* output_ = nullptr;
  bool created_ = false;
  std::vector<Stream> streams_;

  std::atomic<bool> stopFeeding_{false};
  Steady::time_point playStart_;
  double playSeconds_ = 0;
  uint32_t generationAtStart_ = 0;
  uint32_t generationAtEnd_ = 0;
  Steady::time_point lastProgress_;
  bool progressOnTerminal_ = false;
};

bool Session::openMedia() {
  if (options_.files.empty()) {
    int count = options_.channels + (options_.overlay ? 1 : 0);
    for (int s = 0; s < count; ++s) {
      feeds_.emplace_back(new ClipFeed(&frames_, s));
      feedNames_.push_back(frames_.isOverlay(s) ? "overlay" : "clip");
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
        err_ << "tavorin-play: " << path << ": " << error << "\n";
        break;
      }
      decoders_.push_back(decoder.get());
      feedNames_.push_back(path);
      feeds_.emplace_back(decoder.release());
    }
  }
  if (feeds_.empty()) {
    err_ << "tavorin-play: none of the files could be played\n";
    return false;
  }
  return true;
}

void Session::chooseWindowSize() {
  if (options_.windowWidth > 0) return;
  const VideoStreamInfo& first = decoders_.front()->info();
  double tileWidth = first.width > 0 ? first.width * first.sampleAspect : 640;
  double tileHeight = first.height > 0 ? first.height : 360;
  int columns = 1, rows = 1;
  if (!options_.stack) gridShape(static_cast<int>(feeds_.size()), &columns, &rows);
  double width = tileWidth * columns, height = tileHeight * rows;
  // Large pictures get a window that fits a common screen.
  double shrink = std::min({1.0, 1920.0 / width, 1080.0 / height});
  options_.windowWidth = std::max(16, static_cast<int>(std::lround(width * shrink)));
  options_.windowHeight = std::max(16, static_cast<int>(std::lround(height * shrink)));
  window_.resize(options_.windowWidth, options_.windowHeight);
  context_.resizeDrawing(options_.windowWidth, options_.windowHeight);
}

void Session::positionClock() {
  for (DecodedFeed* decoder : decoders_) {
    if (decoder) decoder->start();
  }
  // The clock starts at the first frame in play direction over all streams.
  Steady::time_point since = Steady::now();
  int64_t start = reverse_ ? INT64_MIN : INT64_MAX;
  for (const std::unique_ptr<FrameFeed>& feed : feeds_) {
    int32_t first = 0;
    uint32_t duration = 0;
    while (!feed->nextTiming(&first, &duration) && !feed->exhausted() && secondsSince(since) < 10.0 &&
           !g_stopRequested) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!feed->nextTiming(&first, &duration)) continue;
    start = reverse_ ? std::max<int64_t>(start, static_cast<int64_t>(first) + duration) : std::min<int64_t>(start, first);
  }
  if (start == INT64_MIN || start == INT64_MAX) start = DecodedFeed::kMediaOrigin;
  clockStart_ = static_cast<int32_t>(start);
  clock_.seek(clockStart_);
}

void Session::placeStreams() {
  int32_t width = window_.width(), height = window_.height();
  for (Stream& stream : streams_) {
    if (!stream.port) continue;
    Fractions f = fitAspect(stream.tile, stream.feed->displayAspect(), width, height);
    if (f.left == stream.shownRect.left && f.top == stream.shownRect.top && f.right == stream.shownRect.right &&
        f.bottom == stream.shownRect.bottom) {
      continue;
    }
    stream.shownRect = f;
    KMC::RectFloat rect(f.left, f.top, f.right, f.bottom);
    KMC::PropertyValue where = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, &rect);
    stream.port->setPortValue(KMC::kValueSetOutputRect, &where);
  }
}

bool Session::playOver(int32_t now) {
  if (!options_.files.empty() && options_.secondsGiven &&
      std::abs(static_cast<int64_t>(now) - clockStart_) >= std::llround(options_.seconds * 1000)) {
    return true;
  }
  for (const Stream& stream : streams_) {
    if (!stream.feed->exhausted()) return false;
    if (stream.feed->handedOut() == 0) continue;
    if (reverse_ ? now > stream.feed->lastStart() : now < stream.feed->lastEnd()) return false;
  }
  // The clock is past every frame; a slow output may still be on the last ones. Give it a
  // moment to present or drop them, so the report accounts for every frame delivered.
  if (endReached_ == Steady::time_point()) endReached_ = Steady::now();
  if (secondsSince(endReached_) >= kEndGraceSeconds) return true;
  for (const Stream& stream : streams_) {
    PlayerContext::Tally tally = context_.tally(stream.channelId);
    if (tally.presented + tally.dropped < stream.handedOut()) return false;
  }
  return true;
}

bool Session::openWindow() {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) return true;  // off-screen: the surface alone
  presenter_.reset(new X11Presenter);
  std::string error;
  if (!presenter_->open(options_.windowWidth, options_.windowHeight, "tavorin-play", &error)) {
    err_ << "tavorin-play: " << error << " (unset DISPLAY to play off-screen)\n";
    return false;
  }
  if (!presenter_->sharedMemory()) err_ << "tavorin-play: no shared memory images: " << presenter_->sharedMemoryNote() << "\n";
  drawIntoPresenterImage(options_.windowWidth, options_.windowHeight);
  // Show nothing before the server has exposed the window: the first picture would be lost.
  Steady::time_point start = Steady::now();
  while (!presenter_->mapped() && secondsSince(start) < 5.0) {
    handleWindowEvents(presenter_->pump());
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

bool Session::loadPlugin() {
  std::string path = options_.pluginPath.empty() ? host::defaultPluginPath() : options_.pluginPath;
  library_.reset(new host::LibraryLoader(path));
  if (!library_->isLoaded()) {
    err_ << "tavorin-play: cannot load the plug-in '" << path << "': " << library_->error() << "\n";
    return false;
  }
  if (!engine_.open(*library_, &pluginHost_)) {
    err_ << "tavorin-play: '" << path << "': " << engine_.error() << "\n";
    return false;
  }
  component_ = engine_.component();
  output_ = engine_.output();
  return true;
}

bool Session::createOutput() {
  context_.setSetting("VideoDriver|FormatCache", "Enabled", options_.formatCache ? 1 : 0);
  // Returns once the renderer has its window: PlayerContext hands the window over when the
  // renderer gives it the adapter.
  if (!component_->create(&context_)) {
    err_ << "tavorin-play: the output could not be created\n";
    return false;
  }
  created_ = true;
  return true;
}

bool Session::openStreams() {
  int count = static_cast<int>(feeds_.size());
  int pictures = options_.files.empty() ? options_.channels : count;
  streams_.resize(static_cast<size_t>(count));
  std::list<int32_t> selection;  // drawing order: the first stream at the bottom
  for (int s = 0; s < count; ++s) {
    Stream& stream = streams_[static_cast<size_t>(s)];
    stream.channelId = s + 1;
    stream.name = feedNames_[static_cast<size_t>(s)];
    stream.feed = feeds_[static_cast<size_t>(s)].get();
    stream.decoder = decoders_[static_cast<size_t>(s)];
    stream.descriptor = host::makeStreamDescriptor(stream.feed->fourCC(), KMC::kStreamVideo);
    stream.peer.reset(new host::EngineStream(stream.channelId));
    if (options_.pull) stream.source.reset(new FeedSource(stream.feed));
    if (!options_.files.empty()) {
      stream.tile = options_.stack ? Fractions{0, 0, 1, 1} : gridTile(s, pictures, 0);
    } else {
      stream.tile = frames_.isOverlay(s) ? layout::overlayArea() : layout::pictureTile(s, pictures);
    }
    stream.port = output_->createPort(options_.pull ? KMC::kChannelPull : KMC::kChannelPush, &stream.descriptor, stream.peer.get());
    if (!stream.port) {
      err_ << "tavorin-play: the output refused a port for channel " << stream.channelId << "\n";
      return false;
    }
    KMC::PropertyValue source = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, stream.source.get());
    stream.port->portCommand(KMC::kCommandConnect, &source);
    selection.push_back(stream.channelId);
  }
  placeStreams();
  KMC::PropertyValue none;
  for (Stream& stream : streams_) stream.port->portCommand(KMC::kCommandRun, &none);
  KMC::PropertyValue ids = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, &selection);
  component_->setParameter(KMC::kParameterSelectChannels, &ids);
  component_->sendCommand(KMC::kCommandActivate, 0);
  return true;
}

// Pushes every frame that falls within kAheadFrames of the clock (in play direction).
void Session::feedPushChannels() {
  double shortest = 1000;
  for (const Stream& stream : streams_) shortest = std::min(shortest, stream.feed->period());
  while (!stopFeeding_.load()) {
    int64_t now = clock_.currentTime();
    for (Stream& stream : streams_) {
      double ahead = kAheadFrames * stream.feed->period();
      int32_t start = 0;
      uint32_t duration = 0;
      while (stream.feed->nextTiming(&start, &duration)) {
        bool due = reverse_ ? start + static_cast<int64_t>(duration) >= now - ahead : start <= now + ahead;
        if (!due) break;
        KMC::PropertyValue value = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, stream.feed->take());
        // The frame belongs to the channel from here on, whatever the answer.
        stream.port->setPortValue(KMC::kValueDeliverFrame, &value);
        stream.delivered->fetch_add(1);
      }
    }
    // A quarter period keeps the queue topped up; the clock's rate stretches media time.
    double wait = shortest / 4 * 1000.0 / std::abs(options_.rate);
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<int64_t>(std::clamp(wait, 1.0, 10.0) * 1000)));
  }
}

void Session::handleWindowEvents(const X11Presenter::Events& events) {
  if (events.closeRequested) g_stopRequested = 1;
  if (events.resized) {
    if (!drawIntoPresenterImage(events.width, events.height)) window_.resize(events.width, events.height);
    context_.resizeDrawing(events.width, events.height);
    placeStreams();
  }
}

bool Session::drawIntoPresenterImage(int width, int height) {
  return presenter_ && window_.drawInto(presenter_->imagePixels(), width, height);
}

void Session::detachWindowFromPresenter() {
  if (presenter_) window_.resize(window_.width(), window_.height());
}

void Session::pumpWindow() {
  if (!presenter_) return;
  X11Presenter::Events events = presenter_->pump();
  handleWindowEvents(events);
  uint32_t generation = window_.generation();
  if (generation == shownGeneration_ && !events.exposed && !events.resized) return;
  shownGeneration_ = generation;
  window_.withPixels([&](const uint32_t* pixels, int32_t w, int32_t h) { presenter_->present(pixels, w, h); });
}

void Session::showProgress(bool last) {
  if (!last && secondsSince(lastProgress_) < (progressOnTerminal_ ? 0.25 : 1.0)) return;
  lastProgress_ = Steady::now();
  char line[200];
  std::snprintf(line, sizeof line, "playing %6.2f s  media %7d ms  presented %6lld  dropped %5lld  redraws %6u",
                secondsSince(playStart_), clock_.currentTime(), static_cast<long long>(context_.presented()),
                static_cast<long long>(context_.dropped()), window_.generation() - generationAtStart_);
  if (progressOnTerminal_) {
    err_ << "\r" << line << (last ? "\n" : "") << std::flush;
  } else {
    err_ << line << "\n" << std::flush;
  }
}

void Session::play() {
  std::thread feeder;
  if (!options_.pull) feeder = std::thread([this] { feedPushChannels(); });
  // Let the first frames reach the channels before the clock moves.
  Steady::time_point prefill = Steady::now();
  int wanted = options_.pull ? 2 : kAheadFrames;
  while (secondsSince(prefill) < 2.0) {
    bool ready = true;
    for (const Stream& stream : streams_) {
      if (stream.handedOut() < wanted && !stream.feed->exhausted()) ready = false;
    }
    if (ready) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  progressOnTerminal_ = isatty(STDERR_FILENO);
  playStart_ = lastProgress_ = Steady::now();
  generationAtStart_ = window_.generation();
  clock_.play();
  while (!g_stopRequested && !playOver(clock_.currentTime())) {
    placeStreams();  // a picture of another shape (a size change mid-stream) gets its own fit
    pumpWindow();
    showProgress(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  // Freeze the picture: with the clock stopped no shown frame expires before the snapshot.
  clock_.pause();
  playSeconds_ = secondsSince(playStart_);
  generationAtEnd_ = window_.generation();
  stopFeeding_.store(true);
  if (feeder.joinable()) feeder.join();
  for (DecodedFeed* decoder : decoders_) {
    if (decoder) decoder->stop();
  }
  pumpWindow();
  showProgress(true);
}

void Session::closeStreams() {
  KMC::PropertyValue none;
  for (Stream& stream : streams_) {
    if (stream.port) stream.port->portCommand(KMC::kCommandDisconnect, &none);
  }
  // removePort waits until the output thread has retired the disconnected channel.
  for (Stream& stream : streams_) {
    if (stream.port && !output_->removePort(stream.port)) {
      err_ << "tavorin-play: the output did not know the port of channel " << stream.channelId << "\n";
    }
    stream.port = nullptr;
  }
}

void Session::releasePlugin() {
  if (created_) component_->destroy();
  created_ = false;
  engine_.release();
  component_ = nullptr;
  output_ = nullptr;
}

bool Session::writeSnapshot() {
  int32_t width = 0, height = 0;
  std::vector<uint32_t> pixels = window_.readPixels(&width, &height);
  std::string error;
  if (!writePng(options_.snapshotPath, pixels, width, height, &error)) {
    err_ << "tavorin-play: snapshot: " << error << "\n";
    return false;
  }
  return true;
}

PlayReport Session::report() const {
  PlayReport r;
  bool files = !options_.files.empty();
  r.expected = files ? 0 : static_cast<int64_t>(frames_.frameCount()) * static_cast<int64_t>(streams_.size());
  for (const Stream& stream : streams_) {
    StreamReport s;
    s.channelId = stream.channelId;
    s.name = stream.name;
    s.delivered = stream.handedOut();
    PlayerContext::Tally tally = context_.tally(stream.channelId);
    s.presented = tally.presented;
    s.dropped = tally.dropped;
    s.lateness = summarizeLateness(tally.lateness);
    if (stream.decoder) {
      s.decoded = stream.decoder->decoded();
      s.damaged = stream.decoder->damaged();
      s.unplayed = stream.decoder->unplayed();
      s.problem = stream.decoder->problem();
      r.expected += stream.decoder->made();
    }
    r.delivered += s.delivered;
    r.damaged += s.damaged;
    r.unplayed += s.unplayed;
    r.streams.push_back(s);
  }
  PlayerContext::Tally total = context_.tally();
  r.presented = total.presented;
  r.dropped = total.dropped;
  r.lateness = summarizeLateness(total.lateness);
  r.redraws = generationAtEnd_ - generationAtStart_;
  r.seconds = playSeconds_;
  r.framesMade = pool_.created();
  r.buffersAllocated = pool_.buffersAllocated();
  r.framesReleased = pool_.released();
  r.extraReleases = pool_.extraReleases();
  r.releasedOk = pool_.allReleasedExactlyOnce();
  r.cpuMs = processCpuMilliseconds();
  r.window = !presenter_ ? "offscreen" : presenter_->sharedMemory() ? "x11-shm" : "x11";
  return r;
}

int Session::run() {
  if (!openMedia()) return kExitNoMedia;
  if (!options_.files.empty()) chooseWindowSize();
  positionClock();
  if (!openWindow() || !loadPlugin()) {
    releasePlugin();
    return kExitFailure;
  }
  if (!createOutput() || !openStreams()) {
    closeStreams();
    releasePlugin();
    return kExitFailure;
  }
  play();
  bool snapshotOk = options_.snapshotPath.empty() || writeSnapshot();
  closeStreams();
  releasePlugin();
  PlayReport result = report();
  out_ << formatReport(result) << std::flush;
  if (!result.releasedOk) {
    err_ << "tavorin-play: frames were not released exactly once\n";
    return kExitFrameLedger;
  }
  return snapshotOk ? kExitOk : kExitFailure;
}

}  // namespace

void requestStop() { g_stopRequested = 1; }

int runPlayer(const PlayerOptions& options, std::ostream& out, std::ostream& err) {
  Session session(options, out, err);
  return session.run();
}

}  // namespace play
