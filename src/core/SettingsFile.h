#pragma once

#include <string>
#include <string_view>

#include "core/SettingsData.h"

// The text form of a settings file (UTF-8; the values inside the program are code page 1250).
//
//   key=value            a value of the current section; values before the first header
//                        belong to the root key
//   [Section\Sub]        starts a section; "\" separates the subkeys
//   ; text   # text      comment lines; blank lines are ignored
//
// Spaces and TABs around a line, a key and a value are ignored, and a line may end in CR LF,
// so a file edited by hand reads as expected. Keys and values escape with "\":
//   \\  backslash      \n  LF      \r  CR      \t  TAB      \xHH  the byte HH (hex)
//   \ followed by any other character stands for that character, so "\=" is "=", "\[" is "["
// The writer escapes backslash, CR, LF, TAB and the other control characters, "=" inside a
// key, a "[", ";" or "#" at the start of a key, and spaces at either end of a key or a value
// (as \x20), so every key and value comes back byte for byte.
// Section headers take the text between the "[" and the last "]" as it stands, "\" being the
// subkey separator; "%HH" is the byte HH (the writer uses it for "%" and control characters).
//
// A section written twice is merged into its first place; a value written twice keeps its
// first place and the last text.

// Reads a whole file into data (which is cleared first). Returns false, with data emptied and
// problem set to a short description with the line number (code page 1250), when the text is
// not a settings file: malformed UTF-8, a NUL byte, a line that is neither a header, a comment
// nor "key=value", or a broken escape. Never throws except std::bad_alloc.
bool ParseSettingsText(std::string_view text, TSettingsData& data, std::string* problem = nullptr);

// The file text for the data: root values first, then every section in its order, sections
// without values included. ParseSettingsText gives back the same data.
std::string FormatSettingsText(const TSettingsData& data);
