#include <gtest/gtest.h>

#include "database/wide_text.h"

namespace {

using namespace KSDSOLD;

TEST(WideTextTest, Utf16CombinesPairsAndCarriesLoneSurrogates) {
  EXPECT_EQ("C:\\Users\\\xC3\xA9", Utf8FromUtf16(u"C:\\Users\\\u00E9"));
  EXPECT_EQ("\xF0\x9F\x8E\xAC", Utf8FromUtf16(u"\U0001F3AC"));  // one pair, four bytes
  const std::u16string lone = {u'a', static_cast<char16_t>(0xD800), u'b'};
  EXPECT_EQ("a\xED\xA0\x80" "b", Utf8FromUtf16(lone));
  EXPECT_EQ(lone, Utf16FromUtf8(Utf8FromUtf16(lone)));
  EXPECT_EQ(u"\U0001F3AC\u00E9", Utf16FromUtf8("\xF0\x9F\x8E\xAC\xC3\xA9"));
}

TEST(WideTextTest, Utf32RoundTripsAndRefusesWhatCannotBeEncoded) {
  EXPECT_EQ(U"/home/\u00E9/\U0001F3AC", Utf32FromUtf8(Utf8FromUtf32(U"/home/\u00E9/\U0001F3AC")));
  EXPECT_EQ("", Utf8FromUtf32(std::u32string(1, static_cast<char32_t>(0x110000))));
}

TEST(WideTextTest, MalformedUtf8GivesAnEmptyString) {
  EXPECT_TRUE(Utf32FromUtf8("ab\xC3").empty());          // cut sequence
  EXPECT_TRUE(Utf16FromUtf8("a\x80" "b").empty());       // stray continuation byte
  EXPECT_TRUE(Utf32FromUtf8("\xC0\xAF").empty());        // overlong '/'
  EXPECT_TRUE(Utf32FromUtf8("\xE2\x28\xA1").empty());    // bad continuation
  EXPECT_EQ(L"/tmp/\u00E9", WideFromUtf8(Utf8FromWide(L"/tmp/\u00E9")));
}

}  // namespace
