#include "ui/ColumnLayouts.h"

#include <algorithm>
#include <string>

#include "core/SettingsStore.h"

namespace {

std::string Key(std::string_view stem, int n) { return std::string(stem) + std::to_string(n); }

} // namespace

void LoadColumnLayout(TColumnList& list, const TSettingsStore& store, std::string_view section,
                      const TContentModes& modes) {
  list.Columns.clear();
  int namePosition = 0;
  for (int n = 0; n < kMaxStoredColumns; ++n) {
    const int id = store.ReadInteger(section, Key("ID", n), -1);
    if (!IsValidContentID(id) || IsContentExcluded(id, modes))
      continue;
    TdgColumn column = DefaultColumn(id);
    column.Header = store.ReadString(section, Key("Header", n), column.Header);
    const int alignment = store.ReadInteger(section, Key("Alignment", n), column.Alignment);
    if (alignment >= caLeft && alignment <= caCenter)
      column.Alignment = static_cast<std::uint8_t>(alignment);
    const int width = store.ReadInteger(section, Key("Width", n), column.Width);
    if (width >= 1 && width <= kMaxColumnWidth)
      column.Width = width;
    // The name sorts the rows until the user picks another column; the last one counts.
    if (id == kNameID)
      namePosition = list.Count();
    list.Columns.push_back(std::move(column));
  }
  list.SortColumn = store.ReadInteger(section, "SortBy", namePosition);
  if (list.Columns.empty())
    BuildDefaultLayout(list, modes);
}

void SaveColumnLayout(const TColumnList& list, TSettingsStore& store, std::string_view section,
                      const std::function<int(int position)>& width) {
  const int count = std::min(list.Count(), kMaxStoredColumns);
  for (int i = 0; i < count; ++i) {
    const TdgColumn& column = list.Columns[static_cast<size_t>(i)];
    store.WriteString(section, Key("Header", i), column.Header);
    store.WriteInteger(section, Key("Alignment", i), column.Alignment);
    store.WriteInteger(section, Key("Width", i), width ? width(i) : column.Width);
    store.WriteInteger(section, Key("ID", i), column.ID);
  }
  for (int n = count; n < kMaxStoredColumns; ++n) {
    for (const char* stem : {"Header", "Alignment", "Width", "ID"})
      store.DeleteValue(section, Key(stem, n));
    if (store.ValueExists(section, Key("ID", n)))
      store.WriteInteger(section, Key("ID", n), -1); // a preset entry would come back
  }
  store.WriteInteger(section, "SortBy", list.SortColumn);
}

void TColumnLayouts::LoadColumnLayouts(const TSettingsStore& store) {
  const TContentModes switches = Switches ? Switches() : TContentModes{};
  FModes.NoPackages = store.ReadBool("Others", "NoPackages", false) || switches.NoPackages;
  FModes.NoStock = store.ReadBool("Others", "NoStock", false) || switches.NoStock;
  LoadColumnLayout(PriceListColumns, store, kPriceListColumnsSection, FModes);
  LoadColumnLayout(OrderColumns, store, kOrderColumnsSection, FModes);
  if (ApplyLayouts)
    ApplyLayouts();
}

void TColumnLayouts::SaveColumnLayouts(TSettingsStore& store) const {
  auto widthOf = [this](TGridKind grid) -> std::function<int(int)> {
    if (!GridWidth)
      return {};
    return [this, grid](int position) { return GridWidth(grid, position); };
  };
  SaveColumnLayout(PriceListColumns, store, kPriceListColumnsSection, widthOf(TGridKind::PriceList));
  SaveColumnLayout(OrderColumns, store, kOrderColumnsSection, widthOf(TGridKind::Order));
}

bool TColumnLayouts::BuiltInSearched(int contentId) const {
  return IsValidContentID(contentId) && ColumnInfos()[static_cast<size_t>(contentId)].Searched;
}
