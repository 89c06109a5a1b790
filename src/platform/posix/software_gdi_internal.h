// Internals shared by the gdi_*.cpp files: the object registry and pixel access.
#pragma once
#ifdef _WIN32
#error "posix/software_gdi_internal.h is the POSIX platform layer"
#endif

#include "platform/posix/software_gdi.h"
#include "platform/posix/software_gdi_pixel_pool.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace gdi {

enum class Kind { Bitmap, Brush, DC };

struct Object {
  explicit Object(Kind k) : kind(k) {}
  virtual ~Object() = default;
  const Kind kind;
  bool stock = false;
};

// The pixels [left, right) x [top, bottom) of a surface.
struct Area {
  int left, top, right, bottom;
};

// A compatible bitmap takes its pixel memory (from the pool) when it is first drawn into or
// read; until then it has none and its content is black (every bit 0), the content of a new
// bitmap. So a bitmap that is never used costs nothing, and one that is wholly overwritten
// first is never cleared. A DIB section has its memory from the start, in the DIB's own row
// order, where the caller that made it reads and writes it directly. Pixels are read and
// written under `lock` (the section's caller writes without it, as on Windows, where keeping
// those writes apart from drawing is the caller's part).
struct Bitmap : Object {
  Bitmap(int w, int h) : Object(Kind::Bitmap), width(w), height(h) {}
  // A DIB section's bitmap, black: rows bottom-up (the bottom row first in memory) or top-down.
  // Null when no memory can be had.
  static std::shared_ptr<Bitmap> section(int width, int height, bool bottomUp);
  const int width;
  const int height;
  std::mutex lock;
  uintptr_t selectedIn = 0;  // DC handle it is selected in; GUARDED_BY(registry mutex)

  // With lock: true while the bitmap has no memory (all black).
  bool blank() const { return !memory_; }
  // With lock: the top row of width * height pixels, rows stride() apart, ready to read and
  // write. A blank bitmap takes memory here and clears all of it except `overwritten`, which
  // the caller is about to write in full. Null when no memory can be had.
  uint32_t* pixels(const Area* overwritten = nullptr);
  // Pixels from the start of a row to the start of the row below it: negative for a bottom-up
  // DIB section.
  ptrdiff_t stride() const { return bottomUp_ ? -ptrdiff_t(width) : ptrdiff_t(width); }
  // A DIB section's memory as its maker sees it (the DIB's first row); null for other bitmaps.
  uint32_t* sectionBits() const { return isSection_ ? memory_.data() : nullptr; }

 private:
  PixelMemory memory_;
  bool isSection_ = false;
  bool bottomUp_ = false;
};

struct Brush : Object {
  explicit Brush(COLORREF c) : Object(Kind::Brush), colour(c) {}
  const COLORREF colour;
  int selections = 0;  // DCs it is selected in; GUARDED_BY(registry mutex)
};

enum class DCKind { Memory, Window, Screen };

// All fields GUARDED_BY(registry mutex).
struct DC : Object {
  explicit DC(DCKind k) : Object(Kind::DC), dcKind(k) {}
  const DCKind dcKind;
  HWND window = nullptr;
  std::shared_ptr<Bitmap> bitmap;  // memory DCs
  uintptr_t bitmapHandle = 0;
  uintptr_t brushHandle = 0;
  int stretchMode = BLACKONWHITE;
  POINT brushOrigin = {0, 0};
};

// What a DC draws into, captured under the registry mutex so the pixel work can run after it
// is released.
struct Target {
  std::shared_ptr<Bitmap> bitmap;  // memory DC
  HWND window = nullptr;           // window DC
  int stretchMode = BLACKONWHITE;
  bool valid = false;  // false: bad handle
};

Target targetOf(HDC dc);
std::shared_ptr<Brush> brushOf(HBRUSH brush);
std::shared_ptr<Bitmap> bitmapOf(HBITMAP bitmap);

// Whether a bitmap of these sides can be made: both positive, none over 32767 and at most
// 2^28 pixels (what the scaler's 16.16 coordinates can address).
bool bitmapSizeAllowed(int width, int height);
// Whether info describes a DIB this GDI reads and writes: 32-bit BI_RGB with usage
// DIB_RGB_COLORS, a positive width and a non-zero height.
bool dibSupported(const BITMAPINFO* info, UINT usage);

// Pixels of a target while its lock is held. For a bitmap, data stays null until prepare()
// (see Bitmap::pixels): a caller first learns the size, then says what it will overwrite.
struct Pixels {
  uint32_t* data = nullptr;
  int width = 0;
  int height = 0;
  ptrdiff_t stride = 0;  // in pixels
  Bitmap* bitmap = nullptr;

  bool blank() const { return bitmap != nullptr && bitmap->blank(); }
  // Sets data; false when a bitmap's memory cannot be had.
  bool prepare(const Area* overwritten = nullptr) {
    if (bitmap != nullptr) data = bitmap->pixels(overwritten);
    return data != nullptr || width == 0;
  }
};

// Locks the surfaces of up to two targets in address order (each once) and exposes their
// pixels; on destruction increments the generation of each window that was drawn into
// (markDrawn) and unlocks.
class SurfaceLock {
 public:
  SurfaceLock(const Target& a, const Target* b);
  ~SurfaceLock();
  SurfaceLock(const SurfaceLock&) = delete;
  SurfaceLock& operator=(const SurfaceLock&) = delete;

  // Pixels of a target passed to the constructor; empty when it has no surface (screen DC).
  // A bitmap's data is null until Pixels::prepare().
  Pixels pixelsOf(const Target& t) const;
  void markDrawn(const Target& t);

 private:
  struct Held {
    void* address;
    std::mutex* mutex;
    pthread_mutex_t* pmutex;
    bool drawn;
  };
  std::vector<Held> held_;
};

inline uint32_t pixelOf(COLORREF c) {
  return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}
inline COLORREF colourOf(uint32_t p) {
  return ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
}

}  // namespace gdi
