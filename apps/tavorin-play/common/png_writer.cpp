#include "png_writer.h"

#include <png.h>

#include <cstdio>
#include <memory>

namespace play {

namespace {

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

// libpng reports errors by longjmp; everything with a destructor lives outside the function
// that calls setjmp.
bool writeRows(FILE* file, const std::vector<std::vector<png_byte>>& rows, int width, int height, std::string* error) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) {
    *error = "libpng could not start";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    *error = "libpng failed while writing";
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) png_write_row(png, rows[static_cast<size_t>(y)].data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool writePng(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height,
              std::string* error) {
  if (width <= 0 || height <= 0 || pixels.size() < static_cast<size_t>(width) * static_cast<size_t>(height)) {
    *error = "no picture to write";
    return false;
  }
  std::vector<std::vector<png_byte>> rows(static_cast<size_t>(height), std::vector<png_byte>(static_cast<size_t>(width) * 3));
  for (int y = 0; y < height; ++y) {
    const uint32_t* source = pixels.data() + static_cast<size_t>(y) * width;
    png_byte* out = rows[static_cast<size_t>(y)].data();
    for (int x = 0; x < width; ++x) {
      uint32_t p = source[x];
      out[3 * x] = static_cast<png_byte>(p >> 16);
      out[3 * x + 1] = static_cast<png_byte>(p >> 8);
      out[3 * x + 2] = static_cast<png_byte>(p);
    }
  }
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    *error = "cannot open '" + path + "' for writing";
    return false;
  }
  bool written = writeRows(file.get(), rows, width, height, error);
  if (std::fflush(file.get()) != 0) {
    written = false;
    *error = "cannot write '" + path + "'";
  }
  if (std::fclose(file.release()) != 0 && written) {
    written = false;
    *error = "cannot write '" + path + "'";
  }
  if (!written) std::remove(path.c_str());
  return written;
}

}  // namespace play
