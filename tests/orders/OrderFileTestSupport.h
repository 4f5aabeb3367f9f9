#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/AppSettings.h"
#include "core/Log.h"
#include "core/ReportMessage.h"
#include "formats/Cp1250Utf8.h"
#include "orders/Order.h"
#include "orders/OrderFile.h"
#include "support/TestSupport.h"

namespace orderfiletest {

// Answers from a script (then with the last answer) and keeps every text (UTF-8) and caption.
class TScriptedSink : public IMessageSink {
public:
  TMsgResult Show(const std::string& text, const std::string& caption, TMsgFlags flags) override {
    Texts.push_back(Cp1250ToUtf8(text));
    Captions.push_back(Cp1250ToUtf8(caption));
    Flags.push_back(flags);
    if (Answers.empty())
      return HeadlessAnswer(flags.Buttons);
    const TMsgResult answer = Answers.front();
    if (Answers.size() > 1)
      Answers.erase(Answers.begin());
    return answer;
  }
  std::vector<TMsgResult> Answers;
  std::vector<std::string> Texts, Captions;
  std::vector<TMsgFlags> Flags;
};

// A folder, two cards, settings with company data, an order of two lines at a fixed moment
// (14.03.2025 10:30) with the identifier 250314AAAA, the log in the folder.
class OrderFileFixture {
public:
  OrderFileFixture() {
    ProgramLog().SetFileName(Dir.File("test.log"));
    ProgramLog().SetClock([] { return EncodeDate(2025, 3, 14); });
    Czech = Locale::Czech();
    Options.Conventions = &Czech;
    Options.Messages = &Sink;
    Options.Cards = [this](const std::string& code) -> TPriceListItem* {
      auto it = Cards.find(code);
      return it == Cards.end() ? nullptr : &it->second;
    };
    Options.ProgramFolder = Dir.Path().string();

    TPriceListItem& wine = Cards["V1"];
    wine.Kod = "V1";
    wine.Nazev = Cz("Víno \"Ryzlink\" 0'75|l");
    wine.Jednotka = "ks";
    wine.Baleni = 6;
    wine.Cena = 89.9;
    TPriceListItem& cheese = Cards["S2"];
    cheese.Kod = "S2";
    cheese.Nazev = Cz("Sýr");
    cheese.Jednotka = "kg";
    cheese.Baleni = 1;
    cheese.Cena = 120.5;

    Settings.SetCreated("14.03.2025");
    Settings.SetCreatedTime("08:00");
    Settings.ID2 = 12345;
    Settings.PriceListActualH = 240;
    Settings.Extension = ".obx";
    Settings.Prefix = "OB";
    Settings.Format = "YYMMDD";
    Settings.Orders = Dir.Path().string();
    TCompanySettings& c = Settings.Company;
    c.Name1 = Cz("Pekárna Novák");
    c.Address = Cz("Dlouhá 1");
    c.City = "Praha";
    c.PSC = "11000";
    c.DIC = "CZ123";
    c.ICO = "123";
    c.RespPerson = Cz("Jan Novák");
    c.Phone = "222";
    c.Mobile = "777";
    c.EMail = "jan@example.cz";

    SetNow(EncodeDate(2025, 3, 14) + 10.5 / 24);
    Order.SetRandom([](int) { return 10; });
    AddLine(Order, "V1", 12, 1.5);
    AddLine(Order, "S2", 0.25, 0);
    Order.Created = EncodeDate(2025, 3, 10) + (9 * 60 + 15) / 1440.0;
    Order.Changed = Now;
    Order.DeliveryDate = EncodeDate(2025, 3, 17);
    Order.Note = {Cz("Prosím ráno"), Cz("díky")};
    Order.Modified = true;
  }
  ~OrderFileFixture() {
    ProgramLog().SetFileName("");
    ProgramLog().SetClock({});
  }

  void SetNow(TDateTime now) {
    Now = now;
    Order.SetClock([this] { return Now; });
  }
  void AddLine(TOrder& order, const std::string& code, double quantity, double packages) {
    TOrderItem& line = order.Append(TOrderItem{quantity, packages, code, nullptr});
    line.Card = Options.Cards(code);
  }
  // The log's texts without their time stamps (UTF-8).
  std::vector<std::string> LogTexts() const {
    std::vector<std::string> texts;
    const std::string log = ReadFileBytes(Dir.File("test.log"));
    std::size_t pos = 0;
    while (pos < log.size()) {
      std::size_t end = log.find("\r\n", pos);
      if (end == std::string::npos)
        end = log.size();
      const std::string line = log.substr(pos, end - pos);
      const std::size_t sep = line.find(" : ");
      texts.push_back(Cp1250ToUtf8(sep == std::string::npos ? line : line.substr(sep + 3)));
      pos = end + 2;
    }
    return texts;
  }

  TempDir Dir;
  Locale Czech;
  std::map<std::string, TPriceListItem> Cards;
  TAppSettings Settings;
  TScriptedSink Sink;
  TOrderFileOptions Options;
  TDateTime Now = 0;
  TOrder Order;
};

} // namespace orderfiletest
