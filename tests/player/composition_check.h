// What the built-in clip's window must show, checked on a snapshot: the picture through the
// overlay's clear part and holes, the overlay's bar elsewhere, black outside every channel.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <utility>

#include "clip.h"
#include "png_reader.h"

namespace {

inline bool isBlack(uint32_t p) { return ((p >> 16) & 0xFF) <= 8 && ((p >> 8) & 0xFF) <= 8 && (p & 0xFF) <= 8; }
inline bool isOverlayBar(uint32_t p) {
  return ((p >> 16) & 0xFF) >= 0xC0 && ((p >> 8) & 0xFF) >= 0x80 && ((p >> 8) & 0xFF) <= 0xC0 && (p & 0xFF) <= 0x40;
}
inline bool isPicture(uint32_t p) { return (p & 0xFF) >= 0x60 && ((p >> 16) & 0xFF) <= 0x70; }

// The window's last picture: the picture through the overlay's clear part and holes, the
// overlay's bar elsewhere, black outside every channel.
inline void expectComposition(const std::string& path, int channels) {
  PngPicture shot = readPng(path);
  ASSERT_FALSE(shot.pixels.empty()) << path;
  play::Fractions o = play::layout::overlayArea();
  auto inOverlay = [&](double fx, double fy) {
    return shot.at(static_cast<int>((o.left + fx * (o.right - o.left)) * shot.width),
                   static_cast<int>((o.top + fy * (o.bottom - o.top)) * shot.height));
  };
  auto inWindow = [&](double fx, double fy) {
    return shot.at(static_cast<int>(fx * shot.width), static_cast<int>(fy * shot.height));
  };
  std::ostringstream where;
  where << path << ": ";
  EXPECT_TRUE(isPicture(inOverlay(0.6, 0.35))) << where.str() << "clear part " << std::hex << inOverlay(0.6, 0.35);
  for (const play::Fractions& hole : play::layout::kHoles) {
    uint32_t p = inOverlay((hole.left + hole.right) / 2, (hole.top + hole.bottom) / 2);
    EXPECT_TRUE(isPicture(p)) << where.str() << "hole " << std::hex << p;
  }
  EXPECT_TRUE(isOverlayBar(inOverlay(0.75, 0.85))) << where.str() << "bar " << std::hex << inOverlay(0.75, 0.85);
  EXPECT_TRUE(isOverlayBar(inOverlay(0.95, 0.97))) << where.str() << "bar " << std::hex << inOverlay(0.95, 0.97);
  for (auto point : {std::make_pair(0.02, 0.02), std::make_pair(0.98, 0.5), std::make_pair(0.5, 0.985)}) {
    uint32_t p = inWindow(point.first, point.second);
    EXPECT_TRUE(isBlack(p)) << where.str() << "margin " << std::hex << p;
  }
  if (channels == 2) {
    EXPECT_TRUE(isBlack(inWindow(0.5, 0.3))) << where.str() << "gutter between tiles";
    EXPECT_TRUE(isPicture(inWindow(0.3, 0.3)));
    EXPECT_TRUE(isPicture(inWindow(0.7, 0.3)));
  }
}

}  // namespace
