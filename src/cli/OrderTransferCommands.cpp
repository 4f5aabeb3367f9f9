// order export: an order as delimited text, as Save as writes it.
// order import: quantities from a text or dBase file, as Open reads them.
// delivery check: the delivery-date rules of the check dialog.

#include "cli/OrderTransferCommands.h"

#include <memory>

#include "catalogue/PriceList.h"
#include "cli/CliSupport.h"
#include "cli/CommandSettings.h"
#include "cli/OrderCommands.h"
#include "core/AppSettings.h"
#include "core/Errors.h"
#include "core/Format.h"
#include "core/SettingsStore.h"
#include "formats/CodePages.h"
#include "formats/Cp1250Utf8.h"
#include "orders/Order.h"
#include "orders/OrderExport.h"
#include "ui/ColumnLayouts.h"

namespace {

// Failed rows go to the error stream; the answer is the command's option.
class TCommandImportProblems : public IImportProblemDialog {
public:
  TCommandImportProblems(std::ostream& err, bool stop) : FErr(err), FStop(stop) {}
  bool Continue(const TImportProblem& problem) override {
    FErr << EscapeField(Cp1250ToUtf8(problem.Message)) << '\n';
    return !FStop;
  }

private:
  std::ostream& FErr;
  bool FStop;
};

int OrderExport(const CliArgs& args, std::ostream& /*out*/, std::ostream& err) {
  RequirePositional(args, 1);
  if (args.Has("txt") == args.Has("xls"))
    throw UsageError("give exactly one of --txt OUT and --xls OUT");
  const bool spreadsheet = args.Has("xls");
  const std::string outPath = Utf8ToCp1250(args.Option(spreadsheet ? "xls" : "txt"));
  TCommandSettings loaded = LoadCommandSettings(args, err, HeadlessLoadOptions());
  TOrder order;
  ReadCommandOrder(order, Utf8ToCp1250(args.Positional[0]), Utf8ToCp1250(args.Option("karty")), loaded, CommandCards,
                   err);
  RunOrderExport(order, loaded.Settings, loaded.Store, outPath, spreadsheet ? 4 : 2);
  return 0;
}

int OrderImport(const CliArgs& args, std::ostream& out, std::ostream& err) {
  RequirePositional(args, 1);
  TCommandSettings loaded = LoadCommandSettings(args, err, HeadlessLoadOptions());
  const std::shared_ptr<TPriceList> list = LoadCommandPriceList(loaded.Settings, Utf8ToCp1250(args.Option("karty")));
  TOrder order;
  RunOrderImport(order, Utf8ToCp1250(args.Positional[0]), CardByEANIn(*list), ReadImportPatterns(loaded.Store),
                 args.Has("stop-on-error"), out, err);
  return 0;
}

int DeliveryCheck(const CliArgs& args, std::ostream& out, std::ostream& err) {
  RequirePositional(args, 1);
  const TDateTime date = CommandDate(args.Positional[0]);
  const TDateTime today = args.Has("today") ? CommandDate(args.Option("today")) : Today();
  const TCommandSettings loaded = LoadCommandSettings(args, err, HeadlessLoadOptions());
  RunDeliveryCheck(date, today, TDeliveryRules::FromSettings(loaded.Settings), out);
  return 0;
}

} // namespace

void RunOrderExport(const TOrder& order, const TAppSettings& settings, const TSettingsStore& store,
                    const std::string& outPath, int fileType) {
  TColumnList columns;
  LoadColumnLayout(columns, store, kOrderColumnsSection, TContentModes{settings.NoPackages, settings.NoStock});
  static const Locale czech = Locale::Czech();
  TExportEnvironment env;
  env.Settings = &settings;
  env.OrderColumns = &columns;
  env.Cells = TCellEnvironment::FromSettings(settings);
  env.Cells.Conventions = &czech;
  const TExportFormat format = ExportFormatFor(settings, fileType);
  Export(order, outPath, format.Delimiter, format.DecimalSeparator, env);
}

int ImportTypeOf(const std::string& source) {
  const size_t dot = source.rfind('.');
  const bool dbf = dot != std::string::npos && AnsiUpperCase(source.substr(dot)) == ".DBF";
  return dbf ? kImportDBase : kImportText;
}

void RunOrderImport(TOrder& order, const std::string& source, const TCardByEAN& cards, const TImportPatterns& patterns,
                    bool stopOnError, std::ostream& out, std::ostream& err) {
  order.FileName = source;
  TCommandImportProblems problems(err, stopOnError);
  try {
    Import(order, source, ImportTypeOf(source), cards, patterns, problems);
  } catch (...) {
    PrintOrderLines(order, out);
    throw;
  }
  PrintOrderLines(order, out);
}

void RunDeliveryCheck(TDateTime date, TDateTime today, const TDeliveryRules& rules, std::ostream& out) {
  const std::string error = DeliveryDateError(date, today, rules, Locale::Czech());
  out << (error.empty() ? std::string("ok") : Cp1250ToUtf8(error)) << '\n';
  out << "quick\t" << (QuickDeliveryCheck(date, today, rules) ? 1 : 0) << '\n';
}

void AddOrderTransferCommands(std::vector<CliCommand>& commands) {
  commands.push_back({{"order", "export"},
                      "order export [--program NAME] [--karty FILE] FILE (--txt OUT | --xls OUT)",
                      {"program", "karty", "txt", "xls"},
                      {},
                      OrderExport});
  commands.push_back({{"order", "import"},
                      "order import [--program NAME] [--karty FILE] [--stop-on-error] SOURCE",
                      {"program", "karty"},
                      {"stop-on-error"},
                      OrderImport});
  commands.push_back({{"delivery", "check"},
                      "delivery check [--program NAME] [--today DATE] DATE",
                      {"program", "today"},
                      {},
                      DeliveryCheck});
}
