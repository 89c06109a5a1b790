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
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "clip.h"
#include "clip_frames.h"
#include "key_commands.h"
#include "decoded_feed.h"
#include "engine/engine_component.h"
#include "engine/engine_stream.h"
#include "engine/engine_values.h"
#include "engine/host_window.h"
#include "engine/library_loader.h"
#include "engine/media_clock.h"
#include "engine/plugin_host.h"
#include "frame_pool.h"
#include "abi/interfaces.h"
#include "abi/plugin.h"
#include "play_report.h"
#include "playback_control.h"
#include "player_context.h"
#include "png_writer.h"
#include "tile_layout.h"
#include "timing_chart.h"
#include "timing_log.h"
#include "x11_full_screen.h"
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

// The one-minute load average of the machine, or -1.
double loadAverage() {
  double load[1] = {-1};
  return getloadavg(load, 1) == 1 ? load[0] : -1;
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
        context_(&clock_, window_.handle(), std::max(options.windowWidth, 1), std::max(options.windowHeight, 1), &timingLog_),
        control_(&clock_, options.rate, &timingLog_),
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
  // A resize reaches the window surface and the renderer's drawing rectangle; keys become
  // commands.
  void handleWindowEvents(const X11Presenter::Events& events);
  // The window surface becomes the presenter's image, so the renderer's window copy is all
  // the copying a picture needs before the X request; false when the image cannot serve.
  bool drawIntoPresenterImage(int width, int height);
  void detachWindowFromPresenter();
  void pumpWindow();
  // What a key does: playback commands go to the control, the rest are the player's own.
  void perform(const Command& command);
  // Plays the --script step that is due, if any.
  void runScript();
  // Notes a redraw of the window in the timing log.
  void noteRedraws();
  // Writes the numbered snapshots asked for, once every stream shows a frame of the current
  // stretch of play and the window has been drawn since.
  void writePendingSnapshots();
  bool settled() const;
  // The state line: once a second, at once when `now` (a key changed the state), and last.
  void showProgress(bool last, bool now = false);
  bool writeTimingChart();
  void closeStreams();
  void releasePlugin();
  bool writeSnapshot();
  PlayReport report() const;

  PlayerOptions options_;
  std::ostream& out_;
  std::ostream& err_;
  ClipTiming timing_;
  bool reverse_;  // the direction the run began in
  host::RealTimeMediaClock clock_;
  host::HostWindow window_;
  TimingLog timingLog_;
  PlayerContext context_;
  PlaybackControl control_;
  FramePool pool_;
  ClipFrames frames_;
  std::vector<std::unique_ptr<FrameFeed>> feeds_;
  std::vector<std::string> feedNames_;
  std::vector<DecodedFeed*> decoders_;  // by feed; null for clip channels
  int32_t clockStart_ = 0;
  Steady::time_point endReached_;  // when the clock first passed every frame
  std::unique_ptr<X11Presenter> presenter_;
  std::unique_ptr<X11FullScreen> fullScreen_;
  uint32_t shownGeneration_ = 0;
  bool quit_ = false;
  int32_t endSegment_ = 0;  // the segment endReached_ was seen in

  size_t scriptStep_ = 0;
  bool scriptArmed_ = false;
  Steady::time_point scriptLast_;  // when the step before ran

  int pendingSnapshots_ = 0;
  int64_t snapshotGeneration_ = -1;  // the window's generation once settled; -1 while not
  Steady::time_point snapshotAsked_;
  int snapshotsWritten_ = 0;

  uint32_t redrawGeneration_ = 0;
  Steady::time_point lastRedraw_;

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
  if (options_.files.empty()) {
    control_.setSpan(timing_.firstStart(), timing_.startTime(timing_.frameCount() - 1));
  } else {
    int64_t longest = 0;
    for (DecodedFeed* decoder : decoders_) longest = std::max(longest, decoder ? decoder->lengthMs() : 0);
    bool open = options_.loop || longest <= 0;
    control_.setSpan(DecodedFeed::kMediaOrigin, open ? INT32_MAX : DecodedFeed::kMediaOrigin + longest);
  }
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
    KMC::RectFloatRecord rect = host::rectFloat(f.left, f.top, f.right, f.bottom);
    KMC::PropertyValue where = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, &rect);
    stream.port->setPortValue(KMC::kValueSetOutputRect, &where);
  }
}

