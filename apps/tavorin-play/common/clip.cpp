#include "clip.h"

#include <algorithm>
#include <cmath>

namespace play {

ClipTiming::ClipTiming(double fps, double seconds)
    : fps_(fps > 0 ? fps : 1), frameCount_(std::max(1, static_cast<int>(std::lround(seconds * fps_)))) {}

int32_t ClipTiming::startTime(int frame) const {
  return static_cast<int32_t>(std::llround((frame + 1) * 1000.0 / fps_));
}

int ClipTiming::frameAtTime(int64_t t) const {
  int frame = static_cast<int>(std::clamp<int64_t>(static_cast<int64_t>(std::floor(t * fps_ / 1000.0)) - 1, 0, frameCount_ - 1));
  // The estimate can be one off where start times were rounded.
  while (frame > 0 && startTime(frame) > t) --frame;
  while (frame + 1 < frameCount_ && startTime(frame + 1) <= t) ++frame;
  return frame;
}

uint32_t ClipTiming::duration(int frame) const {
  int32_t length = startTime(frame + 1) - startTime(frame);
  return static_cast<uint32_t>(std::max<int32_t>(length, 1));
}

namespace layout {

Fractions overlayArea() { return Fractions{kMargin, kMargin, 1.0 - kMargin, 1.0 - kMargin}; }

}  // namespace layout

namespace {

int textScale(int height) { return std::max(1, height / 36); }

void fillSpan(uint32_t* line, int from, int to, uint32_t colour) {
  if (from < to) std::fill(line + from, line + to, colour);
}

}  // namespace

void drawPicture(const PixelBuffer& target, int frame, int channel) {
  const int w = target.width, h = target.height;
  // The bar sweeps the width in about two seconds at 30 frames per second.
  int barWidth = std::max(2, w / 8);
  int step = std::max(1, w / 60);
  int travel = w + barWidth;
  int barLeft = static_cast<int>((static_cast<int64_t>(frame) * step) % travel) - barWidth;
  uint32_t green = static_cast<uint32_t>(0x30 + (channel * 0x24) % 0x90);
  for (int y = 0; y < h; ++y) {
    uint32_t* line = target.pixels + static_cast<size_t>(y) * target.stride;
    uint32_t blue = 0x80u + static_cast<uint32_t>(y) * 0x7Fu / static_cast<uint32_t>(std::max(h - 1, 1));
    fillSpan(line, 0, w, (0x20u << 16) | (green << 8) | blue);
    fillSpan(line, std::max(barLeft, 0), std::min(barLeft + barWidth, w), colours::kPictureBar);
  }
  int scale = textScale(h);
  DigitFont::draw(target, 2 * scale, 2 * scale, std::to_string(frame), scale, colours::kPictureText);
}

void drawOverlay(const PixelBuffer& target, int frame) {
  const int w = target.width, h = target.height;
  int barTop = static_cast<int>(h * layout::kBarTop);
  for (int y = 0; y < h; ++y) {
    uint32_t* line = target.pixels + static_cast<size_t>(y) * target.stride;
    if (y < barTop) {
      fillSpan(line, 0, w, colours::kClear);
      continue;
    }
    fillSpan(line, 0, w, colours::kOverlayBar);
    for (const Fractions& hole : layout::kHoles) {
      if (y < static_cast<int>(h * hole.top) || y >= static_cast<int>(h * hole.bottom)) continue;
      fillSpan(line, static_cast<int>(w * hole.left), static_cast<int>(w * hole.right), colours::kClear);
    }
  }
  int barHeight = h - barTop;
  int scale = std::max(1, barHeight * 6 / 10 / DigitFont::kGlyphHeight);
  // Keep the number left of the first hole.
  std::string text = std::to_string(frame);
  int room = static_cast<int>(w * (layout::kHoles[0].left - layout::kNumberLeft)) - 2;
  while (scale > 1 && DigitFont::textWidth(text, scale) > room) --scale;
  int textTop = barTop + (barHeight - DigitFont::kGlyphHeight * scale) / 2;
  DigitFont::draw(target, static_cast<int>(w * layout::kNumberLeft), textTop, text, scale, colours::kOverlayText);
}

}  // namespace play
