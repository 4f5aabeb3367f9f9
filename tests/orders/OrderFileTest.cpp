#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "OrderFileTestSupport.h"
#include "core/Errors.h"
#include "core/Format.h"
#include "core/Version.h"
#include "formats/LzhCodec.h"
#include "formats/LzhEntry.h"
#include "orders/OrderFileFormat.h"

namespace {

using namespace orderfiletest;

std::string Version() {
  return Format("%d.%d.%d.%d", {ObjVersionMajor, ObjVersionMinor, ObjVersionRelease, ObjVersionBuild});
}

// The fixture's order as the plain file holds it (code page 1250, CR LF).
std::string ExpectedText(const std::string& path, const std::string& extraGeneral = "", const std::string& price1 = "",
                         const std::string& price2 = "") {
  return Cz("[General]\r\n"
            "Created=10.03.2025 09:15\r\n"
            "Changed=14.03.2025 10:30\r\n"
            "DeliveryDate=17.03.2025\r\n"
            "LatestDeliveryDate=\r\n"
            "Sent=\r\n"
            "FileName=") +
         path +
         Cz("\r\n"
            "OrderID=250314AAAA\r\n"
            "PriceListCreatedDate=14.03.2025\r\n"
            "PriceListCreatedTime=08:00\r\n"
            "OBXApp=T.V.X. Orvela Offline objednávky pro Windows\r\n"
            "OBXAppBuild=") +
         Version() + "\r\n" + extraGeneral +
         Cz("PriceListID2=12345\r\n"
            "\r\n"
            "[Company]\r\n"
            "Name1=Pekárna Novák\r\n"
            "Name2=\r\n"
            "Address=Dlouhá 1\r\n"
            "City=Praha\r\n"
            "PSC=11000\r\n"
            "DIC=CZ123\r\n"
            "ICO=123\r\n"
            "RespPerson=Jan Novák\r\n"
            "Phone=222\r\n"
            "Fax=\r\n"
            "Mobile=777\r\n"
            "e-mail=jan@example.cz\r\n"
            "\r\n"
            "[OrderItems]\r\n"
            // The name's quotes become grave accents and its "|" a point.
            "1=V1|12|1,5|6|Víno `Ryzlink` 0`75.l|ks") +
         price1 + "\r\n" + Cz("2=S2|0,25|0|1|Sýr|kg") + price2 +
         Cz("\r\n"
            "\r\n"
            "[OrderMemo]\r\n"
            "1=Prosím ráno\r\n"
            "2=díky\r\n");
}

class OrderFileTest : public OrderFileFixture, public testing::Test {
protected:
  std::string Path() const { return Dir.File("order.obx"); }
  bool Write(bool keepName = false, bool forSending = false) {
    return WriteOrderFile(Order, Path(), keepName, forSending, Settings, Options);
  }
  // The text of a written file, unpacked when it is packed.
  std::string WrittenText() const {
    const std::string bytes = ReadFileBytes(Path());
    std::string text;
    return UnpackOrderFile(bytes, Path(), text) ? text : bytes;
  }
  // The file read into a fresh order, which lives until the next call.
  TOrder& ReadBack(bool* problem = nullptr) {
    FRead = std::make_unique<TOrder>();
    const bool p = ReadOrderFile(*FRead, Path(), Options);
    if (problem)
      *problem = p;
    return *FRead;
  }
  std::unique_ptr<TOrder> FRead;
  void ExpectSameOrder(const TOrder& read) {
    ASSERT_EQ(read.Count(), Order.Count());
    for (int i = 0; i < read.Count(); ++i) {
      EXPECT_EQ(read.Line(i).Code, Order.Line(i).Code);
      EXPECT_EQ(read.Line(i).Quantity, Order.Line(i).Quantity);
      EXPECT_EQ(read.Line(i).Packages, Order.Line(i).Packages);
      EXPECT_EQ(read.Line(i).Card, &Cards[Order.Line(i).Code]);
    }
    EXPECT_EQ(read.Note, Order.Note);
    EXPECT_EQ(read.OrderID, "250314AAAA");
    EXPECT_EQ(read.Created, Order.Created);
    EXPECT_EQ(read.Changed, Order.Changed);
    EXPECT_EQ(read.DeliveryDate, Order.DeliveryDate);
    EXPECT_EQ(read.LatestDeliveryDate, 0);
    EXPECT_EQ(read.Sent, 0);
    EXPECT_FALSE(read.Modified);
    // (1.5 * 6 + 12) * 89.9 + 0.25 * 120.5
    EXPECT_NEAR(read.TotalNoVat, 1918.03, 0.001);
  }
};

TEST_F(OrderFileTest, PlainFileByteForByte) {
  ASSERT_TRUE(Write());
  EXPECT_EQ(ReadFileBytes(Path()), ExpectedText(Path()));
  EXPECT_EQ(Order.FileName, Path());
  EXPECT_FALSE(Order.Modified);
  EXPECT_TRUE(Sink.Texts.empty());
}

TEST_F(OrderFileTest, PackedFileIsOneEntryHoldingThePlainText) {
  Settings.OrderEncrypt = true;
  ASSERT_TRUE(Write());
  const std::string bytes = ReadFileBytes(Path());
  // sdbm("14.03.2025") = 361405057, sdbm("08:00") = 110037298: 110037298 << 32 | 361405057.
  const std::string text = ExpectedText(Path(), "PriceEnabled=0\r\nPriceListID1=472606596611611265\r\n");
  const std::string name = "OBX250314AAAA.tmp";
  const std::string stream = LzhEncodeBytes(text);
  ASSERT_GE(bytes.size(), TLZHHeader::Size);
  const auto le = [](std::uint32_t v, int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
      s += static_cast<char>(v >> (8 * i) & 0xFF);
    return s;
  };
  const std::string header = std::string("TVX.") + le(0, 4) + le(0, 2) +
                             le(10 << 11 | 30 << 5, 2) +               // DOS time 10:30:00
                             le((2025 - 1980) << 9 | 3 << 5 | 14, 2) + // DOS date 14.03.2025
                             le(0, 4) + le(static_cast<std::uint32_t>(stream.size()), 4) +
                             le(static_cast<std::uint32_t>(text.size()), 4) + le(17, 2) + le(0, 2);
  EXPECT_EQ(bytes, header + name + stream);
  EXPECT_TRUE(IsPackedFile(Path()));
}

TEST_F(OrderFileTest, BothFormsReadBack) {
  for (const bool packed : {false, true}) {
    SCOPED_TRACE(packed ? "packed" : "plain");
    Settings.OrderEncrypt = packed;
    ASSERT_TRUE(Write());
    ExpectSameOrder(ReadBack());
  }
}

TEST_F(OrderFileTest, StampsAndDatesUpToTheFirstOf2001AreEmpty) {
  const struct {
    TDateTime Value;
    const char* Stamp;
    const char* Date;
  } kCases[] = {
      {0, "", ""},
      {EncodeDate(2001, 1, 1), "", ""},
      {EncodeDate(2001, 1, 1) + 1.0 / 1440, "01.01.2001 00:01", "01.01.2001"},
      {EncodeDate(1999, 5, 5), "", ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Stamp);
    Order.Sent = c.Value;
    Order.LatestDeliveryDate = c.Value;
    ASSERT_TRUE(Write());
    const std::string text = WrittenText();
    EXPECT_NE(text.find(std::string("\r\nSent=") + c.Stamp + "\r\n"), std::string::npos);
    EXPECT_NE(text.find(std::string("\r\nLatestDeliveryDate=") + c.Date + "\r\n"), std::string::npos);
  }
}

TEST_F(OrderFileTest, IdentifiersCurrencyAndContactLines) {
  EXPECT_EQ(PriceListID1(49, 50), (50LL << 32) + 49); // sdbm("1") = 49, sdbm("2") = 50
  Settings.OrderEncrypt = true;
  Settings.SetCreatedTime("10:00:00"); // sdbm = 4141238591: the identifier is negative
  Settings.Company.Currency = "EUR";
  Settings.Company.ContactEmail = "info@example.cz";
  const struct {
    double Rate;
    const char* Lines;
  } kCases[] = {
      {1, "Currency=EUR\r\n\r\n"},
      {0, "Currency=EUR\r\n\r\n"},
      {25.5, "Currency=EUR\r\nExRate=25,5\r\n\r\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Rate);
    Settings.Company.ExRate = c.Rate;
    ASSERT_TRUE(Write());
    const std::string text = WrittenText();
    EXPECT_NE(text.find("PriceEnabled=0\r\nPriceListID1=-660259760070026623\r\nPriceListID2=12345\r\n" +
                        std::string(c.Lines) + "[Company]"),
              std::string::npos);
    EXPECT_NE(text.find("e-mail=jan@example.cz\r\nContactEmail=info@example.cz\r\n\r\n[OrderItems]"),
              std::string::npos);
  }
}

// Prices go only into a copy for sending, with both switches on, from a verified price
// list younger than "PriceListActualH" hours; a copy that could carry them but may not asks.
TEST_F(OrderFileTest, PricesOnlyWhenTheGuaranteeHolds) {
  const TDateTime created = EncodeDate(2025, 3, 14) + 8.0 / 24;
  const struct {
    const char* Name;
    bool ForSending, PriceEnabled, OrderEncrypt, Verified;
    double AgeHours;
    bool Prices, Asked;
  } kCases[] = {
      {"fresh", true, true, true, true, 2.5, true, false},
      {"almost stale", true, true, true, true, 239.9, true, false},
      {"stale", true, true, true, true, 240, false, true},
      {"not verified", true, true, true, false, 1, false, true},
      {"not for sending", false, true, true, true, 1, false, false},
      {"prices off", true, false, true, true, 1, false, false},
      {"plain file", true, true, false, true, 1, false, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Name);
    Sink.Texts.clear();
    Sink.Answers = {TMsgResult::OK};
    Settings.PriceEnabled = c.PriceEnabled;
    Settings.OrderEncrypt = c.OrderEncrypt;
    Settings.PriceListVerified = c.Verified;
    SetNow(created + c.AgeHours / 24);
    Order.OrderID = "250314AAAA";
    ASSERT_TRUE(Write(true, c.ForSending));
    const std::string text = WrittenText();
    EXPECT_EQ(text.find(Cz("|ks||89,9\r\n2=S2|0,25|0|1|Sýr|kg||120,5\r\n")) != std::string::npos, c.Prices);
    EXPECT_EQ(text.find("||") != std::string::npos, c.Prices);
    if (c.OrderEncrypt) {
      EXPECT_NE(text.find(c.Prices ? "PriceEnabled=1" : "PriceEnabled=0"), std::string::npos);
    }
    ASSERT_EQ(Sink.Texts.size(), c.Asked ? 1u : 0u);
    if (c.Asked) {
      EXPECT_EQ(Sink.Texts[0].rfind("Není načtený dostatečně aktuální ceník\ra proto", 0), 0u);
      EXPECT_EQ(Sink.Flags[0].Buttons, TMsgButtons::OKCancel);
    }
  }
  // The copy for sending keeps the order's own file name and modified flag.
  EXPECT_TRUE(Order.FileName.empty());
  EXPECT_TRUE(Order.Modified);
}

TEST_F(OrderFileTest, CancelledFreshnessWarningWritesNothing) {
  Settings.PriceEnabled = Settings.OrderEncrypt = true;
  Order.OrderID.clear();
  Sink.Answers = {TMsgResult::Cancel};
  EXPECT_FALSE(Write(true, true));
  EXPECT_FALSE(std::filesystem::exists(Path()));
  EXPECT_TRUE(Order.OrderID.empty());
  const std::vector<std::string> log = LogTexts();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], Sink.Texts[0]);
}

