#pragma once

#include <string>
#include <string_view>

// Text inside the program is code page 1250; these convert at the edges (Qt, the settings
// file, command-line arguments and output).

// Every byte maps to one character; the five bytes code page 1250 leaves undefined map to
// the C1 control characters of the same number, so any byte string survives a round trip.
std::string Cp1250ToUtf8(std::string_view cp1250);

// Characters code page 1250 cannot hold, and malformed UTF-8 sequences, become "?".
std::string Utf8ToCp1250(std::string_view utf8);

// The program's own texts are written in UTF-8 in the sources; this gives their code page
// 1250 form.
inline std::string Cz(std::string_view utf8) { return Utf8ToCp1250(utf8); }
