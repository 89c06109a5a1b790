// KSDSOLD::DateTime: a UTC calendar date and time of day with a fixed-width text form
// ("YYYY-MM-DD HH:MM:SS") whose byte order is time order, so stored timestamps compare as
// text in SQL.
#pragma once

#include <cstdint>
#include <string>

namespace KSDSOLD {

class DateTime {
 public:
  // 1970-01-01 00:00:00.
  DateTime();
  virtual ~DateTime();
  DateTime(const DateTime&) = default;
  DateTime& operator=(const DateTime&) = default;

  // The current UTC time, read through the platform's wall clock (_time64).
  static DateTime Now();

  // Sets the value from seconds since 1970 UTC; answers whether it was accepted. Refuses
  // 32535244799 and above, leaving the value unchanged; a negative time answers false and
  // leaves 1970-01-01 00:00:00.
  bool SetFromTime(int64_t secondsSince1970);
  // Accept 1970..9999 and 1..12; other values answer false and change nothing. No other field
  // is adjusted (the day is not clamped to the month).
  bool SetYear(int year);
  bool SetMonth(int month);

  int GetYear() const { return year_; }
  int GetMonth() const { return month_; }
  int GetDay() const { return day_; }
  int GetHour() const { return hour_; }
  int GetMinute() const { return minute_; }
  int GetSecond() const { return second_; }

  // "%04d-%02d-%02d %02d:%02d:%02d", e.g. "2009-03-05 07:08:09".
  std::string ToString() const;

 private:
  void ResetToEpoch();

  int32_t year_;
  int32_t month_;  // 1..12
  int32_t day_;
  int32_t hour_;
  int32_t minute_;
  int32_t second_;
};

}  // namespace KSDSOLD
