// Conversions between the platform's wide strings and UTF-8, for file-system paths.
//
// A wide string is UTF-16 where wchar_t has 16 bits (Windows) and UTF-32 where it has 32
// (POSIX). The conversions are lenient as path APIs need: UTF-16 surrogate pairs are combined,
// an unpaired surrogate is carried over as it is (three UTF-8 bytes), and UTF-8 holding such
// an encoded surrogate converts back to it. A conversion that cannot complete (malformed or
// overlong UTF-8, a UTF-32 value above U+10FFFF) answers an empty string.
#pragma once

#include <string>

namespace KSDSOLD {

std::string Utf8FromUtf16(const std::u16string& text);
std::string Utf8FromUtf32(const std::u32string& text);
std::u16string Utf16FromUtf8(const std::string& text);
std::u32string Utf32FromUtf8(const std::string& text);

// The wchar_t forms pick UTF-16 or UTF-32 by the width of wchar_t.
std::string Utf8FromWide(const std::wstring& text);
std::wstring WideFromUtf8(const std::string& text);

}  // namespace KSDSOLD
