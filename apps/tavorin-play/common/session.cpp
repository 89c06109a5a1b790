#include "session.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <string>
#include <thread>

#include "player.h"
#include "run_report.h"
#include "stop_request.h"

namespace play {

namespace {

typedef std::chrono::steady_clock Steady;

double secondsSince(Steady::time_point start) {
  return std::chrono::duration<double>(Steady::now() - start).count();
}

}  // namespace

Session::Session(const PlayerOptions& options, std::ostream& out, std::ostream& err)
    : options_(options),
      out_(out),
      err_(err),
      clock_(0, options.rate),
      control_(&clock_, options.rate, &timingLog_),
      media_(options_),
      feeder_(&ports_.streams(), &clock_, &control_),
      script_(options_.script, &clock_, &control_),
      progress_(err),
      snapshots_(options.snapshotPath),
      end_(options_, &control_) {}

Session::~Session() {
  feeder_.stop();
  stopOutput();
}

void Session::positionClock() {
  int32_t start = media_.startAndFindFirstTime();
  end_.begin(start);
  clock_.seek(start);
  int64_t first = 0, last = 0;
  media_.seekSpan(&first, &last);
  control_.setSpan(first, last);
}

bool Session::openWindow() {
  int width = options_.windowWidth, height = options_.windowHeight;
  if (media_.playsFiles() && width <= 0) media_.fittingWindowSize(&width, &height);
  std::string error;
  window_ = openPlayerWindow(std::max(width, 1), std::max(height, 1), err_, &error);
  if (!window_) {
    err_ << "tavorin-play: " << error << "\n";
    return false;
  }
  // The window may have been given another size while it was being shown.
  context_.reset(new PlayerContext(&clock_, surface().handle(), surface().width(), surface().height(), &timingLog_));
  return true;
}

bool Session::startOutput() {
  if (!plugin_.load(options_.pluginPath, err_)) return false;
  if (!plugin_.create(context_.get(), options_.formatCache, err_)) return false;
  if (!ports_.open(media_, options_, plugin_.output(), err_)) return false;
  ports_.place(surface().width(), surface().height());
  control_.setTargets(ports_.targets());
  return ports_.start(plugin_.component());
}

void Session::stopOutput() {
  if (plugin_.output()) ports_.close(plugin_.output(), err_);
  plugin_.release();
}

void Session::handle(const PlayerWindow::Events& events) {
  if (events.closeRequested) requestStop();
  if (events.resized) {
    context_->resizeDrawing(events.width, events.height);
    ports_.place(events.width, events.height);
    snapshots_.pictureChanging();  // a snapshot shows the picture of the new size
  }
  // Keys before the window is playing (while it is being shown) wait for nothing: ignored.
  if (!playing_) return;
  for (const Command& command : events.commands) perform(command);
}

void Session::perform(const Command& command) {
  switch (command.kind) {
    case CommandKind::kNone:
      return;
    case CommandKind::kQuit:
      requestStop();
      return;
    case CommandKind::kSnapshot:
      snapshots_.request();
      return;
    case CommandKind::kFullScreen:
      window_->toggleFullScreen();
      return;
    default: {
      int32_t segment = control_.segment();
      control_.apply(command);
      if (control_.segment() != segment) snapshots_.pictureChanging();
      progress_.show(progressState(), false, true);
      return;
    }
  }
}

void Session::noteRedraws() {
  uint32_t generation = surface().generation();
  if (generation == redrawGeneration_) return;
  Steady::time_point now = Steady::now();
  timingLog_.redraw(clock_.currentTime(), std::chrono::duration<double, std::milli>(now - lastRedraw_).count());
  redrawGeneration_ = generation;
  lastRedraw_ = now;
}

bool Session::settled() const {
  int32_t segment = control_.segment();
  for (const Stream& stream : ports_.streams()) {
    if (context_->lastPresentedSegment(stream.channelId) != segment && !stream.feed->exhausted()) return false;
  }
  return true;
}

ProgressLine::State Session::progressState() {
  return ProgressLine::State{control_.paused(), control_.rate(), clock_.currentTime(), context_->presented(),
                             context_->dropped(), surface().generation() - generationAtStart_};
}

std::string Session::snapshotDescription() {
  return " media=" + std::to_string(clock_.currentTime()) + " paused=" + (control_.paused() ? "1" : "0") +
         " presented=" + std::to_string(context_->presented()) + " dropped=" + std::to_string(context_->dropped());
}

void Session::prefill() {
  Steady::time_point since = Steady::now();
  int64_t wanted = options_.pull ? 2 : PushFeeder::kAheadFrames;
  while (secondsSince(since) < 2.0) {
    bool ready = true;
    for (const Stream& stream : ports_.streams()) {
      if (stream.handedOut() < wanted && !stream.feed->exhausted()) ready = false;
    }
    if (ready) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void Session::play() {
  if (!options_.pull) feeder_.start();
  prefill();
  progress_.start();
  script_.start();
  playStart_ = lastRedraw_ = Steady::now();
  generationAtStart_ = redrawGeneration_ = surface().generation();
  playing_ = true;
  clock_.play();
  const std::function<void(const Command&)> perform = [this](const Command& command) { this->perform(command); };
  const std::function<std::string()> describe = [this] { return snapshotDescription(); };
  while (!stopRequested() && !end_.over(clock_.currentTime(), ports_.streams(), *context_)) {
    // A picture of another shape (a size change mid-stream) gets its own fit.
    ports_.place(surface().width(), surface().height());
    handle(window_->pump());
    script_.run(perform);
    noteRedraws();
    snapshots_.writePending(settled(), surface(), describe, out_, err_);
    progress_.show(progressState(), false);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  // Freeze the picture: with the clock stopped no shown frame expires before the snapshot.
  clock_.pause();
  playSeconds_ = secondsSince(playStart_);
  generationAtEnd_ = surface().generation();
  feeder_.stop();
  media_.stopDecoding();
  handle(window_->pump());
  progress_.show(progressState(), true);
}

bool Session::writeTimingPicture() {
  std::vector<platform::TimingStream> streams;
  std::string names;
  for (const Stream& stream : ports_.streams()) {
    streams.push_back(platform::TimingStream{stream.channelId, stream.name});
    if (!names.empty()) names += ", ";
    size_t slash = stream.name.find_last_of("/\\");
    names += stream.name.substr(slash == std::string::npos ? 0 : slash + 1);
  }
  char title[512];
  std::snprintf(title, sizeof title, "tavorin-play timing: %s; %.1f s played, %s window, load %.1f", names.c_str(),
                playSeconds_, window_->description().c_str(), platform::loadAverage());
  return platform::writeTimingPicture(options_.timingPath, timingLog_.record(), streams, title, out_, err_);
}

int Session::run() {
  if (!media_.open(err_)) return kExitNoMedia;
  positionClock();
  if (!openWindow()) return kExitFailure;
  if (!startOutput()) {
    stopOutput();
    return kExitFailure;
  }
  play();
  bool snapshotOk = true;
  if (!options_.snapshotPath.empty()) {
    int32_t width = 0, height = 0;
    std::string error;
    snapshotOk = writeSnapshot(options_.snapshotPath, surface(), &width, &height, &error);
    if (!snapshotOk) err_ << "tavorin-play: snapshot: " << error << "\n";
  }
  stopOutput();
  RunFacts facts{&media_, &ports_.streams(), context_.get(), control_.segment(),
                 static_cast<int64_t>(generationAtEnd_ - generationAtStart_), playSeconds_, window_->kind()};
  PlayReport result = collectReport(facts);
  out_ << formatReport(result) << std::flush;
  bool timingOk = options_.timingPath.empty() || writeTimingPicture();
  if (!result.releasedOk) {
    err_ << "tavorin-play: frames were not released exactly once\n";
    return kExitFrameLedger;
  }
  return snapshotOk && timingOk ? kExitOk : kExitFailure;
}

}  // namespace play
