// The search of the main window and the group tabs: which cards are shown.

#include <string.h>

#include <algorithm>

#include "catalogue/PriceList.h"
#include "formats/CodePages.h"
#include "ui/CellValues.h"

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

} // namespace

std::array<bool, kContentCount> DefaultSearchedContents() {
  std::array<bool, kContentCount> marks{};
  for (const int id : {2, 3, 12, 13, 14, 15, 24, 34})
    marks[static_cast<size_t>(id)] = true;
  return marks;
}

const TPriceList::TFlatText& TPriceList::Flat(int contentId) {
  EnsureFlat({contentId});
  return *FFlat[static_cast<size_t>(contentId)];
}

// The copies are made in one pass over the cards, so each card is fetched from memory once
// however many contents are searched.
void TPriceList::EnsureFlat(const std::vector<int>& contentIds) {
  std::vector<int> missing;
  for (const int id : contentIds)
    if (!FFlat[static_cast<size_t>(id)] && std::find(missing.begin(), missing.end(), id) == missing.end())
      missing.push_back(id);
  if (missing.empty())
    return;
  std::vector<TFlatText*> flats;
  for (const int id : missing) {
    FFlat[static_cast<size_t>(id)] = std::make_unique<TFlatText>();
    flats.push_back(FFlat[static_cast<size_t>(id)].get());
    flats.back()->Offsets.reserve(FItems.size() + 1);
    flats.back()->Bytes.reserve(FItems.size() * 16);
  }
  const TCodeTable& upper = CZConv::Upper1250;
  const TCellEnvironment& env = CellEnvironment();
  for (const auto& card : FItems) {
    for (size_t k = 0; k < missing.size(); ++k) {
      const int id = missing[k];
      TFlatText& flat = *flats[k];
      flat.Offsets.push_back(static_cast<std::uint32_t>(flat.Bytes.size()));
      // The code, the name key and the EAN are compared as they stand; any other content
      // upper-cased with its diacritics kept.
      if (id == 2) {
        flat.Bytes += card->Kod;
      } else if (id == 3) {
        flat.Bytes += card->SearchName;
      } else if (id == 12) {
        flat.Bytes += card->EAN;
      } else {
        const size_t at = flat.Bytes.size();
        std::string_view field;
        if (CardTextField(*card, id, false, field))
          flat.Bytes += field;
        else
          flat.Bytes += ContentText(card.get(), nullptr, id, false, env).Text;
        for (size_t i = at; i < flat.Bytes.size(); ++i)
          flat.Bytes[i] = static_cast<char>(upper[static_cast<unsigned char>(flat.Bytes[i])]);
      }
      flat.Bytes += '\0';
    }
  }
  for (TFlatText* flat : flats)
    flat->Offsets.push_back(static_cast<std::uint32_t>(flat->Bytes.size()));
}

void TPriceList::PrepareSearch() {
  std::vector<int> ids;
  for (int id = 2; id <= 40; ++id)
    if (SearchedContents[static_cast<size_t>(id)])
      ids.push_back(id);
  EnsureFlat(ids);
}

// One byte per card: the needle occurs in the card's text of the content. A card text never
// holds a 0 byte (the table's texts end at the first one), so a hit never spans two cards.
std::vector<std::uint8_t> TPriceList::Hits(int contentId, std::string_view needle) {
  const TFlatText& flat = Flat(contentId);
  std::vector<std::uint8_t> hits(FItems.size(), needle.empty() ? 1 : 0);
  if (needle.empty() || needle.find('\0') != std::string_view::npos)
    return hits;
  const char* const base = flat.Bytes.data();
  const size_t size = flat.Bytes.size();
  size_t pos = 0;
  while (pos < size) {
    const void* found = ::memmem(base + pos, size - pos, needle.data(), needle.size());
    if (!found)
      break;
    const auto at = static_cast<std::uint32_t>(static_cast<const char*>(found) - base);
    const size_t card =
        static_cast<size_t>(std::upper_bound(flat.Offsets.begin(), flat.Offsets.end(), at) - flat.Offsets.begin()) - 1;
    hits[card] = 1;
    pos = flat.Offsets[card + 1];
  }
  return hits;
}

namespace {

// The card's text in the flat copy equals text.
bool FlatEquals(const std::string& bytes, const std::vector<std::uint32_t>& offsets, size_t card,
                std::string_view text) {
  const size_t start = offsets[card], length = offsets[card + 1] - start - 1;
  return length == text.size() && bytes.compare(start, length, text) == 0;
}

} // namespace

