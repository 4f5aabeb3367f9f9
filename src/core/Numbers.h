#pragma once

#include <string_view>

// Reads a number typed by the user or taken from text: spaces and non-breaking spaces
// (0xA0) are ignored, the first "," counts as ".", empty text is 0; otherwise a decimal
// number with optional sign and exponent. The result is rounded to 5 decimals. On failure
// returns false and leaves value untouched.
bool TextToNumber(std::string_view text, double& value);

// Rounds half away from zero to a multiple of 1/factor (100 for money, 1000 for quantities).
double RoundToFactor(double x, double factor);

// Equality and zero tests with a tolerance that grows with the magnitude.
bool NearlyEqual(double a, double b);
bool NearlyZero(double x);
