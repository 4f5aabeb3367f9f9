// order enter: quantities typed into the price-list grid, without the grid, and the order
// file written from them. order show: an order file read as Open reads it.

#include "cli/OrderCommands.h"

#include "cli/CommandSettings.h"

#include <filesystem>
#include <stdexcept>

#include "core/AppSettings.h"
#include "core/DateFormat.h"
#include "core/Format.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/ReportMessage.h"
#include "core/SettingsStore.h"
#include "formats/Cp1250Utf8.h"
#include "orders/OrderCommands.h"
#include "orders/OrderFile.h"
#include "ui/CellText.h"
#include "ui/ColumnLayouts.h"

namespace {

// CR and LF as \r and \n, so that a message keeps to one output line.
std::string OneLine(const std::string& utf8) {
  std::string text;
  for (char c : utf8) {
    if (c == '\r')
      text += "\\r";
    else if (c == '\n')
      text += "\\n";
    else
      text += c;
  }
  return text;
}

std::runtime_error InputError(int lineNumber, const std::string& what) {
  return std::runtime_error("line " + std::to_string(lineNumber) + ": " + what);
}

} // namespace

void PrintOrderLines(const TOrder& order, std::ostream& out) {
  const Locale dot = DotLocale();
  for (int i = 0; i < order.Count(); ++i) {
    const TOrderItem& item = order.Line(i);
    out << "line\t" << EscapeField(Cp1250ToUtf8(item.Code)) << '\t' << FloatToStrGeneral(item.Quantity, dot) << '\t'
        << FloatToStrGeneral(item.Packages, dot) << '\n';
  }
}

void RunOrderEnter(TOrder& order, const TCardLookup& cards, const TQuantityRules& rules, std::istream& in,
                   std::ostream& out) {
  int lineNumber = 0;
  for (std::string line; std::getline(in, line);) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    const size_t first = line.find('\t');
    const size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
    if (second == std::string::npos)
      throw InputError(lineNumber, "expected CODE<TAB>COLUMN<TAB>TEXT");
    const std::string column = line.substr(first + 1, second - first - 1);
    if (column != "0" && column != "1")
      throw InputError(lineNumber, "COLUMN must be 0 or 1, not \"" + column + "\"");
    const std::string code = Utf8ToCp1250(line.substr(0, first));
    TPriceListItem* card = cards ? cards(code) : nullptr;
    if (!card)
      throw InputError(lineNumber, "no card with the code \"" + line.substr(0, first) + "\"");
    const std::string message =
        order.EnterQuantity(*card, column == "0" ? TQuantityColumn::Units : TQuantityColumn::Packages,
                            Utf8ToCp1250(line.substr(second + 1)), rules);
    out << OneLine(Cp1250ToUtf8(message)) << '\n';
  }
  PrintOrderLines(order, out);
  const Locale dot = DotLocale();
  out << "totals\t" << FloatToStrFixed(order.TotalNoVat, 2, dot) << '\t' << FloatToStrFixed(order.TotalWithVat, 2, dot)
      << '\t' << FloatToStrFixed(order.PackagingTotal, 2, dot) << '\n';
}

namespace {

// Shows each question on one line of err and answers Yes/OK, or as a user who cannot be
// asked (No/Cancel) with --no.
class TAnsweringSink : public IMessageSink {
public:
  TAnsweringSink(std::ostream& err, bool yes) : FErr(err), FYes(yes) {}
  TMsgResult Show(const std::string& text, const std::string& caption, TMsgFlags flags) override {
    FErr << (caption.empty() ? "" : Cp1250ToUtf8(caption) + ": ") << OneLine(Cp1250ToUtf8(text)) << '\n';
    if (!FYes || flags.Buttons == TMsgButtons::OK)
      return HeadlessAnswer(flags.Buttons);
    return flags.Buttons == TMsgButtons::OKCancel ? TMsgResult::OK : TMsgResult::Yes;
  }

private:
  std::ostream& FErr;
  bool FYes;
};

// The program's log as the desktop program writes it.
void OpenCommandLog(const TAppSettings& settings) {
  ProgramLog().SetFileName(settings.LOGfile);
  ProgramLog().SetEnabled(settings.LOGEnabled);
}

std::string StampField(TDateTime value, const char* pattern) {
  return value == 0 ? std::string() : FormatDateTime(pattern, value, Locale::Czech());
}

} // namespace