bool Session::playOver(int32_t now) {
  // A paused player waits for its user, however far it is.
  if (control_.paused()) return false;
  const bool backwards = control_.backwards();
  if (control_.segment() != endSegment_) {
    endSegment_ = control_.segment();
    endReached_ = Steady::time_point();
  }
  if (!options_.files.empty() && options_.secondsGiven &&
      std::abs(static_cast<int64_t>(now) - clockStart_) >= std::llround(options_.seconds * 1000)) {
    return true;
  }
  for (const Stream& stream : streams_) {
    if (!stream.feed->exhausted()) return false;
    if (stream.feed->handedOut() == 0) continue;
    if (backwards ? now > stream.feed->lastStart() : now < stream.feed->lastEnd()) return false;
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
  fullScreen_.reset(new X11FullScreen(presenter_->display(), presenter_->windowId()));
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
  host::OwnedIdList selection;  // drawing order: the first stream at the bottom
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
    if (!selection.append(stream.channelId)) return false;
  }
  placeStreams();
  std::vector<PlaybackControl::Target> targets;
  for (Stream& stream : streams_) targets.push_back(PlaybackControl::Target{stream.port, stream.feed, stream.source.get()});
  control_.setTargets(targets);
  KMC::PropertyValue none;
  for (Stream& stream : streams_) stream.port->portCommand(KMC::kCommandRun, &none);
  KMC::PropertyValue ids = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, selection.get());
  component_->setParameter(KMC::kParameterSelectChannels, &ids);
  component_->sendCommand(KMC::kCommandActivate, 0);
  return true;
}

// Pushes every frame that falls within kAheadFrames of the clock (in play direction).
void Session::feedPushChannels() {
  double shortest = 1000;
  for (const Stream& stream : streams_) shortest = std::min(shortest, stream.feed->period());
  while (!stopFeeding_.load()) {
    // A seek holds this while it flushes the ports and starts the feeds over.
    std::unique_lock<std::mutex> feeding(control_.feeding());
    const bool backwards = control_.backwards();
    int64_t now = clock_.currentTime();
    for (Stream& stream : streams_) {
      double ahead = kAheadFrames * stream.feed->period();
      int32_t start = 0;
      uint32_t duration = 0;
      while (stream.feed->nextTiming(&start, &duration)) {
        bool due = backwards ? start + static_cast<int64_t>(duration) >= now - ahead : start <= now + ahead;
        if (!due) break;
        KMC::PropertyValue value = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, stream.feed->take());
        // The frame belongs to the channel from here on, whatever the answer.
        stream.port->setPortValue(KMC::kValueDeliverFrame, &value);
        stream.delivered->fetch_add(1);
      }
    }
    feeding.unlock();
    // A quarter period keeps the queue topped up; the clock's rate stretches media time.
    double wait = shortest / 4 * 1000.0 / std::abs(control_.rate());
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<int64_t>(std::clamp(wait, 1.0, 10.0) * 1000)));
  }
}

void Session::handleWindowEvents(const X11Presenter::Events& events) {
  if (events.closeRequested) g_stopRequested = 1;
  if (events.resized) {
    if (!drawIntoPresenterImage(events.width, events.height)) window_.resize(events.width, events.height);
    context_.resizeDrawing(events.width, events.height);
    placeStreams();
    snapshotGeneration_ = -1;  // a snapshot shows the picture of the new size
  }
  // Keys before the window is playing (while it is being mapped) wait for nothing: ignored.
  if (playStart_ == Steady::time_point()) return;
  for (const X11Presenter::Events::Key& key : events.keys) perform(commandForKey(key.keysym, key.shift));
}

void Session::perform(const Command& command) {
  switch (command.kind) {
    case CommandKind::kNone:
      return;
    case CommandKind::kQuit:
      quit_ = true;
      return;
    case CommandKind::kSnapshot:
      if (pendingSnapshots_++ == 0) snapshotAsked_ = Steady::now();
      return;
    case CommandKind::kFullScreen:
      if (fullScreen_) fullScreen_->toggle();
      return;
    default: {
      int32_t segment = control_.segment();
      control_.apply(command);
      if (control_.segment() != segment) snapshotGeneration_ = -1;
      showProgress(false, true);
      return;
    }
  }
}

void Session::runScript() {
  if (scriptStep_ >= options_.script.size()) return;
  const ScriptStep& step = options_.script[scriptStep_];
  bool due = false;
  if (step.afterDelay) {
    due = secondsSince(scriptLast_) * 1000.0 >= step.ms;
  } else if (!scriptArmed_) {
    scriptArmed_ = true;
    // The clock stops by itself at the step's time; one already there or past plays it now.
    due = !clock_.stopAt(step.ms);
  } else {
    due = !clock_.isRunning() && clock_.currentTime() == step.ms;
  }
  if (!due) return;
  bool stoppedHere = !step.afterDelay && !control_.paused();
  if (stoppedHere) clock_.pause();  // holds the clock at the step's time, without the stop
  perform(step.command);
  if (stoppedHere && !control_.paused()) clock_.play();
  ++scriptStep_;
  scriptArmed_ = false;
  scriptLast_ = Steady::now();
}

void Session::noteRedraws() {
  uint32_t generation = window_.generation();
  if (generation == redrawGeneration_) return;
  Steady::time_point now = Steady::now();
  timingLog_.redraw(clock_.currentTime(), std::chrono::duration<double, std::milli>(now - lastRedraw_).count());
  redrawGeneration_ = generation;
  lastRedraw_ = now;
}

bool Session::settled() const {
  int32_t segment = control_.segment();
  for (const Stream& stream : streams_) {
    if (context_.lastPresentedSegment(stream.channelId) != segment && !stream.feed->exhausted()) return false;
  }
  return true;
}

