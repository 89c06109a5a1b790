// A memory DC with a bitmap of its own selected into it, owned as one: made together, deleted
// together, the displaced stock bitmap put back first. The pair exists only when every step
// succeeded, so nothing is ever drawn into the 1x1 stock bitmap a new memory DC starts with.
// Private to the GDI renderer's sources (it names GDI types).
#pragma once

#include <cstdint>

#include "platform/win32.h"

namespace KMC {

class MemoryDC {
 public:
  MemoryDC() = default;
  ~MemoryDC() { reset(); }
  MemoryDC(const MemoryDC&) = delete;
  MemoryDC& operator=(const MemoryDC&) = delete;

  // A memory DC compatible with reference holding a new width x height bitmap compatible with
  // reference. Any pair held before goes first. False when a step failed: then nothing is held.
  bool makeCompatible(HDC reference, int32_t width, int32_t height);
  // The same with a DIB section described by info (32-bit BI_RGB) as the bitmap; pixels() is
  // then its memory, rows in the order info gives, which the caller writes directly.
  bool makeSection(HDC reference, const BITMAPINFO& info);
  // Puts the displaced object back and deletes bitmap and DC; nothing when no pair is held.
  void reset();

  bool exists() const { return previous_ != nullptr; }
  HDC dc() const { return dc_; }
  // The section's memory; null for a compatible bitmap or no pair.
  uint32_t* pixels() const { return pixels_; }

 private:
  // Selects made (null when making it failed) into a new DC compatible with reference.
  bool adopt(HDC reference, HBITMAP made, void* bits);

  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;  // non-null exactly while the pair exists
  uint32_t* pixels_ = nullptr;
};

// A 32-bit BI_RGB DIB of width x |height|: the bottom row first in memory when height is
// positive, the top row first when it is negative.
BITMAPINFO describeDIB(int32_t width, int32_t height);

}  // namespace KMC
