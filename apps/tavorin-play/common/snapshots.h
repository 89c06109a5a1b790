// Pictures of the window as PNG files: the numbered ones the s key asks for while playing
// (FILE-1.png, FILE-2.png, ...), and the one --snapshot FILE takes at the end.
//
// Every file goes through writeSnapshot: written beside as FILE.part and renamed, so whoever
// waits for the file never reads half of it. A numbered snapshot waits until every stream
// shows a frame of the current stretch of play and the window has been drawn since (or 10 s
// have passed). Owns the pending requests; main thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

#include "engine/host_window.h"

namespace play {

// Writes window's picture to path atomically. True with *width and *height set; false with
// *error.
bool writeSnapshot(const std::string& path, const host::HostWindow& window, int32_t* width, int32_t* height,
                   std::string* error);

class SnapshotRequests {
 public:
  // base: the --snapshot file, or empty for "tavorin-play.png".
  explicit SnapshotRequests(const std::string& base) : base_(base.empty() ? "tavorin-play.png" : base) {}

  void request();
  // What is shown is about to change (a seek, a resize): wait for the next picture.
  void pictureChanging() { generation_ = -1; }
  // Writes the next pending snapshot once `settled` (see above) and the window drew since.
  // Prints "SNAPSHOT file=... width=... height=..." plus describe()'s text to out.
  void writePending(bool settled, const host::HostWindow& window, const std::function<std::string()>& describe,
                    std::ostream& out, std::ostream& err);

 private:
  std::string nextPath();

  std::string base_;
  int pending_ = 0;
  int64_t generation_ = -1;  // the window's generation once settled; -1 while not
  std::chrono::steady_clock::time_point asked_;
  int written_ = 0;
};

}  // namespace play
