// Reads an 8-bit RGB PNG back into 0x00RRGGBB words, for checking what the player wrote.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct PngPicture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // empty when the file could not be read
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

inline PngPicture readPng(const std::string& path) {
  PngPicture picture;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return picture;
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> bytes(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) return picture;
  picture.width = static_cast<int>(image.width);
  picture.height = static_cast<int>(image.height);
  picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    picture.pixels[i] = (uint32_t(bytes[3 * i]) << 16) | (uint32_t(bytes[3 * i + 1]) << 8) | bytes[3 * i + 2];
  }
  return picture;
}
