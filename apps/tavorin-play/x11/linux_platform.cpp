#ifdef _WIN32
#error "the Linux player's X11 and platform parts"
#endif
// The operating system's part of the Linux player: process time, load, the terminal, and the
// timing picture (cairo).
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <ostream>

#include "player_window.h"
#include "timing_chart.h"

namespace play {
namespace platform {

double processCpuMilliseconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

double loadAverage() {
  double load[1] = {-1};
  return getloadavg(load, 1) == 1 ? load[0] : -1;
}

bool errorsGoToTerminal() { return isatty(STDERR_FILENO) != 0; }

const char* timingOptionHelp() {
  return "  --timing FILE     draw the run's timing as PNG: lateness, drops, redraws, seeks, pauses\n";
}

const char* pluginOptionHelp() {
  return "  --plugin FILE     the plug-in library (default: the build's libtavorin.so)\n";
}

const char* windowHelp() { return "The window is an X11 window when DISPLAY is set, an off-screen surface otherwise.\n"; }

const char* timingRefusal() { return nullptr; }

bool writeTimingPicture(const std::string& path, const TimingRecord& record, const std::vector<TimingStream>& streams,
                        const std::string& title, std::ostream& out, std::ostream& err) {
  std::vector<ChartStream> bands;
  for (const TimingStream& stream : streams) bands.push_back(ChartStream{stream.channelId, stream.name});
  ChartAxis axis;
  std::string error;
  if (!writeTimingChart(path, record, bands, title, &axis, &error)) {
    err << "tavorin-play: timing: " << error << "\n";
    return false;
  }
  out << "TIMING file=" << path << " width=" << axis.layout.width << " height=" << axis.layout.height
      << " media_from=" << axis.from << " media_to=" << axis.to << "\n" << std::flush;
  return true;
}

}  // namespace platform
}  // namespace play
