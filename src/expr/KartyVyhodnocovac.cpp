#include "expr/KartyVyhodnocovac.h"

#include <algorithm>
#include <array>

#include "catalogue/PriceList.h"
#include "core/Numbers.h"
#include "expr/ExprOperations.h"
#include "orders/OrderItem.h"
#include "ui/CellText.h"
#include "ui/CellValues.h"
#include "ui/ColumnInfos.h"

namespace {

struct TCardVariable {
  const char* Name;
  std::uint8_t Type;
};

constexpr std::uint8_t N = kExprNumber, T = kExprText;

// Id - 1 is the index here and the content ID of the grid column showing the same value.
constexpr std::array<TCardVariable, kCardVariableCount> kVariables = {{
    {"Objednano", N}, {"ObjBal", N},     {"Kod", T},       {"Nazev", T},      {"Cena", N},       {"CenaSDPH", N},
    {"Baleni", N},    {"VeVrstve", N},   {"NaPalete", N},  {"SazbaDPH", N},   {"Jednotka", T},   {"TYPKARTY", N},
    {"EAN", T},       {"SKUPINA1", T},   {"SKUPINA2", T},  {"SKUPINA3", T},   {"HMOTNOST", N},   {"ZARUKA", N},
    {"KODLAHEV", T},  {"CENALAHEV", N},  {"KODPREPR", T},  {"CENAPREPR", N},  {"DATUMZMENY", T}, {"ZASOBA", N},
    {"POZNAMKA", T},  {"CISLOSHODA", T}, {"POPISSKP1", T}, {"POPISSKP2", T},  {"POPISSKP3", T},  {"CenaBal", N},
    {"SKLMJ", T},     {"NAKUPCENA", N},  {"OBRAZEK", T},   {"DOSTUPNOST", T}, {"KlicSlova", T},  {"Dodavatel", T},
    {"Vyrobce", T},   {"NSkupina2", T},  {"Priznaky", N},  {"ObjPocetB", N},
}};

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperAscii(a[i]) != UpperAscii(b[i]))
      return false;
  return true;
}

// Where a variable's value lies in the card, for reading it from every card in a tight loop:
// one of the three members, an amount when the currency divides it. The ordered quantities,
// the date (formatted) and the package price (computed) have none.
struct TFieldAccess {
  double TPriceListItem::*Real = nullptr;
  int TPriceListItem::*Whole = nullptr;
  std::string TPriceListItem::*Text = nullptr;
  bool Amount = false;
};

