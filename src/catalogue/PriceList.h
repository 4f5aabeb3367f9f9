#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/PriceListItem.h"
#include "core/AppSettings.h"
#include "core/Errors.h"
#include "ui/CellText.h"
#include "ui/Columns.h"

// The supplier's price list held in memory: every card of KARTY.DBF in the current sort
// order. Texts are code page 1250.

// A lookup that found nothing ("Kód EAN %s  nebyl v ceníku nalezen.").
class ENotFound : public Exception {
public:
  using Exception::Exception;
};

// Progress of the load and the filter. The GUI drives its progress bar from it; the default
// does nothing, so the list works headless.
class IProgress {
public:
  virtual ~IProgress() = default;
  // Position 0 and the upper bound.
  virtual void Start(long long /*max*/) {}
  // Moves to the position and repaints: called with the 0-based number of every record (or
  // card) that is a multiple of ProgressStep(count), before it is handled.
  virtual void Position(long long /*position*/) {}
  // Lets pending window messages run once.
  virtual void ProcessMessages() {}
  // Back to position 0.
  virtual void Finish() {}
};
IProgress& NoProgress();

// How often the progress moves for a run over count items: every 128 up to 4000 items, every
// 512 up to 10000 and every 1024 above.
int ProgressStep(long long count);

// The rest of the program around a load: the order and the main window. The defaults do
// nothing, for a list without an order or a window.
class IPriceListHost {
public:
  virtual ~IPriceListHost() = default;
  // Every order line drops its card pointer; the cards are about to be freed.
  virtual void DetachOrder() {}
  // Every order line is linked again by its code (IndexOfCode) or to none.
  virtual void AttachOrder(class TPriceList& /*list*/) {}
  // Whether the table has the field "OBRAZEK" (the picture commands depend on it).
  virtual void PictureFieldPresent(bool /*present*/) {}
  // The price-list grid gets this many rows and is repainted; called after every load, also
  // after a failed one.
  virtual void ShowCards(int /*count*/) {}
};

// The expression evaluator's judgement of one card: true when the evaluation succeeds with a
// result of type code 0 or 1 that is not zero (NearlyZero counts as zero). An evaluation
// error is false. The evaluator makes the card its current card before it evaluates; index is
// the card's position in the list (what the card evaluator reads the card by).
using TCardEvaluator = std::function<bool(const TPriceListItem& card, int index)>;

struct TColorRule {
  std::string Keywords; // upper case; "|" separates alternatives, spaces separate words
  TColorValue Color = kNoSpecialColor;
};

struct TFilterOptions {
  TCardEvaluator Evaluator; // empty: no evaluator
  int Mode = 0;             // 0 marked contents, 1 name, 2 code, 3 EAN, 4 every content
  bool RestrictToSubset = false;
  bool StoreSubset = false;
  bool CodeListMode = false;
};

struct TFilterResult {
  bool Matched = false;  // some card matched
  bool ExactHit = false; // the whole text equals a card's code or EAN
  int Row = 0;           // the grid row to select, 1-based among the shown rows
};

// The search marks of the contents by default: code, name, EAN, the three groups, the note
// and the keywords.
std::array<bool, kContentCount> DefaultSearchedContents();

// The name key of a card name: diacritics removed, ASCII letters upper-cased.
std::string MakeSearchName(std::string_view nazev);

class TPriceList {
public:
  TPriceList();
  TPriceList(const TPriceList&) = delete;
  TPriceList& operator=(const TPriceList&) = delete;

  // Empties the list and reads the table named by settings.PriceList (Algorithms of the load:
  // verification, required fields "Kod" and "Nazev", rows with an empty code skipped, colour
  // rules, sort as Sort(columns, env) with the column model set by SetColumnModel, or without
  // one by the default layout of the settings' modes at SortColumn with the settings' currency).
  // Any failure is logged and shown with the caption "Ceník" and the error
  // icon through ReportMessage, and false is returned; the cards read before the failure
  // stay (unsorted). Sets settings.PriceListVerified (VerifyPriceList). The host's order is
  // detached first and attached afterwards in every case.
  bool LoadPriceList(TAppSettings& settings, IPriceListHost& host, IProgress& progress = NoProgress());
  // The same with the failure raised instead of shown (the host still sees the attach and
  // ShowCards calls).
  void LoadPriceListOrThrow(TAppSettings& settings, IPriceListHost& host, IProgress& progress = NoProgress());

  // The authenticity check of the table file: with settings.PriceEnabled, the sdbm hash of
  // the "Created" and "CreatedTime" hashes followed by the file bytes equals "ID2". Sets and
  // returns settings.PriceListVerified. A file that cannot be read raises EInOutError.
  static bool VerifyPriceList(const std::string& fileName, TAppSettings& settings);

