#include "orders/OrderFile.h"

#include <cmath>

#include "core/AppSettings.h"
#include "core/DateFormat.h"
#include "core/Errors.h"
#include "core/Format.h"
#include "core/Log.h"
#include "core/Numbers.h"
#include "core/Paths.h"
#include "core/ReportMessage.h"
#include "core/Version.h"
#include "formats/Cp1250Utf8.h"
#include "formats/LzhIo.h"

IMessageSink& TOrderFileOptions::Sink() const { return Messages ? *Messages : MessageSink(); }

namespace {

constexpr const char* kCrLf = "\r\n";

// Stamps and dates up to this moment are written as empty values.
const TDateTime kEmptyUpTo = EncodeDate(2001, 1, 1);

std::string StampText(TDateTime value, const Locale& locale) {
  return value > kEmptyUpTo ? FormatDateTime("dd.mm.yyyy hh:nn", value, locale) : std::string();
}

std::string DateText(TDateTime value, const Locale& locale) {
  return value > kEmptyUpTo ? FormatDateTime("dd.mm.yyyy", value, locale) : std::string();
}

// Fewer whole hours between now and the price list's creation than "PriceListActualH".
bool PriceListIsCurrent(const TAppSettings& settings, TDateTime now, const Locale& locale) {
  TDateTime created = TextToDate(settings.Created());
  TDateTime time = 0;
  if (ReadOrderTime(settings.CreatedTime(), locale, time))
    created += time;
  // Whole milliseconds first, so that an exact number of hours is not cut to one less.
  const double ms = std::round(std::fabs(now - created) * 86400000.0);
  return std::floor(ms / 3600000.0) < settings.PriceListActualH;
}

void Line(std::string& text, std::string_view key, std::string_view value) {
  text += key;
  text += '=';
  text += value;
  text += kCrLf;
}

void GeneralSection(std::string& text, const TOrder& order, const std::string& path, bool prices,
                    const TAppSettings& settings, const Locale& locale) {
  text += "[General]\r\n";
  Line(text, "Created", StampText(order.Created, locale));
  Line(text, "Changed", StampText(order.Changed, locale));
  Line(text, "DeliveryDate", DateText(order.DeliveryDate, locale));
  Line(text, "LatestDeliveryDate", DateText(order.LatestDeliveryDate, locale));
  Line(text, "Sent", StampText(order.Sent, locale));
  Line(text, "FileName", path);
  Line(text, "OrderID", order.OrderID);
  Line(text, "PriceListCreatedDate", settings.Created());
  Line(text, "PriceListCreatedTime", settings.CreatedTime());
  Line(text, "OBXApp", Cz("T.V.X. Orvela Offline objednávky pro Windows"));
  Line(text, "OBXAppBuild",
       Format("%d.%d.%d.%d", {ObjVersionMajor, ObjVersionMinor, ObjVersionRelease, ObjVersionBuild}));
  if (settings.OrderEncrypt) {
    Line(text, "PriceEnabled", prices ? "1" : "0");
    Line(text, "PriceListID1", std::to_string(PriceListID1(settings.CreatedHash(), settings.CreatedTimeHash())));
  }
  Line(text, "PriceListID2", std::to_string(settings.ID2));
  const TCompanySettings& company = settings.Company;
  if (!company.Currency.empty()) {
    Line(text, "Currency", company.Currency);
    if (!NearlyZero(company.ExRate) && !NearlyEqual(company.ExRate, 1))
      Line(text, "ExRate", FloatToStrGeneral(company.ExRate, locale));
  }
}

void CompanySection(std::string& text, const TCompanySettings& company) {
  text += "\r\n[Company]\r\n";
  Line(text, "Name1", company.Name1);
  Line(text, "Name2", company.Name2);
  Line(text, "Address", company.Address);
  Line(text, "City", company.City);
  Line(text, "PSC", company.PSC);
  Line(text, "DIC", company.DIC);
  Line(text, "ICO", company.ICO);
  Line(text, "RespPerson", company.RespPerson);
  Line(text, "Phone", company.Phone);
  Line(text, "Fax", company.Fax);
  Line(text, "Mobile", company.Mobile);
  Line(text, "e-mail", company.EMail);
  if (!company.ContactEmail.empty())
    Line(text, "ContactEmail", company.ContactEmail);
}

// False when the user chose not to go on past a line without a card.
bool ItemsSection(std::string& text, const TOrder& order, bool prices, const Locale& locale, IMessageSink& sink) {
  text += "\r\n[OrderItems]\r\n";
  for (int i = 0; i < order.Count(); ++i) {
    const TOrderItem& item = order.Line(i);
    if (item.Quantity == 0 && item.Packages == 0)
      continue;
    if (!item.Card) {
      const std::string question =
          Format(Cz("Položka \"%s\" nebyla v ceníku nalezena\r\nPřejete si pokračovat ?"), {item.Code});
      if (sink.Show(question, "", {TMsgButtons::YesNo, TMsgIcon::Question}) != TMsgResult::Yes)
        return false;
      continue;
    }
    const TPriceListItem& card = *item.Card;
    std::string value = item.Code;
    for (const double number : {item.Quantity, item.Packages, card.Baleni}) {
      value += '|';
      value += FloatToStrGeneral(number, locale);
    }
    value += '|';
    value += EscapeOrderItemText(card.Nazev);
    value += '|';
    value += EscapeOrderItemText(card.Jednotka);
    if (prices) {
      value += "||";
      value += FloatToStrGeneral(card.Cena, locale);
    }
    Line(text, std::to_string(i + 1), value);
  }
  return true;
}

void MemoSection(std::string& text, const TOrder& order) {
  text += "\r\n[OrderMemo]\r\n";
  for (std::size_t i = 0; i < order.Note.size(); ++i)
    Line(text, std::to_string(i + 1), order.Note[i]);
}

std::string ReadWholeFile(const std::string& path) {
  const lzhio::TFd fd = lzhio::OpenForReading(path);
  const std::uint64_t size = lzhio::FileSize(fd, path);
  if (size > kMaxOrderFileSize)
    throw Exception(Format(Cz("Soubor %s nemá správný formát dat"), {path}));
  std::string bytes(static_cast<std::size_t>(size), '\0');
  bytes.resize(lzhio::ReadAt(fd, bytes.data(), bytes.size(), 0, path));
  return bytes;
}

} // namespace

