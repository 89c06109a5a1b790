// Driving the player's X11 window from a test: finding it, pressing its keys as a user would
// (KeyPress events sent to the window) and reading its size.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#undef Bool
#undef None
#undef Status

#include <string>

#include "support/eventually.h"

namespace {

// The window named `name` among the root's children; 0 when absent.
inline Window findNamedWindow(Display* display, const char* name) {
  Window root = DefaultRootWindow(display), parent = 0, *children = nullptr, found = 0;
  unsigned count = 0;
  if (!XQueryTree(display, root, &root, &parent, &children, &count)) return 0;
  for (unsigned i = 0; i < count && !found; ++i) {
    char* title = nullptr;
    if (XFetchName(display, children[i], &title) && title) {
      if (std::string(title) == name) found = children[i];
      XFree(title);
    }
  }
  if (children) XFree(children);
  return found;
}

// The player's window once it is on screen; 0 when it never appears.
inline Window waitForPlayerWindow(Display* display) {
  Window window = 0;
  testsupport::eventually(
      [&] {
        window = findNamedWindow(display, "tavorin-play");
        XWindowAttributes state{};
        return window && XGetWindowAttributes(display, window, &state) && state.map_state == IsViewable;
      },
      60);
  return window;
}

inline void pressKey(Display* display, Window window, KeySym key, bool shift = false) {
  XEvent event{};
  XKeyEvent& press = event.xkey;
  press.type = KeyPress;
  press.display = display;
  press.window = window;
  press.root = DefaultRootWindow(display);
  press.time = CurrentTime;
  press.same_screen = 1;
  press.keycode = XKeysymToKeycode(display, key);
  press.state = shift ? ShiftMask : 0;
  XSendEvent(display, window, 1, KeyPressMask, &event);
  XFlush(display);
}

inline bool windowHasSize(Display* display, Window window, int width, int height) {
  XWindowAttributes state{};
  return XGetWindowAttributes(display, window, &state) && state.width == width && state.height == height;
}

}  // namespace
