// Shows the window surface in an X11 window.
//
// The plug-in draws into the engine's window surface; this copies the surface into an XImage
// (in shared memory when the server offers MIT-SHM and can attach the segment, plain
// XPutImage otherwise) and puts it into a real window. Only the default visual of depth 24
// with 32-bit pixels in the surface's byte order is supported, so the copy is a plain row
// copy. Every call must come from the one thread that opened the presenter.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct _XDisplay;

namespace play {

class X11Presenter {
 public:
  struct Events {
    bool resized = false;         // the window's size changed; width and height hold it
    int width = 0;
    int height = 0;
    bool exposed = false;         // the window needs its picture again
    bool closeRequested = false;  // the user closed the window
    struct Key {
      unsigned long keysym;  // unshifted
      bool shift;
    };
    std::vector<Key> keys;        // keys pressed in the window, in order
  };

  X11Presenter();
  ~X11Presenter();
  X11Presenter(const X11Presenter&) = delete;
  X11Presenter& operator=(const X11Presenter&) = delete;

  // Connects to the display named by DISPLAY and maps a window of width x height. Answers
  // false with *error set when there is no display or its visual does not fit. With
  // sharedMemory false, pictures always go by XPutImage.
  bool open(int width, int height, const std::string& title, std::string* error, bool sharedMemory = true);

  // Handles every pending event without blocking.
  Events pump();

  // Copies width x height pixels (0x00RRGGBB, top row first, no padding) into the window.
  // Does nothing until the window's first Expose has arrived. Answers whether it drew.
  // Pixels that are imagePixels() are put as they are, without a copy.
  bool present(const uint32_t* pixels, int width, int height);

  // The image's own pixels (the window's size, top row first, no padding), or null when the
  // image's rows are padded. Whoever draws into them directly presents with no copy at all.
  // After a resize pump() makes a new image; the previous one stays valid until the next pump().
  uint32_t* imagePixels() const;

  bool sharedMemory() const;
  // The X window id (for tools and tests that read the window back).
  unsigned long windowId() const;
  // The connection, for the window's other owners on this thread (full screen).
  _XDisplay* display() const;
  // The first Expose has arrived.
  bool mapped() const;
  // Pictures put into the window so far.
  int64_t presented() const;
  // Why shared memory is not used (empty when it is, or before open).
  const std::string& sharedMemoryNote() const;

 private:
  struct Impl;
  Impl* impl_;
};

}  // namespace play
