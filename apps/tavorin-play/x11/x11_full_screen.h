// Full screen for the player's X11 window, and back.
//
// Under a window manager that offers the full-screen state (_NET_WM_STATE_FULLSCREEN), the
// window asks it for that state; on a bare server (no window manager, as under Xvfb) the
// window itself takes the whole screen and later its former place and size again. Either way
// the size change arrives as the window's ConfigureNotify, which the player hands on to the
// plug-in like any other resize. Used on the presenter's thread, with its connection.
#pragma once

struct _XDisplay;

namespace play {

class X11FullScreen {
 public:
  X11FullScreen(_XDisplay* display, unsigned long window) : display_(display), window_(window) {}

  void toggle();
  bool active() const { return active_; }

 private:
  // A window manager that handles the full-screen state runs on the screen.
  bool managerOffersFullScreen() const;

  _XDisplay* display_;
  unsigned long window_;
  bool active_ = false;
  int savedX_ = 0, savedY_ = 0;
  unsigned savedWidth_ = 0, savedHeight_ = 0;
};

}  // namespace play
