#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>
#include <string>

#include "core/Format.h"
#include "formats/Cp1250Utf8.h"

namespace {

const Locale kCzech = Locale::Czech();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// One formatted result beside the text it must be; the call is made where the table is built
// because Format takes its arguments as an initializer list.
struct Case {
  const char* what;
  std::string actual;
  std::string expected;
};

void Check(std::initializer_list<Case> cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.actual, c.expected);
  }
}

struct NumberCase {
  double value;
  const char* expected;
};

TEST(FloatToStrGeneral, ShortestFormWithFifteenDigits) {
  const NumberCase cases[] = {
      {2.5, "2,5"},
      {3, "3"},
      {-2.5, "-2,5"},
      {100, "100"},             // zeros of the whole part are not trailing zeros
      {1234567.5, "1234567,5"}, // no thousands separator
      {0.1 + 0.2, "0,3"},
      {1.0 / 3, "0,333333333333333"},
      {2.0 / 3, "0,666666666666667"},
      {9.9999999999999995, "10"},              // rounding carries into a new digit
      {1234567890123.125, "1234567890123,13"}, // an exact half rounds away from zero
      {999999999999999, "999999999999999"},
      {1e15, "1E15"}, // 16 digits before the point
      {1234567890123456, "1,23456789012346E15"},
      {1e20, "1E20"},
      {1e100, "1E100"},
      {DBL_MAX, "1,79769313486232E308"},
      {0.00012345, "0,00012345"},
      {0.0001, "0,0001"},
      {0.000099999999999999999, "0,0001"}, // the form follows the rounded value
      {0.00001, "1E-5"},
      {0.000001, "1E-6"},
      {1.5e-7, "1,5E-7"},
      {-1.5e-7, "-1,5E-7"},
      {1.25e-300, "1,25E-300"},
      {5e-324, "4,94065645841247E-324"},
      {0, "0"},
      {-0.0, "0"},
      {kNaN, "NAN"},
      {kInf, "INF"},
      {-kInf, "-INF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(FloatToStrGeneral(c.value, kCzech), c.expected);
    EXPECT_EQ(Format("%g", {c.value}, kCzech), c.expected);
  }
}

TEST(FloatToStrFixed, RoundsHalfAwayFromZero) {
  struct FixedCase {
    double value;
    int decimals;
    const char* expected;
  };
  const FixedCase cases[] = {
      {1.125, 2, "1,13"}, // exactly halfway: the standard library alone would give 1,12
      {-1.125, 2, "-1,13"}, {2.5, 0, "3"},
      {0.5, 0, "1"},        {1.005, 2, "1,00"}, // just below the half in binary
      {2.675, 2, "2,67"},   {0.05, 1, "0,1"},
      {-0.001, 2, "0,00"}, // no minus sign in front of zeros
      {-0.0, 2, "0,00"},    {1234.5, 0, "1235"},
      {1.5, -3, "2"},       {1.0 / 3, 40, "0,333333333333333315"}, // at most 18 decimals
      {kNaN, 2, "NAN"},     {-kInf, 2, "-INF"},
      {1e300, 2, "1E300"}, // not 300 digits
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(FloatToStrFixed(c.value, c.decimals, kCzech), c.expected);
  }
}

TEST(Format, FixedWithWidth) {
  Check({
      {"right-aligned", Format("%8.2f", {1234.5}, kCzech), " 1234,50"},
      {"negative", Format("%8.2f", {-1.005}, kCzech), "   -1,00"},
      {"wider than the field is not cut", Format("%8.2f", {123456789.5}, kCzech), "123456789,50"},
      {"left-aligned", Format("%-8.2f|", {1234.5}, kCzech), "1234,50 |"},
      {"two decimals when none given", Format("%f", {3.14159}, kCzech), "3,14"},
      {"whole number argument", Format("%8.2f", {7}, kCzech), "    7,00"},
      {"NaN keeps the width", Format("%8.2f", {kNaN}, kCzech), "     NAN"},
      {"huge value", Format("%8.2f", {1e20}, kCzech), "    1E20"},
      {"scientific", Format("%e", {1234.5}, kCzech), "1,23450000000000E+003"},
      {"scientific, small", Format("%.3e", {-0.00012345}, kCzech), "-1,23E-004"},
  });
}

TEST(Format, WholeNumbersAndTexts) {
  const std::string horse = Cz("Žluťoučký kůň");
  Check({
      {"%d", Format("%d|%d", {42, -7}, kCzech), "42|-7"},
      {"width", Format("[%5d][%-5d]", {42, 42}, kCzech), "[   42][42   ]"},
      {"zeros in front", Format("%.3d|%.3d", {7, -7}, kCzech), "007|-007"},
      {"smallest long long", Format("%d", {LLONG_MIN}, kCzech), "-9223372036854775808"},
      {"hexadecimal", Format("%x|%.4X", {255, 10}, kCzech), "FF|000A"},
      {"float for %d rounds", Format("%d %d %d", {2.5, -2.5, 2.4}, kCzech), "3 -3 2"},
      {"float beyond whole numbers for %d", Format("%d|%d", {1e30, kNaN}, kCzech), "1E30|NAN"},
      {"cp1250 text kept byte for byte", Format("%s!", {horse}, kCzech), horse + "!"},
      {"text width", Format("[%6s][%-6s]", {"ab", "ab"}, kCzech), "[    ab][ab    ]"},
      {"text longer than the width", Format("[%2s]", {"abcd"}, kCzech), "[abcd]"},
      {"text precision cuts", Format("%.3s", {"abcdef"}, kCzech), "abc"},
      {"numbers for %s", Format("%s %s", {3, 2.5}, kCzech), "3 2,5"},
      {"text for a number placeholder", Format("%d %5.2f", {"abc", "x"}, kCzech), "abc     x"},
  });
}

TEST(Format, PercentSignsAndMissingArguments) {
  Check({
      {"%%", Format("100%% %d%%", {5}, kCzech), "100% 5%"},
      {"lone % at the end", Format("100 %", {}, kCzech), "100 %"},
      {"% before a space", Format("50 % sleva", {}, kCzech), "50 % sleva"},
      {"unknown type letter", Format("%z %5q", {1}, kCzech), "%z %5q"},
      {"missing argument left out", Format("%s a %d a %8.2f.", {"x"}, kCzech), "x a  a ."},
      {"no arguments", Format("%s%d%g", {}, kCzech), ""},
      {"surplus arguments ignored", Format("%d", {1, 2, 3}, kCzech), "1"},
      {"argument index", Format("%1:s %0:s %s", {"a", "b"}, kCzech), "b a b"},
      {"index past the end", Format("%7:s.", {"a"}, kCzech), "."},
      {"width from an argument", Format("[%*d]", {5, 42}, kCzech), "[   42]"},
      {"width as a number too big", Format("%99999999999999999999d", {1}, kCzech), std::string(999, ' ') + "1"},
      {"empty pattern", Format("", {1}, kCzech), ""},
  });
}

TEST(Format, UsesTheLocaleDecimalSeparator) {
  Locale dot = Locale::Czech();
  dot.DecimalSeparator = '.';
  EXPECT_EQ(Format("%g|%8.2f|%g", {2.5, 1234.5, 1.5e-7}, dot), "2.5| 1234.50|1.5E-7");
  EXPECT_EQ(FloatToStrFixed(0.5, 1, dot), "0.5");
}

TEST(Format, QuantityAdjustmentMessage) {
  const std::string pattern =
      Cz("U karty %s %s\rlze objednat pouze po %g %s.\rObjednané množství bylo upraveno na %g %s.");
  EXPECT_EQ(Format(pattern, {"004711", Cz("Pivo světlé 0,5 l"), 6.0, "ks", 12.0, "ks"}, kCzech),
            Cz("U karty 004711 Pivo světlé 0,5 l\rlze objednat pouze po 6 ks.\r"
               "Objednané množství bylo upraveno na 12 ks."));
  EXPECT_EQ(Format(pattern, {"12", "Mouka", 2.5, "kg", 7.5, "kg"}, kCzech),
            Cz("U karty 12 Mouka\rlze objednat pouze po 2,5 kg.\rObjednané množství bylo upraveno na 7,5 kg."));
}

} // namespace
