// The text of an engine string as a standard narrow string, for the plug-in's own use (file
// names, log lines, keys). UTF-16 text is converted to UTF-8; a null string gives an empty one.
#pragma once

#include <cstdint>
#include <string>

#include "abi/kestra_string.h"
#include "platform/utf8.h"

namespace KMC {

template <typename T, typename Allocator>
std::string toStdString(const kestra_string<T, Allocator>& text) {
  std::string out;
  const T* data = text.data();
  const int32_t length = text.length();
  for (int32_t i = 0; i < length; ++i) {
    if (sizeof(T) == 1) {
      out += static_cast<char>(data[i]);
      continue;
    }
    uint32_t code = static_cast<uint16_t>(data[i]);
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < length) {
      const uint32_t low = static_cast<uint16_t>(data[i + 1]);
      if (low >= 0xDC00 && low < 0xE000) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    platform::appendUtf8(out, code);
  }
  return out;
}

}  // namespace KMC
