// The search of the main window and the group tabs: which cards are shown.

#include <algorithm>

#include "catalogue/PriceList.h"
#include "formats/CodePages.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

// The pieces of the search text cut at the separator; blank ones dropped, the rest kept as
// they stand.
std::vector<std::string> SplitPieces(std::string_view text, char separator) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::string_view::npos)
      end = text.size();
    const std::string_view piece = text.substr(start, end - start);
    if (!TrimBlanks(piece).empty())
      pieces.emplace_back(piece);
    start = end + 1;
  }
  return pieces;
}

// needle occurs in the upper-cased haystack; needle is upper case already. Saves building
// an upper-cased copy of every content of every card on each keystroke.
bool ContainsUpper(std::string_view haystack, std::string_view needle) {
  if (needle.empty())
    return true;
  if (needle.size() > haystack.size())
    return false;
  const TCodeTable& upper = CZConv::Upper1250;
  const unsigned char first = static_cast<unsigned char>(needle[0]);
  const size_t last = haystack.size() - needle.size();
  for (size_t i = 0; i <= last; ++i) {
    if (upper[static_cast<unsigned char>(haystack[i])] != first)
      continue;
    size_t j = 1;
    while (j < needle.size() &&
           upper[static_cast<unsigned char>(haystack[i + j])] == static_cast<unsigned char>(needle[j]))
      ++j;
    if (j == needle.size())
      return true;
  }
  return false;
}

// The card's text field shown by a text content, or null for the contents that are not
// plain text fields.
const std::string* TextContent(const TPriceListItem& card, int id) {
  switch (id) {
  case 2:
    return &card.Kod;
  case 3:
    return &card.Nazev;
  case 10:
    return &card.Jednotka;
  case 12:
    return &card.EAN;
  case 13:
    return &card.SKUPINA1;
  case 14:
    return &card.SKUPINA2;
  case 15:
    return &card.SKUPINA3;
  case 18:
    return &card.KODLAHEV;
  case 20:
    return &card.KODPREPR;
  case 24:
    return &card.POZNAMKA;
  case 25:
    return &card.CISLOSHODA;
  case 26:
    return &card.POPISSKP1;
  case 27:
    return &card.POPISSKP2;
  case 28:
    return &card.POPISSKP3;
  case 30:
    return &card.SKLMJ;
  case 32:
    return &card.OBRAZEK;
  case 33:
    return &card.DOSTUPNOST;
  case 34:
    return &card.KLICSLOVA;
  case 35:
    return &card.DODAVATEL;
  case 36:
    return &card.VYROBCE;
  case 37:
    return &card.NSKUPINA2;
  default:
    return nullptr;
  }
}

} // namespace

std::array<bool, kContentCount> DefaultSearchedContents() {
  std::array<bool, kContentCount> marks{};
  for (const int id : {2, 3, 12, 13, 14, 15, 24, 34})
    marks[static_cast<size_t>(id)] = true;
  return marks;
}

std::string TPriceList::ContentTextOf(const TPriceListItem& card, int contentId) const {
  return FContentText ? FContentText(card, contentId) : DefaultContentText(card, contentId);
}

TFilterResult TPriceList::Filter(std::string_view text, const TFilterOptions& options, IProgress& progress) {
  TFilterResult result;
  const std::vector<std::string> pieces =
      options.CodeListMode ? SplitPieces(text, '\t') : SplitPieces(RemoveDiacritics(text), ' ');
  const std::string_view trimmed = TrimBlanks(text);

  std::vector<int> contents;
  for (int id = 0; id <= 40; ++id) {
    const bool searched = options.Mode == 0   ? SearchedContents[static_cast<size_t>(id)]
                          : options.Mode == 1 ? id == 3
                          : options.Mode == 2 ? id == 2
                          : options.Mode == 3 ? id == 12
                                              : options.Mode == 4;
    // The order contents have no text without an order line.
    if (searched && id > 1)
      contents.push_back(id);
  }

  int matchedCount = 0;
  int row = 0;
  const long long count = Count();
  const int step = ProgressStep(count);
  progress.Start(count);
  for (long long i = 0; i < count; ++i) {
    if (i % step == 0)
      progress.Position(i);
    TPriceListItem& card = *FItems[static_cast<size_t>(i)];
    bool matches = false;
    if (options.RestrictToSubset && SubsetActive && !card.InSubset) {
      matches = false;
    } else if (options.Evaluator) {
      matches = options.Evaluator(card);
    } else if (options.CodeListMode) {
      matches = std::any_of(pieces.begin(), pieces.end(), [&](const std::string& piece) {
        return card.Kod.size() >= piece.size() && card.Kod.compare(0, piece.size(), piece) == 0;
      });
    } else {
      bool decided = false;
      matches = true;
      for (const std::string& piece : pieces) {
        bool found = false;
        for (const int id : contents) {
          if (id == 2) {
            if (trimmed == card.Kod) {
              result.ExactHit = true;
              row = matchedCount + 1;
            }
            if (card.Kod.find(text) != std::string::npos) {
              decided = true;
              break;
            }
          } else if (id == 3) {
            found = card.SearchName.find(piece) != std::string::npos;
          } else if (id == 12) {
            if (row == 0 && trimmed == card.EAN) {
              result.ExactHit = true;
              row = matchedCount + 1;
            }
            if (card.EAN.find(text) != std::string::npos) {
              decided = true;
              break;
            }
          } else if (const std::string* field = FContentText ? nullptr : TextContent(card, id)) {
            found = ContainsUpper(*field, piece);
          } else {
            found = ContainsUpper(ContentTextOf(card, id), piece);
          }
          if (found)
            break;
        }
        if (decided)
          break;
        if (!found) {
          matches = false;
          break;
        }
      }
      if (decided)
        matches = true;
    }
    card.Visible = matches;
    if (options.StoreSubset)
      card.InSubset = matches;
    if (matches)
      ++matchedCount;
  }
  progress.Finish();

  result.Matched = matchedCount > 0;
  if (result.Matched) {
    Filtered = true;
    if (options.StoreSubset)
      SubsetActive = true;
    result.Row = std::max(row, 1);
  } else {
    result.Row = 1;
  }
  RebuildVisible();
  return result;
}
