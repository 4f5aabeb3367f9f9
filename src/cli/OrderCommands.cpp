// order enter: quantities typed into the price-list grid, without the grid.

#include "cli/OrderCommands.h"

#include "cli/CommandSettings.h"

#include <stdexcept>

#include "core/AppSettings.h"
#include "core/Format.h"
#include "core/SettingsStore.h"
#include "formats/Cp1250Utf8.h"

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

Locale DotLocale() {
  Locale locale = Locale::Czech();
  locale.DecimalSeparator = '.';
  return locale;
}

std::runtime_error InputError(int lineNumber, const std::string& what) {
  return std::runtime_error("line " + std::to_string(lineNumber) + ": " + what);
}

} // namespace

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
  const Locale dot = DotLocale();
  for (int i = 0; i < order.Count(); ++i) {
    const TOrderItem& item = order.Line(i);
    out << "line\t" << EscapeField(Cp1250ToUtf8(item.Code)) << '\t' << FloatToStrGeneral(item.Quantity, dot) << '\t'
        << FloatToStrGeneral(item.Packages, dot) << '\n';
  }
  out << "totals\t" << FloatToStrFixed(order.TotalNoVat, 2, dot) << '\t' << FloatToStrFixed(order.TotalWithVat, 2, dot)
      << '\t' << FloatToStrFixed(order.PackagingTotal, 2, dot) << '\n';
}

void AddOrderCommands(std::vector<CliCommand>& commands, TCommandCardSource source, std::istream& in) {
  auto enter = [source = std::move(source), &in](const CliArgs& args, std::ostream& out, std::ostream& err) {
    if (!args.Positional.empty())
      throw UsageError("order enter takes no arguments");
    const TCommandSettings loaded = LoadCommandSettings(args, err, HeadlessLoadOptions());
    const TAppSettings& settings = loaded.Settings;
    const TCommandCards cards = source(Utf8ToCp1250(args.Option("karty")), settings);
    TOrder order;
    RunOrderEnter(order, cards.Lookup, QuantityRulesFrom(settings), in, out);
    return 0;
  };
  commands.push_back(
      {{"order", "enter"}, "order enter [--program NAME] [--karty FILE]", {"program", "karty"}, {}, enter});
}
