#pragma once

#include <string>
#include <string_view>

// The comparison of texts the grids sort by: linguistic order for the Czech user, as the
// platform's locale comparison without flags gives it, over code page 1250 text.
//   1. Letters by the Czech alphabet (č after c, "ch" after h, ř after r, š after s, ž after z;
//      other accented letters count as their base letter here), after digits, after spaces
//      and other signs; hyphens and apostrophes are passed over;
//   2. then accents (the unaccented letter first);
//   3. then case (the small letter first);
//   4. then, only so that distinct texts never compare equal, the bytes.
// Digits compare one by one ("10" before "9"); callers pad numbers that must sort by length.
// Returns -1, 0 or 1. Allocates nothing.
int CompareLocaleText(std::string_view a, std::string_view b);

// A text made of pad spaces and two pieces, compared as if joined: the sort key of a cell,
// right-justified, followed by the card's name.
struct TJoinedText {
  int PadSpaces = 0;
  std::string_view First;
  std::string_view Second;
};
int CompareLocaleText(const TJoinedText& a, const TJoinedText& b);

// Appends the sort key of a text: a byte string whose plain byte order (std::string's compare)
// is the order of CompareLocaleText at its first three levels. Texts that differ only in the
// bytes of the fourth level have equal keys; compare those texts themselves. About four bytes
// per character.
void AppendLocaleSortKey(const TJoinedText& text, std::string& key);

// Appends the first level of the sort key only: one byte per character that counts at the
// first level ("ch" is one), none of them 0. Byte order of two such keys is the order of the
// first level of CompareLocaleText; equal keys leave the decision to the later levels. About
// one byte per character, which keeps the keys of a whole price list in a few megabytes.
void AppendLocalePrimaryKey(const TJoinedText& text, std::string& key);
