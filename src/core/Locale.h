#pragma once

#include <array>
#include <string>

// The user's conventions for numbers, dates and times. All texts are code page 1250.
// The GUI fills one from the system locale; tests and the command-line companion use Czech().
struct Locale {
  char DecimalSeparator = ',';
  char ThousandSeparator = ' ';
  char DateSeparator = '.';
  char TimeSeparator = ':';
  std::string ShortDateFormat = "dd/mm/yyyy";
  std::string LongTimeFormat = "hh:nn:ss";
  std::string ShortTimeFormat = "hh:nn";
  // Index 0 is Sunday, as the platform's day-of-week numbering starts there.
  std::array<std::string, 7> ShortDayNames;
  std::array<std::string, 7> LongDayNames;
  std::array<std::string, 12> ShortMonthNames;
  std::array<std::string, 12> LongMonthNames;

  // Czech conventions: decimal comma, dd.mm.yyyy, Czech day and month names.
  static Locale Czech();
};

// The locale used when a caller names none. Starts as Czech(); the GUI replaces it at start.
const Locale& CurrentLocale();
void SetCurrentLocale(const Locale& locale);