bool ReadCommandOrder(TOrder& order, const std::string& path, const std::string& kartyFile, TCommandSettings& loaded,
                      const TCommandCardSource& source, std::ostream& err) {
  TAppSettings& settings = loaded.Settings;
  OpenCommandLog(settings);
  // Open links the lines to the loaded price list; a machine without one links none.
  TCommandCards cards;
  std::error_code error;
  if (!kartyFile.empty() || std::filesystem::exists(NativeFileName(settings.PriceList), error))
    cards = source(kartyFile, settings);

  TColumnList columns;
  LoadColumnLayout(columns, loaded.Store, kOrderColumnsSection, TContentModes{settings.NoPackages, settings.NoStock});
  TCellEnvironment env = TCellEnvironment::FromSettings(settings);
  const Locale czech = Locale::Czech();
  env.Conventions = &czech;

  TStreamMessageSink sink(err);
  TOrderFileOptions options;
  options.Cards = cards.Lookup;
  options.SortLines = [&](TOrder& read) { SortOrderLines(read, columns, env); };
  options.Messages = &sink;
  options.Conventions = &czech;
  return ReadOrderFile(order, path, options);
}

void AddOrderCommands(std::vector<CliCommand>& commands, TCommandCardSource source, std::istream& in) {
  auto enter = [source, &in](const CliArgs& args, std::ostream& out, std::ostream& err) {
    if (!args.Positional.empty())
      throw UsageError("order enter takes no arguments");
    if (args.Has("for-sending") && !args.Has("save"))
      throw UsageError("--for-sending needs --save");
    const TDateTime delivery = args.Has("delivery") ? CommandDate(args.Option("delivery")) : 0;
    const TDateTime latest = args.Has("latest") ? CommandDate(args.Option("latest")) : 0;
    TCommandSettings loaded = LoadCommandSettings(args, err, HeadlessLoadOptions());
    TAppSettings& settings = loaded.Settings;
    const TCommandCards cards = source(Utf8ToCp1250(args.Option("karty")), settings);
    settings.PriceListVerified = cards.PriceListVerified;
    TOrder order;
    RunOrderEnter(order, cards.Lookup, QuantityRulesFrom(settings), in, out);
    if (args.Has("delivery"))
      order.DeliveryDate = delivery;
    if (args.Has("latest"))
      order.LatestDeliveryDate = latest;
    for (const std::string& memo : args.OptionValues("memo"))
      order.Note.push_back(Utf8ToCp1250(memo));
    if (!args.Has("save"))
      return 0;

    OpenCommandLog(settings);
    TAnsweringSink sink(err, !args.Has("no"));
    TOrderFileOptions options;
    options.Messages = &sink;
    const Locale czech = Locale::Czech();
    options.Conventions = &czech;
    const bool forSending = args.Has("for-sending");
    if (!SaveOrderFile(order, Utf8ToCp1250(args.Option("save")), forSending, forSending, settings, options)) {
      err << "not saved: a question was declined\n";
      return 1;
    }
    return 0;
  };
  commands.push_back({{"order", "enter"},
                      "order enter [--program NAME] [--karty FILE] [--delivery DATE] [--latest DATE] [--memo TEXT]... "
                      "[--save FILE [--for-sending]] [--no]",
                      {"program", "karty", "delivery", "latest", "memo", "save"},
                      {"for-sending", "no"},
                      enter});

  auto show = [source](const CliArgs& args, std::ostream& out, std::ostream& err) {
    RequirePositional(args, 1);
    TCommandSettings loaded = LoadCommandSettings(args, err, HeadlessLoadOptions());
    TOrder order;
    const bool problem = ReadCommandOrder(order, Utf8ToCp1250(args.Positional[0]), Utf8ToCp1250(args.Option("karty")),
                                          loaded, source, err);

    out << "Created\t" << StampField(order.Created, "dd.mm.yyyy hh:nn") << '\n';
    out << "Changed\t" << StampField(order.Changed, "dd.mm.yyyy hh:nn") << '\n';
    out << "DeliveryDate\t" << StampField(order.DeliveryDate, "dd.mm.yyyy") << '\n';
    out << "LatestDeliveryDate\t" << StampField(order.LatestDeliveryDate, "dd.mm.yyyy") << '\n';
    out << "Sent\t" << StampField(order.Sent, "dd.mm.yyyy hh:nn") << '\n';
    out << "OrderID\t" << EscapeField(Cp1250ToUtf8(order.OrderID)) << '\n';
    PrintOrderLines(order, out);
    for (const std::string& line : order.Note)
      out << "memo\t" << EscapeField(Cp1250ToUtf8(line)) << '\n';
    out << "problem\t" << (problem ? 1 : 0) << '\n';
    return 0;
  };
  commands.push_back(
      {{"order", "show"}, "order show [--program NAME] [--karty FILE] FILE", {"program", "karty"}, {}, show});
}
