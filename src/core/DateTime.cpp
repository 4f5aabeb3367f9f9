#include "core/DateTime.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace {

constexpr long long kMsPerDay = 86400000LL;
// Days from 1 January 1970 back to 30 December 1899.
constexpr long long kUnixEpochOffset = 25569;

// Days since 1 January 1970 for a proleptic Gregorian date (Howard Hinnant's algorithm).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& year, int& month, int& day) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long y = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

// Splits a date-time number into whole days and milliseconds of the day, rounding to the
// nearest millisecond; negative numbers count the time of day away from zero, as the
// platform does.
void Split(TDateTime dt, long long& days, long long& ms) {
  if (!std::isfinite(dt) || std::fabs(dt) > 3e6) {
    days = 0;
    ms = 0;
    return;
  }
  const long long total = std::llround(std::fabs(dt) * kMsPerDay);
  days = total / kMsPerDay;
  ms = total % kMsPerDay;
  if (dt < 0)
    days = -days;
}

} // namespace

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
  if (!IsValidDate(year, month, day))
    return false;
  result = static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
                               kUnixEpochOffset);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime result = 0;
  TryEncodeDate(year, month, day, result);
  return result;
}

void DecodeDate(TDateTime date, int& year, int& month, int& day) {
  long long days, ms;
  Split(date, days, ms);
  CivilFromDays(days - kUnixEpochOffset, year, month, day);
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& result) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 || msec > 999)
    return false;
  result = (((hour * 60LL + minute) * 60 + second) * 1000 + msec) / static_cast<double>(kMsPerDay);
  return true;
}

void DecodeTime(TDateTime dt, int& hour, int& minute, int& second, int& msec) {
  long long days, ms;
  Split(dt, days, ms);
  msec = static_cast<int>(ms % 1000);
  second = static_cast<int>(ms / 1000 % 60);
  minute = static_cast<int>(ms / 60000 % 60);
  hour = static_cast<int>(ms / 3600000);
}

int DayOfWeek(TDateTime date) {
  long long days, ms;
  Split(date, days, ms);
  // Day 0 (30 December 1899) was a Saturday.
  long long dow = (days + 6) % 7; // 0 = Sunday
  if (dow < 0)
    dow += 7;
  return static_cast<int>(dow) + 1;
}

TDateTime TextToDate(std::string_view text) {
  size_t i = 0;
  auto isDigit = [&](size_t k) { return k < text.size() && text[k] >= '0' && text[k] <= '9'; };
  // Reads one run of digits; more than 9 digits cannot be a day, month or year.
  auto readRun = [&](int& value) {
    if (!isDigit(i))
      return false;
    value = 0;
    int count = 0;
    while (isDigit(i)) {
      if (++count > 9)
        return false;
      value = value * 10 + (text[i++] - '0');
    }
    return true;
  };
  auto skipSeparator = [&] {
    if (i >= text.size())
      return false;
    while (i < text.size() && !isDigit(i))
      ++i;
    return true;
  };
  while (i < text.size() && text[i] == ' ')
    ++i;
  int day, month, year;
  if (!readRun(day) || day < 1 || day > 31 || !skipSeparator())
    return 0;
  if (!readRun(month) || month < 1 || month > 12 || !skipSeparator())
    return 0;
  if (!readRun(year))
    return 0;
  if (year < 50)
    year += 2000;
  else if (year < 100)
    year += 1900;
  TDateTime result = 0;
  if (!TryEncodeDate(year, month, day, result))
    return 0;
  return result;
}

TDateTime Now() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  TDateTime date = EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  TDateTime time = 0;
  TryEncodeTime(local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(ms), time);
  return date + time;
}
