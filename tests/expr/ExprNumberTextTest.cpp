#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "expr/ExprNumberText.h"

namespace {

TEST(ExprNumberTextTest, NumberToTextShowsFiveDecimalsOrTheScientificForm) {
  const struct {
    double Value;
    const char* Text;
  } cases[] = {
      {2.5, "2.5"},
      {3, "3"},
      {1.0 / 3, "0.33333"},
      {-1.0 / 3, "-0.33333"},
      {0.000000001, "0"},
      {-0.000001, "0"},
      {-0.0, "0"},
      {0, "0"},
      {123456.789, "123456.789"},
      {123456789012345, "123456789012345"},
      {999999999999999, "1.00000000000E+0015"}, // 12 significant digits round it up to 1E15
      {1e15, "1.00000000000E+0015"},
      {-1e15, "-1.00000000000E+0015"},
      {1.5e300, "1.50000000000E+0300"},
      {1e-15, "0"},
      {1e-300, "0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(NumberToText(c.Value), c.Text);
  }
  EXPECT_EQ(NumberToText(std::numeric_limits<double>::infinity()), "INF");
  EXPECT_EQ(NumberToText(std::numeric_limits<double>::quiet_NaN()), "NAN");
}

TEST(ExprNumberTextTest, StrNumFillsTheFieldOrFallsBackToScientific) {
  const struct {
    double Value;
    int Width;
    const char* Text;
  } cases[] = {
      {2.5, 10, "       2.5"},
      {-2.5, 10, "      -2.5"},
      {123456789, 8, "123456789"},        // fixed text longer than the field stays whole
      {123456789012.0, 10, " 1.2E+0011"}, // 11 digits in a field of 10: scientific
      {1234567890.0, 12, "  1234567890"},
      {1e15, 30, "     1.00000000000000000E+0015"}, // at most 18 significant digits
      {1e-20, 10, "         0"},
      {123, 5, "  123"}, // below 8: the width-20 form decides
      {1234567, 5, " 1.23456700000E+0006"},
      {1e13, 5, "00000"},
      {0.5, 0, " 5.00000000000E-0001"}, // the fixed form needs a width of at least e
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Text) + " / " + std::to_string(c.Width));
    EXPECT_EQ(StrNum(c.Value, c.Width), c.Text);
  }
}

TEST(ExprNumberTextTest, StrCurrHasAtLeastTwoDecimals) {
  EXPECT_EQ(StrCurr(2.5, 8), "    2.50");
  EXPECT_EQ(StrCurr(3, 8), "    3.00");
  EXPECT_EQ(StrCurr(-3, 8), "   -3.00");
  EXPECT_EQ(StrCurr(1.23456, 8), " 1.23456");
  EXPECT_EQ(StrCurr(0.1, 0), "1.00000000000E-0001");
  EXPECT_EQ(StrCurr(1e12, 20), " 1.00000000000E+0012");
}

TEST(ExprNumberTextTest, StrThousandsEatsLeadingSpaces) {
  const struct {
    const char* Text;
    const char* Result;
  } cases[] = {
      {"  1234567.00", "1 234 567.00"},
      {"     1234567", "   1 234 567"},
      {"   1234,5", "  1 234,5"},
      {" 1234567.00", "1234 567.00"}, // runs out of leading spaces
      {"  -1234.5", " -1 234.5"},
      {"    12.5", "    12.5"},
      {"  12a456", "  12a456"}, // a non-digit precedes the group
      {"1234567", "1234567"},
      {"", ""},
      {"   ", "   "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(StrThousands(c.Text), c.Result);
  }
}

TEST(ExprNumberTextTest, FixedForms) {
  EXPECT_EQ(StrFixed(2.5, 6, 1), "   2.5");
  EXPECT_EQ(StrFixed(-2.5, 3, 2), "-2.50");
  EXPECT_EQ(StrFixed(-0.001, 6, 2), "  0.00");
  EXPECT_EQ(StringFixed(2.5, 3), "2.500");
  EXPECT_EQ(StringFixed(1e20, 0), "100000000000000000000");
  EXPECT_EQ(StrFixed(1, 32767, 0).size(), 32767u);
  EXPECT_EQ(StringFixed(1, 32767).size(), 32769u);
}

} // namespace
