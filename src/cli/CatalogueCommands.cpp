// cards: the price list as its grid shows it, one card a line.
// search: the price-list search of the main window.
// order enter: quantities typed into the price-list grid.
// Each runs on the price list of a program's settings, or on a given table (--karty).

#include <algorithm>
#include <iostream>
#include <memory>

#include "catalogue/PriceList.h"
#include "cli/CliSupport.h"
#include "cli/OrderCommands.h"
#include "cli/CommandSettings.h"
#include "core/AppSettings.h"
#include "core/SettingsStore.h"
#include "formats/CodePages.h"
#include "formats/Cp1250Utf8.h"
#include "ui/CellText.h"
#include "ui/ColumnInfos.h"

namespace {

// A content ID of the column table (0 to 41), as typed on the command line.
int ContentId(const std::string& text) {
  if (text.empty() || text.size() > 2 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    throw UsageError("not a content ID: " + text);
  const int id = std::stoi(text);
  if (id >= kContentCount)
    throw UsageError("not a content ID: " + text);
  return id;
}

std::vector<int> ContentIds(const std::string& list) {
  std::vector<int> ids;
  size_t start = 0;
  for (;;) {
    const size_t comma = list.find(',', start);
    ids.push_back(ContentId(list.substr(start, comma - start)));
    if (comma == std::string::npos)
      return ids;
    start = comma + 1;
  }
}

// Cards sorted as the default layout sorts them (or by the column showing --sort), each as
// the price-list grid's cells of the requested contents.
int Cards(const CliArgs& args, std::ostream& out, std::ostream& err) {
  RequirePositional(args, 0);
  const std::vector<int> ids = ContentIds(args.Option("columns", "2,3"));
  const int sortId = args.Has("sort") ? ContentId(args.Option("sort")) : -1;
  TCommandSettings loaded = LoadCommandSettings(args, err, HeadlessLoadOptions());
  const std::shared_ptr<TPriceList> list = LoadCommandPriceList(loaded.Settings, Utf8ToCp1250(args.Option("karty")));
  if (sortId >= 0)
    list->SortByContent(sortId);
  TCellEnvironment env = TCellEnvironment::FromSettings(loaded.Settings);
  const Locale czech = Locale::Czech();
  env.Conventions = &czech;
  for (int index = 0; index < list->Count(); ++index) {
    const TPriceListItem& card = list->Items(index);
    for (size_t k = 0; k < ids.size(); ++k)
      out << (k ? "\t" : "") << EscapeField(Cp1250ToUtf8(PriceListCellText(&card, ids[k], env)));
    out << '\n';
  }
  return 0;
}

int Search(const CliArgs& args, std::ostream& out, std::ostream& err) {
  RequirePositional(args, 1);
  int mode = -1;
  if (args.Has("mode")) {
    const std::string text = args.Option("mode");
    if (text.size() != 1 || text[0] < '0' || text[0] > '4')
      throw UsageError("--mode must be 0 to 4");
    mode = text[0] - '0';
  }

  TCommandSettings loaded = LoadCommandSettings(args, err, HeadlessLoadOptions());
  TAppSettings& settings = loaded.Settings;
  if (mode < 0)
    mode = settings.SearchMode;
  const std::shared_ptr<TPriceList> loadedList = LoadCommandPriceList(settings, Utf8ToCp1250(args.Option("karty")));
  TPriceList& list = *loadedList;
  // Without the grid's column model the stored "Find" marks may all be off; the built-in
  // marks then apply, as they do in the program before the user changes any.
  if (std::any_of(settings.Find.begin(), settings.Find.end(), [](bool mark) { return mark; }))
    list.SearchedContents = settings.Find;

  TFilterOptions filter;
  filter.Mode = mode;
  const TFilterResult result = list.Filter(AnsiUpperCase(Utf8ToCp1250(args.Positional[0])), filter);
  out << "matched\t" << list.VisibleCount() << "\texact\t" << (result.ExactHit ? 1 : 0) << "\trow\t" << result.Row
      << "\n";
  // The cards with Visible set: when nothing matched, the list keeps no filter in force (so
  // VisibleCount counts every card) while every card has lost its Visible mark.
  for (int index = 0; index < list.Count(); ++index)
    if (list.Items(index).Visible)
      out << EscapeField(Cp1250ToUtf8(list.Items(index).Kod)) << "\n";
  return 0;
}

} // namespace

std::shared_ptr<TPriceList> LoadCommandPriceList(TAppSettings& settings, const std::string& kartyFile) {
  if (!kartyFile.empty())
    settings.PriceList = kartyFile;
  auto list = std::make_shared<TPriceList>();
  IPriceListHost host;
  list->LoadPriceListOrThrow(settings, host);
  return list;
}

// The order commands' price list: loaded as the cards command loads it, found by code.
TCommandCards CommandCards(const std::string& kartyFile, const TAppSettings& settings) {
  TAppSettings copy = settings;
  std::shared_ptr<TPriceList> list = LoadCommandPriceList(copy, kartyFile);
  TCardLookup lookup = [list](const std::string& code) -> TPriceListItem* {
    const int index = list->IndexOfCode(code);
    return index < 0 ? nullptr : &list->Items(index);
  };
  return TCommandCards{std::move(lookup), list};
}

void AddCatalogueCommands(std::vector<CliCommand>& commands) {
  commands.push_back({{"cards"},
                      "cards [--program NAME] [--karty FILE] [--sort ID] [--columns ID,ID,...]",
                      {"program", "karty", "sort", "columns"},
                      {},
                      Cards});
  AddOrderCommands(commands, CommandCards, std::cin);
  commands.push_back(
      {{"search"}, "search [--program NAME] [--karty FILE] [--mode N] TEXT", {"program", "karty", "mode"}, {}, Search});
}
