#include "run_report.h"

#include "player_window.h"

namespace play {

PlayReport collectReport(const RunFacts& facts) {
  PlayReport r;
  const MediaSet& media = *facts.media;
  r.expected = media.playsFiles() ? 0 : static_cast<int64_t>(media.clipFrameCount()) * static_cast<int64_t>(facts.streams->size());
  for (const Stream& stream : *facts.streams) {
    StreamReport s;
    s.channelId = stream.channelId;
    s.name = stream.name;
    s.delivered = stream.handedOut();
    PlayerContext::Tally tally = facts.context->tally(stream.channelId);
    s.presented = tally.presented;
    s.dropped = tally.dropped;
    s.lateness = tally.lateness.summary();
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
  PlayerContext::Tally total = facts.context->tally();
  r.presented = total.presented;
  r.dropped = total.dropped;
  r.lateness = total.lateness.summary();
  r.outOfOrder = total.outOfOrder;
  r.seeks = facts.seeks;
  r.redraws = facts.redraws;
  r.seconds = facts.seconds;
  const FramePool& pool = media.pool();
  r.framesMade = pool.created();
  r.buffersAllocated = pool.buffersAllocated();
  r.framesReleased = pool.released();
  r.extraReleases = pool.extraReleases();
  r.releasedOk = pool.allReleasedExactlyOnce();
  r.cpuMs = platform::processCpuMilliseconds();
  r.window = facts.window;
  return r;
}

}  // namespace play