TEST_F(OrderFileTest, LineWithoutCardAsksAndYesSkipsItsNumber) {
  AddLine(Order, "GONE", 3, 0);
  AddLine(Order, "S2", 1, 0);
  Sink.Answers = {TMsgResult::Yes};
  ASSERT_TRUE(Write());
  ASSERT_EQ(Sink.Texts.size(), 1u);
  EXPECT_EQ(Sink.Texts[0], "Položka \"GONE\" nebyla v ceníku nalezena\r\nPřejete si pokračovat ?");
  EXPECT_EQ(Sink.Flags[0].Buttons, TMsgButtons::YesNo);
  EXPECT_NE(WrittenText().find(Cz("2=S2|0,25|0|1|Sýr|kg\r\n4=S2|1|0|1|Sýr|kg\r\n\r\n")), std::string::npos);
  EXPECT_EQ(ReadBack().Count(), 3);
}

TEST_F(OrderFileTest, NoToTheMissingCardLeavesTheOldFileAsItWas) {
  for (const bool packed : {false, true}) {
    SCOPED_TRACE(packed ? "packed" : "plain");
    Settings.OrderEncrypt = packed;
    WriteFileBytes(Path(), "the previous order");
    TOrder order;
    AddLine(order, "V1", 1, 0);
    AddLine(order, "GONE", 3, 0);
    Sink.Answers = {TMsgResult::No};
    EXPECT_FALSE(WriteOrderFile(order, Path(), false, false, Settings, Options));
    EXPECT_EQ(ReadFileBytes(Path()), "the previous order");
    EXPECT_TRUE(order.FileName.empty());
    // Nothing else is left in the folder.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Dir.Path()))
      files += entry.path().filename() != "test.log";
    EXPECT_EQ(files, 1);
  }
}

