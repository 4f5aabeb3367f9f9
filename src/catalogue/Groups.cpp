#include "catalogue/Groups.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <string_view>
#include <unordered_map>

#include "core/AppSettings.h"
#include "core/Format.h"
#include "core/Paths.h"
#include "core/ReportMessage.h"
#include "formats/CodePages.h"
#include "formats/Cp1250Utf8.h"
#include "formats/DBFFile.h"
#include "ui/TextCompare.h"

namespace {

bool FileExists(const std::string& fileName) {
  std::error_code ignored;
  return std::filesystem::is_regular_file(NativeFileName(fileName), ignored);
}

// "Does any card code begin with this?", asked once per group without an expression: a
// binary search over the sorted codes instead of a pass over the cards for each group.
class TCodePrefixes {
public:
  explicit TCodePrefixes(const TPriceList& list) : FList(list) {}

  bool Any(std::string_view prefix) {
    if (!FReady) {
      // The codes copied side by side first: the sort then compares bytes that lie together
      // instead of chasing every card.
      size_t total = 0;
      for (int i = 0; i < FList.Count(); ++i)
        total += FList.Items(i).Kod.size();
      FBytes.reserve(total);
      for (int i = 0; i < FList.Count(); ++i)
        FBytes += FList.Items(i).Kod;
      FCodes.reserve(static_cast<size_t>(FList.Count()));
      size_t start = 0;
      for (int i = 0; i < FList.Count(); ++i) {
        const size_t length = FList.Items(i).Kod.size();
        FCodes.emplace_back(FBytes.data() + start, length);
        start += length;
      }
      std::sort(FCodes.begin(), FCodes.end());
      FReady = true;
    }
    const auto at = std::lower_bound(FCodes.begin(), FCodes.end(), prefix);
    return at != FCodes.end() && at->substr(0, prefix.size()) == prefix;
  }

private:
  const TPriceList& FList;
  std::string FBytes;
  std::vector<std::string_view> FCodes;
  bool FReady = false;
};

} // namespace

std::string GroupsRootCaption() { return Cz("Okruhy zboží"); }
std::string AllGroupsTabCaption() { return Cz("Vše"); }

int GroupsProgressStep(long long count) { return count <= 1000 ? 64 : count <= 8192 ? 256 : 512; }

void TGoodsGroups::Clear() {
  FNodes.clear();
  FData.clear();
  FTabs.clear();
  FActiveTab = 0;
  FSorted = false;
  FData.push_back(std::make_unique<TTreeData>());
  AddNode(-1, GroupsRootCaption(), FData.back().get());
  FTabs.push_back({AllGroupsTabCaption(), FData.back().get()});
}

int TGoodsGroups::AddNode(int parent, std::string caption, TTreeData* data) {
  const int id = static_cast<int>(FNodes.size());
  TGroupNode node;
  node.Caption = std::move(caption);
  node.Parent = parent;
  node.Data = data;
  FNodes.push_back(std::move(node));
  if (parent >= 0)
    FNodes[static_cast<size_t>(parent)].Children.push_back(id);
  data->NodeId = id;
  return id;
}

std::vector<int> TGoodsGroups::TreeOrder() const {
  std::vector<int> order;
  std::vector<int> pending = {kRoot};
  while (!pending.empty()) {
    const int id = pending.back();
    pending.pop_back();
    order.push_back(id);
    const std::vector<int>& children = FNodes[static_cast<size_t>(id)].Children;
    pending.insert(pending.end(), children.rbegin(), children.rend());
  }
  return order;
}

void TGoodsGroups::LoadOrThrow(TAppSettings& settings, const TPriceList& list, const TCellEnvironment& env,
                               IProgress& progress) {
  Clear();
  const std::string& fileName = settings.Groups;
  if (!FileExists(fileName)) {
    settings.GroupsVisible = false;
    return;
  }

  TDBFFile table(fileName, TDBFConversion::Cp852);
  table.Open(TDBFAccess::ReadOnlyDenyWrite);
  const TDBFField* okruh = table.FindField("Okruh");
  const TDBFField* podokruh = table.FindField("Podokruh");
  const TDBFField* popis = table.FindField("Popis");
  const TDBFField* vyraz = table.FindField("Vyraz");
  const TDBFField* genZalozka = table.FindField("GenZalozka");
  if (!okruh || !podokruh || !popis)
    throw Exception(Format(Cz("Soubor %s nemá formát použitelný pro import okruhů"), {fileName}));

  TCodePrefixes prefixes(list);
  // The node of the latest group of each code: a parent is the latest earlier group whose code
  // equals Okruh exactly.
  std::unordered_map<std::string, int> latestByCode;
  const long long count = table.RecordCount();
  const int step = GroupsProgressStep(count);
  progress.Start(count);
  std::string parentCode, code, expression;
  for (table.First(); !table.Eof(); table.Next()) {
    if (table.RecNo() % step == 0)
      progress.Position(table.RecNo());
    std::unique_ptr<TKartyVyhodnocovac> evaluator;
    if (vyraz) {
      vyraz->AsString(expression);
      if (!expression.empty()) {
        evaluator = std::make_unique<TKartyVyhodnocovac>(list, env);
        if (evaluator->Compile(expression) != 0)
          evaluator.reset(); // the group falls back to its code prefix
      }
    }
    podokruh->AsString(code);
    if (!evaluator && !prefixes.Any(code))
      continue;

    okruh->AsString(parentCode);
    int parent = kRoot;
    if (!parentCode.empty()) {
      // The latest group of that code: a parent comes before its children in the file.
      const auto found = latestByCode.find(parentCode);
      if (found == latestByCode.end())
        continue;
      parent = found->second;
    }

    auto data = std::make_unique<TTreeData>();
    data->Code = code;
    data->Evaluator = std::move(evaluator);
    FData.push_back(std::move(data));
    latestByCode.insert_or_assign(code, AddNode(parent, popis->AsString(), FData.back().get()));
    if (genZalozka && genZalozka->AsInteger() % 2 != 0)
      FTabs.push_back({popis->AsString(), FData.back().get()});
  }
  table.Close();
  progress.Finish();

  if (FNodes.size() > 1)
    MergeDuplicates();
  else
    settings.GroupsVisible = false;
}

