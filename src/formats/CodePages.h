#pragma once

#include <array>
#include <string>
#include <string_view>

// Byte-for-byte conversions between the code pages the program meets and code page 1250,
// the program's own. Every conversion is a 256-entry table built at compile time, so a
// conversion is one table look-up per byte and the tables can be applied in place.
//
// Only bytes 0x80-0xFF are ever changed; every byte a table does not list passes unchanged.

using TCodeTable = std::array<unsigned char, 256>;

// The conversion tables of the dBase tables and the case tables of code page 1250.
namespace CZConv {
// Code page 852 (DOS Latin-2) to 1250 and back: the Czech and Slovak letters
// á ä č ď é ě í ĺ ľ ň ó ô ŕ ř š ť ú ů ý ž and their capitals, ö ü ű Ö Ü and the signs
// § ° « ». The sign ÷ is converted from 1250 to 852 only.
extern const TCodeTable Cp852To1250;
extern const TCodeTable Cp1250To852;
// The Kamenický code page (KEYBCS2) to 1250 and back: the Czech and Slovak letters and
// ä ö ü Ä Ö Ü.
extern const TCodeTable KamenickyTo1250;
extern const TCodeTable Cp1250ToKamenicky;
// Letters with diacritics of code page 1250 folded to plain ASCII letters.
extern const TCodeTable Diacritics1250;
// Upper and lower case of code page 1250, letters with diacritics included (ß, µ, × and ÷
// have no single-byte counterpart and stay as they are).
extern const TCodeTable Upper1250;
extern const TCodeTable Lower1250;
} // namespace CZConv

// Applies a table to every byte of the text.
inline void TranslateInPlace(std::string& text, const TCodeTable& table) {
  for (char& c : text)
    c = static_cast<char>(table[static_cast<unsigned char>(c)]);
}
inline std::string Translate(std::string_view text, const TCodeTable& table) {
  std::string result(text);
  TranslateInPlace(result, table);
  return result;
}

inline std::string Cp852ToCp1250(std::string_view cp852) { return Translate(cp852, CZConv::Cp852To1250); }
inline std::string Cp1250ToCp852(std::string_view cp1250) { return Translate(cp1250, CZConv::Cp1250To852); }
inline std::string KamenickyToCp1250(std::string_view text) { return Translate(text, CZConv::KamenickyTo1250); }
inline std::string Cp1250ToKamenicky(std::string_view text) { return Translate(text, CZConv::Cp1250ToKamenicky); }

// Replaces the letters with diacritics of code page 1250 by their plain letters (Á Â Ă Ä → A,
// č → c, ß → S, ş → s, ż → z, ...). Ą ą Ł ł Ş Ż and every other byte stay as they are.
inline std::string RemoveDiacritics(std::string_view cp1250) { return Translate(cp1250, CZConv::Diacritics1250); }

// Upper and lower case of code page 1250 text.
inline char AnsiUpperChar(char c) { return static_cast<char>(CZConv::Upper1250[static_cast<unsigned char>(c)]); }
inline char AnsiLowerChar(char c) { return static_cast<char>(CZConv::Lower1250[static_cast<unsigned char>(c)]); }
inline std::string AnsiUpperCase(std::string_view cp1250) { return Translate(cp1250, CZConv::Upper1250); }
inline std::string AnsiLowerCase(std::string_view cp1250) { return Translate(cp1250, CZConv::Lower1250); }
