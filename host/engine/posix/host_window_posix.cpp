#ifdef _WIN32
#error "POSIX windows"
#endif
// The window handle of the POSIX drawing layer is the address of a shared surface record; the
// engine owns it. Knowing its layout is the one platform fact the engine stand-in needs.
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/host_window.h"
#include "platform/posix/window_surface.h"

namespace host {

struct HostWindow::Impl {
  TavorinWindowSurface surface;
  bool ownsPixels = true;  // false while the pixels are a caller's (drawInto)
};

namespace {
uint32_t* allocatePixels(int32_t width, int32_t height) {
  size_t count = static_cast<size_t>(width > 0 ? width : 0) * static_cast<size_t>(height > 0 ? height : 0);
  if (count == 0) return nullptr;
  uint32_t* pixels = static_cast<uint32_t*>(std::calloc(count, sizeof(uint32_t)));
  if (!pixels) throw std::bad_alloc();
  return pixels;
}
}  // namespace

HostWindow::HostWindow(int32_t width, int32_t height, Style) : impl_(new Impl) {
  std::memset(&impl_->surface, 0, sizeof impl_->surface);
  pthread_mutex_init(&impl_->surface.lock, nullptr);
  impl_->surface.width = width > 0 ? width : 0;
  impl_->surface.height = height > 0 ? height : 0;
  impl_->surface.pixels = allocatePixels(width, height);
  impl_->surface.magic = TAVORIN_WINDOW_SURFACE_MAGIC;
}

HostWindow::~HostWindow() {
  pthread_mutex_lock(&impl_->surface.lock);
  impl_->surface.magic = 0;
  if (impl_->ownsPixels) std::free(impl_->surface.pixels);
  impl_->surface.pixels = nullptr;
  pthread_mutex_unlock(&impl_->surface.lock);
  pthread_mutex_destroy(&impl_->surface.lock);
  delete impl_;
}

KMC::WindowHandle HostWindow::handle() const { return reinterpret_cast<KMC::WindowHandle>(&impl_->surface); }

int32_t HostWindow::width() const {
  pthread_mutex_lock(&impl_->surface.lock);
  int32_t w = impl_->surface.width;
  pthread_mutex_unlock(&impl_->surface.lock);
  return w;
}

int32_t HostWindow::height() const {
  pthread_mutex_lock(&impl_->surface.lock);
  int32_t h = impl_->surface.height;
  pthread_mutex_unlock(&impl_->surface.lock);
  return h;
}

void HostWindow::resize(int32_t width, int32_t height) {
  uint32_t* fresh = allocatePixels(width, height);
  pthread_mutex_lock(&impl_->surface.lock);
  if (impl_->ownsPixels) std::free(impl_->surface.pixels);
  impl_->surface.pixels = fresh;
  impl_->surface.width = width > 0 ? width : 0;
  impl_->surface.height = height > 0 ? height : 0;
  impl_->ownsPixels = true;
  pthread_mutex_unlock(&impl_->surface.lock);
}

bool HostWindow::drawInto(uint32_t* pixels, int32_t width, int32_t height) {
  if (!pixels || width <= 0 || height <= 0) return false;
  pthread_mutex_lock(&impl_->surface.lock);
  if (impl_->ownsPixels) std::free(impl_->surface.pixels);
  impl_->surface.pixels = pixels;
  impl_->surface.width = width;
  impl_->surface.height = height;
  impl_->ownsPixels = false;
  pthread_mutex_unlock(&impl_->surface.lock);
  return true;
}

std::vector<uint32_t> HostWindow::readPixels(int32_t* width, int32_t* height) const {
  std::vector<uint32_t> out;
  withPixels([&](const uint32_t* pixels, int32_t w, int32_t h) {
    if (pixels) out.assign(pixels, pixels + static_cast<size_t>(w) * h);
    if (width) *width = w;
    if (height) *height = h;
  });
  return out;
}

uint32_t HostWindow::pixel(int32_t x, int32_t y) const {
  uint32_t value = 0;
  withPixels([&](const uint32_t* pixels, int32_t w, int32_t h) {
    if (pixels && x >= 0 && y >= 0 && x < w && y < h) value = pixels[static_cast<size_t>(y) * w + x] & 0x00FFFFFFu;
  });
  return value;
}

uint32_t HostWindow::generation() const {
  pthread_mutex_lock(&impl_->surface.lock);
  uint32_t g = impl_->surface.generation;
  pthread_mutex_unlock(&impl_->surface.lock);
  return g;
}

bool HostWindow::lockPixels(const uint32_t** pixels, int32_t* width, int32_t* height) const {
  pthread_mutex_lock(&impl_->surface.lock);
  *pixels = impl_->surface.pixels;
  *width = impl_->surface.width;
  *height = impl_->surface.height;
  return true;
}

void HostWindow::unlockPixels() const { pthread_mutex_unlock(&impl_->surface.lock); }

bool HostWindow::closeRequested() const { return false; }  // nobody can close a surface

}  // namespace host
