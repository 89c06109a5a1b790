// The renderer's view of its video adapter: the window and drawing rectangle the engine set,
// and the notification through which the adapter announces the engine's changes.
//
// The adapter is the renderer's own: made when the engine chooses its kind, handed to the
// engine with setVideoAdapter, taken back (setVideoAdapter(null)) and deleted with the
// renderer. Nobody else can take it away, so there is no release notification.
#pragma once

#include <boost/function.hpp>

#include "abi/abi.h"
#include "framework/geometry.h"

namespace KMC {

class GDIAdapter {
 public:
  GDIAdapter() {}
  // Lets go of the renderer member the notification is bound to.
  virtual ~GDIAdapter() { stateNotification.clear(); }

  virtual WindowHandle window() const = 0;     // 1: the stored handle, 0 = no window
  virtual bool hasSecondaryRect() const = 0;   // 2
  virtual RectInt drawRect() const = 0;        // 3: a copy, read anew for every use
  virtual RectInt secondaryRect() const = 0;   // 4

  // Raised with false just before and true just after every effective change, on the thread
  // that makes the change. Empty until the renderer binds it.
  boost::function<void(bool)> stateNotification;
};

}  // namespace KMC
