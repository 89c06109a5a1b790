#ifdef _WIN32
#error "the Linux player's X11 and platform parts"
#endif
#include "x11_player_window.h"

#include <chrono>
#include <cstdlib>
#include <ostream>
#include <thread>

#include "x11_key_map.h"

namespace play {

X11PlayerWindow::X11PlayerWindow(int width, int height) : surface_(width, height) {}

X11PlayerWindow::~X11PlayerWindow() { surface_.resize(surface_.width(), surface_.height()); }

bool X11PlayerWindow::open(std::ostream& err, std::string* error) {
  int width = surface_.width(), height = surface_.height();
  if (!presenter_.open(width, height, "tavorin-play", error)) {
    *error += " (unset DISPLAY to play off-screen)";
    return false;
  }
  fullScreen_.reset(new X11FullScreen(presenter_.display(), presenter_.windowId()));
  if (!presenter_.sharedMemory()) err << "tavorin-play: no shared memory images: " << presenter_.sharedMemoryNote() << "\n";
  drawIntoPresenterImage(width, height);
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  while (!presenter_.mapped() && std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
    pump();  // keys before the window is shown are the caller's to ignore
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

PlayerWindow::Events X11PlayerWindow::pump() {
  X11Presenter::Events x = presenter_.pump();
  Events events;
  events.closeRequested = x.closeRequested;
  if (x.resized) {
    if (!drawIntoPresenterImage(x.width, x.height)) surface_.resize(x.width, x.height);
    events.resized = true;
    events.width = x.width;
    events.height = x.height;
  }
  for (const X11Presenter::Events::Key& key : x.keys) {
    events.commands.push_back(commandForKey(playerKeyOfKeysym(key.keysym), key.shift));
  }
  uint32_t generation = surface_.generation();
  if (generation != shownGeneration_ || x.exposed || x.resized) {
    shownGeneration_ = generation;
    surface_.withPixels([&](const uint32_t* pixels, int32_t w, int32_t h) { presenter_.present(pixels, w, h); });
  }
  return events;
}

bool X11PlayerWindow::drawIntoPresenterImage(int width, int height) {
  return surface_.drawInto(presenter_.imagePixels(), width, height);
}

std::unique_ptr<PlayerWindow> openPlayerWindow(int width, int height, std::ostream& err, std::string* error) {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) return std::unique_ptr<PlayerWindow>(new OffscreenWindow(width, height));
  std::unique_ptr<X11PlayerWindow> window(new X11PlayerWindow(width, height));
  if (!window->open(err, error)) return nullptr;
  return std::unique_ptr<PlayerWindow>(window.release());
}

}  // namespace play
