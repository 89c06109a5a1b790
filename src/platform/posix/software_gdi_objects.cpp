// GDI objects and device contexts: the handle registry, DC creation and release, bitmaps,
// brushes, selection and deletion, DC state.
#ifdef _WIN32
#error "posix/software_gdi_objects.cpp is the POSIX platform layer"
#endif
#include "platform/posix/software_gdi_internal.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_map>

namespace gdi {

namespace {

// Largest bitmap accepted: 2^28 pixels (1 GiB), no side over 32767 (pixman's coordinates are
// 16.16 fixed point).
constexpr int64_t kMaxPixels = int64_t(1) << 28;
constexpr int kMaxSide = 32767;

// Handles are never reused, so a stale handle can only miss.
class Registry {
 public:
  Registry() {
    whiteBrush = add(std::make_shared<Brush>(RGB(255, 255, 255)), true);
    blackBrush = add(std::make_shared<Brush>(RGB(0, 0, 0)), true);
    defaultBitmap = add(std::make_shared<Bitmap>(1, 1), true);
  }

  // with mutex
  uintptr_t add(std::shared_ptr<Object> object, bool stock = false) {
    object->stock = stock;
    uintptr_t handle = next_;
    next_ += 4;
    objects_.emplace(handle, std::move(object));
    return handle;
  }
  // with mutex
  template <class T>
  std::shared_ptr<T> find(uintptr_t handle, Kind kind) const {
    auto it = objects_.find(handle);
    if (it == objects_.end() || it->second->kind != kind) return nullptr;
    return std::static_pointer_cast<T>(it->second);
  }
  // with mutex
  Object* any(uintptr_t handle) const {
    auto it = objects_.find(handle);
    return it == objects_.end() ? nullptr : it->second.get();
  }
  // with mutex
  void remove(uintptr_t handle) { objects_.erase(handle); }
  // with mutex
  int windowDCsOf(HWND window) const {
    int count = 0;
    for (const auto& entry : objects_) {
      const Object& object = *entry.second;
      if (object.kind == Kind::DC && static_cast<const DC&>(object).window == window) ++count;
    }
    return count;
  }
  // with mutex
  void deselectBrush(uintptr_t handle) {
    if (auto brush = find<Brush>(handle, Kind::Brush)) --brush->selections;
  }
  // with mutex; forgets a DC, releasing what it has selected.
  void removeDC(uintptr_t handle, DC& dc) {
    if (dc.bitmap && dc.bitmap->selectedIn == handle) dc.bitmap->selectedIn = 0;
    deselectBrush(dc.brushHandle);
    remove(handle);
  }

  std::mutex mutex;
  uintptr_t whiteBrush = 0;
  uintptr_t blackBrush = 0;
  uintptr_t defaultBitmap = 0;

 private:
  uintptr_t next_ = 0x10000;
  std::unordered_map<uintptr_t, std::shared_ptr<Object>> objects_;
};

// Never destroyed: other threads may still make GDI calls while the process exits.
Registry& registry() {
  static Registry* r = new Registry;
  return *r;
}

uintptr_t key(const void* handle) { return reinterpret_cast<uintptr_t>(handle); }
template <class H>
H handleOf(uintptr_t key) {
  return reinterpret_cast<H>(key);
}

bool liveWindow(HWND window) {
  return window != nullptr && window->magic == TAVORIN_WINDOW_SURFACE_MAGIC;
}

}  // namespace

bool bitmapSizeAllowed(int width, int height) {
  return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
         int64_t(width) * height <= kMaxPixels;
}

bool dibSupported(const BITMAPINFO* info, UINT usage) {
  if (info == nullptr || usage != DIB_RGB_COLORS) return false;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  return h.biSize >= sizeof(BITMAPINFOHEADER) && h.biBitCount == 32 &&
         h.biCompression == BI_RGB && h.biWidth > 0 && h.biHeight != 0 &&
         h.biHeight != INT32_MIN;
}

namespace {

HDC addDC(std::shared_ptr<DC> dc) {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.mutex);
  dc->brushHandle = r.whiteBrush;
  r.find<Brush>(r.whiteBrush, Kind::Brush)->selections++;
  if (dc->dcKind == DCKind::Memory) {
    dc->bitmapHandle = r.defaultBitmap;
    dc->bitmap = r.find<Bitmap>(r.defaultBitmap, Kind::Bitmap);
  }
  return handleOf<HDC>(r.add(std::move(dc)));
}

}  // namespace

