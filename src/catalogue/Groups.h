#pragma once

// The goods groups of OKRUHY.DBF: a tree of groups, each selecting its cards by an expression
// over the card variables or by card-code prefixes, and the tabs of selected groups. Plain
// data: the window's tree view and tab control show what this holds and hand choices back.
// Texts are code page 1250.

#include <memory>
#include <string>
#include <vector>

#include "catalogue/PriceList.h"
#include "expr/KartyVyhodnocovac.h"

struct TAppSettings;

// The data of one tree node: the group's code (Podokruh; after duplicates have been merged,
// several codes joined by TAB; empty for the root), the node that carries it, and the
// evaluator compiled from the group's expression, or none. Owns the evaluator.
struct TTreeData {
  std::string Code;
  int NodeId = -1;
  std::unique_ptr<TKartyVyhodnocovac> Evaluator;
};

// One node of the tree. Node ids are indexes into the tree's node list and stay valid until
// the next load; a node removed by the merge keeps its id but leaves its parent's children.
struct TGroupNode {
  std::string Caption;
  int Parent = -1; // -1 for the root
  std::vector<int> Children;
  TTreeData* Data = nullptr; // owned by the groups' data list
  bool Removed = false;
};

struct TGroupTab {
  std::string Caption;
  TTreeData* Data = nullptr; // owned by the groups' data list
};

// What choosing a group did to the price list and what the window does with it.
struct TGroupChoice {
  // The group has neither a code nor an evaluator: every card is shown again (ClearFilter,
  // NothingFound cleared); the window runs the rest of its show-all command (focus, current
  // row) and empties the search box.
  bool ShowAll = false;
  // The filter's answer when ShowAll is not set. When nothing matched, the window beeps and
  // marks the search box; NothingFound is already set when no row is left.
  TFilterResult Filter;
  // The text the search box shows: empty with an evaluator (and for ShowAll), otherwise the
  // upper-cased codes with each TAB shown as "+".
  std::string SearchBoxText;
  // The remembered last search text becomes this marker, so the next search runs anew.
  std::string LastSearchText = "#$#";
};

// The caption of the root and of the first tab.
std::string GroupsRootCaption();   // "Okruhy zboží"
std::string AllGroupsTabCaption(); // "Vše"

// How often the load's progress moves for a table of count records: every 64 records up to
// 1000, every 256 up to 8192, every 512 above.
int GroupsProgressStep(long long count);

class TGoodsGroups {
public:
  TGoodsGroups() { Clear(); }
  TGoodsGroups(const TGoodsGroups&) = delete;
  TGoodsGroups& operator=(const TGoodsGroups&) = delete;

  // Rebuilds the tree and the tabs from the table named by settings.Groups (code page 852):
  // the root "Okruhy zboží" and the tab "Vše" first; then every record whose parent (Okruh) is
  // an earlier group's code, as a child with the caption Popis, selecting its cards by the
  // expression Vyraz when it compiles with a card evaluator over list and env, else by the code
  // prefix Podokruh (a record without an expression whose prefix no card code has is skipped);
  // a tab for each odd GenZalozka; then sibling leaves without an expression that share a
  // caption are merged into the first of them. A missing file, or a table that leaves only the
  // root, switches the panel off (settings.GroupsVisible = false).
  // Raises Exception "Soubor %s nemá formát použitelný pro import okruhů" when Okruh, Podokruh
  // or Popis is missing, and what the table raises for a file it cannot open or read; the
  // tree and the tabs then keep what was built until the failure.
  // The evaluators keep references to list and env: both must outlive this load's groups.
  void LoadOrThrow(TAppSettings& settings, const TPriceList& list, const TCellEnvironment& env,
                   IProgress& progress = NoProgress());
  // The same with a failure shown through ReportMessage (caption "Okruhy", error icon) and
  // false returned.
  bool Load(TAppSettings& settings, const TPriceList& list, const TCellEnvironment& env,
            IProgress& progress = NoProgress());
  // Only the root and the tab "Vše".
  void Clear();

  static constexpr int kRoot = 0;
  const TGroupNode& Node(int id) const { return FNodes.at(static_cast<size_t>(id)); }
  int NodeCount() const { return static_cast<int>(FNodes.size()); }
  // The nodes that are in the tree, depth first as the tree shows them, the root first.
  std::vector<int> TreeOrder() const;
  // Every TTreeData of the current tree (the root's first), in the order they were made.
  const std::vector<std::unique_ptr<TTreeData>>& Data() const { return FData; }
  const std::vector<TGroupTab>& Tabs() const { return FTabs; }
  // The tab control is shown only when there is a tab besides "Vše".
  bool TabsVisible() const { return FTabs.size() > 1; }
  // The tab in force: 0 ("Vše") after a load and after a choice in the tree. A text search is
  // limited to the current group's cards while another tab is in force.
  int ActiveTab() const { return FActiveTab; }

  // Sorts the children of every node by caption (the grids' text order, stable); the order
  // lasts until the next load, and Sorted() tells the command's pressed state.
  void SortByCaption();
  bool Sorted() const { return FSorted; }

  // A choice in the tree: the tabs return to "Vše", then the node's group is applied.
  TGroupChoice ChooseNode(int nodeId, TPriceList& list, IProgress& progress = NoProgress());
  // A click on a tab: its group is applied; the tree is not touched.
  TGroupChoice ChooseTab(int tab, TPriceList& list, IProgress& progress = NoProgress());

  // Applies one group to the price list: show every card for a group without a code and an
  // evaluator; otherwise Filter in group mode (the subset stored) with the upper-cased code
  // list or the evaluator.
  static TGroupChoice ApplyGroup(const TTreeData& data, TPriceList& list, IProgress& progress = NoProgress());

private:
  int AddNode(int parent, std::string caption, TTreeData* data);
  void MergeDuplicates();

  std::vector<TGroupNode> FNodes;
  std::vector<std::unique_ptr<TTreeData>> FData;
  std::vector<TGroupTab> FTabs;
  int FActiveTab = 0;
  bool FSorted = false;
};
