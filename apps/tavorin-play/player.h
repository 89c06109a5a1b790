// One play run: loads the plug-in by file name, creates its output into a window, plays the
// files given (or the built-in clip) at the real media clock, tears everything down as an engine does, and
// reports what was presented.
#pragma once

#include <iosfwd>

#include "player_options.h"

namespace play {

// Exit codes of the program.
enum ExitCode {
  kExitOk = 0,
  kExitFailure = 1,      // the plug-in, the window or the snapshot failed
  kExitUsage = 2,        // bad options
  kExitFrameLedger = 3,  // a frame was not released exactly once
  kExitNoMedia = 4,      // none of the files given could be opened
};

// Runs the clip; the report goes to out, progress and errors to err. Answers an ExitCode.
int runPlayer(const PlayerOptions& options, std::ostream& out, std::ostream& err);

// Set from a signal handler: ends the run early, with the usual teardown and report.
void requestStop();

}  // namespace play
