// The order of the cards: the built-in card comparison, the Czech text order and the card
// texts the comparison and the search read.

#include <algorithm>
#include <cmath>
#include <numeric>

#include "catalogue/PriceList.h"
#include "core/DateFormat.h"
#include "core/Format.h"
#include "core/Numbers.h"
#include "formats/CodePages.h"

namespace {

// Kind of a content: 0 text, 1 number, 2 amount.
int ValueKind(int id) {
  switch (id) {
  case 0:
  case 1:
  case 6:
  case 7:
  case 8:
  case 9:
  case 11:
  case 16:
  case 17:
  case 23:
  case 31:
  case 38:
  case 39:
    return 1;
  case 4:
  case 5:
  case 19:
  case 21:
  case 29:
  case 40:
  case 41:
    return 2;
  default:
    return 0;
  }
}

double PackagePrice(const TPriceListItem& card) {
  if (card.Baleni <= 0.0001 || card.Baleni == 1)
    return card.Cena;
  return RoundToFactor(card.Baleni * card.Cena, 100);
}

// The value of a numeric content; 0 for the order contents, which need an order line.
double ContentValue(const TPriceListItem& card, int id) {
  switch (id) {
  case 4:
    return card.Cena;
  case 5:
    return card.CenaSDPH;
  case 6:
    return card.Baleni;
  case 7:
    return card.VeVrstve;
  case 8:
    return card.NaPalete;
  case 9:
    return card.SazbaDPH;
  case 11:
    return card.TYPKARTY;
  case 16:
    return card.HMOTNOST;
  case 17:
    return card.ZARUKA;
  case 19:
    return card.CENALAHEV;
  case 21:
    return card.CENAPREPR;
  case 23:
    return card.ZASOBA;
  case 29:
    return PackagePrice(card);
  case 31:
    return card.NAKUPCENA;
  case 38:
    return card.PRIZNAKY;
  case 39:
    return card.OBJPOCETB;
  case 40:
    return card.DopCena;
  case 41:
    return card.DopCenaDPH;
  default:
    return 0;
  }
}

// Primary weights of the Czech alphabet: the letters A to Z with Č after C, Ř after R, Š
// after S, Ž after Z and the digraph CH after H; letters with other marks weigh as their
// plain letter. Everything below "A" keeps its byte, other signs weigh just below the letters.
struct TCollation {
  std::array<unsigned char, 256> Primary{};
  std::array<unsigned char, 256> Accent{};
  unsigned char CH = 0;

  TCollation() {
    const char* alphabet[] = {"A",    "B", "C", "\xC8", "D", "E", "F", "G", "H",   "CH",   "I",
                              "J",    "K", "L", "M",    "N", "O", "P", "Q", "R",   "\xD8", "S",
                              "\x8A", "T", "U", "V",    "W", "X", "Y", "Z", "\x8E"};
    std::array<unsigned char, 256> letterWeight{};
    unsigned char weight = 0x41;
    for (const char* letter : alphabet) {
      if (letter[1] != 0)
        CH = weight;
      else
        letterWeight[static_cast<unsigned char>(letter[0])] = weight;
      ++weight;
    }
    for (int b = 0; b < 256; ++b) {
      const auto c = static_cast<unsigned char>(b);
      const auto upper = static_cast<unsigned char>(AnsiUpperChar(static_cast<char>(c)));
      if (letterWeight[upper] != 0) {
        Primary[c] = letterWeight[upper];
        continue;
      }
      const auto plain = CZConv::Diacritics1250[upper];
      if (plain != upper && letterWeight[plain] != 0) {
        Primary[c] = letterWeight[plain];
        Accent[c] = 1;
      } else {
        Primary[c] = c < 0x41 ? c : 0x40;
      }
    }
  }
};

const TCollation& Collation() {
  static const TCollation collation;
  return collation;
}

bool IsLowerLetter(unsigned char c) { return AnsiUpperChar(static_cast<char>(c)) != static_cast<char>(c); }

} // namespace

