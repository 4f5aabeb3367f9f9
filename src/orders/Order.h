#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/PriceListItem.h"
#include "core/DateTime.h"
#include "orders/OrderItem.h"

struct TAppSettings;

// The two quantity columns of the grids.
enum class TQuantityColumn {
  Units,   // "Objednáno"
  Packages // "Obj.balení"
};

// The settings the quantity rules read, in their effective form.
struct TQuantityRules {
  double MaxAmount = 1000000; // largest |quantity| that may be typed; below 100 counts as 100
  int EnableWholePackage = 1; // 0 = no ordering multiples; 1, 2 = multiples apply
  bool NoPackages = false;    // the no-packages mode: EnableWholePackage counts as 0
};

// "MaxAmount", "EnableWholePackage" and the no-packages mode (stored value or switch).
TQuantityRules QuantityRulesFrom(const TAppSettings& settings);

// The outcome of the ordering-multiple rule for a typed quantity.
struct TMultipleResult {
  bool Acceptable = true;
  double Quantity = 0; // the adjusted quantity (the typed one when acceptable as typed)
  double Multiple = 0; // the multiple the quantity was rounded to
};

// Rounds typed to a multiple of the card's ordering multiple, with a second chance on its
// package size. multiple must not be nearly zero.
TMultipleResult ApplyMultipleRule(double typed, double packageSize, double multiple);

// True when the card is to be ordered through the packages column (whole packages only).
bool IsWholePackageCard(const TPriceListItem& card);

// Finds the card of a code in the loaded price list; nullptr when there is none. The price
// list owns the card and must outlive the link.
using TCardLookup = std::function<TPriceListItem*(const std::string& code)>;

// What the order tells the windows that show it. The default reactions do nothing.
class IOrderObserver {
public:
  virtual ~IOrderObserver() = default;
  // Lines were deleted by RemoveEmptyLines: the order grid has to be rebuilt.
  virtual void LinesRemoved() {}
  // Created was stamped by the first entry into an empty order: the header shows it.
  virtual void HeaderChanged() {}
};

// The one open order: its header and its lines in display order. The order owns its lines;
// a line's card belongs to the price list (see RelinkCards). References to lines stay valid
// until the line is deleted.
class TOrder {
public:
  using TClock = std::function<TDateTime()>;
  // Returns a whole number from 0 to bound - 1, uniformly.
  using TRandom = std::function<int(int bound)>;

  TOrder() = default;
  TOrder(const TOrder&) = delete;
  TOrder& operator=(const TOrder&) = delete;

  int SortColumn = 0;         // the order grid's sort key
  TDateTime DeliveryDate = 0; // date numbers; 0 = none
  TDateTime LatestDeliveryDate = 0;
  TDateTime Created = 0; // time stamps; 0 = none
  TDateTime Changed = 0;
  TDateTime Sent = 0;
  std::string FileName;          // the order file, empty for a new order (code page 1250)
  std::string OrderID;           // empty until EnsureOrderID
  std::vector<std::string> Note; // the order note, one entry per line (code page 1250)
  double PackagingTotal = 0;     // deposits with VAT; kept by RecalcTotals
  double TotalNoVat = 0;
  double TotalWithVat = 0;
  bool Modified = false; // set by MarkChanged; the order file clears it

  // Where "now" comes from; an empty clock means the system's local time.
  void SetClock(TClock clock) { FClock = std::move(clock); }
  TDateTime CurrentTime() const;
  // The generator of the identifier's characters; empty means the process's generator.
  void SetRandom(TRandom random) { FRandom = std::move(random); }
  // Not owned; nullptr for none. Must outlive the order or be reset first.
  void SetObserver(IOrderObserver* observer) { FObserver = observer; }

  int Count() const { return static_cast<int>(FLines.size()); }
  // index must be in [0, Count()).
  TOrderItem& Line(int index) { return *FLines.at(static_cast<size_t>(index)); }
  const TOrderItem& Line(int index) const { return *FLines.at(static_cast<size_t>(index)); }
  // Appends a line as it comes (no check for a second line of the same code); returns it.
  TOrderItem& Append(TOrderItem line);
  // Deletes a line without any bookkeeping (the callers mark the change).
  void Delete(int index);
  // Deletes every line.
  void Clear() { FLines.clear(); }

  // Index of the first line whose Code equals code exactly, or -1.
  int FindLine(std::string_view code) const;
  // Store x and MarkChanged unless x is nearly the stored value.
  void SetQuantity(int line, double x);
  void SetPackages(int line, double x);
  // Modified flag on, Changed = now, and Created = Changed when it is not set yet.
  void MarkChanged();
  // Deletes, from the last line to the first, every line with both quantities exactly 0;
  // tells the observer once when any went.
  void RemoveEmptyLines();
  // Lines with a quantity or a package count other than 0.
  int CountNonEmptyLines() const;
  // TotalNoVat, TotalWithVat and PackagingTotal from the lines that have a card.
  void RecalcTotals();
  // Links every line to the card of its code (or none). With unlink set, or an empty lookup,
  // every link is cleared - done before the price list is freed.
  void RelinkCards(const TCardLookup& lookup, bool unlink = false);
  // Assigns "YYMMDD" of today plus four characters of 0-9 and A-Z when OrderID is empty.
  void EnsureOrderID();
  // Starts a new order: no lines, Created = now, dates, stamps, file name, identifier and
  // note cleared, totals recomputed; writes the log line.
  void NewOrder();

  // A quantity typed in the price-list grid for a card: creates, changes or deletes the
  // card's line. Returns the message to show (code page 1250), empty when there is none.
  std::string EnterQuantity(TPriceListItem& card, TQuantityColumn column, std::string_view text,
                            const TQuantityRules& rules);
  // A quantity typed in the order grid into the row of a line (which stays even at 0). An
  // index out of range leaves the order as it was and returns no message.
  std::string EnterLineQuantity(int line, TQuantityColumn column, std::string_view text, const TQuantityRules& rules);

private:
  void SetColumn(int line, TQuantityColumn column, double x);

  std::vector<std::unique_ptr<TOrderItem>> FLines;
  TClock FClock;
  TRandom FRandom;
  IOrderObserver* FObserver = nullptr;
};

// The rules a typed quantity passes before it is stored (range, multiples, whole units):
// text is read with TextToNumber (0 when it is not a number); card may be nullptr (a line
// without a card: only the range applies). Returns the quantity to store and sets message
// (code page 1250) when the typed value was changed, otherwise clears it.
double CheckTypedQuantity(const TPriceListItem* card, TQuantityColumn column, std::string_view text,
                          const TQuantityRules& rules, std::string& message);