bool WriteOrderFile(TOrder& order, const std::string& path, bool keepName, bool forSending,
                    const TAppSettings& settings, const TOrderFileOptions& options) {
  const Locale& locale = options.Loc();
  IMessageSink& sink = options.Sink();
  const TDateTime now = order.CurrentTime();

  const bool guarantee = forSending && settings.PriceEnabled && settings.OrderEncrypt;
  const bool prices = guarantee && settings.PriceListVerified && PriceListIsCurrent(settings, now, locale);
  if (guarantee && !prices) {
    const std::string warning =
        Cz("Není načtený dostatečně aktuální ceník\ra proto budou ceny v objednávce zpracovány podle aktuálně "
           "platného ceníku\rv okamžiku zpracování objednávky v systému dodavatele !\r\rPřejete si pokračovat v "
           "odeslání objednávky ?");
    WriteLog(warning);
    if (sink.Show(warning, "", {TMsgButtons::OKCancel, TMsgIcon::Warning}) != TMsgResult::OK)
      return false;
  }
  order.EnsureOrderID();

  // The whole text is made before the file is touched, so the questions on the way can
  // still leave the old file as it was.
  std::string text;
  GeneralSection(text, order, path, prices, settings, locale);
  CompanySection(text, settings.Company);
  if (!ItemsSection(text, order, prices, locale, sink))
    return false;
  MemoSection(text, order);

  const std::string bytes = settings.OrderEncrypt ? PackOrderFileText(text, "OBX" + order.OrderID + ".tmp", now) : text;
  try {
    lzhio::TAtomicFile file(path);
    lzhio::WriteAll(file.Fd(), bytes.data(), bytes.size(), path);
    file.Commit();
  } catch (const EInOutError&) {
    throw Exception(Format(Cz("Chyba při ukládání souboru \"%s\""), {path}));
  }
  if (!keepName) {
    order.FileName = path;
    order.Modified = false;
  }
  return true;
}

