#include "ui/ColumnInfos.h"

#include "formats/Cp1250Utf8.h"

namespace {

struct TRow {
  const char* Caption; // UTF-8
  std::uint8_t Alignment;
  std::int32_t Width;
  std::uint8_t Kind;
  bool Exported, Searched;
  std::int32_t OrderPrintPos, PriceListPrintPos;
};

constexpr std::uint8_t L = caLeft, R = caRight;
constexpr std::uint8_t T = vkText, N = vkNumber, A = vkAmount;

// Content 31 sorts as a number although its text is an amount; the table keeps it so.
constexpr TRow kRows[kContentCount] = {
    {"Objednáno", R, 64, N, true, false, 6, 5},
    {"Obj.balení", R, 64, N, true, false, 5, -1},
    {"Kód", L, 81, T, true, true, 1, 1},
    {"Název", L, 153, T, true, true, 2, 2},
    {"Cena", R, 56, A, true, false, -1, -1},
    {"Cena+DPH", R, 66, A, true, false, 7, 6},
    {"Balení", R, 40, N, true, false, 3, 3},
    {"Ve vrstvě", R, 64, N, false, false, -1, -1},
    {"Na paletě", R, 59, N, false, false, -1, -1},
    {"%DPH", R, 41, N, true, false, -1, -1},
    {"MJ", L, 26, T, true, false, 4, 4},
    {"Typ karty", L, 64, N, false, false, -1, -1},
    {"EAN", L, 96, T, true, true, -1, -1},
    {"Skupina1", L, 64, T, true, true, -1, -1},
    {"Skupina2", L, 64, T, true, true, -1, -1},
    {"Skupina3", L, 64, T, true, true, -1, -1},
    {"Hmotnost", R, 64, N, false, false, -1, -1},
    {"Záruka", R, 64, N, false, false, -1, -1},
    {"Kód-láhev", L, 64, T, false, false, -1, -1},
    {"Cena-láhev", R, 68, A, true, false, -1, -1},
    {"Kód-přepravka", L, 89, T, false, false, -1, -1},
    {"Cena-přepr.", R, 68, A, true, false, -1, -1},
    {"Datum změny", L, 83, T, false, false, -1, -1},
    {"Zásoba", R, 54, N, false, false, -1, -1},
    {"Poznámka", L, 138, T, false, true, -1, -1},
    {"Číslo shoda", L, 86, T, true, false, -1, -1},
    {"Popis skup. 1", L, 100, T, false, false, -1, -1},
    {"Popis skup. 2", L, 100, T, false, false, -1, -1},
    {"Popis skup. 3", L, 100, T, false, false, -1, -1},
    {"Cena/bal.", R, 68, A, false, false, -1, -1},
    {"Skl.MJ", L, 32, T, false, false, -1, -1},
    {"Nák.cena", R, 56, N, false, false, -1, -1},
    {"Obrázek", L, 100, T, false, false, -1, -1},
    {"Dostupnost", L, 64, T, false, false, -1, -1},
    {"Klíč.slova", L, 100, T, false, true, -1, -1},
    {"Dodavatel", L, 64, T, false, false, -1, -1},
    {"Výrobce", L, 64, T, false, false, -1, -1},
    {"NSkupina2", L, 64, T, false, false, -1, -1},
    {"Příznaky", R, 64, N, false, false, -1, -1},
    {"Obj.počet", R, 40, N, false, false, -1, -1},
    {"Dopor.cena", R, 56, A, false, false, -1, -1},
    {"Dop.cena+DPH", R, 66, A, false, false, -1, -1},
};

std::array<TColumnInfo, kContentCount> BuildInfos() {
  std::array<TColumnInfo, kContentCount> infos;
  for (int id = 0; id < kContentCount; ++id) {
    const TRow& row = kRows[id];
    TColumnInfo& info = infos[static_cast<size_t>(id)];
    info.Caption = Cz(row.Caption);
    info.Alignment = row.Alignment;
    info.Width = row.Width;
    info.OrderPrintPos = row.OrderPrintPos;
    info.PriceListPrintPos = row.PriceListPrintPos;
    info.Exported = row.Exported;
    info.ValueKind = row.Kind;
    info.Searched = row.Searched;
  }
  return infos;
}

} // namespace

const std::array<TColumnInfo, kContentCount>& ColumnInfos() {
  static const std::array<TColumnInfo, kContentCount> infos = BuildInfos();
  return infos;
}

const std::array<int, kContentCount> DefaultColumnOrder = {3,  6,  1,  0,  10, 4,  5,  9,  23, 8,  2,  12, 19, 21,
                                                           13, 26, 14, 27, 15, 28, 7,  11, 16, 17, 18, 20, 22, 24,
                                                           25, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41};

bool IsContentExcluded(int id, const TContentModes& modes) {
  if (modes.NoPackages && (id == kOrderedPackagesID || id == kPackageID))
    return true;
  return modes.NoStock && id == kStockID;
}
