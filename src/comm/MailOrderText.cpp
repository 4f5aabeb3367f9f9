#include "comm/MailOrderText.h"

#include <array>

#include "core/AppSettings.h"
#include "core/DateFormat.h"
#include "core/Format.h"
#include "formats/CodePages.h"
#include "formats/Cp1250Utf8.h"
#include "orders/Order.h"

namespace {

// Day and month without leading zeros, whatever the user's date format is.
// An order without the date (0) shows an empty text, not the first day of the calendar.
std::string ShortCzechDate(TDateTime date) { return date == 0 ? "" : FormatDateTime("d\".\"m\".\"yyyy", date); }

} // namespace

std::string CzechDayName(TDateTime date) {
  static const std::array<std::string, 7> kNames = {Cz("Neděle"),  Cz("Pondělí"), Cz("Úterý"), Cz("Středa"),
                                                    Cz("Čtvrtek"), Cz("Pátek"),   Cz("Sobota")};
  return kNames[static_cast<size_t>(DayOfWeek(date) - 1) % 7];
}

std::string OrderSubject(const TOrder& order) {
  return Format("Objednavka zbozi na: %s %s", {AnsiLowerCase(RemoveDiacritics(CzechDayName(order.DeliveryDate))),
                                               ShortCzechDate(order.DeliveryDate)});
}

std::vector<std::string> OrderTextLines(const TOrder& order, const TAppSettings& settings) {
  std::vector<std::string> lines;
  lines.push_back(Format(Cz("Objednáváme u Vás zboží uvedené v příloze.\r\n\r\nPožadovaný termín dodání zboží : "
                            "%s\r\nNejpozdější možný termín dodání: %s\r\n\r\n"),
                         {ShortCzechDate(order.DeliveryDate), ShortCzechDate(order.LatestDeliveryDate)}));
  lines.insert(lines.end(), order.Note.begin(), order.Note.end());
  lines.emplace_back();
  const TCompanySettings& c = settings.Company;
  lines.push_back(Format(Cz("%s\r\n\r\n%s\r\n%s\r\n%s\r\n%s %s\r\nIČO: %s\r\nDIČ: %s\r\nTel: %s"),
                         {c.RespPerson, c.Name1, c.Name2, c.Address, c.PSC, c.City, c.ICO, c.DIC, c.Phone}));
  return lines;
}

std::string OrderText(const TOrder& order, const TAppSettings& settings) {
  std::string text;
  for (const std::string& line : OrderTextLines(order, settings))
    text += line + "\r\n";
  return text;
}

std::vector<std::string> SplitTextLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
  return lines;
}
