// The list itself: ownership, lookups, the visible rows and the progress rhythm.

#include "catalogue/PriceList.h"

#include "core/Format.h"
#include "formats/Cp1250Utf8.h"

namespace {

class TNoProgress : public IProgress {};

} // namespace

IProgress& NoProgress() {
  static TNoProgress none;
  return none;
}

int ProgressStep(long long count) {
  if (count <= 4000)
    return 128;
  if (count <= 10000)
    return 512;
  return 1024;
}

TPriceList::TPriceList() = default;
TPriceList::~TPriceList() = default;

void TPriceList::InvalidateSearchIndex() {
  for (auto& flat : FFlat)
    flat.reset();
}

TPriceListItem& TPriceList::Add(std::unique_ptr<TPriceListItem> card) {
  FItems.push_back(std::move(card));
  FVisibleValid = false;
  InvalidateSearchIndex();
  return *FItems.back();
}

void TPriceList::Clear() {
  FItems.clear();
  FVisible.clear();
  FVisibleValid = false;
  InvalidateSearchIndex();
}

int TPriceList::IndexOfCode(std::string_view code) const {
  for (size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i]->Kod == code)
      return static_cast<int>(i);
  return -1;
}

std::string TPriceList::CodeByEAN(std::string_view ean) const {
  for (const auto& card : FItems)
    if (card->EAN == ean)
      return card->Kod;
  throw ENotFound(Format(Cz("Kód EAN %s  nebyl v ceníku nalezen."), {ean}));
}

bool TPriceList::HasCodePrefix(std::string_view prefix) const {
  for (const auto& card : FItems)
    if (std::string_view(card->Kod).substr(0, prefix.size()) == prefix)
      return true;
  return false;
}

void TPriceList::RebuildVisible() {
  FVisible.clear();
  for (size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i]->Visible)
      FVisible.push_back(static_cast<int>(i));
  FVisibleValid = true;
}

int TPriceList::VisibleCount() const {
  if (!Filtered)
    return Count();
  if (FVisibleValid)
    return static_cast<int>(FVisible.size());
  int count = 0;
  for (const auto& card : FItems)
    count += card->Visible ? 1 : 0;
  return count;
}

int TPriceList::VisibleIndexToIndex(int row) const {
  if (row < 0)
    return -1;
  if (!Filtered)
    return row < Count() ? row : -1;
  if (FVisibleValid)
    return static_cast<size_t>(row) < FVisible.size() ? FVisible[static_cast<size_t>(row)] : -1;
  for (size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i]->Visible && row-- == 0)
      return static_cast<int>(i);
  return -1;
}

void TPriceList::ClearFilter() {
  for (auto& card : FItems)
    card->Visible = true;
  Filtered = false;
  SubsetActive = false;
  FVisibleValid = false;
}
