#include "database/wide_text.h"

#include <cstdint>

#include "platform/utf8.h"

namespace KSDSOLD {

namespace {

bool AppendUtf8(std::string& out, uint32_t code) { return platform::appendUtf8(out, code); }

// Decodes the UTF-8 sequence at text[i], advancing i; false when it is malformed.
bool NextCodePoint(const std::string& text, size_t& i, uint32_t& code) {
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  int extra;
  uint32_t smallest;
  if (lead < 0x80) {
    extra = 0, code = lead, smallest = 0;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1, code = lead & 0x1F, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, code = lead & 0x0F, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, code = lead & 0x07, smallest = 0x10000;
  } else {
    return false;
  }
  if (text.size() - i <= static_cast<size_t>(extra)) return false;
  for (int k = 1; k <= extra; ++k) {
    const unsigned char next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return false;
    code = (code << 6) | (next & 0x3F);
  }
  if (code < smallest || code > 0x10FFFF) return false;
  i += static_cast<size_t>(extra) + 1;
  return true;
}

bool IsHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::string Utf8FromUtf16(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t code = text[i];
    if (IsHighSurrogate(code) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<uint32_t>(text[i + 1]) - 0xDC00);
      ++i;
    }
    AppendUtf8(out, code);  // below 0x110000 by construction
  }
  return out;
}

std::string Utf8FromUtf32(const std::u32string& text) {
  std::string out;
  for (char32_t unit : text) {
    if (!AppendUtf8(out, static_cast<uint32_t>(unit))) return std::string();
  }
  return out;
}

std::u16string Utf16FromUtf8(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    uint32_t code;
    if (!NextCodePoint(text, i, code)) return std::u16string();
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
  }
  return out;
}

std::u32string Utf32FromUtf8(const std::string& text) {
  std::u32string out;
  for (size_t i = 0; i < text.size();) {
    uint32_t code;
    if (!NextCodePoint(text, i, code)) return std::u32string();
    out += static_cast<char32_t>(code);
  }
  return out;
}

std::string Utf8FromWide(const std::wstring& text) {
  if (sizeof(wchar_t) == 2) return Utf8FromUtf16(std::u16string(text.begin(), text.end()));
  return Utf8FromUtf32(std::u32string(text.begin(), text.end()));
}

std::wstring WideFromUtf8(const std::string& text) {
  if (sizeof(wchar_t) == 2) {
    std::u16string wide = Utf16FromUtf8(text);
    return std::wstring(wide.begin(), wide.end());
  }
  std::u32string wide = Utf32FromUtf8(text);
  return std::wstring(wide.begin(), wide.end());
}

}  // namespace KSDSOLD
