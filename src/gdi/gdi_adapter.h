// The renderer's view of its video adapter: the window and drawing rectangle the engine set,
// and the two notifications through which the adapter announces the engine's changes.
#pragma once

#include <boost/function.hpp>

#include "abi/abi.h"
#include "framework/geometry.h"

namespace KMC {

class GDIAdapter {
 public:
  GDIAdapter() {}
  // The release notification goes first, then the state notification (each lets go of the
  // renderer member it is bound to).
  virtual ~GDIAdapter() {
    releaseNotification.clear();
    stateNotification.clear();
  }

  virtual WindowHandle window() const = 0;     // 1: the stored handle, 0 = no window
  virtual bool hasSecondaryRect() const = 0;   // 2
  virtual RectInt drawRect() const = 0;        // 3: a copy, read anew for every use
  virtual RectInt secondaryRect() const = 0;   // 4

  // Raised with false just before and true just after every effective change, on the thread
  // that makes the change. Empty until the renderer binds it.
  boost::function<void(bool)> stateNotification;
  // Raised by an adapter owner that takes the adapter away; nothing in this library raises it.
  boost::function<void()> releaseNotification;
};

}  // namespace KMC
