#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/AppSettings.h"

// The 42 column contents of the grids, the printouts, the order export and the preset search.
// A content ID (0 to kContentCount - 1) names a field of a price-list card or, for 0 and 1, a
// quantity of an order line.

enum TColumnAlignment : std::uint8_t { caLeft = 0, caRight = 1, caCenter = 2 };
enum TValueKind : std::uint8_t { vkText = 0, vkNumber = 1, vkAmount = 2 };

// The contents an order is entered in: the ordered quantity and the ordered packages.
constexpr int kOrderedQuantityID = 0;
constexpr int kOrderedPackagesID = 1;
constexpr int kCodeID = 2;
constexpr int kNameID = 3;
constexpr int kPackageID = 6;
constexpr int kStockID = 23;
constexpr int kPackagePriceID = 29;
constexpr int kPurchasePriceID = 31;

struct TColumnInfo {
  std::string Caption;                 // default header, code page 1250
  std::uint8_t Alignment = caLeft;     // TColumnAlignment
  std::int32_t Width = 64;             // default width in pixels
  std::int32_t OrderPrintPos = -1;     // slot in the default order printout, -1: not printed
  std::int32_t PriceListPrintPos = -1; // slot in the default price-list printout, -1: not printed
  bool Exported = false;               // the order export writes this content
  std::uint8_t ValueKind = vkText;     // TValueKind: text sorts as text, numbers by value
  // The built-in mark of the preset search. The run-time mark is TAppSettings::Find, which the
  // settings load fills from "Find" with this as the default.
  bool Searched = false;
};

// The constant table, indexed by content ID. Built on first use; never changes afterwards.
const std::array<TColumnInfo, kContentCount>& ColumnInfos();

// True for 0 to kContentCount - 1.
constexpr bool IsValidContentID(int id) { return id >= 0 && id < kContentCount; }
// Contents 0 and 1, the only ones a user types into.
constexpr bool IsOrderEntryContent(int id) { return id == kOrderedQuantityID || id == kOrderedPackagesID; }

// The content IDs in the order of a default layout; both grids use it.
extern const std::array<int, kContentCount> DefaultColumnOrder;

// The modes that take contents out of every layout: the no-packages mode (setting "NoPackages"
// or "/BEZBALENI") and the no-stock mode (setting "NoStock" or "/BEZZASOB").
struct TContentModes {
  bool NoPackages = false;
  bool NoStock = false;
};

// The no-packages mode excludes "Obj.balení" and "Balení", the no-stock mode "Zásoba". An
// excluded content never enters a layout that is built by default or read from the settings.
bool IsContentExcluded(int id, const TContentModes& modes);