TFieldAccess AccessOf(std::int32_t id) {
  using C = TPriceListItem;
  TFieldAccess a;
  switch (id) {
  case 3:
    a.Text = &C::Kod;
    break;
  case 4:
    a.Text = &C::Nazev;
    break;
  case 5:
    a.Real = &C::Cena;
    a.Amount = true;
    break;
  case 6:
    a.Real = &C::CenaSDPH;
    a.Amount = true;
    break;
  case 7:
    a.Real = &C::Baleni;
    break;
  case 8:
    a.Whole = &C::VeVrstve;
    break;
  case 9:
    a.Whole = &C::NaPalete;
    break;
  case 10:
    a.Real = &C::SazbaDPH;
    break;
  case 11:
    a.Text = &C::Jednotka;
    break;
  case 12:
    a.Whole = &C::TYPKARTY;
    break;
  case 13:
    a.Text = &C::EAN;
    break;
  case 14:
    a.Text = &C::SKUPINA1;
    break;
  case 15:
    a.Text = &C::SKUPINA2;
    break;
  case 16:
    a.Text = &C::SKUPINA3;
    break;
  case 17:
    a.Real = &C::HMOTNOST;
    break;
  case 18:
    a.Whole = &C::ZARUKA;
    break;
  case 19:
    a.Text = &C::KODLAHEV;
    break;
  case 20:
    a.Real = &C::CENALAHEV;
    a.Amount = true;
    break;
  case 21:
    a.Text = &C::KODPREPR;
    break;
  case 22:
    a.Real = &C::CENAPREPR;
    a.Amount = true;
    break;
  case 24:
    a.Real = &C::ZASOBA;
    break;
  case 25:
    a.Text = &C::POZNAMKA;
    break;
  case 26:
    a.Text = &C::CISLOSHODA;
    break;
  case 27:
    a.Text = &C::POPISSKP1;
    break;
  case 28:
    a.Text = &C::POPISSKP2;
    break;
  case 29:
    a.Text = &C::POPISSKP3;
    break;
  case 31:
    a.Text = &C::SKLMJ;
    break;
  case 32:
    a.Real = &C::NAKUPCENA;
    a.Amount = true;
    break;
  case 33:
    a.Text = &C::OBRAZEK;
    break;
  case 34:
    a.Text = &C::DOSTUPNOST;
    break;
  case 35:
    a.Text = &C::KLICSLOVA;
    break;
  case 36:
    a.Text = &C::DODAVATEL;
    break;
  case 37:
    a.Text = &C::VYROBCE;
    break;
  case 38:
    a.Text = &C::NSKUPINA2;
    break;
  case 39:
    a.Whole = &C::PRIZNAKY;
    break;
  case 40:
    a.Real = &C::OBJPOCETB;
    break;
  case 41:
    a.Real = &C::DopCena;
    a.Amount = true;
    break;
  case 42:
    a.Real = &C::DopCenaDPH;
    a.Amount = true;
    break;
  default:
    break;
  }
  return a;
}

} // namespace

std::string_view CardVariableName(std::int32_t id) {
  return id >= 1 && id <= kCardVariableCount ? kVariables[static_cast<size_t>(id - 1)].Name : "";
}

std::uint8_t CardVariableType(std::int32_t id) {
  if (id >= 1 && id <= kCardVariableCount)
    return kVariables[static_cast<size_t>(id - 1)].Type;
  return id == 41 || id == 42 ? kExprNumber : kExprText; // the two extra amount columns
}

std::int32_t FindCardVariable(std::string_view name) {
  if (name.empty())
    return 0;
  for (std::int32_t id = 1; id <= kCardVariableCount; ++id)
    if (SameName(name, kVariables[static_cast<size_t>(id - 1)].Name))
      return id;
  return 0;
}

std::int32_t TKartyVyhodnocovac::FindVariable(std::string_view name) { return FindCardVariable(name); }

bool TKartyVyhodnocovac::ReadVariable(std::int32_t id, std::uint8_t& type) {
  if (id < 1 || id > 42 || Index < 0 || Index >= FList->Count())
    return false;
  const TSelectionColumn* column = FColumnOf[static_cast<size_t>(id)];
  if (column && FSelectionCount == FList->Count()) {
    const auto at = static_cast<size_t>(Index);
    type = column->Type;
    if (type == kExprText) {
      StrValue.assign(column->Bytes, column->Offsets[at], column->Offsets[at + 1] - column->Offsets[at]);
    } else {
      StrValue.clear();
      NumValue = column->Numbers[at];
    }
    return true;
  }
  const TPriceListItem& card = FList->Items(Index);
  const int content = id - 1;
  // Text fields are copied as they stand and numbers read without formatting; only the date
  // is formatted.
  std::string_view field;
  if (CardTextField(card, content, false, field)) {
    StrValue.assign(field);
    type = kExprText;
    return true;
  }
  const TOrderItem* line = IsOrderEntryContent(content) ? FEnv->LineOf(card.Kod) : nullptr;
  type = CardVariableType(id);
  if (type == kExprText || NumberTexts) {
    const TCellValue cell = ContentText(&card, line, content, false, *FEnv);
    StrValue = cell.Text;
    if (type == kExprNumber)
      NumValue = cell.Value;
    return true;
  }
  StrValue.clear();
  double value = 0;
  if (line)
    LineNumber(*line, content, value);
  else
    CardNumber(card, content, *FEnv, value);
  NumValue = value;
  return true;
}

