#pragma once

#include <functional>
#include <string_view>

#include "core/AppSettings.h"
#include "ui/Columns.h"

class TSettingsStore;

enum class TGridKind { PriceList, Order };

// The settings sections of the two layouts.
constexpr std::string_view kPriceListColumnsSection = "PriceListColumns";
constexpr std::string_view kOrderColumnsSection = "OrderColumns";

// Reads one layout: entries "ID<n>", "Header<n>", "Alignment<n>", "Width<n>" for n = 0 to 99
// (gaps allowed), and "SortBy". An entry whose ID is not 0 to 41 or names an excluded content
// is skipped; a missing header, alignment or width takes the table's. An alignment other than
// 0 to 2, or a width outside 1 to kMaxColumnWidth, is damage and takes the table's too.
// SortColumn is "SortBy", by default the position of the last "Název" column (0 when there is
// none). A layout that yields no column becomes the default one. Never throws.
void LoadColumnLayout(TColumnList& list, const TSettingsStore& store, std::string_view section,
                      const TContentModes& modes);

// Writes the layout: the entries 0 to count - 1 with widths from width(position) (the column's
// Width when empty), and "SortBy". Entries above the count, left from a longer layout, are
// removed (a preset one is overridden with ID -1) so that the next load does not bring them
// back.
void SaveColumnLayout(const TColumnList& list, TSettingsStore& store, std::string_view section,
                      const std::function<int(int position)>& width = {});

constexpr int kMaxStoredColumns = 100;
constexpr int kMaxColumnWidth = 10000;

// The column lists of the main window's two grids, kept in the settings through the seam of
// the settings load and save (pass it as TAppContextSetup::Layouts or TLoadSettingsOptions::
// Layouts). The lists own their columns; the object lives as long as the main window.
class TColumnLayouts : public IColumnLayoutStore {
public:
  TColumnList PriceListColumns;
  TColumnList OrderColumns;

  // The command-line switches of this run ("/BEZBALENI", "/BEZZASOB"), asked for at each load;
  // empty: none. The load adds the stored "NoPackages" and "NoStock" of "Others" itself, since
  // it runs before the settings load has read them.
  std::function<TContentModes()> Switches;
  // The grid's present width of a column, for saving; empty: the column's Width.
  std::function<int(TGridKind grid, int position)> GridWidth;
  // Called after a load has filled both lists: applies them to the grids (column counts and
  // widths). Empty: nothing to apply.
  std::function<void()> ApplyLayouts;

  TColumnList& List(TGridKind grid) { return grid == TGridKind::PriceList ? PriceListColumns : OrderColumns; }

  // The modes of the last load; what "Stan&dardní nastavení" builds with.
  const TContentModes& Modes() const { return FModes; }
  void SetModes(const TContentModes& modes) { FModes = modes; }

  // Reads both lists from "PriceListColumns" and "OrderColumns" (see LoadColumnLayout), then
  // calls ApplyLayouts.
  void LoadColumnLayouts(const TSettingsStore& store) override;
  // Writes both lists (see SaveColumnLayout).
  void SaveColumnLayouts(TSettingsStore& store) const override;
  // The table's Searched mark: the default of "Find" "ID<n>".
  bool BuiltInSearched(int contentId) const override;

private:
  TContentModes FModes;
};
