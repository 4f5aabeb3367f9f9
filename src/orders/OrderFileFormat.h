#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/DateTime.h"
#include "core/Locale.h"

// The pieces of the order file's text form, without files and without questions: what the
// writer and the reader of OrderFile.h are made of, and what the tests and the fuzz target
// reach directly. Texts are code page 1250.

// Files larger than this are refused before anything is read, and a packed file may not
// claim to unpack to more: an order of 1000 lines is a few hundred kilobytes.
constexpr std::size_t kMaxOrderFileSize = 64u * 1024u * 1024u;

// The highest [OrderItems] and [OrderMemo] key a reader looks at.
constexpr int kMaxOrderFileKey = 1000;

// The keys of [General] a reader uses.
enum class TGeneralKey { Created, Changed, DeliveryDate, LatestDeliveryDate, Sent, OrderID, Count };

// The sections' values as a reader sees them: for every key the value of its first line
// ("key=value"; keys compared without regard to case). The views point into the text.
struct TOrderFileSections {
  std::array<std::optional<std::string_view>, static_cast<int>(TGeneralKey::Count)> General;
  std::array<std::optional<std::string_view>, kMaxOrderFileKey + 1> Items; // [0] unused
  std::array<std::optional<std::string_view>, kMaxOrderFileKey + 1> Memo;  // [0] unused
};

// Collects the sections of an order file's text. Lines are separated by any run of CR and LF;
// a section is the lines after the first line that equals its header after trimming
// (anyCase: without regard to case) up to the next line that begins with "[". Only the keys
// named above are kept, so memory does not grow with the text.
TOrderFileSections ParseOrderFileSections(std::string_view text, bool anyCase);

// The first `count` fields of an item value: separated by "|", ";" or TAB; a field that begins
// with a double quote or an apostrophe runs to the matching quote, a doubled quote standing
// for one. Fewer fields when the value has fewer.
std::vector<std::string> SplitOrderItemFields(std::string_view value, std::size_t count);

// A number written in the locale's form: optional spaces, sign, digits with the locale's
// decimal separator, exponent. False for anything else (also for an empty text).
bool ReadOrderNumber(std::string_view text, const Locale& locale, double& value);

// A date with an optional time in the locale's form: day, month and year in the order of the
// short date format separated by the date separator (the year may be left out, a two-digit
// year is 19xx from 50, else 20xx), then hours and minutes (and seconds) separated by the
// time separator. False when it does not read.
bool ReadOrderDateTime(std::string_view text, const Locale& locale, TDateTime& value);
// A time alone (hours, minutes, optional seconds) as a fraction of a day.
bool ReadOrderTime(std::string_view text, const Locale& locale, TDateTime& value);

// The price list's first identifier: the hash of the creation time text in the high 32 bits,
// that of the creation date text in the low ones, as a signed number.
std::int64_t PriceListID1(std::uint32_t createdHash, std::uint32_t createdTimeHash);

// The name and the quotes of a card as an item line may carry them: " and ' become the grave
// accent, "|" becomes ".".
std::string EscapeOrderItemText(std::string_view text);

// The text as one packed-file entry: the 30-byte header (stamp as DOS date and time, the
// stored name) and the LZH stream.
std::string PackOrderFileText(std::string_view text, const std::string& storedName, TDateTime stamp);

// When bytes hold a valid packed-file entry at their start (as IsPackedFile sees a file),
// sets text to its unpacked content and returns true; false for anything else (a plain
// file). Throws ELZHException naming fileName for a damaged stream or one that claims more
// than kMaxOrderFileSize bytes.
bool UnpackOrderFile(std::string_view bytes, const std::string& fileName, std::string& text);
