// The seam between the shared player and its platform folder (x11/ on Linux, win32/ on
// Windows): the window the plug-in's pictures are shown in, and the few things of the
// operating system the run needs. Each platform folder implements everything declared here,
// and CMake builds exactly one of them.
//
// A PlayerWindow owns the engine's window that the plug-in draws into (host::HostWindow,
// handed over through the window-handle adapter), whatever shows it to the user, and the
// keys and size changes that come from the window system. It is used on the main thread only.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "engine/host_window.h"
#include "key_commands.h"
#include "timing_log.h"

namespace play {

class PlayerWindow {
 public:
  struct Events {
    // The client area changed size: the surface has the new size already, the plug-in's
    // drawing rectangle is the caller's to update.
    bool resized = false;
    int width = 0;
    int height = 0;
    bool closeRequested = false;   // the user closed the window
    std::vector<Command> commands;  // keys pressed in the window, in order
  };

  virtual ~PlayerWindow() = default;

  // The window the plug-in draws into; its handle goes to the adapter.
  virtual host::HostWindow& surface() = 0;
  // Handles every pending event of the window system without blocking, and makes what the
  // plug-in drew last visible where the platform needs the player for that.
  virtual Events pump() = 0;
  // Makes the window cover its screen (monitor), or gives it back its place and size; the
  // size change comes back through pump() like any other.
  virtual void toggleFullScreen() = 0;
  // The report's name of the window: "x11-shm", "x11", "offscreen", "win32".
  virtual std::string kind() const = 0;
  // The same for people (the timing picture's title): "X11", "off-screen", "Win32".
  virtual std::string description() const = 0;
};

// The platform's window for the player, width x height; null with *error saying why (the
// caller prefixes "tavorin-play: "). Notes that are not errors go to err.
std::unique_ptr<PlayerWindow> openPlayerWindow(int width, int height, std::ostream& err, std::string* error);

namespace platform {

// User plus system CPU time of the whole process so far.
double processCpuMilliseconds();
// The one-minute load average of the machine, or -1 where there is none.
double loadAverage();
// Whether the error output is a terminal (the progress line then rewrites itself).
bool errorsGoToTerminal();

// The --help lines that differ by platform: the --timing and --plugin options and where the
// window is.
const char* timingOptionHelp();
const char* pluginOptionHelp();
const char* windowHelp();
// Null where --timing works; else why it is refused.
const char* timingRefusal();

struct TimingStream {
  int32_t channelId;
  std::string name;
};
// Draws the run's timing picture into path and prints its TIMING line to out; false with a
// message on err.
bool writeTimingPicture(const std::string& path, const TimingRecord& record, const std::vector<TimingStream>& streams,
                        const std::string& title, std::ostream& out, std::ostream& err);

}  // namespace platform

}  // namespace play