TEST_F(OrderFileTest, FileThatCannotBeWrittenGivesTheSaveError) {
  const std::string path = Dir.File("missing/order.obx");
  try {
    WriteOrderFile(Order, path, false, false, Settings, Options);
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(Cp1250ToUtf8(e.what()), "Chyba při ukládání souboru \"" + path + "\"");
  }
  EXPECT_TRUE(Order.FileName.empty());
}

TEST_F(OrderFileTest, SavingAndReadingWriteTheirLogLines) {
  AddLine(Order, "S2", 0, 0); // removed before writing
  ASSERT_TRUE(SaveOrderFile(Order, Path(), false, false, Settings, Options));
  EXPECT_EQ(Order.Count(), 2);
  ReadBack();
  EXPECT_EQ(LogTexts(),
            (std::vector<std::string>{"Ukládání objednávky " + Path() + ", 1", "Uloženo 2 položek objednávky",
                                      "Otevřena objednávka " + Path() + ", 1", "Načteno 2 položek objednávky"}));
}

// A file written by hand: the reader's split rules, keys in any case, unknown sections, gaps.
TEST_F(OrderFileTest, HandWrittenFile) {
  WriteFileBytes(Path(), Cz("\xEF[General]\r\n" // not a header: garbage before it
                            "[General]\n"
                            "deliverydate=17.3.2025\n"
                            "LATESTDELIVERYDATE=not a date\n"
                            "OrderID=X1\n"
                            "OrderID=X2\n"
                            "Created=10.03.25 9:15\n"
                            "[Other]\n"
                            "1=V1|99|0\n"
                            "  [OrderItems]  \r\r\n"
                            "1='V1'|2;3\n"
                            "3=\"S;2\"\"x\"\t4|0|ignored|fields\n"
                            "5=\n"
                            "01=V1|7|0\n"
                            "7=S2|1,5\n"
                            "[OrderMemo]\n"
                            "2=druhá\n"
                            "1=\n"));
  bool problem = false;
  const TOrder& order = ReadBack(&problem);
  ASSERT_EQ(order.Count(), 3);
  EXPECT_EQ(order.Line(0).Code, "V1");
  EXPECT_EQ(order.Line(0).Quantity, 2);
  EXPECT_EQ(order.Line(0).Packages, 3);
  EXPECT_EQ(order.Line(1).Code, "S;2\"x");
  EXPECT_EQ(order.Line(1).Card, nullptr);
  EXPECT_EQ(order.Line(1).Quantity, 4);
  // Without a packages field the line reads as 0 and the load reports a problem.
  EXPECT_EQ(order.Line(2).Quantity, 1.5);
  EXPECT_TRUE(problem);
  EXPECT_EQ(order.Note, (std::vector<std::string>{"", Cz("druhá")}));
  EXPECT_EQ(order.DeliveryDate, EncodeDate(2025, 3, 17));
  EXPECT_EQ(order.LatestDeliveryDate, 0);
  EXPECT_EQ(order.OrderID, "X1");
  EXPECT_EQ(order.Created, EncodeDate(2025, 3, 10) + (9 * 60 + 15) / 1440.0);
  ASSERT_EQ(Sink.Texts.size(), 1u);
  EXPECT_EQ(Sink.Texts[0], "Při načítání objednávky se vyskytl problém\r\nPřekontrolujte načtenou objednávku");
  EXPECT_EQ(Sink.Captions[0], "Objednávky");
  EXPECT_EQ(Sink.Flags[0].Icon, TMsgIcon::Error);
}