bool ReadOrderFile(TOrder& order, const std::string& path, const TOrderFileOptions& options) {
  std::string fileName = path;
  if (path.find_first_of("/\\") == std::string::npos)
    fileName = JoinPath(options.ProgramFolder.empty() ? FileFolder(ThisProgramFile()) : options.ProgramFolder, path);
  const Locale& locale = options.Loc();

  const std::string bytes = ReadWholeFile(fileName);
  std::string unpacked;
  const bool packed = UnpackOrderFile(bytes, fileName, unpacked);
  // A packed file's headers are found in any case, a plain file's only as written.
  const TOrderFileSections sections = ParseOrderFileSections(packed ? unpacked : bytes, packed);

  WriteLog(Format(Cz("Otevřena objednávka %s, %d"), {fileName, kOrderFileType}));
  order.Clear();
  order.Note.clear();

  const auto stamp = [&](TGeneralKey key) {
    const auto& value = sections.General[static_cast<std::size_t>(key)];
    TDateTime result = 0;
    if (!value || value->empty() || !ReadOrderDateTime(*value, locale, result))
      return TDateTime(0);
    return result;
  };
  order.DeliveryDate = stamp(TGeneralKey::DeliveryDate);
  order.LatestDeliveryDate = stamp(TGeneralKey::LatestDeliveryDate);
  order.Sent = stamp(TGeneralKey::Sent);
  const auto& id = sections.General[static_cast<std::size_t>(TGeneralKey::OrderID)];
  order.OrderID = id ? std::string(*id) : std::string();

  bool problem = false;
  for (int n = 1; n <= kMaxOrderFileKey; ++n) {
    const auto& value = sections.Items[static_cast<std::size_t>(n)];
    if (!value || value->empty())
      continue;
    const std::vector<std::string> fields = SplitOrderItemFields(*value, 3);
    TOrderItem line;
    line.Code = fields[0];
    line.Card = options.Cards ? options.Cards(line.Code) : nullptr;
    for (const std::size_t k : {std::size_t(1), std::size_t(2)}) {
      double number = 0;
      if (k >= fields.size() || !ReadOrderNumber(fields[k], locale, number)) {
        number = 0;
        problem = true;
      }
      (k == 1 ? line.Quantity : line.Packages) = number;
    }
    order.Append(std::move(line));
  }
  for (int n = 1; n <= kMaxOrderFileKey; ++n)
    if (const auto& value = sections.Memo[static_cast<std::size_t>(n)])
      order.Note.emplace_back(*value);
  order.Created = stamp(TGeneralKey::Created);
  order.Changed = stamp(TGeneralKey::Changed);

  if (options.SortLines)
    options.SortLines(order);
  order.RecalcTotals();
  if (problem)
    options.Sink().Show(Cz("Při načítání objednávky se vyskytl problém\r\nPřekontrolujte načtenou objednávku"),
                        Cz("Objednávky"), {TMsgButtons::OK, TMsgIcon::Error});
  order.Modified = false;
  WriteLog(Format(Cz("Načteno %d položek objednávky"), {order.Count()}));
  return problem;
}

bool SaveOrder(TOrder& order, const std::string& path, int type, const std::function<bool()>& write) {
  WriteLog(Format(Cz("Ukládání objednávky %s, %d"), {path, type}));
  order.RemoveEmptyLines();
  if (!write())
    return false;
  WriteLog(Format(Cz("Uloženo %d položek objednávky"), {order.Count()}));
  return true;
}

bool SaveOrderFile(TOrder& order, const std::string& path, bool keepName, bool forSending, const TAppSettings& settings,
                   const TOrderFileOptions& options) {
  return SaveOrder(order, path, kOrderFileType,
                   [&] { return WriteOrderFile(order, path, keepName, forSending, settings, options); });
}
