// The window-handle adapter: the engine writes a window, a drawing rectangle and a secondary
// rectangle; the renderer reads them. Every change is bracketed by a false and a true state
// notification, and the false one pauses the renderer's drawing.
//
// Setters run on engine threads and getters on the output thread, so the stored values and
// the bound notifications are read and written under the adapter's lock; notifications are
// raised outside it, so a renderer handler may take its own locks.
#pragma once

#include <boost/thread/recursive_mutex.hpp>

#include "abi/video_adapter.h"
#include "gdi/gdi_adapter.h"

namespace KMC {

class VideoAdapterGDIHWND final : public VideoAdapterHWND, public GDIAdapter {
 public:
  VideoAdapterGDIHWND();
  ~VideoAdapterGDIHWND() override;

  // Engine side. Entry 0 destroys the adapter; the renderer owns it and the engine never calls
  // it. The rectangles arrive as the engine's RectInt by value; only their edges are read.
  void* deletingDestructor(uint32_t flags) override { return runDeletingDestructor(this, flags); }
  void setDrawRect(RectIntRecord rect) override;
  void setSecondaryRect(RectIntRecord rect) override;
  void setWindow(WindowHandle window) override;

  // Renderer side.
  WindowHandle window() const override;
  bool hasSecondaryRect() const override;
  RectInt drawRect() const override;
  RectInt secondaryRect() const override;

  // Binds the renderer's handler (under the lock, so a setter on another thread sees either
  // no handler or the complete one).
  void bindNotification(const boost::function<void(bool)>& state);

 private:
  // Which notifications a change raises: false before it (the renderer stops drawing with the
  // old value) and true after it (it may draw with the new one).
  struct Halves {
    bool before, after;
  };
  // A rectangle's change has both halves.
  static Halves bothHalvesIf(bool differs) { return Halves{differs, differs}; }
  // One change by an engine setter: compare(), under the lock, answers the halves the change
  // has (neither: the value is the stored one, nothing happens); store() then writes the value
  // under the lock, between the two notifications, which are raised outside it.
  template <typename Compare, typename Store>
  void change(Compare compare, Store store);
  void raiseState(bool ready);

  WindowHandle window_;
  RectInt drawRect_;
  RectInt secondaryRect_;
  bool secondaryRectSet_;
  mutable boost::recursive_mutex lock_;
};

}  // namespace KMC
