#ifdef _WIN32
#error "the Linux player's X11 and platform parts"
#endif
#include "timing_chart.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <utility>
#include <vector>

namespace play {

namespace {

const int kWidth = 1200;
const int kTitleHeight = 40;
const int kMarkRow = 22;
const int kBandHeight = 170;
const int kRedrawHeight = 110;
const int kGap = 16;
const int kAxisHeight = 46;
const int kLeft = 110;
const int kRight = 30;

void setColour(cairo_t* cr, uint32_t rgb, double alpha = 1.0) {
  cairo_set_source_rgba(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, alpha);
}

// Draws s with its baseline at y, from x (or ending at x); answers where it ends.
double text(cairo_t* cr, double x, double y, const std::string& s, double size, uint32_t colour, bool rightAligned = false) {
  cairo_set_font_size(cr, size);
  setColour(cr, colour);
  cairo_text_extents_t extents;
  cairo_text_extents(cr, s.c_str(), &extents);
  double at = rightAligned ? x - extents.x_advance : x;
  cairo_move_to(cr, at, y);
  cairo_show_text(cr, s.c_str());
  return at + extents.x_advance;
}

std::string format(const char* pattern, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, pattern, value);
  return buffer;
}

std::string rateText(int32_t rate) {
  double speed = std::abs(rate) / 1000.0;
  std::string s = speed >= 1 ? format("%gx", speed) : "1/" + format("%g", 1.0 / speed) + "x";
  return rate < 0 ? "-" + s : s;
}

// A step of 1, 2 or 5 times a power of ten that gives at most `most` steps over span.
double niceStep(double span, int most) {
  double step = std::pow(10.0, std::floor(std::log10(std::max(span, 1e-9) / most)));
  for (double factor : {1.0, 2.0, 5.0, 10.0}) {
    if (span / (step * factor) <= most) return step * factor;
  }
  return step * 10;
}

// A solid rectangle on whole pixels, in exactly its colour.
void solid(cairo_t* cr, int x, int y, int w, int h, uint32_t colour) {
  cairo_save(cr);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  setColour(cr, colour);
  cairo_rectangle(cr, x, y, w, h);
  cairo_fill(cr);
  cairo_restore(cr);
}

// The vertical value axis of a band: ticks and labels at nice steps, grid lines across.
void valueAxis(cairo_t* cr, const ChartLayout& l, int top, int bottom, double lo, double hi, const char* unit) {
  double step = niceStep(hi - lo, 5);
  for (double v = std::ceil(lo / step) * step; v <= hi + 1e-9; v += step) {
    double y = bottom - (v - lo) / (hi - lo) * (bottom - top);
    setColour(cr, 0xE4E4E4);
    cairo_set_line_width(cr, 1);
    cairo_move_to(cr, l.plotLeft, std::floor(y) + 0.5);
    cairo_line_to(cr, l.plotRight, std::floor(y) + 0.5);
    cairo_stroke(cr);
    text(cr, l.plotLeft - 6, y + 4, format("%g", std::abs(v) < step / 1000 ? 0.0 : v) + unit, 11, 0x404040, true);
  }
}

}  // namespace

ChartLayout chartLayout(int streams) {
  ChartLayout l;
  l.width = kWidth;
  l.plotLeft = kLeft;
  l.plotRight = kWidth - kRight;
  l.markRowHeight = kMarkRow;
  l.pauseRowTop = kTitleHeight;
  l.seekRowTop = l.pauseRowTop + kMarkRow;
  l.rateRowTop = l.seekRowTop + kMarkRow;
  int y = l.rateRowTop + kMarkRow + kGap;
  for (int s = 0; s < streams; ++s) {
    l.bandTops.push_back(y);
    l.bandBottoms.push_back(y + kBandHeight - 1);
    y += kBandHeight + kGap;
  }
  l.redrawTop = y;
  l.redrawBottom = y + kRedrawHeight - 1;
  l.height = l.redrawBottom + 1 + kAxisHeight;
  return l;
}

