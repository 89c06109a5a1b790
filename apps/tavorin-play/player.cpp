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
#include "x11_presenter.h"

namespace play {

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

// Port codes and channel kinds of the output.
const int32_t kPortConnect = 0x3000000e;
const int32_t kPortDisconnect = 0x30010000;
const int32_t kPortRun = 0x30030000;
const int32_t kPortOutputRect = 0x201A000E;
const int32_t kPortDeliver = 0x200D000A;
const int32_t kChannelPush = 0;
const int32_t kChannelPull = 2;

// Push channels are kept this many frames ahead of the clock: enough to ride out a late
// feeding pass, few enough that frames are made just in time.
const int kAheadFrames = 4;

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
  KMC::StreamDescriptor descriptor{};
  std::unique_ptr<host::EngineStream> peer;
  std::unique_ptr<ClipSource> source;  // pull channels only
  KMC::PortInterface* port = nullptr;
  int nextPosition = 0;                // push channels: next play position (feeder thread only)
  // Frames pushed so far: written by the feeder thread, read by the main thread. Held by
  // pointer so that streams stay movable in their vector.
  std::unique_ptr<std::atomic<int64_t>> delivered{new std::atomic<int64_t>(0)};
};

class Session {
 public:
  Session(const PlayerOptions& options, std::ostream& out, std::ostream& err)
      : options_(options),
        out_(out),
        err_(err),
        timing_(options.fps, options.seconds),
        reverse_(options.rate < 0),
        clock_(reverse_ ? timing_.endTime() : timing_.firstStart(), options.rate),
        window_(options.windowWidth, options.windowHeight),
        context_(&clock_, window_.handle(), options.windowWidth, options.windowHeight),
        frames_(&pool_, timing_, options.frameWidth, options.frameHeight, options.channels, reverse_),
        engine_("tavorin-play") {}

  int run();

 private:
  bool openWindow();
  bool loadPlugin();
  bool createOutput();
  bool openStreams();
  void play();
  void feedPushChannels();
  bool clipOver(int32_t now) const;
  // A resize reaches the window surface and the renderer's drawing rectangle.
  void handleWindowEvents(const X11Presenter::Events& events);
  void pumpWindow();
  void showProgress(bool last);
  void closeStreams();
  void releasePlugin();
  bool writeSnapshot();
  PlayReport report() const;

  const PlayerOptions& options_;
  std::ostream& out_;
  std::ostream& err_;
  ClipTiming timing_;
  bool reverse_;
  host::RealTimeMediaClock clock_;
  host::HostWindow window_;
  PlayerContext context_;
  FramePool pool_;
  ClipFrames frames_;
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
  int count = options_.channels + (options_.overlay ? 1 : 0);
  streams_.resize(static_cast<size_t>(count));
  std::list<int32_t> selection;  // drawing order: pictures first, the overlay on top
  for (int s = 0; s < count; ++s) {
    Stream& stream = streams_[static_cast<size_t>(s)];
    bool overlay = frames_.isOverlay(s);
    stream.channelId = s + 1;
    stream.descriptor = host::makeStreamDescriptor(overlay ? "BGRA" : "BGRX", 1);
    stream.peer.reset(new host::EngineStream(stream.channelId));
    if (options_.pull) stream.source.reset(new ClipSource(&frames_, s));
    stream.port = output_->createPort(options_.pull ? kChannelPull : kChannelPush, &stream.descriptor, stream.peer.get());
    if (!stream.port) {
      err_ << "tavorin-play: the output refused a port for channel " << stream.channelId << "\n";
      return false;
    }
    KMC::PropertyValue source = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, stream.source.get());
    stream.port->portCommand(kPortConnect, &source);
    Fractions f = overlay ? layout::overlayArea() : layout::pictureTile(s, options_.channels);
    KMC::RectFloat rect(f.left, f.top, f.right, f.bottom);
    KMC::PropertyValue where = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, &rect);
    stream.port->setPortValue(kPortOutputRect, &where);
    KMC::PropertyValue none;
    stream.port->portCommand(kPortRun, &none);
    selection.push_back(stream.channelId);
  }
  KMC::PropertyValue ids = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, &selection);
  component_->setParameter(KMC::kParameterSelectChannels, &ids);
  component_->sendCommand(KMC::kCommandActivate, 0);
  return true;
}

