#include "core/Numbers.h"

#include <charconv>
#include <cmath>
#include <string>

namespace {

// Accepts [+-]digits[.digits][(e|E)[+-]digits] with at least one mantissa digit; strtod and
// from_chars alone would also take "inf", "nan" or hexadecimal forms.
bool IsDecimalNumber(const std::string& s) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-'))
    ++i;
  size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9')
    ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
      ++i, ++digits;
  }
  if (digits == 0)
    return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
      ++i;
    size_t expDigits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
      ++i, ++expDigits;
    if (expDigits == 0)
      return false;
  }
  return i == s.size();
}

} // namespace

bool TextToNumber(std::string_view text, double& value) {
  std::string s;
  s.reserve(text.size());
  bool commaSeen = false;
  for (char c : text) {
    if (c == ' ' || c == '\xA0')
      continue;
    if (c == ',' && !commaSeen) {
      commaSeen = true;
      c = '.';
    }
    s += c;
  }
  if (s.empty()) {
    value = 0;
    return true;
  }
  if (!IsDecimalNumber(s))
    return false;
  const char* begin = s.data();
  if (*begin == '+')
    ++begin;
  double x = 0;
  const auto [end, ec] = std::from_chars(begin, s.data() + s.size(), x);
  if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(x))
    return false;
  value = RoundToFactor(x, 100000);
  return true;
}

double RoundToFactor(double x, double factor) {
  const double scaled = x * factor;
  // Beyond 2^52 every double is already a whole number and adding the half would only
  // push it to the next representable value.
  if (!std::isfinite(scaled) || std::fabs(scaled) >= 4503599627370496.0)
    return x;
  if (x >= 0)
    return std::trunc(scaled + 0.50000001) / factor;
  return std::trunc(scaled - 0.50000001) / factor;
}

bool NearlyEqual(double a, double b) {
  const double d = std::fabs(a - b);
  const double m = std::fabs(a);
  if (m > 100000)
    return d < 0.0001;
  if (m > 1)
    return d < 0.00000001;
  return d < 0.000000000001;
}

bool NearlyZero(double x) { return NearlyEqual(x, 0); }
