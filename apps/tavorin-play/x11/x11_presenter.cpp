#ifdef _WIN32
#error "the Linux player's X11 and platform parts"
#endif
#include "x11_presenter.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace play {

namespace {

// Set by the error handler while a shared memory attach is being checked.
bool g_attachFailed = false;

int recordAttachError(Display*, XErrorEvent*) {
  g_attachFailed = true;
  return 0;
}

}  // namespace

struct X11Presenter::Impl {
  Display* display = nullptr;
  Window window = 0;
  GC gc = nullptr;
  Visual* visual = nullptr;
  int depth = 0;
  Atom deleteWindow = 0;
  XImage* image = nullptr;
  XShmSegmentInfo segment = {};
  bool shmAvailable = false;
  bool shmImage = false;  // image lives in an attached segment
  // The image a resize replaced: someone may still draw into its pixels until the next pump.
  XImage* retired = nullptr;
  XShmSegmentInfo retiredSegment = {};
  bool retiredShm = false;
  bool mapped = false;
  int width = 0, height = 0;
  int64_t presented = 0;
  std::string shmNote;

  ~Impl() {
    destroyRetired();
    destroyImage();
    if (gc) XFreeGC(display, gc);
    if (window) XDestroyWindow(display, window);
    if (display) XCloseDisplay(display);
  }

  void destroyImage() {
    destroy(image, segment, shmImage);
  }
  void destroyRetired() { destroy(retired, retiredSegment, retiredShm); }
  void destroy(XImage*& which, XShmSegmentInfo& itsSegment, bool& inSegment) {
    if (!which) return;
    if (inSegment) {
      XShmDetach(display, &itsSegment);
      XSync(display, False);
      which->data = nullptr;
      XDestroyImage(which);
      shmdt(itsSegment.shmaddr);
      itsSegment = XShmSegmentInfo{};
    } else {
      XDestroyImage(which);  // frees the malloc'd data too
    }
    which = nullptr;
    inSegment = false;
  }
  // Keeps the current image aside until the next pump instead of freeing it at once.
  void retireImage() {
    destroyRetired();
    retired = image;
    retiredSegment = segment;
    retiredShm = shmImage;
    image = nullptr;
    segment = XShmSegmentInfo{};
    shmImage = false;
  }

  // A shared memory image of the window's size, or null (with shmNote saying why). The
  // segment is marked for removal right after the server attached it, so it goes away with
  // the last detach even if the program dies.
  XImage* createSharedImage() {
    XImage* shared = XShmCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &segment,
                                     static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (!shared) {
      shmNote = "XShmCreateImage failed";
      return nullptr;
    }
    segment.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(shared->bytes_per_line) * shared->height, IPC_CREAT | 0600);
    if (segment.shmid < 0) {
      shmNote = "shmget failed";
      XDestroyImage(shared);
      return nullptr;
    }
    segment.shmaddr = shared->data = static_cast<char*>(shmat(segment.shmid, nullptr, 0));
    if (segment.shmaddr == reinterpret_cast<char*>(-1)) {
      shmNote = "shmat failed";
      shmctl(segment.shmid, IPC_RMID, nullptr);
      shared->data = nullptr;
      XDestroyImage(shared);
      return nullptr;
    }
    segment.readOnly = False;
    // The attach is checked by the server later: catch its error with a handler and a sync.
    g_attachFailed = false;
    XErrorHandler previous = XSetErrorHandler(recordAttachError);
    Status attached = XShmAttach(display, &segment);
    XSync(display, False);
    XSetErrorHandler(previous);
    shmctl(segment.shmid, IPC_RMID, nullptr);
    if (!attached || g_attachFailed) {
      shmNote = "the server could not attach the shared memory segment";
      shmdt(segment.shmaddr);
      shared->data = nullptr;
      XDestroyImage(shared);
      segment = XShmSegmentInfo{};
      return nullptr;
    }
    return shared;
  }

  XImage* createPlainImage() {
    size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    char* data = static_cast<char*>(std::calloc(bytes ? bytes : 4, 1));
    if (!data) return nullptr;
    XImage* plain = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, data,
                                 static_cast<unsigned>(width), static_cast<unsigned>(height), 32, width * 4);
    if (!plain) std::free(data);
    return plain;
  }

  void createImage() {
    retireImage();
    if (shmAvailable) {
      image = createSharedImage();
      if (image) {
        shmImage = true;
        return;
      }
      shmAvailable = false;  // do not try again on every resize
    }
    image = createPlainImage();
  }
};

X11Presenter::X11Presenter() : impl_(new Impl) {}

X11Presenter::~X11Presenter() { delete impl_; }

