#include <gtest/gtest.h>

#include "core/DateTime.h"

namespace {

TEST(DateTime, CountsDaysFromTheEndOf1899) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
  EXPECT_EQ(EncodeDate(2024, 1, 15), 45306);
  int y, m, d;
  DecodeDate(45351.75, y, m, d);
  EXPECT_EQ(y * 10000 + m * 100 + d, 20240229);
  EXPECT_EQ(EncodeDate(2023, 2, 29), 0) << "impossible dates give 0";
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 1, 15)), 2) << "a Monday";
}

TEST(DateTime, DatesBefore1900AndAtTheEnds) {
  EXPECT_EQ(EncodeDate(1899, 12, 29), -1);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593);
  EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465);
  int y, m, d, h, n, s, ms;
  // The fraction of a negative number is the time of day counted away from zero.
  DecodeDate(-1.25, y, m, d);
  DecodeTime(-1.25, h, n, s, ms);
  EXPECT_EQ(y * 10000 + m * 100 + d, 18991229);
  EXPECT_EQ(h, 6);
  EXPECT_EQ(DayOfWeek(-1), 6) << "a Friday";
  DecodeDate(-693593, y, m, d);
  EXPECT_EQ(y * 10000 + m * 100 + d, 10101);
  // A time that rounds to midnight belongs to the next day, date and time alike.
  DecodeDate(45306.9999999999, y, m, d);
  DecodeTime(45306.9999999999, h, n, s, ms);
  EXPECT_EQ(y * 10000 + m * 100 + d, 20240116);
  EXPECT_EQ(h * 10000000 + n * 100000 + s * 1000 + ms, 0);
}

TEST(DateTime, TimeOfDayRoundsToMilliseconds) {
  TDateTime t = 0;
  ASSERT_TRUE(TryEncodeTime(13, 45, 30, 250, t));
  int h, n, s, ms;
  DecodeTime(45306 + t, h, n, s, ms);
  EXPECT_EQ(h, 13);
  EXPECT_EQ(n, 45);
  EXPECT_EQ(s, 30);
  EXPECT_EQ(ms, 250);
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, t));
}

struct TextToDateCase {
  const char* text;
  int year, month, day; // year 0: no date
};

void PrintTo(const TextToDateCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class TextToDateTest : public testing::TestWithParam<TextToDateCase> {};

TEST_P(TextToDateTest, ReadsDayMonthYear) {
  const auto& c = GetParam();
  const TDateTime expected = c.year ? EncodeDate(c.year, c.month, c.day) : 0;
  EXPECT_EQ(TextToDate(c.text), expected) << c.text;
}

INSTANTIATE_TEST_SUITE_P(Cases, TextToDateTest,
                         testing::Values(TextToDateCase{"15.01.2024", 2024, 1, 15},
                                         TextToDateCase{"1/2/24", 2024, 2, 1}, TextToDateCase{"1-2-49", 2049, 2, 1},
                                         TextToDateCase{"1 2 50", 1950, 2, 1}, TextToDateCase{"29.2.2024", 2024, 2, 29},
                                         TextToDateCase{"29.2.2023", 0, 0, 0}, TextToDateCase{"32.1.2024", 0, 0, 0},
                                         TextToDateCase{"1.13.2024", 0, 0, 0}, TextToDateCase{"15.01", 0, 0, 0},
                                         TextToDateCase{"15012024", 0, 0, 0}, TextToDateCase{"", 0, 0, 0},
                                         TextToDateCase{"1.1.99999999999", 0, 0, 0},
                                         // a stamp typed with its time: the time is not a fourth run to refuse
                                         TextToDateCase{"15.01.2024 10:30", 2024, 1, 15},
                                         TextToDateCase{"  5. 6. 2024", 2024, 6, 5},
                                         TextToDateCase{"1.1.00", 2000, 1, 1},
                                         // 2000 is a leap year by the 400-year rule, 1900 is not
                                         TextToDateCase{"29.2.2000", 2000, 2, 29},
                                         TextToDateCase{"29.2.00", 2000, 2, 29}, TextToDateCase{"29.2.1900", 0, 0, 0},
                                         TextToDateCase{"31.4.2024", 0, 0, 0}, TextToDateCase{"0.1.2024", 0, 0, 0}));

} // namespace
