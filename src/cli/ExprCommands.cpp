// expr: expressions compiled and evaluated with the card evaluator, one after another.
// groups: the goods-group tree as the program builds it after loading the price list.
// groups select: the cards that choosing a group leaves in the price-list grid.

#include <memory>
#include <ostream>

#include "catalogue/Groups.h"
#include "catalogue/PriceList.h"
#include "cli/CliSupport.h"
#include "cli/CommandSettings.h"
#include "core/AppSettings.h"
#include "core/Errors.h"
#include "core/Format.h"
#include "core/Locale.h"
#include "core/ReportMessage.h"
#include "expr/ExprNumberText.h"
#include "expr/KartyVyhodnocovac.h"
#include "formats/Cp1250Utf8.h"
#include "orders/Order.h"
#include "orders/OrderFile.h"
#include "ui/CellText.h"

namespace {

// Fills the order of --order from an order file as Open reads it; its questions and problem
// message go to err.
void ReadExprOrder(TOrder& order, const std::string& fileName, const TCardLookup& cards, std::ostream& err) {
  static const Locale czech = Locale::Czech();
  TStreamMessageSink sink(err);
  TOrderFileOptions options;
  options.Cards = cards;
  options.Messages = &sink;
  options.Conventions = &czech;
  ReadOrderFile(order, fileName, options);
}

// What the commands evaluate against: the settings, the price list (empty without one) and
// the cell environment with the Czech conventions and the order's lines.
struct TExprCatalogue {
  TAppSettings Settings;
  std::shared_ptr<TPriceList> List = std::make_shared<TPriceList>();
  TOrder Order;
  Locale Czech = Locale::Czech();
  TCellEnvironment Env;

  void Load(const CliArgs& args, std::ostream& err) {
    Settings = LoadCommandSettings(args, err, HeadlessLoadOptions()).Settings;
    List = LoadCommandPriceList(Settings, Utf8ToCp1250(args.Option("karty")));
    Env = TCellEnvironment::FromSettings(Settings);
    Env.Conventions = &Czech;
    Env.FindOrderLine = [this](const std::string& code) -> const TOrderItem* {
      const int line = Order.FindLine(code);
      return line < 0 ? nullptr : &Order.Line(line);
    };
  }
};

// "compile CODE", "error CODE", "number NUMBER" or "text TEXT" (escaped UTF-8).
std::string ExprLine(TKartyVyhodnocovac& evaluator, const std::string& expression) {
  const std::uint8_t compiled = evaluator.Compile(expression);
  if (compiled != 0)
    return "compile\t" + std::to_string(compiled);
  const TEvalResult result = evaluator.Evaluate();
  if (result.Code != 0)
    return "error\t" + std::to_string(result.Code);
  if (result.Type == kExprNumber)
    return "number\t" + NumberToText(evaluator.NumValue);
  return "text\t" + EscapeField(Cp1250ToUtf8(evaluator.StrValue));
}

int Expr(const CliArgs& args, std::ostream& out, std::ostream& err) {
  if (args.Positional.empty())
    throw UsageError("expr needs at least one expression");
  if (args.Has("karty") && !args.Has("card"))
    throw UsageError("--karty needs --card");
  TExprCatalogue catalogue;
  int index = -1; // no current card: a card variable fails to read (code 20)
  if (args.Has("card")) {
    catalogue.Load(args, err);
    const std::string code = Utf8ToCp1250(args.Option("card"));
    index = catalogue.List->IndexOfCode(code);
    if (index < 0)
      throw Exception(Format(Cz("Karta %s nebyla v ceníku nalezena."), {code}));
  }
  if (args.Has("order")) {
    const std::shared_ptr<TPriceList> list = catalogue.List;
    ReadExprOrder(
        catalogue.Order, Utf8ToCp1250(args.Option("order")),
        [list](const std::string& code) {
          const int found = list->IndexOfCode(code);
          return found < 0 ? nullptr : &list->Items(found);
        },
        err);
  }
  // One evaluator per expression, all in this process: what SETVAR stores, a later GETVAR reads.
  for (const std::string& expression : args.Positional) {
    TKartyVyhodnocovac evaluator(*catalogue.List, catalogue.Env);
    evaluator.Index = index;
    out << ExprLine(evaluator, Utf8ToCp1250(expression)) << "\n";
  }
  return 0;
}

// The settings, the price list and the groups built over them, as the desktop program has
// them after a load; --okruhy replaces the settings' "Groups".
struct TGroupsCatalogue : TExprCatalogue {
  TGoodsGroups Groups;

  void Load(const CliArgs& args, std::ostream& err) {
    TExprCatalogue::Load(args, err);
    if (args.Has("okruhy"))
      Settings.Groups = Utf8ToCp1250(args.Option("okruhy"));
    Groups.LoadOrThrow(Settings, *List, Env);
  }
};

std::string Field(std::string text) {
  for (char& c : text)
    if (c == '\t')
      c = '+';
  return EscapeField(Cp1250ToUtf8(text));
}

int Groups(const CliArgs& args, std::ostream& out, std::ostream& err) {
  RequirePositional(args, 0);
  TGroupsCatalogue catalogue;
  catalogue.Load(args, err);
  const TGoodsGroups& groups = catalogue.Groups;
  for (const int id : groups.TreeOrder()) {
    int depth = 0;
    for (int parent = groups.Node(id).Parent; parent >= 0; parent = groups.Node(parent).Parent)
      ++depth;
    const TTreeData& data = *groups.Node(id).Data;
    out << depth << '\t' << Field(groups.Node(id).Caption) << '\t' << Field(data.Code) << '\t'
        << (data.Evaluator ? Field(data.Evaluator->Source()) : "-") << '\n';
  }
  out << "tabs";
  for (const TGroupTab& tab : groups.Tabs())
    out << '\t' << Field(tab.Caption);
  out << '\n';
  return 0;
}

int GroupsSelect(const CliArgs& args, std::ostream& out, std::ostream& err) {
  RequirePositional(args, 1);
  const std::string& text = args.Positional[0];
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    throw UsageError("N must be a node number");
  const size_t n = std::stoul(text);
  TGroupsCatalogue catalogue;
  catalogue.Load(args, err);
  const std::vector<int> order = catalogue.Groups.TreeOrder();
  if (n >= order.size())
    throw UsageError("there are " + std::to_string(order.size()) + " nodes");
  catalogue.Groups.ChooseNode(order[n], *catalogue.List);
  // The grid's rows: when the group matched nothing, the list keeps the filter it had, and so
  // after a fresh load every card.
  const TPriceList& list = *catalogue.List;
  for (int row = 0; row < list.VisibleCount(); ++row)
    out << EscapeField(Cp1250ToUtf8(list.Items(list.VisibleIndexToIndex(row)).Kod)) << '\n';
  return 0;
}

} // namespace

void AddExprCommands(std::vector<CliCommand>& commands) {
  commands.push_back({{"expr"},
                      "expr [--program NAME] [--karty FILE --card CODE] [--order FILE] EXPRESSION...",
                      {"program", "karty", "card", "order"},
                      {},
                      Expr});
  commands.push_back({{"groups"},
                      "groups [--program NAME] [--karty FILE] [--okruhy FILE]",
                      {"program", "karty", "okruhy"},
                      {},
                      Groups});
  commands.push_back({{"groups", "select"},
                      "groups select [--program NAME] [--karty FILE] [--okruhy FILE] N",
                      {"program", "karty", "okruhy"},
                      {},
                      GroupsSelect});
}
