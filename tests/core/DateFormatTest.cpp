#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "core/DateFormat.h"
#include "formats/Cp1250Utf8.h"

namespace {

const Locale kCzech = Locale::Czech();

TDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int msec = 0) {
  TDateTime time = 0;
  EXPECT_TRUE(TryEncodeTime(hour, minute, second, msec, time));
  return EncodeDate(year, month, day) + time;
}

// Pattern and result are written in UTF-8; the call gets both in code page 1250.
struct PatternCase {
  const char* pattern;
  const char* expected;
};

void PrintTo(const PatternCase& c, std::ostream* os) { *os << '"' << c.pattern << '"'; }

// Monday 15 January 2024, 09:05:07.045: every field has a leading zero to lose or keep.
class PatternTest : public testing::TestWithParam<PatternCase> {};

TEST_P(PatternTest, FormatsMonday15January2024) {
  const auto& c = GetParam();
  EXPECT_EQ(FormatDateTime(Cz(c.pattern), At(2024, 1, 15, 9, 5, 7, 45), kCzech), Cz(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PatternTest,
    testing::Values(PatternCase{"dd.mm.yyyy hh:nn:ss", "15.01.2024 09:05:07"}, PatternCase{"d.m.yy", "15.1.24"},
                    PatternCase{"dddd d. mmmm yyyy", "pondělí 15. leden 2024"}, PatternCase{"ddd", "po"},
                    PatternCase{"mmm", "led"}, PatternCase{"h:n:s", "9:5:7"},
                    // m right after an hour token means minutes, also across separators and quotes
                    PatternCase{"hh:mm", "09:05"}, PatternCase{"h'h'm", "9h5"},
                    // ... but not once another letter token came between
                    PatternCase{"hh dd mm", "09 15 01"}, PatternCase{"yyyymmdd-hhnnsszzz", "20240115-090507045"},
                    PatternCase{"z|zz|zzzz", "45|45|045"}, PatternCase{"y|yyy", "24|2024"},
                    PatternCase{"DD.MM.YYYY HH:NN:SS", "15.01.2024 09:05:07"},
                    PatternCase{"Dd", "1515"}, // a run is one character repeated, not one letter
                    PatternCase{"'dne' d.m. \"v hh:nn\" hh", "dne 15.1. v hh:nn 09"}, PatternCase{"'/:'", "/:"},
                    PatternCase{"''", ""}, PatternCase{"d 'bez konce", "15 bez konce"},
                    PatternCase{"ddddd", "15.01.2024"}, PatternCase{"dddddddddd", "15.01.2024"},
                    PatternCase{"c", "15.01.2024 09:05:07"}, PatternCase{"", "15.01.2024 09:05:07"},
                    PatternCase{"t|tt", "09:05|09:05:07"}, PatternCase{"h:nn am/pm", "9:05 am"},
                    PatternCase{"Č#1, ß€ č", "Č#1, ß€ č"}));

TEST(FormatDateTime, TwelveHourClock) {
  EXPECT_EQ(FormatDateTime("h:nn am/pm", At(2024, 1, 15, 14, 30), kCzech), "2:30 pm");
  EXPECT_EQ(FormatDateTime("hh AM/PM", At(2024, 1, 15, 0, 30), kCzech), "12 AM");
  EXPECT_EQ(FormatDateTime("h a/p", At(2024, 1, 15, 12, 0), kCzech), "12 p");
}

TEST(FormatDateTime, NamesOfOtherDays) {
  // Tuesday 29 February 2000 (a leap day by the 400-year rule), Sunday 31 December 2023.
  EXPECT_EQ(FormatDateTime("ddd dddd d.mmm mmmm", At(2000, 2, 29), kCzech), Cz("út úterý 29.úno únor"));
  EXPECT_EQ(FormatDateTime("ddd dddd mmm mmmm", At(2023, 12, 31), kCzech), Cz("ne neděle pro prosinec"));
  EXPECT_EQ(FormatDateTime("dddd mmmm", At(2024, 7, 6), kCzech), Cz("sobota červenec"));
}

TEST(FormatDateTime, SeparatorsComeFromTheLocale) {
  Locale other = Locale::Czech();
  other.DateSeparator = '-';
  other.TimeSeparator = '.';
  other.ShortDateFormat = "yyyy/mm/dd";
  const TDateTime value = At(2024, 1, 15, 9, 5);
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn", value, other), "15-01-2024 09.05");
  EXPECT_EQ(FormatDateTime("dd'/'mm", value, other), "15/01");
  EXPECT_EQ(DateToStr(value, other), "2024-01-15");
  EXPECT_EQ(FormatDateTime("ddddd", value, other), "2024-01-15");
}

TEST(DateToStr, CzechDateIsDayMonthYearWithDots) {
  EXPECT_EQ(DateToStr(At(2024, 1, 5, 18, 0), kCzech), "05.01.2024");
  EXPECT_EQ(DateToStr(0, kCzech), "30.12.1899");
}

TEST(FormatDateTime, OddValues) {
  const char* pattern = "dd.mm.yyyy hh:nn:ss.zzz";
  // Negative numbers count the time of day away from zero: -1.25 is 29.12.1899 06:00.
  EXPECT_EQ(FormatDateTime(pattern, -1.25, kCzech), "29.12.1899 06:00:00.000");
  EXPECT_EQ(FormatDateTime(pattern, EncodeDate(1, 1, 1), kCzech), "01.01.0001 00:00:00.000");
  EXPECT_EQ(FormatDateTime(pattern, EncodeDate(9999, 12, 31) + 0.5, kCzech), "31.12.9999 12:00:00.000");
  // A time that rounds up to midnight moves the date along with it.
  EXPECT_EQ(FormatDateTime(pattern, At(2024, 1, 15) + 0.9999999999, kCzech), "16.01.2024 00:00:00.000");
  // Not a date at all: shown as day 0.
  for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 1e300, -1e300,
                     -693594.0, 2958466.0}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(FormatDateTime(pattern, bad, kCzech), "30.12.1899 00:00:00.000");
    EXPECT_EQ(FormatDateTime("dddd mmmm", bad, kCzech), Cz("sobota prosinec"));
  }
}

TEST(FormatDateTime, OddPatterns) {
  const TDateTime value = At(2024, 1, 15, 9, 5, 7);
  // A long pattern gives a proportional text.
  std::string longPattern;
  for (int i = 0; i < 20000; ++i)
    longPattern += "dddd mmmm ";
  EXPECT_EQ(FormatDateTime(longPattern, value, kCzech).size(), 20000u * Cz("pondělí leden ").size());
  EXPECT_EQ(FormatDateTime(std::string(100000, 'y'), value, kCzech), "2024");
  // A short date format that names itself (or "c") must not recurse without end.
  Locale selfish = Locale::Czech();
  selfish.ShortDateFormat = "ddddd c d";
  selfish.LongTimeFormat = "tt";
  const std::string text = FormatDateTime("c ddddd", value, selfish);
  EXPECT_LT(text.size(), 100u);
  EXPECT_NE(text.find("15"), std::string::npos);
  // Stray quotes and bytes of every value.
  std::string bytes;
  for (int c = 1; c < 256; ++c)
    bytes += static_cast<char>(c);
  EXPECT_FALSE(FormatDateTime(bytes + "'", value, kCzech).empty());
  EXPECT_EQ(FormatDateTime("\"", value, kCzech), "");
}

} // namespace
