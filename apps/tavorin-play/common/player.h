// The player program's entry: one play run (session.h) and its exit codes.
#pragma once

#include <iosfwd>

#include "player_options.h"
#include "stop_request.h"

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

}  // namespace play
