// One axis of a stretched copy as StretchBlt takes it (origin and extent, a negative extent
// mirroring), and which of its destination pixels are drawn once the copy is clipped. The
// software GDI and the renderer's own resampling share it, so both clip alike.
#pragma once

#include <algorithm>
#include <cstdint>

namespace resample {

// Destination index i (0 <= i < dn) is the pixel at d0 + i; its centre maps into the source
// run [s0, s0 + sn), reversed when mirrored.
struct StretchAxis {
  int64_t d0 = 0, dn = 0, s0 = 0, sn = 0;
  bool mirror = false;
  int64_t first = 0, last = 0;  // visible destination indices [first, last), set by clip()

  // x, w: the destination origin and extent; sx, sw: the source's.
  StretchAxis(int x, int w, int sx, int sw) {
    d0 = w < 0 ? int64_t(x) + w + 1 : x;
    dn = w < 0 ? -int64_t(w) : w;
    s0 = sw < 0 ? int64_t(sx) + sw + 1 : sx;
    sn = sw < 0 ? -int64_t(sw) : sw;
    mirror = (w < 0) != (sw < 0);
  }
  // Source pixel (absolute) under the centre of destination index i.
  int64_t source(int64_t i) const {
    const uint64_t j = uint64_t(mirror ? dn - 1 - i : i);
    return s0 + int64_t((2 * j + 1) * uint64_t(sn) / (2 * uint64_t(dn)));
  }
  // Keeps the destination indices that land on the destination surface and whose source
  // pixel is inside the source surface (source() is monotonic, so they are one run). False
  // when none is left. Both extents must be non-zero.
  bool clip(int destSize, int sourceSize) {
    first = std::max<int64_t>(0, -d0);
    last = std::min<int64_t>(dn, int64_t(destSize) - d0);
    auto inside = [&](int64_t i) {
      int64_t s = source(i);
      return s >= 0 && s < sourceSize;
    };
    while (first < last && !inside(first)) ++first;
    while (last > first && !inside(last - 1)) --last;
    return first < last;
  }
  // The same copy, clipped alike.
  bool operator==(const StretchAxis& o) const {
    return d0 == o.d0 && dn == o.dn && s0 == o.s0 && sn == o.sn && mirror == o.mirror &&
           first == o.first && last == o.last;
  }
  bool identity() const { return sn == dn && !mirror; }
  bool scaled() const { return sn != dn; }
  // The first visible destination pixel and the number of them, once clipped.
  int visibleStart() const { return int(d0 + first); }
  int visibleLength() const { return int(last - first); }
};

}  // namespace resample
