// One play run, in the order an engine does it: open the media, choose the window's size,
// set the clock to the first frame, open the platform's window, load the plug-in and create
// its output into the window, open a port per stream, play until the end (or a stop), take
// the final snapshot, tear the ports and the output down, and report.
//
// The session owns the parts and runs the main thread's loop; what each part owns is said in
// its header: the media (media_set.h), the window (player_window.h), the plug-in
// (plugin_output.h), the ports (stream_ports.h), the push feeder's thread (push_feeder.h),
// pause, seek and rate (playback_control.h), the script (script_runner.h), the progress line
// (progress_line.h), the snapshots (snapshots.h), the end of play (end_of_play.h), the timing
// record (timing_log.h) and the report (run_report.h). Key dispatch, perform(), is the
// session's own: a key's command goes to the part it is for.
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <memory>

#include "end_of_play.h"
#include "engine/media_clock.h"
#include "key_commands.h"
#include "media_set.h"
#include "play_report.h"
#include "playback_control.h"
#include "player_context.h"
#include "player_options.h"
#include "player_window.h"
#include "plugin_output.h"
#include "progress_line.h"
#include "push_feeder.h"
#include "script_runner.h"
#include "snapshots.h"
#include "stream_ports.h"
#include "timing_log.h"

namespace play {

class Session {
 public:
  Session(const PlayerOptions& options, std::ostream& out, std::ostream& err);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Answers an ExitCode (player.h).
  int run();

 private:
  // Sets the clock to the first frame in play direction and the span seeks stay in.
  void positionClock();
  // The platform's window of the chosen size, and the engine context around it.
  bool openWindow();
  bool startOutput();
  void play();
  // Lets the first frames reach the channels before the clock moves (at most 2 s).
  void prefill();
  void handle(const PlayerWindow::Events& events);
  // What a key does: playback commands go to the control, the rest are the player's own.
  void perform(const Command& command);
  // Notes a redraw of the window in the timing log.
  void noteRedraws();
  // Every stream shows a frame of the current stretch of play (or has no more).
  bool settled() const;
  ProgressLine::State progressState();
  std::string snapshotDescription();
  void stopOutput();
  bool writeTimingPicture();
  host::HostWindow& surface() const { return window_->surface(); }

  PlayerOptions options_;
  std::ostream& out_;
  std::ostream& err_;
  host::RealTimeMediaClock clock_;
  TimingLog timingLog_;
  PlaybackControl control_;
  MediaSet media_;
  std::unique_ptr<PlayerWindow> window_;
  std::unique_ptr<PlayerContext> context_;
  PluginOutput plugin_;  // after the window and the context: released before them
  StreamPorts ports_;
  PushFeeder feeder_;
  ScriptRunner script_;
  ProgressLine progress_;
  SnapshotRequests snapshots_;
  EndOfPlay end_;

  bool playing_ = false;  // the clock has started; keys count from here
  std::chrono::steady_clock::time_point playStart_;
  double playSeconds_ = 0;
  uint32_t generationAtStart_ = 0;
  uint32_t generationAtEnd_ = 0;
  uint32_t redrawGeneration_ = 0;
  std::chrono::steady_clock::time_point lastRedraw_;
};

}  // namespace play