std::shared_ptr<Bitmap> Bitmap::section(int width, int height, bool bottomUp) {
  std::shared_ptr<Bitmap> bitmap;
  try {
    bitmap = std::make_shared<Bitmap>(width, height);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  bitmap->memory_ = PixelMemory::take(size_t(width) * size_t(height));
  if (!bitmap->memory_) return nullptr;
  // Pool memory holds an earlier bitmap's pixels; a new section is black.
  std::memset(bitmap->memory_.data(), 0, size_t(width) * size_t(height) * 4);
  bitmap->isSection_ = true;
  bitmap->bottomUp_ = bottomUp;
  return bitmap;
}

uint32_t* Bitmap::pixels(const Area* overwritten) {
  if (memory_) return bottomUp_ ? memory_.data() + size_t(height - 1) * size_t(width) : memory_.data();
  memory_ = PixelMemory::take(size_t(width) * size_t(height));
  uint32_t* data = memory_.data();
  if (data == nullptr) return nullptr;
  // Pool memory holds an earlier bitmap's pixels: clear what the caller will not overwrite.
  const size_t w = size_t(width);
  Area keep = overwritten ? *overwritten : Area{0, 0, 0, 0};
  if (keep.left >= keep.right || keep.top >= keep.bottom) keep = {0, 0, 0, 0};
  std::memset(data, 0, size_t(keep.top) * w * 4);
  for (int y = keep.top; y < keep.bottom; ++y) {
    std::memset(data + y * w, 0, size_t(keep.left) * 4);
    std::memset(data + y * w + keep.right, 0, (w - size_t(keep.right)) * 4);
  }
  std::memset(data + size_t(keep.bottom) * w, 0, size_t(height - keep.bottom) * w * 4);
  return data;
}

Target targetOf(HDC dc) {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.mutex);
  Target t;
  std::shared_ptr<DC> d = r.find<DC>(key(dc), Kind::DC);
  if (!d) return t;
  t.valid = true;
  t.stretchMode = d->stretchMode;
  if (d->dcKind == DCKind::Memory) t.bitmap = d->bitmap;
  if (d->dcKind == DCKind::Window) t.window = d->window;
  return t;
}

std::shared_ptr<Brush> brushOf(HBRUSH brush) {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.mutex);
  return r.find<Brush>(key(brush), Kind::Brush);
}

std::shared_ptr<Bitmap> bitmapOf(HBITMAP bitmap) {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.mutex);
  return r.find<Bitmap>(key(bitmap), Kind::Bitmap);
}

SurfaceLock::SurfaceLock(const Target& a, const Target* b) {
  for (const Target* t : {&a, b}) {
    if (t == nullptr) continue;
    Held h{nullptr, nullptr, nullptr, false};
    if (t->bitmap) {
      h.address = t->bitmap.get();
      h.mutex = &t->bitmap->lock;
    } else if (t->window) {
      h.address = t->window;
      h.pmutex = &t->window->lock;
    } else {
      continue;
    }
    bool seen = std::any_of(held_.begin(), held_.end(),
                            [&](const Held& o) { return o.address == h.address; });
    if (!seen) held_.push_back(h);
  }
  std::sort(held_.begin(), held_.end(),
            [](const Held& x, const Held& y) { return x.address < y.address; });
  for (Held& h : held_) {
    if (h.mutex) h.mutex->lock();
    else pthread_mutex_lock(h.pmutex);
  }
}

SurfaceLock::~SurfaceLock() {
  for (auto it = held_.rbegin(); it != held_.rend(); ++it) {
    if (it->mutex) {
      it->mutex->unlock();
      continue;
    }
    TavorinWindowSurface* window = static_cast<TavorinWindowSurface*>(it->address);
    if (it->drawn) ++window->generation;
    pthread_mutex_unlock(it->pmutex);
  }
}

Pixels SurfaceLock::pixelsOf(const Target& t) const {
  Pixels p;
  if (t.bitmap) {
    p.bitmap = t.bitmap.get();
    p.width = t.bitmap->width;
    p.height = t.bitmap->height;
    p.stride = t.bitmap->stride();
    return p;
  }
  if (t.window && t.window->magic == TAVORIN_WINDOW_SURFACE_MAGIC && t.window->pixels != nullptr &&
      t.window->width > 0 && t.window->height > 0) {
    p.data = t.window->pixels;
    p.width = t.window->width;
    p.height = t.window->height;
  }
  p.stride = p.width;
  return p;
}

void SurfaceLock::markDrawn(const Target& t) {
  for (Held& h : held_) {
    if (h.address == t.window && h.pmutex) h.drawn = true;
  }
}

}  // namespace gdi

using namespace gdi;

namespace platform_testing {
int windowDCCount(HWND window) {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.mutex);
  return r.windowDCsOf(window);
}
}  // namespace platform_testing

HDC GetDC(HWND window) {
  if (window != nullptr && !liveWindow(window)) return nullptr;
  auto dc = std::make_shared<DC>(window ? DCKind::Window : DCKind::Screen);
  dc->window = window;
  return addDC(std::move(dc));
}

int ReleaseDC(HWND window, HDC dc) {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.mutex);
  std::shared_ptr<DC> d = r.find<DC>(key(dc), Kind::DC);
  if (!d || d->dcKind == DCKind::Memory || d->window != window) return 0;
  r.removeDC(key(dc), *d);
  return 1;
}