void Session::writePendingSnapshots() {
  if (pendingSnapshots_ == 0) return;
  // A stream whose new frame does not come in time is shown as it is.
  bool waitedLong = secondsSince(snapshotAsked_) > 10.0;
  if (!settled() && !waitedLong) {
    snapshotGeneration_ = -1;
    return;
  }
  // The output reports a frame before drawing it: wait for a drawing after that.
  if (snapshotGeneration_ < 0) {
    snapshotGeneration_ = window_.generation();
    if (!waitedLong) return;
  }
  if (window_.generation() == static_cast<uint32_t>(snapshotGeneration_) && !waitedLong) return;
  std::string base = options_.snapshotPath.empty() ? "tavorin-play.png" : options_.snapshotPath;
  size_t dot = base.rfind('.');
  size_t slash = base.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = base.size();
  std::string path = base.substr(0, dot) + "-" + std::to_string(++snapshotsWritten_) + base.substr(dot);
  int32_t width = 0, height = 0;
  std::vector<uint32_t> pixels = window_.readPixels(&width, &height);
  // Written beside and then renamed, so whoever waits for the file never reads half of it.
  std::string part = path + ".part", error;
  if (!writePng(part, pixels, width, height, &error) || std::rename(part.c_str(), path.c_str()) != 0) {
    err_ << "tavorin-play: snapshot: " << (error.empty() ? "cannot rename " + part : error) << "\n";
    std::remove(part.c_str());
  } else {
    out_ << "SNAPSHOT file=" << path << " width=" << width << " height=" << height << " media=" << clock_.currentTime()
         << " paused=" << (control_.paused() ? 1 : 0) << " presented=" << context_.presented()
         << " dropped=" << context_.dropped() << "\n" << std::flush;
  }
  --pendingSnapshots_;
  snapshotGeneration_ = -1;
  snapshotAsked_ = Steady::now();
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

void Session::showProgress(bool last, bool now) {
  if (!last && !now && secondsSince(lastProgress_) < 1.0) return;
  lastProgress_ = Steady::now();
  char rate[32];
  int32_t speed = std::abs(control_.rate());
  if (speed >= 1000) {
    std::snprintf(rate, sizeof rate, "%gx", speed / 1000.0);
  } else {
    std::snprintf(rate, sizeof rate, "1/%gx", 1000.0 / speed);
  }
  char line[240];
  std::snprintf(line, sizeof line,
                "%-7s %6s %-9s  position %8.2f s  presented %6lld  dropped %5lld  redraws %6u  (%.0f s)",
                control_.paused() ? "paused" : "playing", rate, control_.backwards() ? "backwards" : "forwards",
                clock_.currentTime() / 1000.0, static_cast<long long>(context_.presented()),
                static_cast<long long>(context_.dropped()), window_.generation() - generationAtStart_,
                secondsSince(playStart_));
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
  playStart_ = lastProgress_ = scriptLast_ = lastRedraw_ = Steady::now();
  generationAtStart_ = redrawGeneration_ = window_.generation();
  clock_.play();
  while (!g_stopRequested && !quit_ && !playOver(clock_.currentTime())) {
    placeStreams();  // a picture of another shape (a size change mid-stream) gets its own fit
    pumpWindow();
    runScript();
    noteRedraws();
    writePendingSnapshots();
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
    s.outOfOrder = tally.outOfOrder;
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
  r.outOfOrder = total.outOfOrder;
  r.seeks = control_.segment();
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
  bool timingOk = options_.timingPath.empty() || writeTimingChart();
  if (!result.releasedOk) {
    err_ << "tavorin-play: frames were not released exactly once\n";
    return kExitFrameLedger;
  }
  return snapshotOk && timingOk ? kExitOk : kExitFailure;
}

bool Session::writeTimingChart() {
  std::vector<ChartStream> streams;
  std::string names;
  for (const Stream& stream : streams_) {
    streams.push_back(ChartStream{stream.channelId, stream.name});
    if (!names.empty()) names += ", ";
    names += stream.name.substr(stream.name.rfind('/') == std::string::npos ? 0 : stream.name.rfind('/') + 1);
  }
  char title[512];
  std::snprintf(title, sizeof title, "tavorin-play timing: %s; %.1f s played, %s window, load %.1f", names.c_str(),
                playSeconds_, !presenter_ ? "off-screen" : "X11", loadAverage());
  ChartAxis axis;
  std::string error;
  if (!play::writeTimingChart(options_.timingPath, timingLog_.record(), streams, title, &axis, &error)) {
    err_ << "tavorin-play: timing: " << error << "\n";
    return false;
  }
  out_ << "TIMING file=" << options_.timingPath << " width=" << axis.layout.width << " height=" << axis.layout.height
       << " media_from=" << axis.from << " media_to=" << axis.to << "\n" << std::flush;
  return true;
}

}  // namespace

void requestStop() { g_stopRequested = 1; }

int runPlayer(const PlayerOptions& options, std::ostream& out, std::ostream& err) {
  Session session(options, out, err);
  return session.run();
}

}  // namespace play
