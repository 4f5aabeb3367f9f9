#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "ui/CellText.h"
#include "ui/Columns.h"

// The sort orders of the two grids, for sorting the price list and the order in place. Both
// sort by the column at the list's SortColumn (a position past the end, or a blank column,
// sorts as an empty text column) and return -1, 0 or 1. Equal values are equal within
// NearlyEqual, which is not transitive: sort with a merge sort (std::stable_sort), never with a
// sort whose bounds rely on a strict weak order.

// Cards: numeric contents by value, equal values (NearlyEqual) by "Název"; text contents by
// the text with the name key (SearchName for "Název") followed by "Název", both by
// CompareLocaleText. A text in a right-aligned column (or a centred one whose content is
// right-aligned by default) is right-justified in 30 characters first, so that codes "9" and
// "10" sort as numbers. "Objednáno" and "Obj.balení" take the cards' order lines through
// env.FindOrderLine; a card without one counts 0.
int ComparePriceListCards(const TPriceListItem& a, const TPriceListItem& b, const TColumnList& columns,
                          const TCellEnvironment& env);

// Order lines: the same with the line's card (none when it is missing from the price list)
// and the line itself, except that equal values give 0 and texts are compared without names.
int CompareOrderLines(const TOrderItem& a, const TOrderItem& b, const TColumnList& columns,
                      const TCellEnvironment& env);

// The order ComparePriceListCards gives to count cards (card(i) is card i; each card is read
// once), as a permutation of 0 to count - 1: entry k is the index of the card that goes to
// place k. Equal cards keep their order. The sort key of every card is taken once and kept
// together, so a large price list sorts without reading the cards again; use it to sort
// TPriceList in place. Unlike ComparePriceListCards, values compare exactly (so that the order
// is strict): values within NearlyEqual that are not equal sort by value, not by name.
std::vector<std::size_t> PriceListSortOrder(std::size_t count,
                                            const std::function<const TPriceListItem&(std::size_t)>& card,
                                            const TColumnList& columns, const TCellEnvironment& env);
