// UTF-8 encoding of one code point; shared by the string conversions of every layer of the
// plug-in (the engine string's, the platform layer's and the database's).
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Appends code as UTF-8; false (nothing appended) beyond U+10FFFF.
inline bool appendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code <= 0x10FFFF) {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    return false;
  }
  return true;
}

}  // namespace platform
