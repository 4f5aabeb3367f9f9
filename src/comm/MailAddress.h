#pragma once

#include <string>
#include <string_view>
#include <vector>

// Pieces of address texts as users type them: "a@b.cz", "Jan Novák <a@b.cz>",
// "\"Novák, Jan\" <a@b.cz>, c@d.cz". Texts are code page 1250; nothing here fails.

// The text without the bytes up to and including the space at either end (control
// characters count as blanks, as the program trims everywhere).
std::string TrimText(std::string_view text);

// The text split at every comma that stands outside double quotes, each piece trimmed.
// An empty text gives no pieces; empty pieces between commas are kept (the caller decides).
std::vector<std::string> SplitAtCommasOutsideQuotes(std::string_view text);

// The bare address of one entry: the text between "<" and the following ">" when there is
// a "<", otherwise the whole entry; trimmed either way.
std::string BareEmailAddress(std::string_view entry);

// The envelope recipients of a recipient text: one bare address per comma-separated entry;
// entries that leave no address (a doubled or trailing comma) are skipped.
std::vector<std::string> EnvelopeRecipients(std::string_view recipients);
