#include "ui/CellText.h"

#include <cmath>
#include <string_view>

#include "catalogue/PriceListItem.h"
#include "core/AppSettings.h"
#include "core/DateFormat.h"
#include "core/Format.h"
#include "core/Numbers.h"
#include "orders/OrderItem.h"
#include "ui/CellValues.h"
#include "ui/ColumnInfos.h"

namespace {

enum class TFormat { None, Text, Integer, Number, Percent, Date, Amount };

TFormat FormatOf(int id) {
  switch (id) {
  case 2:
  case 3:
  case 10:
  case 12:
  case 13:
  case 14:
  case 15:
  case 18:
  case 20:
  case 24:
  case 25:
  case 26:
  case 27:
  case 28:
  case 30:
  case 32:
  case 33:
  case 34:
  case 35:
  case 36:
  case 37:
    return TFormat::Text;
  case 7:
  case 8:
  case 11:
  case 17:
  case 38:
    return TFormat::Integer;
  case 6:
  case 16:
  case 23:
  case 39:
    return TFormat::Number;
  case 9:
    return TFormat::Percent;
  case 22:
    return TFormat::Date;
  case 4:
  case 5:
  case 19:
  case 21:
  case 29:
  case 31:
  case 40:
  case 41:
    return TFormat::Amount;
  default:
    return TFormat::None;
  }
}

} // namespace

bool CardTextField(const TPriceListItem& c, int id, bool useNameKey, std::string_view& text) {
  switch (id) {
  case 2:
    text = c.Kod;
    return true;
  case 3:
    text = useNameKey ? c.SearchName : c.Nazev;
    return true;
  case 10:
    text = c.Jednotka;
    return true;
  case 12:
    text = c.EAN;
    return true;
  case 13:
    text = c.SKUPINA1;
    return true;
  case 14:
    text = c.SKUPINA2;
    return true;
  case 15:
    text = c.SKUPINA3;
    return true;
  case 18:
    text = c.KODLAHEV;
    return true;
  case 20:
    text = c.KODPREPR;
    return true;
  case 24:
    text = c.POZNAMKA;
    return true;
  case 25:
    text = c.CISLOSHODA;
    return true;
  case 26:
    text = c.POPISSKP1;
    return true;
  case 27:
    text = c.POPISSKP2;
    return true;
  case 28:
    text = c.POPISSKP3;
    return true;
  case 30:
    text = c.SKLMJ;
    return true;
  case 32:
    text = c.OBRAZEK;
    return true;
  case 33:
    text = c.DOSTUPNOST;
    return true;
  case 34:
    text = c.KLICSLOVA;
    return true;
  case 35:
    text = c.DODAVATEL;
    return true;
  case 36:
    text = c.VYROBCE;
    return true;
  case 37:
    text = c.NSKUPINA2;
    return true;
  default:
    return false;
  }
}

double PackagePrice(const TPriceListItem& card) {
  if (card.Baleni <= 0.0001 || card.Baleni == 1)
    return card.Cena;
  return RoundToFactor(card.Baleni * card.Cena, 100);
}

bool CardNumber(const TPriceListItem& c, int id, const TCellEnvironment& env, double& value) {
  switch (id) {
  case 7:
    value = c.VeVrstve;
    return true;
  case 8:
    value = c.NaPalete;
    return true;
  case 11:
    value = c.TYPKARTY;
    return true;
  case 17:
    value = c.ZARUKA;
    return true;
  case 38:
    value = c.PRIZNAKY;
    return true;
  case 6:
    value = c.Baleni;
    return true;
  case 16:
    value = c.HMOTNOST;
    return true;
  case 23:
    value = c.ZASOBA;
    return true;
  case 39:
    value = c.OBJPOCETB;
    return true;
  case 9:
    value = c.SazbaDPH;
    return true;
  case 4:
    value = c.Cena;
    break;
  case 5:
    value = c.CenaSDPH;
    break;
  case 19:
    value = c.CENALAHEV;
    break;
  case 21:
    value = c.CENAPREPR;
    break;
  case 31:
    value = c.NAKUPCENA;
    break;
  case 40:
    value = c.DopCena;
    break;
  case 41:
    value = c.DopCenaDPH;
    break;
  case 29:
    value = PackagePrice(c);
    break;
  default:
    return false;
  }
  if (env.ForeignCurrency)
    value /= env.ExRate;
  return true;
}

bool LineNumber(const TOrderItem& line, int id, double& value) {
  if (id == kOrderedQuantityID)
    value = line.Quantity;
  else if (id == kOrderedPackagesID)
    value = line.Packages;
  else
    return false;
  return true;
}

TCellEnvironment TCellEnvironment::FromSettings(const TAppSettings& settings) {
  TCellEnvironment env;
  env.ForeignCurrency = settings.ForeignCurrency;
  env.ExRate = settings.Company.ExRate;
  return env;
}

TCellValue ContentText(const TPriceListItem* card, const TOrderItem* line, int id, bool useNameKey,
                       const TCellEnvironment& env) {
  TCellValue cell;
  const Locale& loc = env.Loc();
  if (card) {
    std::string_view text;
    switch (FormatOf(id)) {
    case TFormat::Text:
      CardTextField(*card, id, useNameKey, text);
      cell.Text = text;
      break;
    case TFormat::Integer:
      CardNumber(*card, id, env, cell.Value);
      cell.Text = std::to_string(static_cast<long long>(cell.Value));
      break;
    case TFormat::Number:
    case TFormat::Percent:
      CardNumber(*card, id, env, cell.Value);
      cell.Text = FloatToStrGeneral(cell.Value, loc);
      if (id == 9)
        cell.Text += '%';
      break;
    case TFormat::Date:
      cell.Text = DateToStr(std::trunc(card->DATUMZMENY), loc);
      break;
    case TFormat::Amount:
      CardNumber(*card, id, env, cell.Value);
      cell.Text = Format("%8.2f", {cell.Value}, loc);
      break;
    case TFormat::None:
      break;
    }
  }
  if (line && LineNumber(*line, id, cell.Value))
    cell.Text = cell.Value == 0 ? std::string() : FloatToStrGeneral(cell.Value, loc);
  return cell;
}

std::string PriceListCellText(const TPriceListItem* card, int id, const TCellEnvironment& env) {
  if (!card)
    return {};
  const TOrderItem* line = IsOrderEntryContent(id) ? env.LineOf(card->Kod) : nullptr;
  return ContentText(card, line, id, false, env).Text;
}

std::string OrderCellText(const TOrderItem* line, int id, const TCellEnvironment& env) {
  if (!line)
    return {};
  if (id == kCodeID)
    return line->Code;
  return ContentText(line->Card, line, id, false, env).Text;
}

std::string OrderCellText(const std::vector<TOrderItem>& lines, int index, int id, const TCellEnvironment& env) {
  if (index < 0 || static_cast<size_t>(index) >= lines.size())
    return {};
  return OrderCellText(&lines[static_cast<size_t>(index)], id, env);
}
