#ifndef _WIN32
#error "the Windows player's platform part"
#endif
// The operating system's part of the Windows player: process time, the console, and what
// the Windows player does not have (the timing picture, drawn with cairo on Linux).
#include <windows.h>
#include <io.h>

#include <cstdio>
#include <ostream>

#include "player_window.h"

namespace play {
namespace platform {

namespace {
double milliseconds(const FILETIME& time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return static_cast<double>(value.QuadPart) / 10000.0;  // 100 ns units
}
}  // namespace

double processCpuMilliseconds() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  return milliseconds(kernel) + milliseconds(user);
}

double loadAverage() { return -1; }  // Windows keeps none

bool errorsGoToTerminal() { return _isatty(_fileno(stderr)) != 0; }

const char* timingOptionHelp() {
  return "  --timing FILE     not on Windows: the timing picture is drawn with cairo by the Linux player\n";
}

const char* pluginOptionHelp() {
  return "  --plugin FILE     the plug-in DLL (default: tavorin.dll beside the program)\n";
}

const char* windowHelp() {
  return "The window is a Win32 window of the program's own, drawn into by the plug-in with GDI.\n";
}

const char* timingRefusal() {
  return "the timing picture is drawn with cairo, which the Windows player does not have; "
         "run the Linux player for it";
}

bool writeTimingPicture(const std::string&, const TimingRecord&, const std::vector<TimingStream>&, const std::string&,
                        std::ostream&, std::ostream& err) {
  err << "tavorin-play: --timing: " << timingRefusal() << "\n";
  return false;
}

}  // namespace platform
}  // namespace play
