// The report of a run, gathered from its parts once the output is gone: what each stream
// delivered, presented, dropped late and how late (the context's tallies), what the decoders
// made, skipped and left unplayed, the frame pool's release ledger, the redraws and the time.
#pragma once

#include <string>
#include <vector>

#include "media_set.h"
#include "play_report.h"
#include "player_context.h"
#include "stream_ports.h"

namespace play {

struct RunFacts {
  const MediaSet* media;
  const std::vector<Stream>* streams;
  const PlayerContext* context;
  int64_t seeks;       // repositionings made while playing
  int64_t redraws;
  double seconds;      // wall time the clock ran
  std::string window;  // PlayerWindow::kind()
};

PlayReport collectReport(const RunFacts& facts);

}  // namespace play
