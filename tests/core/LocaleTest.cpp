#include <gtest/gtest.h>

#include "core/Locale.h"

namespace {

// The names as code page 1250 bytes, written out so that a wrong conversion of the sources
// (or a name typed without its diacritics) shows here rather than in a printed order.
TEST(Locale, CzechNamesAreCp1250) {
  const Locale cz = Locale::Czech();
  const std::array<std::string, 7> longDays = {"ned\xEC"
                                               "le",
                                               "pond\xEC"
                                               "l\xED",
                                               "\xFA"
                                               "ter\xFD",
                                               "st\xF8"
                                               "eda",
                                               "\xE8"
                                               "tvrtek",
                                               "p\xE1"
                                               "tek",
                                               "sobota"};
  const std::array<std::string, 7> shortDays = {"ne",
                                                "po",
                                                "\xFA"
                                                "t",
                                                "st",
                                                "\xE8"
                                                "t",
                                                "p\xE1",
                                                "so"};
  const std::array<std::string, 12> longMonths = {"leden",
                                                  "\xFA"
                                                  "nor",
                                                  "b\xF8"
                                                  "ezen",
                                                  "duben",
                                                  "kv\xEC"
                                                  "ten",
                                                  "\xE8"
                                                  "erven",
                                                  "\xE8"
                                                  "ervenec",
                                                  "srpen",
                                                  "z\xE1\xF8\xED",
                                                  "\xF8\xED"
                                                  "jen",
                                                  "listopad",
                                                  "prosinec"};
  const std::array<std::string, 12> shortMonths = {"led",
                                                   "\xFA"
                                                   "no",
                                                   "b\xF8"
                                                   "e",
                                                   "dub",
                                                   "kv\xEC",
                                                   "\xE8"
                                                   "vn",
                                                   "\xE8"
                                                   "vc",
                                                   "srp",
                                                   "z\xE1\xF8",
                                                   "\xF8\xED"
                                                   "j",
                                                   "lis",
                                                   "pro"};
  EXPECT_EQ(cz.LongDayNames, longDays) << "index 0 is Sunday";
  EXPECT_EQ(cz.ShortDayNames, shortDays);
  EXPECT_EQ(cz.LongMonthNames, longMonths);
  EXPECT_EQ(cz.ShortMonthNames, shortMonths);
  EXPECT_EQ(cz.DecimalSeparator, ',');
  EXPECT_EQ(cz.DateSeparator, '.');
  EXPECT_EQ(cz.TimeSeparator, ':');
}

} // namespace
