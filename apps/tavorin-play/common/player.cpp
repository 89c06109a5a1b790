#include "player.h"

#include "session.h"

namespace play {

int runPlayer(const PlayerOptions& options, std::ostream& out, std::ostream& err) {
  Session session(options, out, err);
  return session.run();
}

}  // namespace play
