#ifdef _WIN32
#error "the Linux player's X11 and platform parts"
#endif
#include "x11_full_screen.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace play {

namespace {

// The window property `name` of type `type` as one 32-bit item, or 0.
unsigned long windowProperty(Display* display, Window window, const char* name, Atom type) {
  Atom property = XInternAtom(display, name, True);
  if (property == 0) return 0;
  Atom actualType = 0;
  int format = 0;
  unsigned long count = 0, left = 0;
  unsigned char* data = nullptr;
  unsigned long value = 0;
  if (XGetWindowProperty(display, window, property, 0, 1, False, type, &actualType, &format, &count, &left, &data) ==
          Success &&
      data && count == 1 && format == 32) {
    value = *reinterpret_cast<unsigned long*>(data);
  }
  if (data) XFree(data);
  return value;
}

}  // namespace

bool X11FullScreen::managerOffersFullScreen() const {
  Display* display = display_;
  Window root = DefaultRootWindow(display);
  // A running manager names its check window on the root, and the window names itself back.
  Window check = windowProperty(display, root, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
  if (check == 0 || windowProperty(display, check, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW) != check) return false;
  Atom supported = XInternAtom(display, "_NET_SUPPORTED", True);
  Atom fullScreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", True);
  if (supported == 0 || fullScreen == 0) return false;
  Atom actualType = 0;
  int format = 0;
  unsigned long count = 0, left = 0;
  unsigned char* data = nullptr;
  bool offered = false;
  if (XGetWindowProperty(display, root, supported, 0, 4096, False, XA_ATOM, &actualType, &format, &count, &left, &data) ==
          Success &&
      data && format == 32) {
    Atom* atoms = reinterpret_cast<Atom*>(data);
    for (unsigned long i = 0; i < count && !offered; ++i) offered = atoms[i] == fullScreen;
  }
  if (data) XFree(data);
  return offered;
}

void X11FullScreen::toggle() {
  Display* display = display_;
  Window root = DefaultRootWindow(display);
  active_ = !active_;
  if (managerOffersFullScreen()) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window_;
    event.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = active_ ? 1 : 0;  // add, remove
    event.xclient.data.l[1] = static_cast<long>(XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False));
    event.xclient.data.l[3] = 1;  // from an application
    XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  } else if (active_) {
    Window unusedRoot = 0, child = 0;
    unsigned border = 0, depth = 0;
    XGetGeometry(display, window_, &unusedRoot, &savedX_, &savedY_, &savedWidth_, &savedHeight_, &border, &depth);
    XTranslateCoordinates(display, window_, root, 0, 0, &savedX_, &savedY_, &child);
    int screen = DefaultScreen(display);
    XMoveResizeWindow(display, window_, 0, 0, static_cast<unsigned>(DisplayWidth(display, screen)),
                      static_cast<unsigned>(DisplayHeight(display, screen)));
    XRaiseWindow(display, window_);
  } else {
    XMoveResizeWindow(display, window_, savedX_, savedY_, savedWidth_, savedHeight_);
  }
  XFlush(display);
}

}  // namespace play
