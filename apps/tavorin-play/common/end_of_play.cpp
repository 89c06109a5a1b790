#include "end_of_play.h"

#include <cmath>
#include <cstdlib>

namespace play {

bool EndOfPlay::over(int32_t now, const std::vector<Stream>& streams, const PlayerContext& context) {
  // A paused player waits for its user, however far it is.
  if (control_->paused()) return false;
  const bool backwards = control_->backwards();
  if (control_->segment() != endSegment_) {
    endSegment_ = control_->segment();
    endReached_ = std::chrono::steady_clock::time_point();
  }
  if (!options_.files.empty() && options_.secondsGiven &&
      std::abs(static_cast<int64_t>(now) - clockStart_) >= std::llround(options_.seconds * 1000)) {
    return true;
  }
  for (const Stream& stream : streams) {
    if (!stream.feed->exhausted()) return false;
    if (stream.feed->handedOut() == 0) continue;
    if (backwards ? now > stream.feed->lastStart() : now < stream.feed->lastEnd()) return false;
  }
  // The clock is past every frame; a slow output may still be on the last ones. Give it a
  // moment to present or drop them, so the report accounts for every frame delivered.
  if (endReached_ == std::chrono::steady_clock::time_point()) endReached_ = std::chrono::steady_clock::now();
  if (std::chrono::steady_clock::now() - endReached_ >= std::chrono::duration<double>(kGraceSeconds)) return true;
  for (const Stream& stream : streams) {
    if (context.accountedFor(stream.channelId) < stream.handedOut()) return false;
  }
  return true;
}

}  // namespace play
