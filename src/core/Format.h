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

// The formatting routine behind the program's message texts: "%s" text, "%d" whole number,
// "%g" shortest general form of a number (up to 15 significant digits), "%.Nf" / "%W.Nf"
// fixed notation right-aligned in W characters, "%%" a percent sign. Numbers use the
// locale's decimal separator. A placeholder without a matching argument is left out.
std::string Format(std::string_view pattern, std::initializer_list<FormatArg> args,
                   const Locale& locale = CurrentLocale());

// A number in the general form of "%g" (up to 15 significant digits, trailing zeros
// dropped, scientific notation only where the fixed form would need more digits).
std::string FloatToStrGeneral(double value, const Locale& locale = CurrentLocale());

// A number in fixed notation with the given decimals (no padding).
std::string FloatToStrFixed(double value, int decimals, const Locale& locale = CurrentLocale());
