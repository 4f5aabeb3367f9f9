#include <gtest/gtest.h>

#include <functional>

#include "catalogue/CenikIni.h"
#include "catalogue/PackageImportTestSupport.h"
#include "formats/CodePages.h"

using namespace packagetest;

namespace {

std::string Cp852(const std::string& utf8) { return Cp1250ToCp852(Cz(utf8)); }

TEST(CenikIniText, LinesEndAtEveryKindOfBreakAndAreConvertedFrom852) {
  EXPECT_EQ(Cp852TextLines(Cp852("a\r\nb\nc\rčd")), (std::vector<std::string>{"a", "b", "c", Cz("čd")}));
  EXPECT_EQ(Cp852TextLines("a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_TRUE(Cp852TextLines("").empty());
}

TEST(CenikIniText, SectionRunsFromItsExactHeaderToTheNextBracketLine) {
  const std::vector<std::string> lines = {"A=0", "[DBC]",   "A=1", "",      "[dbc]", "A=2", "[INI]",
                                          "A=3", "[DBC] x", "A=4", "[DBC]", "A=5",   "[",   "A=6"};
  EXPECT_EQ(IniSectionLines(lines, "[DBC]"), (std::vector<std::string>{"A=1", "", "A=5"}));
  EXPECT_EQ(IniSectionLines(lines, "[INI]"), std::vector<std::string>{"A=3"});
}

TEST(CenikIniText, ValueEndsAtTheSecondEqualsSign) {
  std::string key, value;
  ASSERT_TRUE(SplitIniLine("Key=a=b", key, value));
  EXPECT_EQ(key, "Key");
  EXPECT_EQ(value, "a");
  ASSERT_TRUE(SplitIniLine("=", key, value));
  EXPECT_EQ(key, "");
  EXPECT_EQ(value, "");
  EXPECT_FALSE(SplitIniLine("no equals sign", key, value));
}

class CenikIniTest : public PackageFixture, public ::testing::Test {};

TEST_F(CenikIniTest, CompanySectionSetsTheRecordOnlyAndOnlyWhenAsked) {
  Settings.Company.ICO = "12345678";
  Settings.Company.Name2 = "old";
  const std::string text = Cp852("[Company]\r\nname1=Žluťák s.r.o.\r\nADDRESS=Dlouhá 1\r\nPSC=110 00\r\n"
                                 "CITY=Praha\r\nICO=\r\nDIC=CZ1\r\nRESPPERSON=Novák\r\nPHONE=1\r\nFAX=2\r\n"
                                 "MOBILE=3\r\nEMAIL=x@y\r\n[DBC]\r\n");

  ApplyDescription(Ctx, text, false);
  EXPECT_EQ(Settings.Company.Name1, "");

  ApplyDescription(Ctx, text, true);
  const TCompanySettings& c = Settings.Company;
  EXPECT_EQ(c.Name1, Cz("Žluťák s.r.o."));
  EXPECT_EQ(c.Name2, "old");
  EXPECT_EQ(c.Address, Cz("Dlouhá 1"));
  EXPECT_EQ(c.PSC, "110 00");
  EXPECT_EQ(c.City, "Praha");
  EXPECT_EQ(c.ICO, "12345678"); // an empty ID keeps the customer's
  EXPECT_EQ(c.DIC, "CZ1");
  EXPECT_EQ(c.RespPerson, Cz("Novák"));
  EXPECT_EQ(c.Phone, "1");
  EXPECT_EQ(c.Fax, "2");
  EXPECT_EQ(c.Mobile, "3");
  EXPECT_EQ(c.EMail, "");
  EXPECT_FALSE(Store.ValueExists("Company", "Name1"));
}

TEST_F(CenikIniTest, DbcSectionWritesStoreAndRecord) {
  struct TCase {
    const char* Line;
    const char* Section;
    const char* Key;
    std::string Stored;
    std::function<bool(const TAppSettings&)> Record;
  };
  const std::string long30 = "123456789012345678901234567890";
  const TCase cases[] = {
      {"CREATED=123456789012345678901234567890XYZ", "Others", "Created", long30,
       [&](const TAppSettings& s) { return s.Created() == long30 && s.CreatedHash() == SdbmHash(long30); }},
      {"createdtime=10:00", "Others", "CreatedTime", "10:00",
       [](const TAppSettings& s) { return s.CreatedTime() == "10:00" && s.CreatedTimeHash() == SdbmHash("10:00"); }},
      {"ID2=4711", "Others", "ID2", "4711", [](const TAppSettings& s) { return s.ID2 == 4711; }},
      {"ID2=47x", "Others", "ID2", "47x", [](const TAppSettings& s) { return s.ID2 == 0; }},
      {"OBJVERSION=2.5", "Others", "InstObjVersion", "2.5",
       [](const TAppSettings& s) { return s.InstObjVersion == "2.5"; }},
      {"TAVALIAS=upd", "Others", "TAVInstAlias", "upd", [](const TAppSettings& s) { return s.TAVInstAlias == "upd"; }},
      {"TAVNAME=setup=x", "Others", "TAVInstName", "setup",
       [](const TAppSettings& s) { return s.TAVInstName == "setup"; }},
      {"CURRENCY=EURO", "Company", "Currency", "EUR",
       [](const TAppSettings& s) { return s.Company.Currency == "EUR"; }},
      {"EXRATE=25,5", "Company", "ExRate", "25,5",
       [](const TAppSettings& s) { return s.Company.ExRate == 25.5 && s.ForeignCurrency; }},
      {"EXRATE=abc", "Company", "ExRate", "0", [](const TAppSettings& s) { return s.Company.ExRate == 0; }},
  };
  Settings.Company.Currency = "EUR";
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Line);
    ApplyDbcSection(Ctx, {c.Line});
    EXPECT_EQ(Store.ReadString(c.Section, c.Key), c.Stored);
    EXPECT_TRUE(c.Record(Settings));
  }
}

TEST_F(CenikIniTest, IniSectionSetsAnyKeyLogsItAndReloads) {
  ASSERT_FALSE(Settings.PriceEnabled);
  Settings.Company.Name1 = "unsaved name";
  const std::vector<std::string> lines = {
      "Others/PriceEnabled=1", "/Key=1", "Others/=1", "NoSlash=1", "Sec/Key/Sub=v=w", "Others/MaxDeliveryDays"};
  EXPECT_EQ(ApplyIniSection(Ctx, lines), 2);

  EXPECT_TRUE(Settings.PriceEnabled);
  EXPECT_EQ(Store.ReadString("Sec", "Key"), "v");
  EXPECT_FALSE(Store.ValueExists("", "Key"));
  EXPECT_FALSE(Store.ValueExists("NoSlash", ""));
  // The record was saved before the first write, so the reload kept its changes.
  EXPECT_EQ(Settings.Company.Name1, "unsaved name");
  EXPECT_EQ(SavedStore().ReadString("Company", "Name1"), "unsaved name");
  EXPECT_EQ(Log, (std::vector<std::string>{"Import ceníku. Nastavení: Others/PriceEnabled=1",
                                           "Import ceníku. Nastavení: Sec/Key=v"}));
}

TEST_F(CenikIniTest, IniSectionWithoutKeysNeitherSavesNorReloads) {
  Settings.Company.Name1 = "unsaved name";
  EXPECT_EQ(ApplyIniSection(Ctx, {"/x=1", "junk"}), 0);
  EXPECT_FALSE(SavedStore().ValueExists("Company", "Name1"));
  EXPECT_TRUE(Log.empty());
}

} // namespace