// Pushes every frame that falls within kAheadFrames of the clock (in play direction).
void Session::feedPushChannels() {
  double ahead = kAheadFrames * timing_.period();
  while (!stopFeeding_.load()) {
    int64_t now = clock_.currentTime();
    for (Stream& stream : streams_) {
      while (stream.nextPosition < frames_.frameCount()) {
        int frame = frames_.frameAt(stream.nextPosition);
        bool due = reverse_ ? timing_.startTime(frame) + static_cast<int64_t>(timing_.duration(frame)) >= now - ahead
                            : timing_.startTime(frame) <= now + ahead;
        if (!due) break;
        int streamIndex = static_cast<int>(&stream - streams_.data());
        KMC::PropertyValue value =
            KMC::PropertyValue::ofPointer(KMC::kPropertyObject, frames_.make(streamIndex, stream.nextPosition));
        // The frame belongs to the channel from here on, whatever the answer.
        stream.port->setPortValue(kPortDeliver, &value);
        ++stream.nextPosition;
        stream.delivered->fetch_add(1);
      }
    }
    // A quarter period keeps the queue topped up; the clock's rate stretches media time.
    double wait = timing_.period() / 4 * 1000.0 / std::abs(options_.rate);
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<int64_t>(std::clamp(wait, 1.0, 10.0) * 1000)));
  }
}

bool Session::clipOver(int32_t now) const {
  return reverse_ ? now <= timing_.firstStart() : now >= timing_.endTime();
}

void Session::handleWindowEvents(const X11Presenter::Events& events) {
  if (events.closeRequested) g_stopRequested = 1;
  if (events.resized) {
    window_.resize(events.width, events.height);
    context_.resizeDrawing(events.width, events.height);
  }
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
  int wanted = std::min(options_.pull ? 2 : kAheadFrames, frames_.frameCount());
  while (secondsSince(prefill) < 2.0) {
    bool ready = true;
    for (const Stream& stream : streams_) {
      int64_t given = stream.source ? stream.source->handedOut() : stream.delivered->load();
      if (given < wanted) ready = false;
    }
    if (ready) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  progressOnTerminal_ = isatty(STDERR_FILENO);
  playStart_ = lastProgress_ = Steady::now();
  generationAtStart_ = window_.generation();
  clock_.play();
  while (!g_stopRequested && !clipOver(clock_.currentTime())) {
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
  pumpWindow();
  showProgress(true);
}

void Session::closeStreams() {
  KMC::PropertyValue none;
  for (Stream& stream : streams_) {
    if (stream.port) stream.port->portCommand(kPortDisconnect, &none);
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
  r.expected = static_cast<int64_t>(frames_.frameCount()) * static_cast<int64_t>(streams_.size());
  for (const Stream& stream : streams_) r.delivered += stream.source ? stream.source->handedOut() : stream.delivered->load();
  r.presented = context_.presented();
  r.dropped = context_.dropped();
  r.lateness = summarizeLateness(context_.lateness());
  r.redraws = generationAtEnd_ - generationAtStart_;
  r.seconds = playSeconds_;
  r.framesMade = pool_.created();
  r.framesReleased = pool_.released();
  r.extraReleases = pool_.extraReleases();
  r.releasedOk = pool_.allReleasedExactlyOnce();
  r.cpuMs = processCpuMilliseconds();
  r.window = !presenter_ ? "offscreen" : presenter_->sharedMemory() ? "x11-shm" : "x11";
  return r;
}

int Session::run() {
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
