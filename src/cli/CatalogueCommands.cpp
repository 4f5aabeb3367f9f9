// search: the price-list search of the main window, run on the price list of a program's
// settings (or a given table).

#include <algorithm>

#include "catalogue/PriceList.h"
#include "cli/CliSupport.h"
#include "cli/CommandSettings.h"
#include "core/AppSettings.h"
#include "core/SettingsStore.h"
#include "formats/CodePages.h"
#include "formats/Cp1250Utf8.h"

namespace {

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
  if (args.Has("karty"))
    settings.PriceList = Utf8ToCp1250(args.Option("karty"));
  if (mode < 0)
    mode = settings.SearchMode;

  TPriceList list;
  // Without the grid's column model the stored "Find" marks may all be off; the built-in
  // marks then apply, as they do in the program before the user changes any.
  if (std::any_of(settings.Find.begin(), settings.Find.end(), [](bool mark) { return mark; }))
    list.SearchedContents = settings.Find;
  IPriceListHost host;
  list.LoadPriceListOrThrow(settings, host);

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

void AddCatalogueCommands(std::vector<CliCommand>& commands) {
  commands.push_back(
      {{"search"}, "search [--program NAME] [--karty FILE] [--mode N] TEXT", {"program", "karty", "mode"}, {}, Search});
}
