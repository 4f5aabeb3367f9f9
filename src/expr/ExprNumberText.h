#pragma once

#include <string>
#include <string_view>

// The number-to-text forms of the expression language. The decimal separator is always "."
// whatever the user's locale, as the language's own number forms are not localised.
// None of them throws (except std::bad_alloc); widths are whatever the caller passes, the
// language keeps them below 32768.

// A number as the language shows it: up to 5 decimals, trailing zeros dropped ("2.5", "3",
// "0.33333", "0" for 0.000000001); from 1e15 in size the scientific form with 12 significant
// digits ("1.00000000000E+0015"). No leading spaces.
std::string NumberToText(double x);

// x in a field of width characters (STRNUM): fixed notation with up to 5 decimals right-aligned
// when it fits the magnitude, otherwise the scientific form "d.dddE+dddd" with a sign position.
std::string StrNum(double x, int width);

// STRCURR: as StrNum, with at least two decimals ("2.50", "3.00"), right-aligned in width.
std::string StrCurr(double x, int width);

// STRTH: inserts spaces as thousands separators into a right-aligned number, eating its leading
// spaces, so the length stays; a text without leading spaces comes back unchanged.
std::string StrThousands(std::string_view text);

// STR: x in fixed notation with decimals decimals, right-aligned in at least width characters.
std::string StrFixed(double x, int width, int decimals);

// STRING: x in fixed notation with decimals decimals, no padding.
std::string StringFixed(double x, int decimals);
