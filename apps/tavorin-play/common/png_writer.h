// Writes a window picture (32-bit 0x00RRGGBB pixels, top row first) as an 8-bit RGB PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace play {

// Answers true when the file was written; otherwise false with *error set (the partial file
// is removed).
bool writePng(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height,
              std::string* error);

}  // namespace play
