#include "ui/Columns.h"

#include <algorithm>

#include "core/Format.h"
#include "core/ReportMessage.h"
#include "formats/Cp1250Utf8.h"

TdgColumn DefaultColumn(int id) {
  const TColumnInfo& info = ColumnInfos()[static_cast<size_t>(id)];
  return TdgColumn{info.Caption, info.Alignment, info.Width, id};
}

void BuildDefaultLayout(TColumnList& list, const TContentModes& modes) {
  list.Columns.clear();
  for (int id : DefaultColumnOrder)
    if (!IsContentExcluded(id, modes))
      list.Columns.push_back(DefaultColumn(id));
}

namespace ColumnCommands {

void SortBy(TColumnList& list, int position) {
  if (position >= 0)
    list.SortColumn = position;
}

bool HideColumn(TColumnList& list, int position) {
  if (!list.ValidPosition(position))
    return false;
  const std::string question =
      Format(Cz("Přejete si skrýt sloupec %s ?"), {list.Columns[static_cast<size_t>(position)].Header});
  if (ReportMessage(question, {TMsgButtons::OKCancel, TMsgIcon::Question}, Cz("Objednávky")) != TMsgResult::OK)
    return false;
  if (list.Count() <= 1)
    return false;
  list.Columns.erase(list.Columns.begin() + position);
  return true;
}

void AddBlankColumn(TColumnList& list) { list.Columns.push_back(TdgColumn{}); }

void ChangeContent(TColumnList& list, int position, int id) {
  if (!list.ValidPosition(position) || !IsValidContentID(id))
    return;
  TdgColumn& column = list.Columns[static_cast<size_t>(position)];
  const TColumnInfo& info = ColumnInfos()[static_cast<size_t>(id)];
  column.ID = id;
  column.Header = info.Caption;
  column.Alignment = info.Alignment;
}

void SetAlignment(TColumnList& list, int position, int alignment) {
  if (list.ValidPosition(position) && alignment >= caLeft && alignment <= caCenter)
    list.Columns[static_cast<size_t>(position)].Alignment = static_cast<std::uint8_t>(alignment);
}

void SetHeader(TColumnList& list, int position, std::string header) {
  if (list.ValidPosition(position))
    list.Columns[static_cast<size_t>(position)].Header = std::move(header);
}

bool RestoreDefaults(TColumnList& list, const TContentModes& modes) {
  if (ReportMessage(Cz("Přejete si obnovit standardní nastavení sloupců v tabulce ?"),
                    {TMsgButtons::OKCancel, TMsgIcon::Question}) != TMsgResult::OK)
    return false;
  BuildDefaultLayout(list, modes);
  list.SortColumn = 0;
  return true;
}

void MoveColumn(TColumnList& list, int from, int to) {
  if (!list.ValidPosition(from) || !list.ValidPosition(to) || from == to)
    return;
  auto first = list.Columns.begin();
  if (from < to)
    std::rotate(first + from, first + from + 1, first + to + 1);
  else
    std::rotate(first + to, first + from, first + from + 1);
}

} // namespace ColumnCommands

const TColumnMenuTexts& ColumnMenuTexts() {
  static const TColumnMenuTexts texts{Cz("Se&třídit"),       Cz("&Skrýt sloupec"),
                                      Cz("&Přidat sloupec"), Cz("Změna &obsahu"),
                                      Cz("&Zarovnání"),      Cz("&Vlevo"),
                                      Cz("&Doprava"),        Cz("Na &střed"),
                                      Cz("Změna &nadpisu"),  Cz("Stan&dardní nastavení"),
                                      Cz("Nadpis sloupce"),  Cz("Nadpis:")};
  return texts;
}

const std::vector<TContentMenuEntry>& ContentMenuEntries() {
  struct TRow {
    const char* Caption;
    int ID;
  };
  static const TRow kRows[] = {
      {"Objednávka - objednáno", 0},
      {"Objednávka - balení", 1},
      {"Kód", 2},
      {"Název", 3},
      {"Cena", 4},
      {"Cena s DPH", 5},
      {"Balení", 6},
      {"Ve vrstvě", 7},
      {"Na paletě", 8},
      {"Sazba DPH", 9},
      {"Jednotka", 10},
      {"Typ karty", 11},
      {"Poznámka", 24},
      {"EAN", 12},
      {"Zásoba", 23},
      {"Cena/bal.", 29},
      {"Jméno obrázku", 32},
      {"Skupina 1", 13},
      {"Popis skupiny 1", 26},
      {"Skupina 2", 14},
      {"Popis skupiny 2", 27},
      {"Skupina 3", 15},
      {"Popis skupiny 3", 28},
      {"Hmotnost", 16},
      {"Záruka", 17},
      {"Příznaky", 38},
      {"Láhev - kód", 18},
      {"Láhev - cena", 19},
      {"Přepravka - kód", 20},
      {"Přepravka - cena", 21},
      {"Datum změny", 22},
      {"Číslo shoda", 25},
      {"Skl.MJ", 30},
      {"Nákupní cena", 31},
      {"Dostupnost", 33},
      {"Klíčová slova", 34},
      {"Nadřízená skupina", 37},
      {"Dodavatel", 35},
      {"Výrobce", 36},
      {"Obj.počet", 39},
      {"Doporučená cena", 40},
      {"Dopor.cena+DPH", 41},
  };
  static const std::vector<TContentMenuEntry> entries = [] {
    std::vector<TContentMenuEntry> result;
    for (const TRow& row : kRows)
      result.push_back({Cz(row.Caption), row.ID, row.ID == kStockID || row.ID == 19});
    return result;
  }();
  return entries;
}

bool ContentMenuEntryVisible(const TContentMenuEntry& entry, bool ncEnabled) {
  return entry.ID != kPurchasePriceID || ncEnabled;
}
