#include "play_report.h"

#include <cstdio>

namespace play {

std::string formatReport(const PlayReport& r) {
  char text[1024];
  std::string out;
  bool files = !r.streams.empty() && r.streams.front().decoded >= 0;
  std::snprintf(text, sizeof text, "frames     %lld %s, %lld delivered, %lld presented (%.1f%%), %lld dropped late\n",
                static_cast<long long>(r.expected), files ? "made from the files" : "in the clip", static_cast<long long>(r.delivered),
                static_cast<long long>(r.presented), 100.0 * r.presentedShare(), static_cast<long long>(r.dropped));
  out += text;
  std::snprintf(text, sizeof text, "lateness   mean %.1f ms, p95 %d ms, max %d ms (media time, %lld frames)\n",
                r.lateness.mean, r.lateness.p95, r.lateness.max, static_cast<long long>(r.lateness.count));
  out += text;
  std::snprintf(text, sizeof text, "redraws    %lld in %.2f s = %.1f per second (%s window)\n",
                static_cast<long long>(r.redraws), r.seconds, r.redrawRate(), r.window.c_str());
  out += text;
  std::snprintf(text, sizeof text, "releases   %lld of %lld frames, %lld extra: %s\n",
                static_cast<long long>(r.framesReleased), static_cast<long long>(r.framesMade),
                static_cast<long long>(r.extraReleases), r.releasedOk ? "every frame released once" : "NOT CLEAN");
  out += text;
  if (r.seeks > 0 || r.outOfOrder > 0) {
    std::snprintf(text, sizeof text, "order      %lld seeks or turns; %lld frames presented out of play order\n",
                  static_cast<long long>(r.seeks), static_cast<long long>(r.outOfOrder));
    out += text;
  }
  for (const StreamReport& s : r.streams) {
    std::string decoded = s.decoded < 0 ? "" : std::to_string(s.decoded) + " decoded, ";
    std::snprintf(text, sizeof text,
                  "stream %d   %s: %s%lld delivered, %lld presented, %lld dropped late, %lld damaged, "
                  "%lld unplayed; lateness mean %.1f ms, p95 %d ms, max %d ms\n",
                  s.channelId, s.name.c_str(), decoded.c_str(), static_cast<long long>(s.delivered),
                  static_cast<long long>(s.presented), static_cast<long long>(s.dropped),
                  static_cast<long long>(s.damaged), static_cast<long long>(s.unplayed), s.lateness.mean,
                  s.lateness.p95, s.lateness.max);
    out += text;
    if (!s.problem.empty()) out += "stream " + std::to_string(s.channelId) + "   " + s.name + ": " + s.problem + "\n";
  }
  for (const StreamReport& s : r.streams) {
    std::snprintf(text, sizeof text,
                  "STREAM channel=%d decoded=%lld delivered=%lld presented=%lld dropped=%lld damaged=%lld "
                  "unplayed=%lld late_mean=%.2f late_p95=%d late_max=%d out_of_order=%lld\n",
                  s.channelId, static_cast<long long>(s.decoded), static_cast<long long>(s.delivered),
                  static_cast<long long>(s.presented), static_cast<long long>(s.dropped),
                  static_cast<long long>(s.damaged), static_cast<long long>(s.unplayed), s.lateness.mean,
                  s.lateness.p95, s.lateness.max, static_cast<long long>(s.outOfOrder));
    out += text;
  }
  std::snprintf(text, sizeof text,
                "REPORT expected=%lld delivered=%lld presented=%lld dropped=%lld late_mean=%.2f late_p95=%d "
                "late_max=%d redraws=%lld seconds=%.3f redraw_rate=%.2f made=%lld released=%lld extra_releases=%lld "
                "released_ok=%d cpu_ms=%.1f damaged=%lld unplayed=%lld buffers=%lld out_of_order=%lld seeks=%lld window=%s\n",
                static_cast<long long>(r.expected), static_cast<long long>(r.delivered),
                static_cast<long long>(r.presented), static_cast<long long>(r.dropped), r.lateness.mean,
                r.lateness.p95, r.lateness.max, static_cast<long long>(r.redraws), r.seconds, r.redrawRate(),
                static_cast<long long>(r.framesMade), static_cast<long long>(r.framesReleased),
                static_cast<long long>(r.extraReleases), r.releasedOk ? 1 : 0, r.cpuMs,
                static_cast<long long>(r.damaged), static_cast<long long>(r.unplayed),
                static_cast<long long>(r.buffersAllocated), static_cast<long long>(r.outOfOrder),
                static_cast<long long>(r.seeks), r.window.c_str());
  out += text;
  return out;
}

}  // namespace play