TEST_F(OrderFileTest, CommaWrittenPointReadMarksAProblem) {
  ASSERT_TRUE(Write());
  Locale point = Czech;
  point.DecimalSeparator = '.';
  Options.Conventions = &point;
  bool problem = false;
  const TOrder& order = ReadBack(&problem);
  EXPECT_TRUE(problem);
  ASSERT_EQ(order.Count(), 2);
  EXPECT_EQ(order.Line(0).Quantity, 12);
  EXPECT_EQ(order.Line(0).Packages, 0); // 1,5
  EXPECT_EQ(order.Line(1).Quantity, 0); // 0,25
}

TEST_F(OrderFileTest, HeadersInOtherCaseCountOnlyInAPackedFile) {
  const std::string text = "[general]\r\nOrderID=A\r\n[orderitems]\r\n1=V1|1|0\r\n";
  WriteFileBytes(Path(), text);
  const TOrder& plain = ReadBack();
  EXPECT_EQ(plain.Count(), 0);
  EXPECT_EQ(plain.OrderID, "");
  WriteFileBytes(Path(), PackOrderFileText(text, "OBX.tmp", 0));
  const TOrder& packed = ReadBack();
  EXPECT_EQ(packed.Count(), 1);
  EXPECT_EQ(packed.OrderID, "A");
}