bool TGoodsGroups::Load(TAppSettings& settings, const TPriceList& list, const TCellEnvironment& env,
                        IProgress& progress) {
  try {
    LoadOrThrow(settings, list, env, progress);
    return true;
  } catch (const std::exception& e) {
    progress.Finish();
    ReportMessage(e.what(), {TMsgButtons::OK, TMsgIcon::Error}, Cz("Okruhy"));
    return false;
  }
}

// A leaf without an expression takes over the codes of the later leaves beside it that show
// the same caption; those leave the tree (an expression of theirs goes unused). Their data
// stay in the list, so a tab of theirs still selects by their own code.
void TGoodsGroups::MergeDuplicates() {
  // Only siblings merge, and among siblings the tree order is the order of the children: so
  // one walk over each node's children with the first taker of each caption at hand does what
  // comparing every node with every later node would.
  for (TGroupNode& parent : FNodes) {
    if (parent.Children.size() < 2)
      continue;
    std::unordered_map<std::string_view, int> takers; // caption -> the leaf taking the codes
    std::vector<int> kept;
    kept.reserve(parent.Children.size());
    for (const int id : parent.Children) {
      TGroupNode& node = FNodes[static_cast<size_t>(id)];
      if (node.Children.empty()) {
        const auto taker = takers.find(node.Caption);
        if (taker != takers.end()) {
          TTreeData& data = *FNodes[static_cast<size_t>(taker->second)].Data;
          data.Code += '\t';
          data.Code += node.Data->Code;
          node.Removed = true;
          continue;
        }
        if (!node.Data->Evaluator)
          takers.emplace(node.Caption, id);
      }
      kept.push_back(id);
    }
    parent.Children = std::move(kept);
  }
}

void TGoodsGroups::SortByCaption() {
  for (TGroupNode& node : FNodes)
    std::stable_sort(node.Children.begin(), node.Children.end(), [this](int a, int b) {
      return CompareLocaleText(FNodes[static_cast<size_t>(a)].Caption, FNodes[static_cast<size_t>(b)].Caption) < 0;
    });
  FSorted = true;
}

TGroupChoice TGoodsGroups::ChooseNode(int nodeId, TPriceList& list, IProgress& progress) {
  FActiveTab = 0;
  return ApplyGroup(*Node(nodeId).Data, list, progress);
}

TGroupChoice TGoodsGroups::ChooseTab(int tab, TPriceList& list, IProgress& progress) {
  const TGroupTab& chosen = FTabs.at(static_cast<size_t>(tab));
  FActiveTab = tab;
  return ApplyGroup(*chosen.Data, list, progress);
}

TGroupChoice TGoodsGroups::ApplyGroup(const TTreeData& data, TPriceList& list, IProgress& progress) {
  TGroupChoice choice;
  if (data.Code.empty() && !data.Evaluator) {
    choice.ShowAll = true;
    list.NothingFound = false;
    list.ClearFilter();
    return choice;
  }
  list.NothingFound = false;
  const std::string codes = AnsiUpperCase(data.Code);
  if (!data.Evaluator) {
    choice.SearchBoxText = codes;
    std::replace(choice.SearchBoxText.begin(), choice.SearchBoxText.end(), '\t', '+');
  }
  TFilterOptions options;
  options.StoreSubset = true;
  options.CodeListMode = true;
  // The expression is evaluated for every card in list order before the filter runs, and the
  // filter only looks the answers up: its own pass over the cards then stays a short loop that
  // keeps many cards' memory reads under way, instead of one wait per card between two
  // evaluations.
  std::vector<std::uint8_t> selected;
  if (TKartyVyhodnocovac* const evaluator = data.Evaluator.get()) {
    const int count = list.Count();
    selected.resize(static_cast<size_t>(count));
    evaluator->BeginSelection();
    for (int index = 0; index < count; ++index)
      selected[static_cast<size_t>(index)] = evaluator->Selects(index);
    evaluator->EndSelection();
    options.Evaluator = [&selected](const TPriceListItem&, int index) {
      return selected[static_cast<size_t>(index)] != 0;
    };
  }
  choice.Filter = list.Filter(codes, options, progress);
  if (!choice.Filter.Matched && list.VisibleCount() == 0)
    list.NothingFound = true;
  return choice;
}