  // Replaces the colour rules by those of the settings (rules with an empty keyword text are
  // left out, up to kSpecialColorCount).
  void SetColorRules(const TColorSettings& colors);
  void SetColorRules(std::vector<TColorRule> rules) { FColorRules = std::move(rules); }
  const std::vector<TColorRule>& ColorRules() const { return FColorRules; }
  // Gives the card the colour of the first matching rule; leaves it as it is when there is
  // no rule, no note or no match.
  void AssignSpecialColor(TPriceListItem& card) const;

  int Count() const { return static_cast<int>(FItems.size()); }
  // The card at an index (0 <= index < Count()); the reference stays valid until the next
  // load or Clear. Sorting moves cards between indexes but never frees them.
  TPriceListItem& Items(int index) { return *FItems[static_cast<size_t>(index)]; }
  const TPriceListItem& Items(int index) const { return *FItems[static_cast<size_t>(index)]; }
  // Takes a card to the end of the list (for imports and tests).
  TPriceListItem& Add(std::unique_ptr<TPriceListItem> card);
  // Frees every card; the filter flags stay.
  void Clear();

  // Index of the first card whose Kod equals code exactly, or -1.
  int IndexOfCode(std::string_view code) const;
  // Kod of the first card whose EAN equals ean exactly; ENotFound when there is none.
  std::string CodeByEAN(std::string_view ean) const;
  // Some card's Kod begins with prefix.
  bool HasCodePrefix(std::string_view prefix) const;

  int VisibleCount() const;
  // The card index of the n-th shown row (0-based), or -1.
  int VisibleIndexToIndex(int row) const;
  void ClearFilter();
  // Marks the cards matching text (upper-cased by the caller) as Visible. See TFilterOptions.
  // The searched texts are read from copies made at the first search after a load or Add and
  // rearranged by Sort and SortByContent (a keystroke's search then reads a few contiguous
  // buffers); whoever edits the texts of cards in place calls InvalidateSearchIndex.
  // VisibleCount and VisibleIndexToIndex read the rows this leaves, so Visible is changed only
  // through Filter and ClearFilter.
  TFilterResult Filter(std::string_view text, const TFilterOptions& options, IProgress& progress = NoProgress());

  void InvalidateSearchIndex();
  // Makes the search copies of the contents SearchedContents marks now rather than at the
  // next search (the load does it, so the first keystroke is not the slow one).
  void PrepareSearch();

  // Sorts the cards in place as the price-list grid shows them: by the column at
  // columns.SortColumn, in the order of ComparePriceListCards (PriceListSortOrder). Sets
  // SortColumn to columns.SortColumn. Cards keep their addresses; the shown rows and the search
  // copies follow them.
  void Sort(const TColumnList& columns, const TCellEnvironment& env);
  // Sorts by the column showing contentId (a one-column list of that content with the table's
  // alignment), with the environment of SetColumnModel or the default one. SortColumn stays.
  void SortByContent(int contentId);

  // The price-list grid's columns and cell environment, owned by whoever owns the grid (the
  // application context) and not by the list: the load sorts by them, and the search reads
  // the texts of contents other than the code, the name and the EAN through ContentText with
  // env (amounts in the foreign currency). Either may be nullptr: the load then sorts by the
  // default layout and the search uses a default environment. Both must outlive the list or be
  // reset. Whoever changes what env gives (the currency) calls InvalidateSearchIndex.
  void SetColumnModel(const TColumnList* columns, const TCellEnvironment* env) {
    FColumns = columns;
    FEnv = env;
    InvalidateSearchIndex();
  }

  int SortColumn = 0;
  bool Filtered = false;
  bool NothingFound = false;
  bool SubsetActive = false;
  std::string LastImportDate, LastImportFileName;
  // The Searched marks of mode 0, by content ID (the settings' "Find").
  std::array<bool, kContentCount> SearchedContents = DefaultSearchedContents();

  TPriceList(TPriceList&&) = delete;
  ~TPriceList();

private:
  // The texts of one content of every card in list order, each followed by a 0 byte.
  struct TFlatText {
    std::string Bytes;
    std::vector<std::uint32_t> Offsets; // Count() + 1 entries; card i starts at Offsets[i]
  };
  const TFlatText& Flat(int contentId);
  void EnsureFlat(const std::vector<int>& contentIds);
  std::vector<std::uint8_t> Hits(int contentId, std::string_view needle);

  void LoadCards(TAppSettings& settings, IPriceListHost& host, IProgress& progress);
  const TCellEnvironment& CellEnvironment() const;
  void SortAfterLoad(const TAppSettings& settings);
  // Puts the cards (and their search copies) into the order of PriceListSortOrder.
  void Reorder(const std::vector<std::size_t>& order);
  void RebuildVisible();

  std::vector<std::unique_ptr<TPriceListItem>> FItems;
  // The indexes of the Visible cards, in list order; rebuilt by Filter, valid while Filtered.
  std::vector<int> FVisible;
  bool FVisibleValid = false;
  std::vector<TColorRule> FColorRules;
  const TColumnList* FColumns = nullptr;
  const TCellEnvironment* FEnv = nullptr;
  std::array<std::unique_ptr<TFlatText>, 41> FFlat;
};