bool X11Presenter::open(int width, int height, const std::string& title, std::string* error, bool sharedMemory) {
  Impl& x = *impl_;
  const char* name = std::getenv("DISPLAY");
  x.display = XOpenDisplay(nullptr);
  if (!x.display) {
    *error = std::string("cannot open X display '") + (name ? name : "") + "'";
    return false;
  }
  int screen = DefaultScreen(x.display);
  x.visual = DefaultVisual(x.display, screen);
  x.depth = DefaultDepth(x.display, screen);
  int bitsPerPixel = 0;
  int formatCount = 0;
  if (XPixmapFormatValues* formats = XListPixmapFormats(x.display, &formatCount)) {
    for (int i = 0; i < formatCount; ++i) {
      if (formats[i].depth == x.depth) bitsPerPixel = formats[i].bits_per_pixel;
    }
    XFree(formats);
  }
  // The surface holds 0x00RRGGBB words in host (little-endian) order.
  if ((x.depth != 24 && x.depth != 32) || bitsPerPixel != 32 || x.visual->red_mask != 0xFF0000 ||
      x.visual->green_mask != 0x00FF00 || x.visual->blue_mask != 0x0000FF || ImageByteOrder(x.display) != LSBFirst) {
    *error = "the X display's default visual is not 24-bit true colour in 32-bit little-endian pixels";
    return false;
  }
  x.width = width;
  x.height = height;
  // Events are selected as the window is made, so no resize can slip in before them.
  XSetWindowAttributes attributes{};
  attributes.background_pixel = BlackPixel(x.display, screen);
  attributes.event_mask = ExposureMask | StructureNotifyMask | KeyPressMask;
  x.window = XCreateWindow(x.display, RootWindow(x.display, screen), 0, 0, static_cast<unsigned>(width),
                           static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                           CWBackPixel | CWEventMask, &attributes);
  XStoreName(x.display, x.window, title.c_str());
  x.deleteWindow = XInternAtom(x.display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(x.display, x.window, &x.deleteWindow, 1);
  x.gc = XCreateGC(x.display, x.window, 0, nullptr);
  x.shmAvailable = sharedMemory && XShmQueryExtension(x.display);
  if (!x.shmAvailable) x.shmNote = sharedMemory ? "the server has no MIT-SHM" : "not asked for";
  x.createImage();
  if (!x.image) {
    *error = "cannot create an image of the window's size";
    return false;
  }
  XMapWindow(x.display, x.window);
  XFlush(x.display);
  return true;
}

X11Presenter::Events X11Presenter::pump() {
  Impl& x = *impl_;
  Events events;
  if (!x.display) return events;
  x.destroyRetired();
  while (XPending(x.display) > 0) {
    XEvent event;
    XNextEvent(x.display, &event);
    switch (event.type) {
      case Expose:
        if (event.xexpose.count == 0) {
          x.mapped = true;
          events.exposed = true;
        }
        break;
      case ConfigureNotify:
        if (event.xconfigure.width != x.width || event.xconfigure.height != x.height) {
          x.width = event.xconfigure.width;
          x.height = event.xconfigure.height;
          events.resized = true;
        }
        break;
      case ClientMessage:
        if (static_cast<Atom>(event.xclient.data.l[0]) == x.deleteWindow) events.closeRequested = true;
        break;
      case KeyPress:
        events.keys.push_back(Events::Key{XLookupKeysym(&event.xkey, 0), (event.xkey.state & ShiftMask) != 0});
        break;
      default:
        break;
    }
  }
  if (events.resized) {
    x.createImage();
    events.width = x.width;
    events.height = x.height;
  }
  return events;
}

bool X11Presenter::present(const uint32_t* pixels, int width, int height) {
  Impl& x = *impl_;
  if (!x.mapped || !x.image || !pixels) return false;
  int rows = std::min(height, x.image->height);
  int columns = std::min(width, x.image->width);
  const bool own = pixels == imagePixels();
  for (int y = 0; y < x.image->height && !own; ++y) {
    char* line = x.image->data + static_cast<size_t>(y) * x.image->bytes_per_line;
    if (y < rows) {
      std::memcpy(line, pixels + static_cast<size_t>(y) * width, static_cast<size_t>(columns) * 4);
      std::memset(line + columns * 4, 0, static_cast<size_t>(x.image->width - columns) * 4);
    } else {
      std::memset(line, 0, static_cast<size_t>(x.image->width) * 4);
    }
  }
  if (x.shmImage) {
    XShmPutImage(x.display, x.window, x.gc, x.image, 0, 0, 0, 0, static_cast<unsigned>(x.image->width),
                 static_cast<unsigned>(x.image->height), False);
  } else {
    XPutImage(x.display, x.window, x.gc, x.image, 0, 0, 0, 0, static_cast<unsigned>(x.image->width),
              static_cast<unsigned>(x.image->height));
  }
  // Wait until the server has drawn it: the next copy into a shared segment cannot tear this
  // picture, pictures never queue up faster than the server shows them, and whoever reads
  // the window next sees this one.
  XSync(x.display, False);
  ++x.presented;
  return true;
}

uint32_t* X11Presenter::imagePixels() const {
  const XImage* image = impl_->image;
  if (!image || image->bits_per_pixel != 32 || image->bytes_per_line != image->width * 4) return nullptr;
  return reinterpret_cast<uint32_t*>(image->data);
}

bool X11Presenter::sharedMemory() const { return impl_->shmImage; }
unsigned long X11Presenter::windowId() const { return impl_->window; }
_XDisplay* X11Presenter::display() const { return impl_->display; }
bool X11Presenter::mapped() const { return impl_->mapped; }
int64_t X11Presenter::presented() const { return impl_->presented; }
const std::string& X11Presenter::sharedMemoryNote() const { return impl_->shmNote; }

}  // namespace play