HDC CreateCompatibleDC(HDC reference) {
  if (reference != nullptr && !targetOf(reference).valid) return nullptr;
  return addDC(std::make_shared<DC>(DCKind::Memory));
}

BOOL DeleteDC(HDC dc) {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.mutex);
  std::shared_ptr<DC> d = r.find<DC>(key(dc), Kind::DC);
  if (!d || d->dcKind != DCKind::Memory) return FALSE;
  r.removeDC(key(dc), *d);
  return TRUE;
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
  if (!bitmapSizeAllowed(width, height)) return nullptr;
  if (!targetOf(dc).valid) return nullptr;
  std::shared_ptr<Bitmap> bitmap;
  try {
    bitmap = std::make_shared<Bitmap>(width, height);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.mutex);
  return handleOf<HBITMAP>(r.add(std::move(bitmap)));
}

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset) {
  if (bits != nullptr) *bits = nullptr;
  // Memory of the system's own only: no file mapping to place the pixels in.
  if (bits == nullptr || section != nullptr || offset != 0 || !dibSupported(info, usage)) return nullptr;
  if (dc != nullptr && !targetOf(dc).valid) return nullptr;
  const LONG height = info->bmiHeader.biHeight;
  const int rows = height > 0 ? int(height) : -int(height);
  if (!bitmapSizeAllowed(int(info->bmiHeader.biWidth), rows)) return nullptr;
  std::shared_ptr<Bitmap> bitmap = Bitmap::section(int(info->bmiHeader.biWidth), rows, height > 0);
  if (!bitmap) return nullptr;
  void* memory = bitmap->sectionBits();
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.mutex);
  HBITMAP handle = handleOf<HBITMAP>(r.add(std::move(bitmap)));
  *bits = memory;
  return handle;
}

BOOL GdiFlush() { return TRUE; }

HBRUSH CreateSolidBrush(COLORREF colour) {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.mutex);
  return handleOf<HBRUSH>(r.add(std::make_shared<Brush>(colour & 0x00FFFFFFu)));
}

HGDIOBJ GetStockObject(int which) {
  Registry& r = registry();
  if (which == WHITE_BRUSH) return handleOf<HGDIOBJ>(r.whiteBrush);
  if (which == BLACK_BRUSH) return handleOf<HGDIOBJ>(r.blackBrush);
  return nullptr;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.mutex);
  std::shared_ptr<DC> d = r.find<DC>(key(dc), Kind::DC);
  Object* o = r.any(key(object));
  if (!d || o == nullptr) return nullptr;
  if (o->kind == Kind::Brush) {
    uintptr_t previous = d->brushHandle;
    r.deselectBrush(previous);
    ++static_cast<Brush*>(o)->selections;
    d->brushHandle = key(object);
    return handleOf<HGDIOBJ>(previous);
  }
  if (o->kind != Kind::Bitmap || d->dcKind != DCKind::Memory) return nullptr;
  auto bitmap = r.find<Bitmap>(key(object), Kind::Bitmap);
  // The stock bitmap may sit in any number of DCs; others in one at a time.
  if (!bitmap->stock && bitmap->selectedIn != 0 && bitmap->selectedIn != key(dc)) return nullptr;
  uintptr_t previous = d->bitmapHandle;
  if (d->bitmap && d->bitmap->selectedIn == key(dc)) d->bitmap->selectedIn = 0;
  if (!bitmap->stock) bitmap->selectedIn = key(dc);
  d->bitmap = std::move(bitmap);
  d->bitmapHandle = key(object);
  return handleOf<HGDIOBJ>(previous);
}

BOOL DeleteObject(HGDIOBJ object) {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.mutex);
  Object* o = r.any(key(object));
  if (o == nullptr || o->kind == Kind::DC) return FALSE;
  if (o->stock) return TRUE;
  if (o->kind == Kind::Bitmap && static_cast<Bitmap*>(o)->selectedIn != 0) return FALSE;
  // A brush still selected in a DC is refused too, so a DC never holds a dead handle.
  if (o->kind == Kind::Brush && static_cast<Brush*>(o)->selections != 0) return FALSE;
  r.remove(key(object));
  return TRUE;
}

int SetStretchBltMode(HDC dc, int mode) {
  if (mode < BLACKONWHITE || mode > HALFTONE) return 0;
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.mutex);
  std::shared_ptr<DC> d = r.find<DC>(key(dc), Kind::DC);
  if (!d) return 0;
  int previous = d->stretchMode;
  d->stretchMode = mode;
  return previous;
}

int GetStretchBltMode(HDC dc) {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.mutex);
  std::shared_ptr<DC> d = r.find<DC>(key(dc), Kind::DC);
  return d ? d->stretchMode : 0;
}

BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* previous) {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.mutex);
  std::shared_ptr<DC> d = r.find<DC>(key(dc), Kind::DC);
  if (!d) return FALSE;
  if (previous != nullptr) *previous = d->brushOrigin;
  d->brushOrigin = {x, y};
  return TRUE;
}
