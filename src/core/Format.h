#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "core/Locale.h"

// One argument of Format: text, a whole number or a floating-point number.
class FormatArg {
public:
  enum class Kind { Text, Integer, Float };
  FormatArg(const char* text) : FKind(Kind::Text), FText(text) {}
  FormatArg(std::string text) : FKind(Kind::Text), FText(std::move(text)) {}
  FormatArg(std::string_view text) : FKind(Kind::Text), FText(text) {}
  FormatArg(int value) : FKind(Kind::Integer), FInteger(value) {}
  FormatArg(long value) : FKind(Kind::Integer), FInteger(value) {}
  FormatArg(long long value) : FKind(Kind::Integer), FInteger(value) {}
  FormatArg(unsigned value) : FKind(Kind::Integer), FInteger(value) {}
  FormatArg(unsigned long value) : FKind(Kind::Integer), FInteger(static_cast<long long>(value)) {}
  FormatArg(double value) : FKind(Kind::Float), FFloat(value) {}

  Kind GetKind() const { return FKind; }
  const std::string& Text() const { return FText; }
  long long Integer() const { return FInteger; }
  double Float() const { return FFloat; }

private:
  Kind FKind;
  std::string FText;
  long long FInteger = 0;
  double FFloat = 0;
};

// The formatting routine behind the program's message texts, after the platform's Format.
// A placeholder is "%[index:][-][width][.precision]type"; "%%" is a percent sign.
//   %s   text as it stands (".precision" cuts it to that many characters)
//   %d   whole number (".precision": at least that many digits, zeros in front); %u the same
//   %x   whole number in upper-case hexadecimal
//   %g   shortest general form, up to 15 significant digits (or ".precision", at most 18):
//        trailing zeros dropped, a decimal separator only when needed; scientific form
//        ("1E20", "1,5E-7") when the whole part would need more digits than that or the
//        value is below 0.0001 in magnitude, as the platform does
//   %f   fixed notation with ".precision" decimals (2 when none is given, at most 18);
//        values of 1e15 and more in magnitude fall back to the %g form
//   %e   scientific form d,ddd...E+ddd with 15 (or ".precision") significant digits
// width right-aligns in that many characters with spaces ("-" left-aligns); a longer text is
// never cut. "*" for width or precision takes it from the next (whole-number) argument.
// Numbers use the locale's decimal separator and never a thousands separator; halves round
// away from zero (1.125 with two decimals is "1,13"); a result that shows only zeros has no
// minus sign; NaN and infinities are written "NAN", "INF", "-INF".
// Arguments of another kind than the placeholder asks for:
//   a float for %d/%u/%x   rounded half away from zero to a whole number (a float beyond the
//                          range of whole numbers keeps its %g form)
//   a whole number for %g/%f/%e   the number itself
//   a number for %s        its %d or %g text
//   a text for any number placeholder   the text as it stands
// A placeholder without an argument left is left out; an unknown type letter or a "%" at the
// end is copied as it stands. Never throws; widths are capped at 1000 characters and the
// zeros in front of a whole number at 32 digits.
std::string Format(std::string_view pattern, std::initializer_list<FormatArg> args,
                   const Locale& locale = CurrentLocale());

// A number as "%g" writes it (15 significant digits).
std::string FloatToStrGeneral(double value, const Locale& locale = CurrentLocale());

// A number in fixed notation with the given decimals (0 to 18; no padding), as "%.Nf" writes it.
std::string FloatToStrFixed(double value, int decimals, const Locale& locale = CurrentLocale());
