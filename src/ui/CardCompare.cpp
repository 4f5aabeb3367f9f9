#include "ui/CardCompare.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "catalogue/PriceListItem.h"
#include "core/DateFormat.h"
#include "core/Numbers.h"
#include "orders/OrderItem.h"
#include "ui/CellValues.h"
#include "ui/TextCompare.h"

namespace {

constexpr int kPadWidth = 30;

struct TSortColumn {
  int ID = -1;
  bool Numeric = false;
  bool RightJustify = false;
};

TSortColumn SortColumnOf(const TColumnList& columns) {
  TSortColumn sort;
  const TdgColumn* column = columns.At(columns.SortColumn);
  if (!column || !IsValidContentID(column->ID))
    sort.RightJustify = column && column->Alignment == caRight;
  else {
    const TColumnInfo& info = ColumnInfos()[static_cast<size_t>(column->ID)];
    sort.ID = column->ID;
    sort.Numeric = info.ValueKind != vkText;
    sort.RightJustify = column->Alignment == caRight || (column->Alignment == caCenter && info.Alignment == caRight);
  }
  return sort;
}

double ValueOf(const TPriceListItem* card, const TOrderItem* line, int id, const TCellEnvironment& env) {
  double value = 0;
  if (line && LineNumber(*line, id, value))
    return value;
  if (card && CardNumber(*card, id, env, value))
    return value;
  return 0;
}

// The text a card sorts by; owned only when it has to be formatted.
struct TSortText {
  std::string_view Text;
  std::string Owned;
};

void TextOf(const TPriceListItem* card, int id, const TCellEnvironment& env, TSortText& out) {
  if (!card)
    return;
  if (CardTextField(*card, id, true, out.Text))
    return;
  if (id == 22) {
    out.Owned = DateToStr(std::trunc(card->DATUMZMENY), env.Loc());
    out.Text = out.Owned;
  }
}

int Pad(const TSortColumn& sort, std::string_view text) {
  return sort.RightJustify && text.size() < kPadWidth ? kPadWidth - static_cast<int>(text.size()) : 0;
}

} // namespace

int ComparePriceListCards(const TPriceListItem& a, const TPriceListItem& b, const TColumnList& columns,
                          const TCellEnvironment& env) {
  const TSortColumn sort = SortColumnOf(columns);
  if (sort.Numeric) {
    const bool entry = IsOrderEntryContent(sort.ID);
    const double va = ValueOf(&a, entry ? env.LineOf(a.Kod) : nullptr, sort.ID, env);
    const double vb = ValueOf(&b, entry ? env.LineOf(b.Kod) : nullptr, sort.ID, env);
    if (NearlyEqual(va, vb))
      return CompareLocaleText(a.Nazev, b.Nazev);
    return va < vb ? -1 : 1;
  }
  TSortText ta, tb;
  TextOf(&a, sort.ID, env, ta);
  TextOf(&b, sort.ID, env, tb);
  return CompareLocaleText(TJoinedText{Pad(sort, ta.Text), ta.Text, a.Nazev},
                           TJoinedText{Pad(sort, tb.Text), tb.Text, b.Nazev});
}

int CompareOrderLines(const TOrderItem& a, const TOrderItem& b, const TColumnList& columns,
                      const TCellEnvironment& env) {
  const TSortColumn sort = SortColumnOf(columns);
  if (sort.Numeric) {
    const double va = ValueOf(a.Card, &a, sort.ID, env);
    const double vb = ValueOf(b.Card, &b, sort.ID, env);
    if (NearlyEqual(va, vb))
      return 0;
    return va < vb ? -1 : 1;
  }
  TSortText ta, tb;
  TextOf(a.Card, sort.ID, env, ta);
  TextOf(b.Card, sort.ID, env, tb);
  return CompareLocaleText(TJoinedText{Pad(sort, ta.Text), ta.Text, {}}, TJoinedText{Pad(sort, tb.Text), tb.Text, {}});
}

std::vector<std::size_t> PriceListSortOrder(std::size_t count,
                                            const std::function<const TPriceListItem&(std::size_t)>& card,
                                            const TColumnList& columns, const TCellEnvironment& env) {
  const TSortColumn sort = SortColumnOf(columns);
  const bool entry = IsOrderEntryContent(sort.ID);
  // Each card is read once: numeric contents give their value and the first level of the
  // name's key, text contents the first level of the key of the text (right-justified where
  // the column asks) joined with the name. The first levels lie in one buffer (about a byte
  // per character, no allocation per card) and their first eight bytes beside the value, so
  // most comparisons touch only the entries. Only cards whose first levels are equal - few,
  // since the name is part of every key - are compared in full.
  struct TEntry {
    double Value;
    std::uint64_t Head;
    std::size_t Start;
    std::uint32_t Length;
    std::uint32_t Index;
  };
  std::string keys;
  keys.reserve(count * 32);
  std::vector<TEntry> entries(count);
  for (std::size_t i = 0; i < count; ++i) {
    const TPriceListItem& c = card(i);
    const std::size_t start = keys.size();
    double value = 0;
    if (sort.Numeric) {
      value = ValueOf(&c, entry ? env.LineOf(c.Kod) : nullptr, sort.ID, env);
      if (std::isnan(value))
        value = -HUGE_VAL;
      AppendLocalePrimaryKey(TJoinedText{0, c.Nazev, {}}, keys);
    } else {
      TSortText text;
      TextOf(&c, sort.ID, env, text);
      AppendLocalePrimaryKey(TJoinedText{Pad(sort, text.Text), text.Text, c.Nazev}, keys);
    }
    const std::size_t length = keys.size() - start;
    std::uint64_t head = 0; // a first-level weight is never 0, so 0 pads a shorter key below
    for (std::size_t k = 0; k < 8; ++k)
      head = head << 8 | (k < length ? static_cast<unsigned char>(keys[start + k]) : 0u);
    entries[i] = TEntry{value, head, start, static_cast<std::uint32_t>(length), static_cast<std::uint32_t>(i)};
  }
  // Values compare exactly here, not within NearlyEqual: NearlyEqual is not transitive, and a
  // sort that relies on a strict weak order may run past its bounds without one. The values of
  // a price list are read from fields with a fixed number of decimals and computed alike, so
  // values that NearlyEqual joins are equal already. (Not-a-number was mapped below all.)
  std::sort(entries.begin(), entries.end(), [&](const TEntry& a, const TEntry& b) {
    if (a.Value != b.Value)
      return a.Value < b.Value;
    if (a.Head != b.Head)
      return a.Head < b.Head;
    if (a.Length > 8 || b.Length > 8) {
      const std::string_view ka(keys.data() + a.Start, a.Length), kb(keys.data() + b.Start, b.Length);
      if (const int r = ka.compare(kb))
        return r < 0;
    }
    const int r = sort.Numeric ? CompareLocaleText(card(a.Index).Nazev, card(b.Index).Nazev)
                               : ComparePriceListCards(card(a.Index), card(b.Index), columns, env);
    return r != 0 ? r < 0 : a.Index < b.Index; // equal cards keep their order
  });
  std::vector<std::size_t> order(count);
  for (std::size_t k = 0; k < count; ++k)
    order[k] = entries[k].Index;
  return order;
}