TFilterResult TPriceList::Filter(std::string_view text, const TFilterOptions& options, IProgress& progress) {
  TFilterResult result;
  const std::vector<std::string> pieces =
      options.CodeListMode ? SplitPieces(text, '\t') : SplitPieces(RemoveDiacritics(text), ' ');
  const std::string_view trimmed = TrimBlanks(text);
  const size_t count = FItems.size();

  bool hasCode = false, hasEan = false;
  std::vector<int> before, after; // contents tried before and after the EAN
  for (int id = 0; id <= 40; ++id) {
    const bool searched = options.Mode == 0   ? SearchedContents[static_cast<size_t>(id)]
                          : options.Mode == 1 ? id == 3
                          : options.Mode == 2 ? id == 2
                          : options.Mode == 3 ? id == 12
                                              : options.Mode == 4;
    // The order contents have no text without an order line.
    if (!searched || id <= 1)
      continue;
    if (id == 2)
      hasCode = true;
    else if (id == 12)
      hasEan = true;
    else
      (id < 12 ? before : after).push_back(id);
  }

  // The word search works content by content over the flat copies; the card loop below then
  // only combines the hits in the order the contents are tried for each card.
  const bool wordSearch = !options.Evaluator && !options.CodeListMode;
  std::vector<std::uint8_t> codeHits, eanHits;
  std::vector<std::vector<std::uint8_t>> foundBefore, foundAfter;
  const TFlatText* codes = nullptr;
  const TFlatText* eans = nullptr;
  if (wordSearch) {
    std::vector<int> needed = before;
    needed.insert(needed.end(), after.begin(), after.end());
    if (hasCode)
      needed.push_back(2);
    if (hasEan)
      needed.push_back(12);
    EnsureFlat(needed);
    if (hasCode) {
      codeHits = Hits(2, text);
      codes = &Flat(2);
    }
    if (hasEan) {
      eanHits = Hits(12, text);
      eans = &Flat(12);
    }
    for (const std::string& piece : pieces) {
      for (auto* found : {&foundBefore, &foundAfter}) {
        found->emplace_back(count, 0);
        for (const int id : found == &foundBefore ? before : after) {
          const std::vector<std::uint8_t> hits = Hits(id, piece);
          std::vector<std::uint8_t>& all = found->back();
          for (size_t i = 0; i < count; ++i)
            all[i] |= hits[i];
        }
      }
    }
  } else if (options.CodeListMode) {
    codes = &Flat(2);
  }

  int matchedCount = 0;
  int row = 0;
  const int step = ProgressStep(static_cast<long long>(count));
  progress.Start(static_cast<long long>(count));
  for (size_t i = 0; i < count; ++i) {
    if (i % static_cast<size_t>(step) == 0)
      progress.Position(static_cast<long long>(i));
    TPriceListItem& card = *FItems[i];
    bool matches = false;
    if (options.RestrictToSubset && SubsetActive && !card.InSubset) {
      matches = false;
    } else if (options.Evaluator) {
      matches = options.Evaluator(card, static_cast<int>(i));
    } else if (options.CodeListMode) {
      const size_t start = codes->Offsets[i], length = codes->Offsets[i + 1] - start - 1;
      matches = std::any_of(pieces.begin(), pieces.end(), [&](const std::string& piece) {
        return length >= piece.size() && codes->Bytes.compare(start, piece.size(), piece) == 0;
      });
    } else {
      if (hasCode && !pieces.empty() && FlatEquals(codes->Bytes, codes->Offsets, i, trimmed)) {
        result.ExactHit = true;
        row = matchedCount + 1;
      }
      if (hasCode && !pieces.empty() && codeHits[i]) {
        matches = true;
      } else {
        matches = true;
        for (size_t k = 0; k < pieces.size(); ++k) {
          if (foundBefore[k][i])
            continue;
          if (hasEan) {
            if (row == 0 && FlatEquals(eans->Bytes, eans->Offsets, i, trimmed)) {
              result.ExactHit = true;
              row = matchedCount + 1;
            }
            if (eanHits[i])
              break; // the EAN holds the whole text: the card matches at once
          }
          if (!foundAfter[k][i]) {
            matches = false;
            break;
          }
        }
      }
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
