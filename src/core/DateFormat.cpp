#include "core/DateFormat.h"

#include <cmath>

namespace {

// 1 January 0001 and the day after 31 December 9999 as date-time numbers.
constexpr double kFirstDay = -693593;
constexpr double kPastLastDay = 2958466;
// The short date and time formats a pattern may name ("ddddd", "c", "t") are expanded only
// this deep, so a locale format that names itself cannot recurse without end.
constexpr int kMaxNesting = 2;

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool StartsWithNoCase(std::string_view text, size_t at, std::string_view prefix) {
  if (text.size() - at < prefix.size())
    return false;
  for (size_t k = 0; k < prefix.size(); ++k)
    if (Upper(text[at + k]) != prefix[k])
      return false;
  return true;
}

class DateFormatter {
public:
  DateFormatter(TDateTime value, const Locale& locale, std::string& out) : FValue(value), FLocale(locale), FOut(out) {}

  void Append(std::string_view pattern) {
    if (FNesting >= kMaxNesting)
      return;
    ++FNesting;
    char lastToken = ' ';
    bool use12Hour = false;
    size_t i = 0;
    while (i < pattern.size()) {
      const char starter = pattern[i++];
      char token = Upper(starter);
      if (token >= 'A' && token <= 'Z') {
        if (token == 'M' && lastToken == 'H')
          token = 'N';
        lastToken = token;
      }
      // Runs count only the same character: "DD" is one token, "Dd" two.
      auto runLength = [&] {
        int count = 1;
        while (i < pattern.size() && pattern[i] == starter) {
          ++i;
          if (count < 1000)
            ++count;
        }
        return count;
      };
      switch (token) {
      case 'Y': {
        const int count = runLength();
        DecodeDateOnce();
        if (count <= 2)
          AppendNumber(FYear % 100, 2);
        else
          AppendNumber(FYear, 4);
        break;
      }
      case 'M': {
        const int count = runLength();
        DecodeDateOnce();
        if (count <= 2)
          AppendNumber(FMonth, count);
        else
          FOut += count == 3 ? FLocale.ShortMonthNames[FMonth - 1] : FLocale.LongMonthNames[FMonth - 1];
        break;
      }
      case 'D': {
        const int count = runLength();
        if (count <= 2) {
          DecodeDateOnce();
          AppendNumber(FDay, count);
        } else if (count <= 4) {
          const int dow = DayOfWeek(FValue) - 1;
          FOut += count == 3 ? FLocale.ShortDayNames[dow] : FLocale.LongDayNames[dow];
        } else {
          // The locale carries no long date format; "dddddd" shows the short one as well.
          Append(FLocale.ShortDateFormat);
        }
        break;
      }
      case 'H': {
        const int count = runLength();
        DecodeTimeOnce();
        // The 12-hour clock applies when an "am/pm" or "a/p" follows before the next hour.
        bool quoted = false;
        for (size_t k = i; k < pattern.size(); ++k) {
          const char c = Upper(pattern[k]);
          if (c == '\'' || c == '"') {
            quoted = !quoted;
          } else if (c == 'H') {
            break;
          } else if (c == 'A' && !quoted) {
            if (StartsWithNoCase(pattern, k, "AM/PM") || StartsWithNoCase(pattern, k, "A/P"))
              use12Hour = true;
            break;
          }
        }
        int hour = FHour;
        if (use12Hour)
          hour = hour == 0 ? 12 : hour > 12 ? hour - 12 : hour;
        AppendNumber(hour, count > 2 ? 2 : count);
        break;
      }
      case 'N': {
        const int count = runLength();
        DecodeTimeOnce();
        AppendNumber(FMinute, count > 2 ? 2 : count);
        break;
      }
      case 'S': {
        const int count = runLength();
        DecodeTimeOnce();
        AppendNumber(FSecond, count > 2 ? 2 : count);
        break;
      }
      case 'Z': {
        const int count = runLength();
        DecodeTimeOnce();
        AppendNumber(FMsec, count > 3 ? 3 : count);
        break;
      }
      case 'T': {
        const int count = runLength();
        Append(count == 1 ? FLocale.ShortTimeFormat : FLocale.LongTimeFormat);
        break;
      }
      case 'C': {
        runLength();
        Append(FLocale.ShortDateFormat);
        DecodeTimeOnce();
        if (FHour != 0 || FMinute != 0 || FSecond != 0) {
          FOut += ' ';
          Append(FLocale.LongTimeFormat);
        }
        break;
      }
      case 'A': {
        // "am/pm" and "a/p" keep the letters as the pattern writes them.
        DecodeTimeOnce();
        const size_t at = i - 1;
        if (StartsWithNoCase(pattern, at, "AM/PM")) {
          FOut.append(pattern.substr(FHour >= 12 ? at + 3 : at, 2));
          i = at + 5;
          use12Hour = true;
        } else if (StartsWithNoCase(pattern, at, "A/P")) {
          FOut += pattern[FHour >= 12 ? at + 2 : at];
          i = at + 3;
          use12Hour = true;
        } else {
          FOut += starter;
        }
        break;
      }
      case '/':
        if (FLocale.DateSeparator)
          FOut += FLocale.DateSeparator;
        break;
      case ':':
        if (FLocale.TimeSeparator)
          FOut += FLocale.TimeSeparator;
        break;
      case '\'':
      case '"': {
        // Up to the same quote; an unterminated one runs to the end.
        size_t end = pattern.find(starter, i);
        if (end == std::string_view::npos)
          end = pattern.size();
        FOut.append(pattern.substr(i, end - i));
        i = end < pattern.size() ? end + 1 : end;
        break;
      }
      default:
        FOut += starter;
        break;
      }
    }
    --FNesting;
  }

private:
  void DecodeDateOnce() {
    if (!FDateDecoded)
      DecodeDate(FValue, FYear, FMonth, FDay);
    FDateDecoded = true;
  }
  void DecodeTimeOnce() {
    if (!FTimeDecoded)
      DecodeTime(FValue, FHour, FMinute, FSecond, FMsec);
    FTimeDecoded = true;
  }
  void AppendNumber(int value, int minDigits) {
    char buf[12];
    int n = 0;
    unsigned v = static_cast<unsigned>(value < 0 ? -value : value);
    do {
      buf[n++] = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v && n < 12);
    if (value < 0)
      FOut += '-';
    for (int k = n; k < minDigits; ++k)
      FOut += '0';
    while (n > 0)
      FOut += buf[--n];
  }

  TDateTime FValue;
  const Locale& FLocale;
  std::string& FOut;
  int FNesting = 0;
  bool FDateDecoded = false;
  bool FTimeDecoded = false;
  int FYear = 0, FMonth = 1, FDay = 1;
  int FHour = 0, FMinute = 0, FSecond = 0, FMsec = 0;
};

} // namespace

std::string FormatDateTime(std::string_view pattern, TDateTime value, const Locale& locale) {
  if (!std::isfinite(value) || value < kFirstDay || value >= kPastLastDay)
    value = 0;
  std::string out;
  out.reserve(pattern.size() + 8);
  DateFormatter formatter(value, locale, out);
  formatter.Append(pattern.empty() ? std::string_view("c") : pattern);
  return out;
}

std::string DateToStr(TDateTime date, const Locale& locale) {
  return FormatDateTime(locale.ShortDateFormat, date, locale);
}
