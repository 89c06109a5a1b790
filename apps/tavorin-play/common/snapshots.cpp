#include "snapshots.h"

#include <cstdio>
#include <ostream>
#include <vector>

#include "png_writer.h"

namespace play {

bool writeSnapshot(const std::string& path, const host::HostWindow& window, int32_t* width, int32_t* height,
                   std::string* error) {
  std::vector<uint32_t> pixels = window.readPixels(width, height);
  std::string part = path + ".part";
  if (!writePng(part, pixels, *width, *height, error)) return false;
  if (std::rename(part.c_str(), path.c_str()) != 0) {
    // Windows' rename does not replace: an older file of the name goes first.
    std::remove(path.c_str());
    if (std::rename(part.c_str(), path.c_str()) != 0) {
      *error = "cannot rename " + part + " to " + path;
      std::remove(part.c_str());
      return false;
    }
  }
  return true;
}

void SnapshotRequests::request() {
  if (pending_++ == 0) asked_ = std::chrono::steady_clock::now();
}

std::string SnapshotRequests::nextPath() {
  size_t dot = base_.rfind('.');
  size_t slash = base_.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = base_.size();
  return base_.substr(0, dot) + "-" + std::to_string(++written_) + base_.substr(dot);
}

void SnapshotRequests::writePending(bool settled, const host::HostWindow& window,
                                    const std::function<std::string()>& describe, std::ostream& out,
                                    std::ostream& err) {
  if (pending_ == 0) return;
  // A stream whose new frame does not come in time is shown as it is.
  bool waitedLong = std::chrono::steady_clock::now() - asked_ > std::chrono::seconds(10);
  if (!settled && !waitedLong) {
    generation_ = -1;
    return;
  }
  // The output reports a frame before drawing it: wait for a drawing after that.
  if (generation_ < 0) {
    generation_ = window.generation();
    if (!waitedLong) return;
  }
  if (window.generation() == static_cast<uint32_t>(generation_) && !waitedLong) return;
  std::string path = nextPath(), error;
  int32_t width = 0, height = 0;
  if (!writeSnapshot(path, window, &width, &height, &error)) {
    err << "tavorin-play: snapshot: " << error << "\n";
  } else {
    out << "SNAPSHOT file=" << path << " width=" << width << " height=" << height << describe() << "\n" << std::flush;
  }
  --pending_;
  generation_ = -1;
  asked_ = std::chrono::steady_clock::now();
}

}  // namespace play
