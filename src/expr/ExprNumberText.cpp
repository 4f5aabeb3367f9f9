#include "expr/ExprNumberText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::string RightAlign(std::string text, int width) {
  if (width <= 0 || static_cast<int>(text.size()) >= width)
    return text;
  std::string result(static_cast<std::size_t>(width) - text.size(), ' ');
  result += text;
  return result;
}

std::string NonFiniteText(double x) {
  if (std::isnan(x))
    return "NAN";
  return x < 0 ? "-INF" : "INF";
}

// The scientific form: a sign position (" " or "-"), one digit, ".", the further digits, "E",
// the exponent's sign and four exponent digits, right-aligned in width characters.
struct TScientific {
  std::string Text;
  int Exponent = 0;
};

TScientific Scientific(double x, int digits, int width) {
  TScientific result;
  if (!std::isfinite(x)) {
    // Larger than any exponent a double has, so every caller falls back to this form.
    result.Exponent = 9999;
    result.Text = RightAlign(NonFiniteText(x), width);
    return result;
  }
  if (x == 0)
    x = 0; // no "-0"
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*E", digits - 1, std::fabs(x));
  const char* e = std::strchr(buffer, 'E');
  result.Exponent = e ? std::atoi(e + 1) : 0;
  std::string text(1, x < 0 ? '-' : ' ');
  text.append(buffer, e ? static_cast<std::size_t>(e - buffer) : std::strlen(buffer));
  char exponent[16];
  std::snprintf(exponent, sizeof exponent, "E%c%04d", result.Exponent < 0 ? '-' : '+', std::abs(result.Exponent));
  text += exponent;
  result.Text = RightAlign(std::move(text), width);
  return result;
}

// Fixed notation; a result that shows only zeros carries no minus sign.
std::string FixedText(double x, int decimals) {
  if (!std::isfinite(x))
    return NonFiniteText(x);
  decimals = std::max(decimals, 0);
  const int length = std::snprintf(nullptr, 0, "%.*f", decimals, x);
  std::string text(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
  std::snprintf(text.data(), text.size(), "%.*f", decimals, x);
  text.resize(static_cast<std::size_t>(std::max(length, 0)));
  if (!text.empty() && text[0] == '-' && text.find_first_not_of("0.", 1) == std::string::npos)
    text.erase(0, 1);
  return text;
}

// Fixed notation with 5 decimals, trailing zeros and then a trailing "." removed.
std::string ShortFixed(double x) {
  std::string text = FixedText(x, 5);
  if (text.find('.') != std::string::npos) {
    while (!text.empty() && text.back() == '0')
      text.pop_back();
    if (!text.empty() && text.back() == '.')
      text.pop_back();
  }
  if (text == "-0")
    text = "0";
  return text;
}

std::string TrimLeadingSpaces(std::string text) {
  const std::size_t first = text.find_first_not_of(' ');
  text.erase(0, first == std::string::npos ? text.size() : first);
  return text;
}

int Digits(int width) { return std::clamp(width - 8, 2, 18); }

} // namespace

std::string StrNum(double x, int width) {
  const bool narrow = width < 8;
  const TScientific s = narrow ? Scientific(x, 12, 20) : Scientific(x, Digits(width), width);
  const int e = std::abs(s.Exponent);
  if (narrow && e > 12)
    return std::string(static_cast<std::size_t>(std::max(width, 0)), '0');
  if (e >= 15 && s.Exponent < 0)
    return RightAlign("0", width);
  if (e < 15 && width >= e)
    return RightAlign(ShortFixed(x), width);
  return s.Text;
}

std::string NumberToText(double x) { return TrimLeadingSpaces(StrNum(x, 20)); }

std::string StrCurr(double x, int width) {
  const TScientific s = Scientific(x, Digits(width), width);
  if (std::abs(s.Exponent) >= 12)
    return s.Text;
  std::string text = TrimLeadingSpaces(StrNum(x, width));
  const std::size_t dot = text.find('.');
  if (dot == std::string::npos)
    text += ".00";
  else if (dot + 2 == text.size())
    text += '0';
  return RightAlign(std::move(text), width);
}

std::string StrThousands(std::string_view text) {
  std::string s(text);
  if (s.empty() || s[0] != ' ')
    return s;
  const auto isDigit = [&](std::size_t i) { return s[i] >= '0' && s[i] <= '9'; };
  std::size_t end = s.find_first_of(",.");
  if (end == std::string::npos)
    end = s.size();
  // end is the position just right of the next group of three digits.
  while (!s.empty() && s[0] == ' ') {
    if (end < 4 || !isDigit(end - 1) || !isDigit(end - 2) || !isDigit(end - 3) || !isDigit(end - 4))
      break;
    std::string next;
    next.reserve(s.size());
    next.append(s, 1, end - 4);
    next += ' ';
    next.append(s, end - 3, std::string::npos);
    s = std::move(next);
    end -= 4;
  }
  return s;
}

std::string StrFixed(double x, int width, int decimals) { return RightAlign(FixedText(x, decimals), width); }

std::string StringFixed(double x, int decimals) { return FixedText(x, decimals); }