std::uint8_t TKartyVyhodnocovac::Compile(std::string_view expression) {
  EndSelection();
  FReadIds.clear();
  const std::uint8_t result = TVyhodnocovac::Compile(expression);
  if (result != 0)
    return result;
  // The pushes carry their operands inline: a variable id (4 bytes), a number (8 bytes) or a
  // text (a length byte and the text); every other row stands alone.
  const std::vector<std::uint8_t>& code = Code();
  for (size_t pc = 0; pc < code.size();) {
    const std::uint8_t row = code[pc++];
    if (row == kRowPushVariable && code.size() - pc >= 4) {
      std::uint32_t id = 0;
      for (size_t i = 0; i < 4; ++i)
        id |= static_cast<std::uint32_t>(code[pc + i]) << (8 * i);
      if (std::find(FReadIds.begin(), FReadIds.end(), static_cast<std::int32_t>(id)) == FReadIds.end())
        FReadIds.push_back(static_cast<std::int32_t>(id));
      pc += 4;
    } else if (row == kRowPushNumber) {
      pc += 8;
    } else if (row == kRowPushText && pc < code.size()) {
      pc += 1 + code[pc];
    }
  }
  return result;
}

void TKartyVyhodnocovac::BeginSelection() {
  EndSelection();
  const auto count = static_cast<size_t>(FList->Count());
  const bool divide = FEnv->ForeignCurrency;
  const double rate = FEnv->ExRate;
  for (const std::int32_t id : FReadIds) {
    if (id < 1 || id > 42)
      continue;
    const TFieldAccess access = AccessOf(id);
    if (!access.Real && !access.Whole && !(access.Text && CardVariableType(id) == kExprText))
      continue;
    if (CardVariableType(id) == kExprNumber && NumberTexts)
      continue;
    // One variable at a time, each a loop of a few instructions per card: the processor then
    // has many cards' reads under way at once.
    TSelectionColumn& column = FColumns.emplace_back();
    column.Id = id;
    if (access.Text) {
      column.Type = kExprText;
      // Where each text lies first (the cards' lines come in together), then the copies.
      std::vector<std::string_view> texts(count);
      size_t total = 0;
      for (size_t i = 0; i < count; ++i) {
        texts[i] = FList->Items(static_cast<int>(i)).*access.Text;
        total += texts[i].size();
      }
      column.Bytes.reserve(total);
      column.Offsets.reserve(count + 1);
      for (const std::string_view text : texts) {
        column.Offsets.push_back(static_cast<std::uint32_t>(column.Bytes.size()));
        column.Bytes += text;
      }
      column.Offsets.push_back(static_cast<std::uint32_t>(column.Bytes.size()));
    } else {
      column.Type = kExprNumber;
      column.Numbers.resize(count);
      for (size_t i = 0; i < count; ++i) {
        const TPriceListItem& card = FList->Items(static_cast<int>(i));
        column.Numbers[i] = access.Real ? card.*access.Real : card.*access.Whole;
      }
      if (access.Amount && divide)
        for (double& value : column.Numbers)
          value /= rate;
    }
  }
  for (const TSelectionColumn& column : FColumns)
    FColumnOf[static_cast<size_t>(column.Id)] = &column;
  FSelectionCount = static_cast<int>(count);
}

void TKartyVyhodnocovac::EndSelection() {
  FSelectionCount = -1;
  FColumnOf.fill(nullptr);
  FColumns.clear();
}

bool TKartyVyhodnocovac::Selects(std::int32_t index) {
  Index = index;
  const TEvalResult result = Evaluate();
  return result.Code == 0 && result.Type == kExprNumber && !NearlyZero(NumValue);
}
