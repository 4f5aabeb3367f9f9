#include <gtest/gtest.h>

#include "comm/MailOrderText.h"
#include "core/AppSettings.h"
#include "formats/Cp1250Utf8.h"
#include "orders/Order.h"

namespace {

struct TDayCase {
  int Day; // of January 2009; the 4th was a Sunday
  const char* Subject;
};

TEST(OrderSubject, DayNameFoldedAndDateWithoutLeadingZeros) {
  const TDayCase kDays[] = {
      {4, "Objednavka zbozi na: nedele 4.1.2009"},   {5, "Objednavka zbozi na: pondeli 5.1.2009"},
      {6, "Objednavka zbozi na: utery 6.1.2009"},    {7, "Objednavka zbozi na: streda 7.1.2009"},
      {8, "Objednavka zbozi na: ctvrtek 8.1.2009"},  {9, "Objednavka zbozi na: patek 9.1.2009"},
      {10, "Objednavka zbozi na: sobota 10.1.2009"},
  };
  for (const TDayCase& c : kDays) {
    SCOPED_TRACE(c.Day);
    TOrder order;
    order.DeliveryDate = EncodeDate(2009, 1, c.Day);
    EXPECT_EQ(OrderSubject(order), c.Subject);
  }
  TOrder december;
  december.DeliveryDate = EncodeDate(2010, 12, 31);
  EXPECT_EQ(OrderSubject(december), "Objednavka zbozi na: patek 31.12.2010");
  EXPECT_EQ(CzechDayName(EncodeDate(2009, 1, 5)), Cz("Pondělí"));
}

TAppSettings Company() {
  TAppSettings settings;
  settings.Company.RespPerson = "Jan Novak";
  settings.Company.Name1 = Cz("Potraviny Novák");
  settings.Company.Name2 = "";
  settings.Company.Address = Cz("Hlavní 1");
  settings.Company.PSC = "110 00";
  settings.Company.City = "Praha";
  settings.Company.ICO = "12345678";
  settings.Company.DIC = "CZ12345678";
  settings.Company.Phone = "+420 123";
  return settings;
}

const char* const kSignature = "Jan Novak\r\n\r\nPotraviny Novák\r\n\r\nHlavní 1\r\n110 00 Praha\r\nIČO: 12345678\r\n"
                               "DIČ: CZ12345678\r\nTel: +420 123";

TEST(OrderText, EmptyNoteGivesDatesEmptyLineAndSignature) {
  TOrder order;
  order.DeliveryDate = EncodeDate(2009, 1, 5);
  order.LatestDeliveryDate = EncodeDate(2009, 1, 12);
  const std::vector<std::string> lines = OrderTextLines(order, Company());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], Cz("Objednáváme u Vás zboží uvedené v příloze.\r\n\r\nPožadovaný termín dodání zboží : "
                         "5.1.2009\r\nNejpozdější možný termín dodání: 12.1.2009\r\n\r\n"));
  EXPECT_EQ(lines[1], "");
  // The empty second name line stays as an empty line.
  EXPECT_EQ(lines[2], Cz(kSignature));
}

TEST(OrderText, NoteLinesBetweenDatesAndSignatureJoinedWithCrLf) {
  TOrder order;
  order.DeliveryDate = EncodeDate(2009, 1, 5);
  order.LatestDeliveryDate = EncodeDate(2009, 1, 5);
  order.Note = {Cz("Prosíme dovézt ráno."), "", Cz("Díky")};
  const std::string text = OrderText(order, Company());
  const std::string dates = Cz("Objednáváme u Vás zboží uvedené v příloze.\r\n\r\nPožadovaný termín dodání zboží : "
                               "5.1.2009\r\nNejpozdější možný termín dodání: 5.1.2009\r\n\r\n");
  EXPECT_EQ(text, dates + "\r\n" + Cz("Prosíme dovézt ráno.") + "\r\n\r\n" + Cz("Díky") + "\r\n\r\n" + Cz(kSignature) +
                      "\r\n");
}

TEST(OrderText, AMissingLatestDateIsEmpty) {
  TOrder order;
  order.DeliveryDate = EncodeDate(2009, 1, 5);
  EXPECT_EQ(OrderTextLines(order, Company())[0],
            Cz("Objednáváme u Vás zboží uvedené v příloze.\r\n\r\nPožadovaný termín dodání zboží : "
               "5.1.2009\r\nNejpozdější možný termín dodání: \r\n\r\n"));
}

TEST(OrderText, SplitIntoEditLines) {
  EXPECT_EQ(SplitTextLines("a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(SplitTextLines("a\nb\rc"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(SplitTextLines("").empty());
}

} // namespace
