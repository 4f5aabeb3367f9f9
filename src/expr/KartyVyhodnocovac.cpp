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

// The card field a variable reads (the code for the order's quantities, which are looked up by
// it). Only the address is taken: the card is not read.
const void* FieldOf(const TPriceListItem& c, std::int32_t id) {
  switch (id) {
  case 1:
  case 2:
  case 3:
    return &c.Kod;
  case 4:
    return &c.Nazev;
  case 5:
  case 30:
    return &c.Cena;
  case 6:
    return &c.CenaSDPH;
  case 7:
    return &c.Baleni;
  case 8:
    return &c.VeVrstve;
  case 9:
    return &c.NaPalete;
  case 10:
    return &c.SazbaDPH;
  case 11:
    return &c.Jednotka;
  case 12:
    return &c.TYPKARTY;
  case 13:
    return &c.EAN;
  case 14:
    return &c.SKUPINA1;
  case 15:
    return &c.SKUPINA2;
  case 16:
    return &c.SKUPINA3;
  case 17:
    return &c.HMOTNOST;
  case 18:
    return &c.ZARUKA;
  case 19:
    return &c.KODLAHEV;
  case 20:
    return &c.CENALAHEV;
  case 21:
    return &c.KODPREPR;
  case 22:
    return &c.CENAPREPR;
  case 23:
    return &c.DATUMZMENY;
  case 24:
    return &c.ZASOBA;
  case 25:
    return &c.POZNAMKA;
  case 26:
    return &c.CISLOSHODA;
  case 27:
    return &c.POPISSKP1;
  case 28:
    return &c.POPISSKP2;
  case 29:
    return &c.POPISSKP3;
  case 31:
    return &c.SKLMJ;
  case 32:
    return &c.NAKUPCENA;
  case 33:
    return &c.OBRAZEK;
  case 34:
    return &c.DOSTUPNOST;
  case 35:
    return &c.KLICSLOVA;
  case 36:
    return &c.DODAVATEL;
  case 37:
    return &c.VYROBCE;
  case 38:
    return &c.NSKUPINA2;
  case 39:
    return &c.PRIZNAKY;
  case 40:
    return &c.OBJPOCETB;
  case 41:
    return &c.DopCena;
  case 42:
    return &c.DopCenaDPH;
  default:
    return &c;
  }
}

// How far ahead Selects asks for a card's fields: the evaluations of the cards in between
// cover the memory's latency.
constexpr std::int32_t kPrefetchDistance = 16;

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

void TKartyVyhodnocovac::PrefetchCard(std::int32_t index) const {
  if (index < 0 || index >= FList->Count())
    return;
  const TPriceListItem& card = FList->Items(index);
  for (const std::int32_t id : FReadIds)
    __builtin_prefetch(FieldOf(card, id));
}

bool TKartyVyhodnocovac::Selects(std::int32_t index) {
  // The cards lie in the memory as the load left them, in no relation to the list order: a
  // card read without notice costs a wait on the memory for each of its fields, which is most
  // of the time of a selection. Asking early for the card a few places on overlaps the waits.
  PrefetchCard(index + kPrefetchDistance);
  Index = index;
  const TEvalResult result = Evaluate();
  return result.Code == 0 && result.Type == kExprNumber && !NearlyZero(NumValue);
}
