// Internals shared by the gdi_*.cpp files: the object registry and pixel access.
#pragma once
#ifdef _WIN32
#error "posix/gdi_internal.h is the POSIX platform layer"
#endif

#include "platform/posix/gdi.h"

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

// Pixel storage is fixed at creation; pixels are read and written under `lock`.
struct Bitmap : Object {
  Bitmap(int w, int h);
  ~Bitmap() override;
  const int width;
  const int height;
  uint32_t* const pixels;  // width * height, top row first, 64-byte aligned
  std::mutex lock;
  uintptr_t selectedIn = 0;  // DC handle it is selected in; GUARDED_BY(registry mutex)
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

// Pixels of a target while its lock is held.
struct Pixels {
  uint32_t* data = nullptr;
  int width = 0;
  int height = 0;
  ptrdiff_t stride = 0;  // in pixels
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
