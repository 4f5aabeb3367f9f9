#include "orders/Order.h"

#include <random>

#include "core/Log.h"
#include "core/Numbers.h"
#include "formats/Cp1250Utf8.h"

TDateTime TOrder::CurrentTime() const { return FClock ? FClock() : Now(); }

TOrderItem& TOrder::Append(TOrderItem line) {
  FLines.push_back(std::make_unique<TOrderItem>(std::move(line)));
  return *FLines.back();
}

void TOrder::Delete(int index) { FLines.erase(FLines.begin() + index); }

int TOrder::FindLine(std::string_view code) const {
  for (size_t i = 0; i < FLines.size(); ++i) {
    if (FLines[i]->Code == code)
      return static_cast<int>(i);
  }
  return -1;
}

void TOrder::SetQuantity(int line, double x) {
  TOrderItem& item = Line(line);
  if (NearlyEqual(x, item.Quantity))
    return;
  item.Quantity = x;
  MarkChanged();
}

void TOrder::SetPackages(int line, double x) {
  TOrderItem& item = Line(line);
  if (NearlyEqual(x, item.Packages))
    return;
  item.Packages = x;
  MarkChanged();
}

void TOrder::MarkChanged() {
  Modified = true;
  Changed = CurrentTime();
  if (!(Created > 0))
    Created = Changed;
}

void TOrder::RemoveEmptyLines() {
  bool removed = false;
  for (int i = Count() - 1; i >= 0; --i) {
    const TOrderItem& item = Line(i);
    if (item.Quantity == 0 && item.Packages == 0) {
      Delete(i);
      MarkChanged();
      removed = true;
    }
  }
  if (removed && FObserver)
    FObserver->LinesRemoved();
}

int TOrder::CountNonEmptyLines() const {
  int count = 0;
  for (const auto& item : FLines) {
    if (item->Quantity != 0 || item->Packages != 0)
      ++count;
  }
  return count;
}

void TOrder::RelinkCards(const TCardLookup& lookup, bool unlink) {
  for (const auto& item : FLines)
    item->Card = unlink || !lookup ? nullptr : lookup(item->Code);
}

namespace {

int ProcessRandom(int bound) {
  static std::mt19937 generator{std::random_device{}()};
  return std::uniform_int_distribution<int>(0, bound - 1)(generator);
}

} // namespace

void TOrder::EnsureOrderID() {
  if (!OrderID.empty())
    return;
  static constexpr char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  constexpr int kAlphabetSize = sizeof(kAlphabet) - 1;
  int year = 0, month = 0, day = 0;
  DecodeDate(CurrentTime(), year, month, day);
  std::string id(6, '0');
  const int parts[] = {year % 100, month, day};
  for (int i = 0; i < 3; ++i) {
    id[2 * i] = static_cast<char>('0' + parts[i] / 10);
    id[2 * i + 1] = static_cast<char>('0' + parts[i] % 10);
  }
  for (int i = 0; i < 4; ++i) {
    int r = FRandom ? FRandom(kAlphabetSize) : ProcessRandom(kAlphabetSize);
    // A generator out of its range must not index past the alphabet.
    r = ((r % kAlphabetSize) + kAlphabetSize) % kAlphabetSize;
    id += kAlphabet[r];
  }
  OrderID = id;
}

void TOrder::NewOrder() {
  Clear();
  Created = CurrentTime();
  DeliveryDate = LatestDeliveryDate = Sent = Changed = 0;
  FileName.clear();
  OrderID.clear();
  Note.clear();
  RecalcTotals();
  WriteLog(Cz("Založena nová objednávka"));
}
