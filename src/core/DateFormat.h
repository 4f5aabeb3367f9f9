#pragma once

#include <string>
#include <string_view>

#include "core/DateTime.h"
#include "core/Locale.h"

// Formats a date-time number by the platform's pattern language:
//   d dd ddd dddd    day, two-digit day, short and long day name
//   ddddd            the locale's short date format (so does "dddddd": no long one is kept)
//   m mm mmm mmmm    month, two-digit month, short and long month name
//                    (m and mm right after an hour token mean minutes: "hh:mm", "h'h'mm")
//   y yy             two-digit year; yyy yyyy four-digit year
//   h hh n nn s ss   hour, minute, second, plain or two-digit
//   z zz zzz         milliseconds with at least one, two or three digits
//   t tt             the locale's short and long time format
//   c                short date, then " " and the long time format when the time is not 00:00:00
//   am/pm a/p        12-hour clock; writes the pattern's own letters ("am" or "pm")
//   /  :             the locale's date and time separators
//   "text" 'text'    taken as it stands (an unterminated quote runs to the end)
// Letters are case-insensitive; a run counts only the same character ("Dd" is "d" twice).
// Any other character is copied. An empty pattern means "c". Names come from the locale.
// A value that is not a finite number or lies outside the years 1 to 9999 is formatted as 0
// (30.12.1899 00:00:00). Never throws.
std::string FormatDateTime(std::string_view pattern, TDateTime value, const Locale& locale = CurrentLocale());

// The date as the user sees it: the locale's short date format (dd.mm.yyyy in Czech).
std::string DateToStr(TDateTime date, const Locale& locale = CurrentLocale());
