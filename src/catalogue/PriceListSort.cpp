// The order of the cards: the price-list grid's sort applied to the list in place.

#include <memory>

#include "catalogue/PriceList.h"
#include "ui/CardCompare.h"

const TCellEnvironment& TPriceList::CellEnvironment() const {
  static const TCellEnvironment none;
  return FEnv ? *FEnv : none;
}

void TPriceList::Sort(const TColumnList& columns, const TCellEnvironment& env) {
  Reorder(PriceListSortOrder(
      FItems.size(), [this](std::size_t i) -> const TPriceListItem& { return *FItems[i]; }, columns, env));
  SortColumn = columns.SortColumn;
}

void TPriceList::SortByContent(int contentId) {
  TColumnList columns;
  columns.Columns = {DefaultColumn(contentId)};
  Reorder(PriceListSortOrder(
      FItems.size(), [this](std::size_t i) -> const TPriceListItem& { return *FItems[i]; }, columns,
      CellEnvironment()));
}

void TPriceList::SortAfterLoad(const TAppSettings& settings) {
  const TCellEnvironment own = FEnv ? TCellEnvironment() : TCellEnvironment::FromSettings(settings);
  const TCellEnvironment& env = FEnv ? *FEnv : own;
  if (FColumns) {
    Sort(*FColumns, env);
    return;
  }
  TColumnList columns;
  BuildDefaultLayout(columns, TContentModes{settings.NoPackages, settings.NoStock});
  columns.SortColumn = SortColumn;
  Sort(columns, env);
}

void TPriceList::Reorder(const std::vector<std::size_t>& order) {
  std::vector<std::unique_ptr<TPriceListItem>> sorted;
  sorted.reserve(order.size());
  for (const std::size_t index : order)
    sorted.push_back(std::move(FItems[index]));
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
    for (const std::size_t index : order) {
      moved->Offsets.push_back(static_cast<std::uint32_t>(moved->Bytes.size()));
      moved->Bytes.append(flat->Bytes, flat->Offsets[index], flat->Offsets[index + 1] - flat->Offsets[index]);
    }
    moved->Offsets.push_back(static_cast<std::uint32_t>(moved->Bytes.size()));
    flat = std::move(moved);
  }
}
