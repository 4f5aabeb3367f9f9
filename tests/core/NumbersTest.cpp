#include <gtest/gtest.h>

#include "core/Numbers.h"

namespace {

struct TextToNumberCase {
  const char* text;
  bool ok;
  double value;
};

void PrintTo(const TextToNumberCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class TextToNumberTest : public testing::TestWithParam<TextToNumberCase> {};

TEST_P(TextToNumberTest, ReadsAsTyped) {
  const auto& c = GetParam();
  double value = -777;
  EXPECT_EQ(TextToNumber(c.text, value), c.ok) << c.text;
  if (c.ok)
    EXPECT_DOUBLE_EQ(value, c.value) << c.text;
  else
    EXPECT_EQ(value, -777) << "a failed read must leave the value alone: " << c.text;
}

INSTANTIATE_TEST_SUITE_P(Cases, TextToNumberTest,
                         testing::Values(TextToNumberCase{"", true, 0}, TextToNumberCase{"   ", true, 0},
                                         TextToNumberCase{"3,5", true, 3.5}, TextToNumberCase{"3.5", true, 3.5},
                                         TextToNumberCase{"1 000,25", true, 1000.25},
                                         TextToNumberCase{"1\xA0"
                                                          "000",
                                                          true, 1000},
                                         TextToNumberCase{"-2,5e3", true, -2500}, TextToNumberCase{"+7", true, 7},
                                         TextToNumberCase{",5", true, 0.5}, TextToNumberCase{"1/3", false, 0},
                                         TextToNumberCase{"0,1234567", true, 0.12346},
                                         TextToNumberCase{"1,2,3", false, 0}, TextToNumberCase{"abc", false, 0},
                                         TextToNumberCase{"inf", false, 0}, TextToNumberCase{"nan", false, 0},
                                         TextToNumberCase{"0x10", false, 0}, TextToNumberCase{"1e", false, 0},
                                         TextToNumberCase{"-", false, 0}, TextToNumberCase{"1e999", false, 0},
                                         // rounding to 5 decimals must not overflow a large number
                                         TextToNumberCase{"1e300", true, 1e300},
                                         TextToNumberCase{"0,000005", true, 0.00001},
                                         TextToNumberCase{"0,000004", true, 0}));

TEST(RoundToFactor, RoundsHalfAwayFromZero) {
  EXPECT_DOUBLE_EQ(RoundToFactor(2.345, 100), 2.35);
  EXPECT_DOUBLE_EQ(RoundToFactor(-2.345, 100), -2.35);
  EXPECT_DOUBLE_EQ(RoundToFactor(2.344, 100), 2.34);
  EXPECT_DOUBLE_EQ(RoundToFactor(1.0005, 1000), 1.001);
  EXPECT_DOUBLE_EQ(RoundToFactor(0, 100), 0);
}

TEST(NearlyEqual, ToleranceGrowsWithMagnitude) {
  EXPECT_TRUE(NearlyEqual(200000, 200000.00009));
  EXPECT_FALSE(NearlyEqual(200000, 200000.0002));
  EXPECT_TRUE(NearlyEqual(5, 5.000000009));
  EXPECT_FALSE(NearlyEqual(5, 5.00000002));
  EXPECT_TRUE(NearlyZero(1e-13));
  EXPECT_FALSE(NearlyZero(1e-11));
  // The bands start strictly above 100000 and 1, and are chosen by the first number.
  EXPECT_FALSE(NearlyEqual(100000, 100000.00005));
  EXPECT_TRUE(NearlyEqual(100000.00005, 100000));
  EXPECT_FALSE(NearlyEqual(1, 1.000000001));
}

} // namespace
