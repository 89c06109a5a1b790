// The timing picture of a play run, drawn with cairo into a PNG file.
//
// From the top: a title, three rows of marks on the media time axis (pauses, seeks with an
// arrow to where play went on, rate changes), one band per stream with each frame's lateness
// against its due time (the 10 ms tolerance shaded, frames dropped late as red crosses), a
// band of the redraw intervals, and the media time axis in seconds. Marks are drawn as solid
// ticks of their own colour on whole pixels, so a reader (or a test) finds them exactly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "timing_log.h"

namespace play {

namespace chart {
// 0x00RRGGBB of the marks and of the frames, as the PNG holds them.
const uint32_t kPauseColour = 0x7B2FBE;
const uint32_t kSeekColour = 0xE07000;
const uint32_t kRateColour = 0x008C8C;
const uint32_t kPresentedColour = 0x1F4E9E;
const uint32_t kBackwardsColour = 0xC0307A;  // frames presented while playing backwards
const uint32_t kDroppedColour = 0xD01010;
const uint32_t kRedrawColour = 0x505050;
}  // namespace chart

// Where things are in a picture of `streams` bands (pixels; bands' top and bottom included).
struct ChartLayout {
  int width = 0, height = 0;
  int plotLeft = 0, plotRight = 0;  // media time runs from plotLeft to plotRight
  int markRowHeight = 0;
  int pauseRowTop = 0, seekRowTop = 0, rateRowTop = 0;
  std::vector<int> bandTops, bandBottoms;  // the streams' bands
  int redrawTop = 0, redrawBottom = 0;
};

ChartLayout chartLayout(int streams);

struct ChartStream {
  int32_t channelId;
  std::string name;
};

// The media time span the picture shows, in milliseconds, and the pixel column of a time.
struct ChartAxis {
  int64_t from = 0, to = 1;
  ChartLayout layout;
  double column(int64_t media) const {
    return layout.plotLeft + (layout.plotRight - layout.plotLeft) * double(media - from) / double(to - from);
  }
};

// Draws the record into path. Answers true with *axis set, or false with *error.
bool writeTimingChart(const std::string& path, const TimingRecord& record, const std::vector<ChartStream>& streams,
                      const std::string& title, ChartAxis* axis, std::string* error);

}  // namespace play
