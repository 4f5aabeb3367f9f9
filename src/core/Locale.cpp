#include "core/Locale.h"

#include "formats/Cp1250Utf8.h"

Locale Locale::Czech() {
  Locale l;
  const char* shortDays[7] = {"ne", "po", "út", "st", "čt", "pá", "so"};
  const char* longDays[7] = {"neděle", "pondělí", "úterý", "středa", "čtvrtek", "pátek", "sobota"};
  const char* shortMonths[12] = {"led", "úno", "bře", "dub", "kvě", "čvn",
                                 "čvc", "srp", "zář", "říj", "lis", "pro"};
  const char* longMonths[12] = {"leden", "únor",     "březen", "duben",    "květen",   "červen",
                                "červenec", "srpen", "září",   "říjen", "listopad", "prosinec"};
  for (int i = 0; i < 7; ++i) {
    l.ShortDayNames[i] = Cz(shortDays[i]);
    l.LongDayNames[i] = Cz(longDays[i]);
  }
  for (int i = 0; i < 12; ++i) {
    l.ShortMonthNames[i] = Cz(shortMonths[i]);
    l.LongMonthNames[i] = Cz(longMonths[i]);
  }
  return l;
}

namespace {
Locale& Current() {
  static Locale locale = Locale::Czech();
  return locale;
}
} // namespace

const Locale& CurrentLocale() { return Current(); }

void SetCurrentLocale(const Locale& locale) { Current() = locale; }