namespace {

// The first level of the text order: one weight per letter ("ch" is one letter).
void AppendPrimaryKey(std::string& key, std::string_view text) {
  const TCollation& col = Collation();
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if ((c == 'C' || c == 'c') && i + 1 < text.size() && (text[i + 1] == 'H' || text[i + 1] == 'h')) {
      key += static_cast<char>(col.CH);
      ++i;
      continue;
    }
    key += static_cast<char>(col.Primary[c]);
  }
}

} // namespace

std::string TextSortKey(std::string_view text) {
  const TCollation& col = Collation();
  std::string key;
  key.reserve(text.size() * 4 + 3);
  AppendPrimaryKey(key, text);
  // Level separators sort below every weight, so a shorter text comes first.
  key += '\x01';
  for (const char c : text)
    key += static_cast<char>(2 + col.Accent[static_cast<unsigned char>(c)]);
  key += '\x01';
  for (const char c : text)
    key += static_cast<char>(IsLowerLetter(static_cast<unsigned char>(c)) ? 2 : 3);
  key += '\x01';
  key.append(text);
  return key;
}

int CompareText(std::string_view a, std::string_view b) {
  const int r = TextSortKey(a).compare(TextSortKey(b));
  return r < 0 ? -1 : r > 0 ? 1 : 0;
}

int DefaultColumnContent(int position) {
  static const int order[] = {3,  6,  1,  0,  10, 4,  5,  9,  23, 8,  2,  12, 19, 21, 13, 26, 14, 27, 15, 28, 7,
                              11, 16, 17, 18, 20, 22, 24, 25, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41};
  if (position < 0 || position >= static_cast<int>(std::size(order)))
    return -1;
  return order[position];
}

std::string DefaultContentText(const TPriceListItem& card, int id) {
  switch (ValueKind(id)) {
  case 2:
    return Format("%8.2f", {ContentValue(card, id)});
  case 1:
    if (id == 0 || id == 1)
      return {};
    if (id == 7 || id == 8 || id == 11 || id == 17 || id == 38)
      return std::to_string(static_cast<int>(ContentValue(card, id)));
    if (id == 31) // shown as an amount though it sorts as a number
      return Format("%8.2f", {card.NAKUPCENA});
    return FloatToStrGeneral(ContentValue(card, id)) + (id == 9 ? "%" : "");
  default:
    break;
  }
  switch (id) {
  case 2:
    return card.Kod;
  case 3:
    return card.Nazev;
  case 10:
    return card.Jednotka;
  case 12:
    return card.EAN;
  case 13:
    return card.SKUPINA1;
  case 14:
    return card.SKUPINA2;
  case 15:
    return card.SKUPINA3;
  case 18:
    return card.KODLAHEV;
  case 20:
    return card.KODPREPR;
  case 22:
    return card.DATUMZMENY == 0 ? std::string() : DateToStr(card.DATUMZMENY);
  case 24:
    return card.POZNAMKA;
  case 25:
    return card.CISLOSHODA;
  case 26:
    return card.POPISSKP1;
  case 27:
    return card.POPISSKP2;
  case 28:
    return card.POPISSKP3;
  case 30:
    return card.SKLMJ;
  case 32:
    return card.OBRAZEK;
  case 33:
    return card.DOSTUPNOST;
  case 34:
    return card.KLICSLOVA;
  case 35:
    return card.DODAVATEL;
  case 36:
    return card.VYROBCE;
  case 37:
    return card.NSKUPINA2;
  default:
    return {};
  }
}

void TPriceList::Sort() {
  if (FCardCompare) {
    const int column = SortColumn;
    std::sort(FItems.begin(), FItems.end(),
              [&](const auto& a, const auto& b) { return FCardCompare(*a, *b, column) < 0; });
    RebuildVisible();
    InvalidateSearchIndex();
    return;
  }
  SortByContent(FSortColumnContent ? FSortColumnContent(SortColumn) : DefaultColumnContent(SortColumn));
}

