#pragma once

#include <string>
#include <string_view>

#include "core/DateTime.h"
#include "core/Locale.h"

// Formats a date-time number by the platform's pattern language:
//   d dd ddd dddd    day, two-digit day, short and long day name
//   m mm mmm mmmm    month, two-digit month, short and long month name
//                    (m and mm right after an hour mean minutes)
//   yy yyyy          two- and four-digit year
//   h hh n nn s ss   hour, minute, second, plain or two-digit
//   z zzz            milliseconds, plain or three-digit
//   /  :             the locale's date and time separators
//   "text" 'text'    taken as it stands
// Any other character is copied.
std::string FormatDateTime(std::string_view pattern, TDateTime value, const Locale& locale = CurrentLocale());

// The date as the user sees it: the locale's short date format (dd.mm.yyyy in Czech).
std::string DateToStr(TDateTime date, const Locale& locale = CurrentLocale());
