#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/ColumnInfos.h"

// One column of a grid: what it shows and how. Position k of a column list is grid column k.
struct TdgColumn {
  std::string Header;                       // header text, code page 1250
  std::uint8_t Alignment = caLeft;          // TColumnAlignment, for the header and the cells
  std::int32_t Width = kDefaultColumnWidth; // pixels; while a grid runs its own width rules
  std::int32_t ID = -1;                     // content ID, or -1 for a blank column showing nothing

  static constexpr std::int32_t kDefaultColumnWidth = 64; // the grids' default column width

  bool operator==(const TdgColumn&) const = default;
};

// The columns of one grid and the position of the column the grid's rows were last sorted by.
// SortColumn is a position, not a content: moving or hiding columns leaves it alone, so it may
// name no column at all (sorting then treats it as a blank column).
struct TColumnList {
  std::vector<TdgColumn> Columns;
  int SortColumn = 0;

  int Count() const { return static_cast<int>(Columns.size()); }
  bool ValidPosition(int position) const { return position >= 0 && position < Count(); }
  // The column at position, nullptr when there is none.
  const TdgColumn* At(int position) const { return ValidPosition(position) ? &Columns[size_t(position)] : nullptr; }
};

// A column of the content with the table's caption, alignment and width.
TdgColumn DefaultColumn(int id);

// Empties the list and fills it with every content of DefaultColumnOrder that the modes do
// not exclude. SortColumn is left alone.
void BuildDefaultLayout(TColumnList& list, const TContentModes& modes);

// The commands of the grids' column pop-up menu, as operations on the active grid's list.
// Every command ignores a position that names no column. The caller repaints the grid and,
// where said, sorts its rows again.
namespace ColumnCommands {

// "Se&třídit": the list's rows are to be sorted by the column at position. Sets SortColumn
// (for any position: a position past the end sorts as a blank column); the caller sorts.
void SortBy(TColumnList& list, int position);

// "&Skrýt sloupec": asks "Přejete si skrýt sloupec %s ?" (title "Objednávky", OK/Cancel,
// question icon) through ReportMessage; on OK removes the column unless it is the last one of
// the list, which stays without a word. True when a column was removed.
bool HideColumn(TColumnList& list, int position);

// "&Přidat sloupec": appends a blank column (ID -1, empty header, left, default width).
void AddBlankColumn(TColumnList& list);

// "Změna &obsahu": the column shows content id with its caption and alignment; the width stays.
// An id outside 0 to 41 changes nothing. Excluded contents are offered and accepted too.
void ChangeContent(TColumnList& list, int position, int id);

// "&Zarovnání": "&Vlevo", "&Doprava", "Na &střed" set 0, 1 or 2; other values change nothing.
void SetAlignment(TColumnList& list, int position, int alignment);

// "Změna &nadpisu": the header the input box returned (the old one when it was cancelled).
void SetHeader(TColumnList& list, int position, std::string header);

// "Stan&dardní nastavení": asks "Přejete si obnovit standardní nastavení sloupců v tabulce ?"
// (the main window's title, OK/Cancel, question icon) through ReportMessage; on OK builds the
// default layout and sets SortColumn to 0. True when it did: the caller then applies the
// layout to the grid and sorts the rows again.
bool RestoreDefaults(TColumnList& list, const TContentModes& modes);

// Dragging a header: the column at from moves to to, the others shift. SortColumn stays.
void MoveColumn(TColumnList& list, int from, int to);

} // namespace ColumnCommands

// The texts of the pop-up menu ('&' marks the accelerator), code page 1250.
struct TColumnMenuTexts {
  std::string Sort, Hide, Add, ChangeContent, Alignment, AlignLeft, AlignRight, AlignCenter, ChangeHeader, Defaults;
  std::string HeaderInputTitle, HeaderInputPrompt; // the input box of "Změna &nadpisu"
};
const TColumnMenuTexts& ColumnMenuTexts();

// One entry of the "Změna &obsahu" submenu.
struct TContentMenuEntry {
  std::string Caption; // code page 1250
  int ID;
  bool NewColumn; // the menu starts a new column of entries before this one
};
// The submenu in menu order.
const std::vector<TContentMenuEntry>& ContentMenuEntries();
// "Nákupní cena" is shown and enabled only when the setting "NCEnabled" is on; all others
// always are.
bool ContentMenuEntryVisible(const TContentMenuEntry& entry, bool ncEnabled);