bool writeTimingChart(const std::string& path, const TimingRecord& record, const std::vector<ChartStream>& streams,
                      const std::string& title, ChartAxis* axis, std::string* error) {
  ChartLayout l = chartLayout(static_cast<int>(streams.size()));
  // The media span: everything that happened, with a little room either side.
  int64_t from = INT64_MAX, to = INT64_MIN;
  auto take = [&](int64_t t) {
    from = std::min(from, t);
    to = std::max(to, t);
  };
  for (const TimedFrame& f : record.frames) take(f.due);
  for (const TimedRedraw& r : record.redraws) take(r.media);
  for (const TimedMark& m : record.marks) {
    take(m.media);
    if (m.kind == MarkKind::kSeek) take(m.target);
  }
  if (from > to) from = 0, to = 1000;
  int64_t pad = std::max<int64_t>((to - from) / 50, 20);
  from = std::max<int64_t>(from - pad, 0);
  to += pad;
  ChartAxis result;
  result.from = from;
  result.to = to;
  result.layout = l;

  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, l.width, l.height);
  cairo_t* cr = cairo_create(surface);
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  setColour(cr, 0xFFFFFF);
  cairo_paint(cr);
  text(cr, 12, 26, title, 16, 0x202020);

  auto column = [&](int64_t media) { return static_cast<int>(std::lround(result.column(media))); };
  const int64_t span = to - from;

  // Mark rows: labels at the left, ticks on whole pixels, notes beside them in grey.
  const char* rowNames[3] = {"pause", "seek", "rate"};
  int rowTops[3] = {l.pauseRowTop, l.seekRowTop, l.rateRowTop};
  for (int r = 0; r < 3; ++r) {
    solid(cr, l.plotLeft, rowTops[r] + kMarkRow - 1, l.plotRight - l.plotLeft, 1, 0xE0E0E0);
    text(cr, l.plotLeft - 6, rowTops[r] + 15, rowNames[r], 12, 0x404040, true);
  }
  auto bandLine = [&](int x, uint32_t tint) {
    for (size_t s = 0; s < l.bandTops.size(); ++s) solid(cr, x, l.bandTops[s], 1, kBandHeight, tint);
    solid(cr, x, l.redrawTop, 1, kRedrawHeight, tint);
  };
  // Notes of marks close together follow each other along their row instead of overlapping.
  // A note goes right of its mark, else left of it, else after the row's last note.
  std::vector<std::pair<double, double>> taken[3];
  auto note = [&](int row, double x, const std::string& s) {
    cairo_set_font_size(cr, 11);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, s.c_str(), &extents);
    double width = extents.x_advance;
    auto isFree = [&](double from) {
      for (const auto& span : taken[row]) {
        if (from < span.second + 6 && from + width > span.first - 6) return false;
      }
      return true;
    };
    double at = x;
    if (!isFree(at)) at = x - 10 - width;
    if (!isFree(at) || at < l.plotLeft) {
      at = x;
      for (const auto& span : taken[row]) at = std::max(at, span.second + 8);
    }
    text(cr, at, rowTops[row] + 15, s, 11, 0x333333);
    taken[row].push_back(std::make_pair(at, at + width));
  };
  for (const TimedMark& m : record.marks) {
    int x = column(m.media);
    switch (m.kind) {
      case MarkKind::kPause: {
        bandLine(x, 0xDCCBEB);
        solid(cr, x - 1, l.pauseRowTop + 2, 3, kMarkRow - 5, chart::kPauseColour);
        note(0, x + 5, m.pausedSeconds < 0 ? "paused to the end" : format("paused %.1f s", m.pausedSeconds));
        break;
      }
      case MarkKind::kSeek: {
        int target = column(m.target);
        bandLine(x, 0xF6D4B0);
        bandLine(target, 0xF6D4B0);
        int mid = l.seekRowTop + kMarkRow / 2;
        // The arrow's shaft along the row's middle, its head at the target.
        solid(cr, std::min(x, target), mid, std::abs(target - x) + 1, 1, chart::kSeekColour);
        int dir = target >= x ? -1 : 1;
        for (int i = 1; i <= 4; ++i) solid(cr, target + dir * i, mid - i, 1, 2 * i + 1, chart::kSeekColour);
        solid(cr, x - 1, l.seekRowTop + 2, 3, kMarkRow - 5, chart::kSeekColour);
        solid(cr, target, l.seekRowTop + 2, 1, kMarkRow - 5, chart::kSeekColour);
        note(1, std::max(x, target) + 6, format("to %.2f s", m.target / 1000.0));
        break;
      }
      case MarkKind::kRate:
        bandLine(x, 0xBFE3E3);
        solid(cr, x - 1, l.rateRowTop + 2, 3, kMarkRow - 5, chart::kRateColour);
        note(2, x + 5, rateText(m.rate));
        break;
    }
  }

  // Time grid across the bands.
  double step = niceStep(span / 1000.0, 12) * 1000.0;
  std::vector<int> gridColumns;
  for (double t = std::ceil(from / step) * step; t <= to; t += step) gridColumns.push_back(column(static_cast<int64_t>(t)));

  // One band per stream: lateness against the frames' due times.
  std::map<int32_t, size_t> bandOf;
  for (size_t s = 0; s < streams.size(); ++s) bandOf[streams[s].channelId] = s;
  std::vector<int32_t> lows(streams.size(), -20), highs(streams.size(), 30);
  // The counts are of every frame; the points drawn are those the record kept.
  std::vector<int64_t> presented(streams.size(), 0), dropped(streams.size(), 0);
  for (size_t s = 0; s < streams.size(); ++s) {
    auto p = record.presentedByChannel.find(streams[s].channelId);
    auto d = record.droppedByChannel.find(streams[s].channelId);
    presented[s] = p == record.presentedByChannel.end() ? 0 : p->second;
    dropped[s] = d == record.droppedByChannel.end() ? 0 : d->second;
  }
  for (const TimedFrame& f : record.frames) {
    auto found = bandOf.find(f.channelId);
    if (found == bandOf.end()) continue;
    lows[found->second] = std::min(lows[found->second], f.lateness);
    highs[found->second] = std::max(highs[found->second], f.lateness);
  }
  const std::string thinned =
      record.frameStep > 1 ? " (one in " + std::to_string(record.frameStep) + " drawn)" : "";
  for (size_t s = 0; s < streams.size(); ++s) {
    int top = l.bandTops[s], bottom = l.bandBottoms[s];
    double lo = std::max(-100, lows[s] - 5), hi = std::min(250, highs[s] + 5);
    solid(cr, l.plotLeft, top, l.plotRight - l.plotLeft, kBandHeight, 0xF7F7F7);
    auto y = [&](double v) { return bottom - (std::clamp(v, lo, hi) - lo) / (hi - lo) * (bottom - top); };
    int tolTop = static_cast<int>(std::lround(y(10))), tolBottom = static_cast<int>(std::lround(y(-10)));
    solid(cr, l.plotLeft, tolTop, l.plotRight - l.plotLeft, tolBottom - tolTop + 1, 0xDDEFDD);
    for (int x : gridColumns) solid(cr, x, top, 1, kBandHeight, 0xE8E8E8);
    valueAxis(cr, l, top, bottom, lo, hi, " ms");
    solid(cr, l.plotLeft, static_cast<int>(std::lround(y(0))), l.plotRight - l.plotLeft, 1, 0x9A9A9A);
    text(cr, l.plotLeft + 8, top + 15,
         "stream " + std::to_string(streams[s].channelId) + "  " + streams[s].name + ":  lateness of " +
             std::to_string(presented[s]) + " frames presented" + thinned + ", " + std::to_string(dropped[s]) + " dropped late (red crosses); magenta: played backwards; shaded: the 10 ms tolerance",
         12, 0x202020);
    text(cr, 12, (top + bottom) / 2.0, "lateness", 11, 0x404040);
  }
  for (const TimedFrame& f : record.frames) {
    auto found = bandOf.find(f.channelId);
    if (found == bandOf.end()) continue;
    size_t s = found->second;
    int top = l.bandTops[s], bottom = l.bandBottoms[s];
    double lo = std::max(-100, lows[s] - 5), hi = std::min(250, highs[s] + 5);
    int x = column(f.due);
    int y = static_cast<int>(std::lround(bottom - (std::clamp<double>(f.lateness, lo, hi) - lo) / (hi - lo) * (bottom - top)));
    if (f.dropped) {
      for (int i = -3; i <= 3; ++i) {
        solid(cr, x + i, y + i, 1, 1, chart::kDroppedColour);
        solid(cr, x + i, y - i, 1, 1, chart::kDroppedColour);
      }
    } else {
      solid(cr, x - 1, y - 1, 2, 2, f.backwards ? chart::kBackwardsColour : chart::kPresentedColour);
    }
  }

  // Redraw intervals.
  double redrawHigh = 50;
  for (const TimedRedraw& r : record.redraws) redrawHigh = std::max(redrawHigh, r.intervalMs + 5);
  redrawHigh = std::min(redrawHigh, 400.0);
  solid(cr, l.plotLeft, l.redrawTop, l.plotRight - l.plotLeft, kRedrawHeight, 0xF7F7F7);
  for (int x : gridColumns) solid(cr, x, l.redrawTop, 1, kRedrawHeight, 0xE8E8E8);
  valueAxis(cr, l, l.redrawTop, l.redrawBottom, 0, redrawHigh, " ms");
  text(cr, l.plotLeft + 8, l.redrawTop + 15,
       "redraws: " + std::to_string(record.redrawCount) + ", wall time since the one before", 12, 0x202020);
  text(cr, 12, (l.redrawTop + l.redrawBottom) / 2.0, "redraws", 11, 0x404040);
  for (const TimedRedraw& r : record.redraws) {
    int x = column(r.media);
    double v = std::min(r.intervalMs, redrawHigh);
    int y = static_cast<int>(std::lround(l.redrawBottom - v / redrawHigh * (l.redrawBottom - l.redrawTop)));
    solid(cr, x - 1, y - 1, 2, 2, chart::kRedrawColour);
  }

  // The media time axis.
  int axisY = l.redrawBottom + 1;
  solid(cr, l.plotLeft, axisY, l.plotRight - l.plotLeft, 1, 0x404040);
  for (int x : gridColumns) solid(cr, x, axisY, 1, 5, 0x404040);
  for (double t = std::ceil(from / step) * step; t <= to; t += step) {
    int x = column(static_cast<int64_t>(t));
    std::string label = format("%g", t / 1000.0);
    cairo_text_extents_t extents;
    cairo_set_font_size(cr, 11);
    cairo_text_extents(cr, label.c_str(), &extents);
    text(cr, x - extents.x_advance / 2, axisY + 18, label, 11, 0x404040);
  }
  text(cr, (l.plotLeft + l.plotRight) / 2.0 - 60, axisY + 38, "media time (s)", 12, 0x202020);

  cairo_destroy(cr);
  cairo_surface_flush(surface);
  cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
  cairo_surface_destroy(surface);
  // The toy font API leaves cairo's and fontconfig's caches filled for the process; the
  // picture is drawn once, at the end, so they are let go here (a leak checker would report
  // them otherwise). Nothing else in the player uses fonts.
  cairo_debug_reset_static_data();
  FcFini();
  if (status != CAIRO_STATUS_SUCCESS) {
    *error = std::string("cannot write '") + path + "': " + cairo_status_to_string(status);
    std::remove(path.c_str());
    return false;
  }
  *axis = result;
  return true;
}

}  // namespace play