namespace {

// One card in the sort: the first level of its text key lies in a shared buffer, its first
// eight bytes also here, so most comparisons never leave the entry. Only cards whose first
// levels are equal compare their whole keys.
struct TSortEntry {
  std::uint64_t Prefix;
  double Value;
  std::uint32_t Start, Length;
  std::uint32_t Index;
};

bool SeamMakesCh(std::string_view head, std::string_view tail) {
  return !head.empty() && !tail.empty() && (head.back() == 'C' || head.back() == 'c') &&
         (tail.front() == 'H' || tail.front() == 'h');
}

// Not-a-number sorts first, so the order stays a strict weak one.
double SortValue(double value) { return std::isnan(value) ? -HUGE_VAL : value; }

std::uint64_t PrefixOf(std::string_view key) {
  std::uint64_t prefix = 0;
  for (size_t i = 0; i < 8; ++i)
    prefix = prefix << 8 | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
  return prefix;
}

} // namespace

// The keys are built once per card rather than in every comparison: a sort of n cards makes
// about n log n comparisons.
void TPriceList::SortByContent(int contentId) {
  const size_t n = FItems.size();
  const bool byValue = ValueKind(contentId) != 0;
  // The text compared: the content's text (the name key for the name) followed by Nazev;
  // by value only Nazev, for equal values.
  const auto compared = [&](const TPriceListItem& card) {
    if (byValue)
      return card.Nazev;
    return (contentId == 3 ? card.SearchName : ContentTextOf(card, contentId)) + card.Nazev;
  };
  std::string keys;
  std::vector<TSortEntry> entries(n);
  for (size_t i = 0; i < n; ++i) {
    const TPriceListItem& card = *FItems[i];
    const size_t start = keys.size();
    // The first level of a joined text is the join of the first levels, unless "c" + "h"
    // meet at the seam.
    if (byValue) {
      AppendPrimaryKey(keys, card.Nazev);
    } else if (contentId == 3 && !SeamMakesCh(card.SearchName, card.Nazev)) {
      AppendPrimaryKey(keys, card.SearchName);
      AppendPrimaryKey(keys, card.Nazev);
    } else {
      AppendPrimaryKey(keys, compared(card));
    }
    const std::string_view key(keys.data() + start, keys.size() - start);
    entries[i] = {PrefixOf(key), byValue ? SortValue(ContentValue(card, contentId)) : 0.0,
                  static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(key.size()),
                  static_cast<std::uint32_t>(i)};
  }
  std::sort(entries.begin(), entries.end(), [&](const TSortEntry& a, const TSortEntry& b) {
    if (a.Value != b.Value)
      return a.Value < b.Value;
    if (a.Prefix != b.Prefix)
      return a.Prefix < b.Prefix;
    const std::string_view ka(keys.data() + a.Start, a.Length), kb(keys.data() + b.Start, b.Length);
    if (ka != kb)
      return ka < kb;
    return CompareText(compared(*FItems[a.Index]), compared(*FItems[b.Index])) < 0;
  });
  std::vector<std::unique_ptr<TPriceListItem>> sorted;
  sorted.reserve(n);
  for (const TSortEntry& e : entries)
    sorted.push_back(std::move(FItems[e.Index]));
  FItems = std::move(sorted);
  RebuildVisible();
  // The copies of the searched texts follow the cards: rearranging them reads a few
  // contiguous buffers, making them again would fetch every card.
  for (auto& flat : FFlat) {
    if (!flat)
      continue;
    auto moved = std::make_unique<TFlatText>();
    moved->Bytes.reserve(flat->Bytes.size());
    moved->Offsets.reserve(flat->Offsets.size());
    for (const TSortEntry& e : entries) {
      moved->Offsets.push_back(static_cast<std::uint32_t>(moved->Bytes.size()));
      moved->Bytes.append(flat->Bytes, flat->Offsets[e.Index], flat->Offsets[e.Index + 1] - flat->Offsets[e.Index]);
    }
    moved->Offsets.push_back(static_cast<std::uint32_t>(moved->Bytes.size()));
    flat = std::move(moved);
  }
}
