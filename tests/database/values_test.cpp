#include <gtest/gtest.h>

#include "database/date_time.h"
#include "database/memory_buffer.h"
#include "database/variant.h"
#include "platform/win32.h"

using KSDSOLD::DateTime;
using KSDSOLD::Variant;
using KSDSOLD::VariantType;

namespace {

std::string text(const DateTime& value) { return value.ToString(); }

DateTime at(int64_t seconds) {
  DateTime value;
  EXPECT_TRUE(value.SetFromTime(seconds));
  return value;
}

TEST(DateTimeTest, SetFromTimeAcceptsTheRangeOfTheRuntimeBreakdown) {
  DateTime value;
  EXPECT_EQ("1970-01-01 00:00:00", text(value));
  EXPECT_TRUE(value.SetFromTime(1236236889));
  EXPECT_EQ("2009-03-05 07:08:09", text(value));

  EXPECT_TRUE(value.SetFromTime(0));
  EXPECT_EQ("1970-01-01 00:00:00", text(value));

  // The largest accepted value, then the first refused one, which leaves the value as it was.
  EXPECT_TRUE(value.SetFromTime(32535244798LL));
  EXPECT_EQ("3001-01-01 07:59:58", text(value));
  EXPECT_FALSE(value.SetFromTime(32535244799LL));
  EXPECT_EQ("3001-01-01 07:59:58", text(value));
  EXPECT_EQ(3001, value.GetYear());
  EXPECT_EQ(1, value.GetMonth());

  // A negative time has no breakdown: false, and the value is back at the epoch.
  EXPECT_FALSE(value.SetFromTime(-1));
  EXPECT_EQ("1970-01-01 00:00:00", text(value));
}

TEST(DateTimeTest, YearAndMonthSettersRefuseOutOfRangeValuesAndTouchNothingElse) {
  DateTime value = at(1236236889);  // 2009-03-05 07:08:09
  EXPECT_FALSE(value.SetMonth(13));
  EXPECT_FALSE(value.SetMonth(0));
  EXPECT_FALSE(value.SetYear(1969));
  EXPECT_FALSE(value.SetYear(10000));
  EXPECT_EQ("2009-03-05 07:08:09", text(value));

  EXPECT_TRUE(value.SetYear(9999));
  EXPECT_TRUE(value.SetMonth(12));
  EXPECT_EQ("9999-12-05 07:08:09", text(value));

  // The day is not clamped: 31 March one month back reads 31 February.
  DateTime march31 = at(1269993600);  // 2010-03-31 00:00:00
  EXPECT_TRUE(march31.SetMonth(2));
  EXPECT_EQ("2010-02-31 00:00:00", text(march31));
}

TEST(DateTimeTest, TextOrderIsTimeOrder) {
  const std::string earlier = text(at(1236236889));  // 2009-03-05 07:08:09
  const std::string later = text(at(1236643200));    // 2009-03-10 00:00:00
  EXPECT_EQ("2009-03-10 00:00:00", later);
  EXPECT_LT(earlier.compare(later), 0);
  EXPECT_LT(text(at(32535244798LL - 86400)).compare(text(at(32535244798LL))), 0);
}

#ifndef _WIN32  // the wall clock is fixed through the POSIX layer's test seam
TEST(DateTimeTest, NowReadsThePlatformWallClock) {
  platform_testing::setWallClock([]() -> __time64_t { return 1236236889; });
  DateTime now = DateTime::Now();
  platform_testing::setWallClock(nullptr);
  EXPECT_EQ("2009-03-05 07:08:09", text(now));
}
#endif

TEST(VariantTest, EachSetterGivesItsKindAndPayload) {
  Variant value;
  EXPECT_EQ(VariantType::Null, value.GetType());

  value.Set(true);
  EXPECT_EQ(VariantType::Integer, value.GetType());
  EXPECT_EQ(1, value.GetInt64());
  value.Set(false);
  EXPECT_EQ(0, value.GetInt64());

  value.Set(static_cast<int32_t>(-1));
  EXPECT_EQ(VariantType::Integer, value.GetType());
  EXPECT_EQ(-1, value.GetInt64());
  value.Set(static_cast<uint32_t>(0xFFFFFFFFu));
  EXPECT_EQ(4294967295LL, value.GetInt64());
  EXPECT_EQ(-1, value.GetInt());  // the low 32 bits
  value.Set(static_cast<uint64_t>(0xFFFFFFFFFFFFFFFFull));
  EXPECT_EQ(-1, value.GetInt64());
  value.Set(static_cast<int64_t>(1) << 40);
  EXPECT_EQ(static_cast<int64_t>(1) << 40, value.GetInt64());
  EXPECT_EQ(0, value.GetInt());

  value.Set(2.5);
  EXPECT_EQ(VariantType::Real, value.GetType());
  EXPECT_EQ(2.5, value.GetReal());
  EXPECT_EQ(0, value.GetInt64());  // Clear ran first; nothing is converted

  value.Set("BGRA");
  EXPECT_EQ(VariantType::Text, value.GetType());
  EXPECT_EQ("BGRA", value.GetText());
  EXPECT_EQ(0.0, value.GetReal());
  value.Set(std::string("BGRX"));
  EXPECT_EQ("BGRX", value.GetText());

  DateTime when;
  when.SetFromTime(1236236889);
  value.Set(when);
  EXPECT_EQ(VariantType::DateTime, value.GetType());
  EXPECT_EQ("2009-03-05 07:08:09", value.GetDateTime().ToString());
  EXPECT_TRUE(value.GetText().empty());

  KSDSOLD::ByteBuffer bytes;
  unsigned char* data = bytes.Resize(3, false);
  data[0] = 1, data[1] = 0, data[2] = 255;
  value.Set(bytes);
  EXPECT_EQ(VariantType::Blob, value.GetType());
  ASSERT_EQ(3u, value.GetBlob().GetCount());
  EXPECT_EQ(255, value.GetBlob().GetData()[2]);
  EXPECT_EQ("1970-01-01 00:00:00", value.GetDateTime().ToString());

  value.Clear();
  EXPECT_EQ(VariantType::Null, value.GetType());
  EXPECT_EQ(0u, value.GetBlob().GetCount());
  EXPECT_EQ(nullptr, value.GetBlob().GetData());
}

TEST(VariantTest, CopiesCarryKindAndPayloadAndSelfAssignmentChangesNothing) {
  Variant text;
  text.Set("name");
  Variant copy(text);
  EXPECT_EQ(VariantType::Text, copy.GetType());
  EXPECT_EQ("name", copy.GetText());

  KSDSOLD::ByteBuffer bytes;
  bytes.Resize(4, true);
  Variant blob;
  blob.Set(bytes);
  Variant blobCopy;
  blobCopy = blob;
  EXPECT_EQ(VariantType::Blob, blobCopy.GetType());
  EXPECT_EQ(4u, blobCopy.GetBlob().GetCount());
  EXPECT_NE(blob.GetBlob().GetData(), blobCopy.GetBlob().GetData());  // own bytes

  Variant& self = text;
  text = self;
  EXPECT_EQ(VariantType::Text, text.GetType());
  EXPECT_EQ("name", text.GetText());
  blob = blob;
  EXPECT_EQ(4u, blob.GetBlob().GetCount());

  // Setting a Variant from its own payload keeps the value.
  text.Set(text.GetText());
  EXPECT_EQ("name", text.GetText());

  // A copy sets the kind and that kind's payload only.
  Variant target;
  target.Set(static_cast<int64_t>(7));
  target = Variant();
  EXPECT_EQ(VariantType::Null, target.GetType());
}

TEST(MemoryBufferTest, ResizeKeepsContentsOnlyAtTheSameCount) {
  kstl::MemoryBuffer<unsigned short> buffer;
  EXPECT_EQ(nullptr, buffer.GetData());
  unsigned short* data = buffer.Resize(4, true);
  ASSERT_NE(nullptr, data);
  EXPECT_EQ(0, data[3]);
  data[3] = 77;
  EXPECT_EQ(77, buffer.Resize(4, false)[3]);
  EXPECT_EQ(0, buffer.Resize(4, true)[3]);
  buffer.Resize(0, false);
  EXPECT_EQ(nullptr, buffer.GetData());
  EXPECT_EQ(0u, buffer.GetCount());
}

}  // namespace