TEST_F(OrderFileTest, KeysAbove1000AreNotRead) {
  TOrder big;
  for (int i = 0; i < 1001; ++i)
    AddLine(big, i % 2 ? "V1" : "S2", i + 1, 0);
  big.Note.assign(1001, "n");
  ASSERT_TRUE(WriteOrderFile(big, Path(), false, false, Settings, Options));
  EXPECT_NE(ReadFileBytes(Path()).find("\r\n1001=S2|1001|0|"), std::string::npos);
  const TOrder& order = ReadBack();
  ASSERT_EQ(order.Count(), 1000);
  EXPECT_EQ(order.Line(999).Quantity, 1000);
  EXPECT_EQ(order.Note.size(), 1000u);
}

TEST_F(OrderFileTest, BareNameLiesInTheProgramFolder) {
  ASSERT_TRUE(Write());
  TOrder order;
  ReadOrderFile(order, "order.obx", Options);
  EXPECT_EQ(order.Count(), 2);
}

// Hostile files end with the program's error or an order built from what could be read;
// a failure leaves the order as it was.
TEST_F(OrderFileTest, HostileFiles) {
  Settings.OrderEncrypt = true;
  ASSERT_TRUE(Write());
  const std::string packed = ReadFileBytes(Path());
  std::string forged = packed;
  const std::size_t stream = TLZHHeader::Size + 17;
  forged.replace(stream, 4, "\xFF\xFF\xFF\x7F"); // the stream's count: 2 GB
  std::string cut = packed.substr(0, packed.size() - 10);
  std::string shortStream = packed;
  shortStream.replace(18, 4, std::string("\x02\0\0\0", 4)); // compressed size 2: no count
  std::string binary;
  for (int i = 0; i < 100000; ++i)
    binary += static_cast<char>((i * 7919) % 251);
  const std::string hugeLine = "[OrderItems]\r\n1=V1|" + std::string(5'000'000, '9') + "|0\r\n";

  const struct {
    const char* Name;
    std::string Bytes;
    const char* Error; // empty: reads
    int Lines;
  } kCases[] = {
      {"forged count", forged, "Soubor %s nemá správný formát dat", 0},
      {"compressed size too small", shortStream, "Soubor %s nemá správný formát dat", 0},
      // Claims more than the file holds: not a packed file, and as text it holds nothing.
      {"cut entry", cut, "", 0},
      {"binary", binary, "", 0},
      {"huge line", hugeLine, "", 1},
      {"empty", "", "", 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Name);
    WriteFileBytes(Path(), c.Bytes);
    TOrder order;
    AddLine(order, "V1", 5, 0);
    order.OrderID = "KEEP";
    try {
      ReadOrderFile(order, Path(), Options);
      EXPECT_STREQ(c.Error, "");
      EXPECT_EQ(order.Count(), c.Lines);
    } catch (const Exception& e) {
      EXPECT_EQ(e.what(), Format(Cz(c.Error), {Path()}));
      EXPECT_EQ(order.Count(), 1);
      EXPECT_EQ(order.OrderID, "KEEP");
    }
  }
  // Too large to be an order file: refused before it is read.
  {
    std::filesystem::resize_file(Path(), kMaxOrderFileSize + 1);
    TOrder order;
    EXPECT_THROW(ReadOrderFile(order, Path(), Options), Exception);
  }
  TOrder order;
  EXPECT_THROW(ReadOrderFile(order, Dir.File("none.obx"), Options), EFOpenError);
}

