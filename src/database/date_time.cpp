#include "database/date_time.h"

#include <cstring>

#include "platform/win32.h"

namespace KSDSOLD {

namespace {
// 3001-01-01 07:59:59 UTC, the first time refused: the runtime's 64-bit breakdown stops there.
const int64_t kFirstRefusedTime = 32535244799LL;
}  // namespace

DateTime::DateTime() { ResetToEpoch(); }

DateTime::~DateTime() {}

void DateTime::ResetToEpoch() {
  year_ = 1970;
  month_ = 1;
  day_ = 1;
  hour_ = 0;
  minute_ = 0;
  second_ = 0;
}

DateTime DateTime::Now() {
  DateTime now;
  now.SetFromTime(_time64(nullptr));
  return now;
}

bool DateTime::SetFromTime(int64_t secondsSince1970) {
  if (secondsSince1970 >= kFirstRefusedTime) return false;
  ResetToEpoch();
  __time64_t time = secondsSince1970;
  const struct tm* parts = _gmtime64(&time);
  if (!parts) return false;
  year_ = parts->tm_year + 1900;
  month_ = parts->tm_mon + 1;
  day_ = parts->tm_mday;
  hour_ = parts->tm_hour;
  minute_ = parts->tm_min;
  second_ = parts->tm_sec;
  return true;
}

bool DateTime::SetYear(int year) {
  if (year < 1970 || year > 9999) return false;
  year_ = year;
  return true;
}

bool DateTime::SetMonth(int month) {
  if (month < 1 || month > 12) return false;
  month_ = month;
  return true;
}

std::string DateTime::ToString() const {
  char text[256];
  std::memset(text, 0, sizeof text);
  _snprintf(text, sizeof text - 1, "%04d-%02d-%02d %02d:%02d:%02d", year_, month_, day_, hour_, minute_,
            second_);
  return text;
}

}  // namespace KSDSOLD
