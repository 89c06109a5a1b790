// The Linux player's windows: an X11 window when DISPLAY is set, the engine's surface alone
// (off-screen) otherwise.
//
// The plug-in draws into the engine's window surface (host::HostWindow). With a display,
// the surface's pixels are the presenter's image itself where the image allows it, so the
// renderer's copy into the window is all the copying a picture needs before the X request;
// pump() puts the image into the X window whenever the plug-in drew again, and hands on size
// changes (the surface follows them), keys and the close button.
#pragma once

#include <memory>
#include <string>

#include "player_window.h"
#include "x11_full_screen.h"
#include "x11_presenter.h"

namespace play {

class X11PlayerWindow final : public PlayerWindow {
 public:
  X11PlayerWindow(int width, int height);
  // The surface must not outlive the presenter's image it may draw into.
  ~X11PlayerWindow() override;

  // Maps the window and waits (up to 5 s) until the server has exposed it, so that the first
  // picture is not lost. False with *error set.
  bool open(std::ostream& err, std::string* error);

  host::HostWindow& surface() override { return surface_; }
  Events pump() override;
  void toggleFullScreen() override { fullScreen_->toggle(); }
  std::string kind() const override { return presenter_.sharedMemory() ? "x11-shm" : "x11"; }
  std::string description() const override { return "X11"; }

 private:
  // The surface becomes the presenter's image; false when the image cannot serve.
  bool drawIntoPresenterImage(int width, int height);

  host::HostWindow surface_;
  X11Presenter presenter_;
  std::unique_ptr<X11FullScreen> fullScreen_;
  uint32_t shownGeneration_ = 0;
};

// No display: the plug-in draws into the surface, which nobody shows; there are no keys and
// no screen to cover.
class OffscreenWindow final : public PlayerWindow {
 public:
  OffscreenWindow(int width, int height) : surface_(width, height) {}
  host::HostWindow& surface() override { return surface_; }
  Events pump() override { return Events(); }
  void toggleFullScreen() override {}
  std::string kind() const override { return "offscreen"; }
  std::string description() const override { return "off-screen"; }

 private:
  host::HostWindow surface_;
};

}  // namespace play