TEST(OrderFileFormat, ItemFieldSplit) {
  const struct {
    const char* Value;
    std::vector<std::string> Fields;
  } kCases[] = {
      {"A|1|2", {"A", "1", "2"}},   {"A;1\t2|x", {"A", "1", "2"}},
      {"'A|B'|1", {"A|B", "1"}},    {"\"A\"\"B\"|1", {"A\"B", "1"}},
      {"'A''B'x|1", {"A'Bx", "1"}}, {"\"open|1", {"open|1"}},
      {"A||", {"A", "", ""}},       {"", {""}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Value);
    EXPECT_EQ(SplitOrderItemFields(c.Value, 3), c.Fields);
  }
}

TEST(OrderFileFormat, NumbersInTheUsersForm) {
  const Locale czech = Locale::Czech();
  const struct {
    const char* Text;
    bool Reads;
    double Value;
  } kCases[] = {
      {"12", true, 12},    {" -1,5 ", true, -1.5}, {"1,5E3", true, 1500}, {"+,5", true, 0.5},
      {"1.5", false, 0},   {"", false, 0},         {"1 000", false, 0},   {"1E", false, 0},
      {"1E999", false, 0}, {",", false, 0},        {"0x10", false, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Text);
    double value = 0;
    EXPECT_EQ(ReadOrderNumber(c.Text, czech, value), c.Reads);
    if (c.Reads) {
      EXPECT_EQ(value, c.Value);
    }
  }
}

} // namespace

namespace {

TEST(OrderFileFormat, DatesAndStampsInTheUsersForm) {
  const Locale czech = Locale::Czech();
  int year = 0, month = 0, day = 0;
  DecodeDate(Now(), year, month, day);
  const struct {
    const char* Text;
    TDateTime Value; // -1: does not read
  } kCases[] = {
      {"17.03.2025", EncodeDate(2025, 3, 17)},
      {"17.3.2025 9:05", EncodeDate(2025, 3, 17) + (9 * 60 + 5) / 1440.0},
      {" 1.1.2001 00:00:30 ", EncodeDate(2001, 1, 1) + 30 / 86400.0},
      {"17.03.25", EncodeDate(2025, 3, 17)},
      {"17.03.75", EncodeDate(1975, 3, 17)},
      {"17.03", EncodeDate(year, 3, 17)}, // this year
      {"31.02.2025", -1},
      {"17.03.2025 25:00", -1},
      {"17.03.2025 10", -1},
      {"17/03/2025", -1},
      {"2025-03-17", -1},
      {"17", -1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Text);
    TDateTime value = 0;
    EXPECT_EQ(ReadOrderDateTime(c.Text, czech, value), c.Value >= 0);
    if (c.Value >= 0) {
      EXPECT_NEAR(value, c.Value, 1e-9);
    }
  }
}

} // namespace
