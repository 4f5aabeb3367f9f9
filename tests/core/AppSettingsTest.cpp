#include "core/AppSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <set>

#include "core/AppSettingsFields.h"
#include "core/SettingsStore.h"
#include "core/TestAppContext.h"
#include "formats/Cp1250Utf8.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

// A machine of its own: program, application-data, documents, system configuration and mail
// client folders, and the settings store, all inside a TempDir.
class AppSettingsTest : public ::testing::Test {
protected:
  AppSettingsTest() : Env(TestSettingsEnvironment(Dir)) { Env.MailClientFolder = Dir.File("mail"); }

  TSettingsStore OpenStore() const { return TestSettingsStore(Dir); }
  // Stores values (code page 1250) as if an earlier run or the supplier had written them.
  void Stored(const std::vector<std::array<std::string, 3>>& values) const {
    TSettingsStore store = OpenStore();
    for (const auto& [section, key, value] : values)
      store.WriteString(section, key, value);
    store.Save();
  }
  // A start that is not the first one: the import was done.
  void NotFirstRun() const { Stored({{"Others", "CopyIni", "1"}}); }

  TAppSettings Load(const TLoadSettingsOptions& options = {}) const {
    TSettingsStore store = OpenStore();
    TAppSettings settings(Env.Designed);
    LoadSettings(settings, store, Env, options);
    return settings;
  }

  std::string UserFileText() const { return ReadFileBytes(Dir.File("user/objednavky.ini")); }

  TempDir Dir;
  TSettingsEnvironment Env;
};

// ---------------------------------------------------------------------------------------------
// Defaults

TEST_F(AppSettingsTest, AFreshLoadGivesEveryDefault) {
  const std::string data = Dir.File("appdata/objednavky");
  // Every field of the record with the value of a first start without an ini file, the data
  // folder not yet made and no mail client configured. "Pictures" falls back to the
  // application-data folder because the data folder does not exist yet when it is handled.
  const std::map<std::string, std::string> expected = {
      {"NoPackagesSwitch", "0"},
      {"NoStockSwitch", "0"},
      {"CopyIni", "1"},
      {"NoStock", "0"},
      {"NoPackages", "0"},
      {"EnableWholePackage", "1"},
      {"NCEnabled", "0"},
      {"ICOenabled", "1"},
      {"Orders", Dir.File("docs/objednavky")},
      {"Pictures", Dir.File("appdata")},
      {"WebPictures", ""},
      {"TAVBin", "TAV.BIN"},
      {"PriceList", data + "/KARTY.DBF"},
      {"Groups", data + "/OKRUHY.DBF"},
      {"LOGfile", data + "/objednavky.LOG"},
      {"ReadGroups", "1"},
      {"GroupsVisible", "1"},
      {"Width", "200"},
      {"Colors.ActiveRow", std::to_string(static_cast<int32_t>(0xFF000018u))},
      {"Colors.InactiveRow", std::to_string(static_cast<int32_t>(0xFF00000Fu))},
      {"Colors.EditColumn", std::to_string(0x00CCFFFF)},
      {"Colors.SortColumn", std::to_string(0x00E0E0E0)},
      {"Colors.GroupsTree", std::to_string(0x00F8F8F8)},
      {"LOGEnabled", "1"},
      {"ImgDownload", "1"},
      {"Prefix", "OB"},
      {"Format", "YYMMDD"},
      {"Suffix", ""},
      {"Extension", ".obx"},
      {"DBCExtension", ".dbc"},
      {"MaxAmount", "1000000"},
      {"RememberPosition", "2"},
      {"MaxThreadPictureLimit", "5"},
      {"WindowState", "0"},
      {"Window_Left", "0"},
      {"Window_Top", "0"},
      {"Window_Width", "1024"},
      {"Window_Heigh", "768"},
      {"ApplyWindowBounds", "0"},
      {"FillScreen", "1"},
      {"Splitter_Right", "200"},
      {"Splitter_Left", "150"},
      {"SmallImg", "0"},
      {"LargeImg", "0"},
      {"LargeImgLeft", "624"}, // the main window's right edge (0 + 1024) minus the picture window's 400
      {"LargeImgTop", "0"},
      {"LargeImgWidth", "400"},
      {"LargeImgHeight", "400"},
      {"MailSendFormat", "0"},
      {"Supplier.Name", ""},
      {"Supplier.Address", ""},
      {"Supplier.ICO", ""},
      {"Supplier.DIC", ""},
      {"Supplier.RespPerson", ""},
      {"Supplier.Phone", ""},
      {"Supplier.Fax", ""},
      {"Supplier.EMail", "objednavky@tvx.invalid"},
      {"SMTPServer", ""},
      {"SMTPNeedLogin", "0"},
      {"SMTPUser", ""},
      {"SMTPPassword", ""},
      {"MailNotification", "0"},
      {"TAVPriceList", ""},
      {"TAVAlias", "Cenik"},
      {"TAVInstName", ""},
      {"TAVInstAlias", ""},
      {"InstObjVersion", ""},
      {"RegisterOBX", "0"},
      {"RegisterDBC", "0"},
      {"DaysOldPictures", "9999"},
      {"PrefixTmpPictures", "TMP$$$"},
      {"MaxPriceListAge", "10"},
      {"PriceListActualH", "240"},
      {"CheckOldPriceList", "0"},
      {"PriceEnabled", "0"},
      {"OrderEncrypt", "0"},
      {"AutoCheckAppUpdate", "1"},
      {"InfoHTMLCount", "0"},
      {"Company.Name1", ""},
      {"Company.Name2", ""},
      {"Company.Address", ""},
      {"Company.City", ""},
      {"Company.PSC", ""},
      {"Company.DIC", ""},
      {"Company.ICO", ""},
      {"Company.RespPerson", ""},
      {"Company.Phone", ""},
      {"Company.Fax", ""},
      {"Company.Mobile", ""},
      {"Company.ContactEmail", ""},
      {"Company.EMail", ""},
      {"Company.Currency", ""},
      {"Company.ExRate", "0"},
      {"ForeignCurrency", "0"},
      {"Export.ExportColumnsInView", "1"},
      {"Export.ExportOrderData", "1"},
      {"Export.ExportCompanyData", "1"},
      {"Export.TXT_Delimiter", "44"},
      {"Export.XLS_Delimiter", "9"},
      {"Export.TXT_DecimalSeparator", "."},
      {"Export.XLS_DecimalSeparator", "."},
      {"Export.General_Created", Cz("Vytvořeno")},
      {"Export.General_Changed", "*"},
      {"Export.General_DeliveryDate", Cz("Datum dodávky")},
      {"Export.General_LatestDeliveryDate", Cz("Max.datum dodávky")},
      {"Export.General_Sent", "*"},
      {"Export.Company_Name", Cz("Jméno/Název")},
      {"Export.Company_Name2", Cz("Jméno/Název 2")},
      {"Export.Company_Address", "Adresa"},
      {"Export.Company_City", Cz("Město")},
      {"Export.Company_PostalCode", Cz("PSČ")},
      {"Export.Company_DIC", Cz("DIČ")},
      {"Export.Company_ICO", Cz("IČO")},
      {"Export.Company_RespPerson", Cz("Zodpovědná osoba")},
      {"Export.Company_Phone", "Telefon"},
      {"Export.Company_Fax", "Fax"},
      {"Export.Company_Mobile", "Mobil"},
      {"Export.Company_email", "Email"},
      {"Export.Company_Contactemail", Cz("Kontaktní email")},
      {"LastImportDate", ""},
      {"LastImportFileName", ""},
      {"ApplicationTitle", Cz("Objednávky")},
      {"InfoText1", ""},
      {"InfoText2", ""},
      {"AutoSaveSettings", "1"},
      {"ImgAlphaBlend", "1"},
      {"ImgAlphaBlendValue", "192"},
      {"MinDeliveryDays", "0"},
      {"MaxDeliveryDays", "90"},
      {"EnabledDaysOfWeek", "12345"},
      {"Created", ""},
      {"CreatedTime", ""},
      {"CreatedHash", "0"},
      {"CreatedTimeHash", "0"},
      {"ID2", "0"},
      {"FindInGroup", "0"},
      {"AutoSearchSettings", "1"},
      {"SearchMode", "0"},
      {"SearchTimer", "500"},
      {"FirstRun", "1"},
      {"PriceListVerified", "0"}};

  const TAppSettings s = Load();
  std::set<std::string> listed;
  for (const TSettingsField& f : AppSettingsFields()) {
    SCOPED_TRACE(f.Name);
    listed.insert(f.Name);
    const std::string value = FieldValueText(f.Get(s));
    if (f.Name.rfind("Find.ID", 0) == 0 || f.Name.rfind("Colors.SpColor", 0) == 0) {
      EXPECT_TRUE(value == "0" || value.empty()); // no built-in marks, no colour rules
      continue;
    }
    const auto it = expected.find(f.Name);
    ASSERT_NE(it, expected.end()) << "a field without a default in this table";
    EXPECT_EQ(value, it->second);
  }
  for (const auto& [name, value] : expected)
    EXPECT_TRUE(listed.count(name)) << name << " is not a field";
  EXPECT_TRUE(listed.count("Find.ID41") && listed.count("Colors.SpColorKeywords10") &&
              listed.count("Colors.SpColor10"));
  EXPECT_FALSE(listed.count("Find.ID42"));
}

TEST_F(AppSettingsTest, FewScreenColoursSelectOtherColumnColours) {
  for (const int bits : {8, 16, 24}) {
    SCOPED_TRACE(bits);
    Env.ScreenBitsPerPixel = bits;
    const TAppSettings s = Load();
    const bool few = bits <= 16;
    EXPECT_EQ(s.Colors.EditColumn, few ? 0x0000FFFF : 0x00CCFFFF);
    EXPECT_EQ(s.Colors.SortColumn, few ? 0x00FFFF00 : 0x00E0E0E0);
    EXPECT_EQ(s.Colors.GroupsTree, few ? static_cast<TColor>(0xFF000005u) : 0x00F8F8F8);
  }
}

TEST_F(AppSettingsTest, DefaultsThatFollowOtherKeys) {
  NotFirstRun();
  Stored({{"Groups", "ReadGroups", "0"},
          {"Others", "MaxPriceListAge", "3"},
          {"Others", "RememberPosition", "1"},
          {"Others", "Window_Left", "100"},
          {"Others", "Window_Width", "800"}});
  const TAppSettings s = Load();
  EXPECT_FALSE(s.GroupsVisible);
  EXPECT_EQ(s.PriceListActualH, 72);
  EXPECT_EQ(s.LargeImgLeft, 100 + 800 - 400);

  Stored({{"Groups", "GroupsVisible", "1"}, {"Others", "PriceListActualH", "5"}});
  EXPECT_TRUE(Load().GroupsVisible);
  EXPECT_EQ(Load().PriceListActualH, 5);

  // Extreme stored numbers do not overflow the derived defaults.
  fs::remove_all(Dir.Path() / "user");
  NotFirstRun();
  Stored({{"Others", "MaxPriceListAge", "2147483647"},
          {"Others", "RememberPosition", "1"},
          {"Others", "Window_Left", "2147483647"},
          {"Others", "Window_Width", "2147483647"}});
  const TAppSettings extreme = Load();
  EXPECT_EQ(extreme.PriceListActualH, 2147483647);
  EXPECT_EQ(extreme.LargeImgLeft, 2147483647);
}

// ---------------------------------------------------------------------------------------------
// First run

TEST_F(AppSettingsTest, FirstRunWithoutAnIniFileSetsCopyIniAndNothingElse) {
  const TAppSettings first = Load();
  EXPECT_TRUE(first.FirstRun);
  EXPECT_EQ(UserFileText(), "[Others]\nCopyIni=1\n");
  EXPECT_FALSE(Load().FirstRun);
}

TEST_F(AppSettingsTest, FirstRunImportsTheIniFileBesideTheProgramOnce) {
  // Code page 1250 text as the supplier ships it: CR LF, comments, spaces around names, quotes,
  // a duplicate key (the first wins), a line without "=" and a key before any section.
  WriteFileBytes(Dir.File("program/objednavky.ini"), "stray=1\r\n"
                                                     "; the customer\r\n"
                                                     "[Company]\r\n"
                                                     "Name1 = " +
                                                         Cz("Žluťoučký kůň") +
                                                         "\r\n"
                                                         "Name1=second\r\n"
                                                         "City=\"Brno \"\r\n"
                                                         "no value line\r\n"
                                                         "[ Others ]\r\n"
                                                         "MaxAmount=1 500,5\r\n"
                                                         "CopyIni=0\r\n"
                                                         "[Supplier]\r\n"
                                                         "E-Mail=obchod@example.cz\r\n");
  WriteFileBytes(Dir.File("etc/objednavky.ini"), "[Company]\nName2=from the system folder\n");

  const TAppSettings s = Load();
  EXPECT_TRUE(s.FirstRun);
  EXPECT_EQ(s.Company.Name1, Cz("Žluťoučký kůň"));
  EXPECT_EQ(s.Company.City, "Brno ");
  EXPECT_EQ(s.Company.Name2, ""); // the program's folder wins over the system folder
  EXPECT_EQ(s.MaxAmount, 1500.5);
  EXPECT_EQ(s.Supplier.EMail, "obchod@example.cz");
  EXPECT_TRUE(s.CopyIni);

  const TSettingsStore store = OpenStore();
  EXPECT_EQ(store.ReadString("Others", "CopyIni"), "1"); // the ini's own 0 is overwritten
  EXPECT_EQ(store.ReadString("Company", "Name1"), Cz("Žluťoučký kůň"));
  EXPECT_FALSE(store.ValueExists("", "stray"));
  EXPECT_FALSE(store.ValueExists("Company", "no value line"));

  // A later start does not import again, even when the file changed.
  WriteFileBytes(Dir.File("program/objednavky.ini"), "[Company]\nName1=changed\n");
  const TAppSettings second = Load();
  EXPECT_FALSE(second.FirstRun);
  EXPECT_EQ(second.Company.Name1, Cz("Žluťoučký kůň"));
}

TEST_F(AppSettingsTest, FirstRunFallsBackToTheSystemConfigurationFolder) {
  WriteFileBytes(Dir.File("etc/objednavky.ini"), "[Company]\nName2=from the system folder\n");
  EXPECT_EQ(Load().Company.Name2, "from the system folder");
}

TEST_F(AppSettingsTest, AnUnreadableIniFileCopiesNothingButCopyIniIsSet) {
  fs::create_directories(Dir.Path() / "program/objednavky.ini"); // a folder in its place
  WriteFileBytes(Dir.File("etc/objednavky.ini"), "[Company]\nName2=x\n");
  const TAppSettings s = Load();
  EXPECT_TRUE(s.FirstRun);
  EXPECT_EQ(s.Company.Name2, "x"); // a folder is no ini file: the next place is looked at

  fs::remove_all(Dir.Path() / "user");
  fs::remove(Dir.Path() / "etc/objednavky.ini");
  fs::remove_all(Dir.Path() / "program/objednavky.ini");
  WriteFileBytes(Dir.File("program/objednavky.ini"), std::string(5 * 1024 * 1024, 'x')); // not an ini
  EXPECT_TRUE(Load().FirstRun);
  EXPECT_EQ(UserFileText(), "[Others]\nCopyIni=1\n");
}

TEST_F(AppSettingsTest, ImportStopsAtANulByteAndKeepsNestedSections) {
  const std::string ini = Dir.File("x.ini");
  WriteFileBytes(ini, std::string("[AllUsers\\Colors]\nGrid=255\n[A]\nx=1\0y=2\n", 38));
  TSettingsStore store = OpenStore();
  EXPECT_EQ(ImportIniFile(ini, store), 2);
  EXPECT_EQ(store.ReadString("AllUsers\\Colors", "Grid"), "255");
  EXPECT_EQ(store.ReadString("A", "x"), "1");
  EXPECT_EQ(ImportIniFile(Dir.File("missing.ini"), store), 0);
}

// ---------------------------------------------------------------------------------------------
// Reading rules

TEST_F(AppSettingsTest, MaxAmountIsAtLeastOneHundredAndKeepsItsValueForNonsense) {
  NotFirstRun();
  const struct {
    const char* stored;
    double expected;
  } cases[] = {{"50", 100}, {"1 500,5", 1500.5}, {"100", 100}, {"2e3", 2000}, {"lots", 100}, {"", 100}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    Stored({{"Others", "MaxAmount", c.stored}});
    EXPECT_EQ(Load().MaxAmount, c.expected);
  }
  // A text that is not a number keeps what an earlier load gave.
  TAppSettings s(Env.Designed);
  Stored({{"Others", "MaxAmount", "5000"}});
  TSettingsStore store = OpenStore();
  LoadSettings(s, store, Env, {});
  store.WriteString("Others", "MaxAmount", "x");
  LoadSettings(s, store, Env, {});
  EXPECT_EQ(s.MaxAmount, 5000);
}

TEST_F(AppSettingsTest, EnabledDaysOfWeekNeedsAWeekdayDigit) {
  NotFirstRun();
  for (const auto& [stored, expected] : std::vector<std::pair<std::string, std::string>>{
           {"90", "12345"}, {"67", "67"}, {"", "12345"}, {"abc", "12345"}, {"8", "12345"}, {"1", "1"}}) {
    SCOPED_TRACE(stored);
    Stored({{"Others", "EnabledDaysOfWeek", stored}});
    EXPECT_EQ(Load().EnabledDaysOfWeek, expected);
  }
}

TEST_F(AppSettingsTest, ForeignCurrencyNeedsACurrencyAndARateOtherThanZeroOrOne) {
  NotFirstRun();
  const struct {
    const char* currency;
    const char* rate;
    double expectedRate;
    bool foreign;
  } cases[] = {{"EUR", "25,5", 25.5, true}, {"EUR", "1", 1, false},    {"EUR", "0", 0, false},
               {"", "25,5", 25.5, false},   {"EUR", "kurz", 0, false}, {"EUR", "1,000000001", 1, false},
               {"EUR", "0.5", 0.5, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.currency) + " " + c.rate);
    Stored({{"Company", "Currency", c.currency}, {"Company", "ExRate", c.rate}});
    const TAppSettings s = Load();
    EXPECT_DOUBLE_EQ(s.Company.ExRate, c.expectedRate);
    EXPECT_EQ(s.ForeignCurrency, c.foreign);
  }
}

TEST_F(AppSettingsTest, ModesComeFromTheStoredFlagOrTheSwitch) {
  NotFirstRun();
  Stored({{"Others", "EnableWholePackage", "2"}});
  TLoadSettingsOptions options;
  EXPECT_EQ(Load(options).EnableWholePackage, 2);
  options.NoPackagesSwitch = true;
  options.NoStockSwitch = true;
  TAppSettings s = Load(options);
  EXPECT_TRUE(s.NoPackages && s.NoStock && s.NoPackagesSwitch && s.NoStockSwitch);
  EXPECT_EQ(s.EnableWholePackage, 0);

  Stored({{"Others", "NoPackages", "1"}});
  s = Load();
  EXPECT_TRUE(s.NoPackages);
  EXPECT_FALSE(s.NoPackagesSwitch || s.NoStock);
  EXPECT_EQ(s.EnableWholePackage, 0);
}

TEST_F(AppSettingsTest, OtherReadingRules) {
  NotFirstRun();
  Stored({{"Others", "SearchMode", "5"},
          {"Colors", "SpColorKeywords3", Cz("akce;žluťoučký")},
          {"Colors", "SpColor3", "255"},
          {"InfoText2", "b", "druhý řádek"},
          {"InfoText2", "a", "first line"},
          {"Others", "Created", "abc"},
          {"Others", "ID2", "12x"}, // not an integer: the default
          {"Find", "ID7", "1"}});
  TAppSettings s = Load();
  EXPECT_EQ(s.SearchMode, 0);
  EXPECT_EQ(s.Colors.SpColorKeywords[3], Cz("AKCE;ŽLUŤOUČKÝ"));
  EXPECT_EQ(s.Colors.SpColor[3], 255);
  EXPECT_EQ(s.InfoText2, (std::vector<std::string>{"druhý řádek", "first line"})); // stored order
  EXPECT_TRUE(s.InfoText1.empty());
  EXPECT_EQ(s.CreatedHash(), 807794786u);
  EXPECT_EQ(s.ID2, 0);
  EXPECT_TRUE(s.Find[7]);
  Stored({{"Others", "SearchMode", "-1"}});
  EXPECT_EQ(Load().SearchMode, 0);
  Stored({{"Others", "SearchMode", "4"}});
  EXPECT_EQ(Load().SearchMode, 4);
}

TEST(AppSettingsHashTest, HashesFollowEveryChangeOfTheTexts) {
  TAppSettings s;
  EXPECT_EQ(s.CreatedHash(), 0u);
  s.SetCreated("abc");
  EXPECT_EQ(s.CreatedHash(), 807794786u);
  s.SetCreatedTime("01.02.2026");
  EXPECT_EQ(s.CreatedTimeHash(), 3568975105u);
  s.SetCreated("");
  EXPECT_EQ(s.CreatedHash(), 0u);
  EXPECT_EQ(s.CreatedTimeHash(), 3568975105u);
  // Bytes above 0x7F count as unsigned.
  EXPECT_EQ(SdbmHash("\xC8"), 200u);
}

// ---------------------------------------------------------------------------------------------
// Window placement

TEST_F(AppSettingsTest, StoredBoundsApplyOnlyWithRememberPositionOne) {
  NotFirstRun();
  Stored({{"Others", "Window_Left", "77"},
          {"Others", "Window_Top", "66"},
          {"Others", "Window_Width", "500"},
          {"Others", "Window_Heigh", "400"},
          {"Others", "WindowState", "1"}});
  for (const int remember : {0, 1, 2}) {
    SCOPED_TRACE(remember);
    Stored({{"Others", "RememberPosition", std::to_string(remember)}});
    const TAppSettings s = Load();
    EXPECT_EQ(s.ApplyWindowBounds, remember == 1);
    EXPECT_EQ(s.FillScreen, remember == 2);
    EXPECT_EQ(s.Window_Left, remember == 1 ? 77 : 0);
    EXPECT_EQ(s.Window_Heigh, remember == 1 ? 400 : 768);
    EXPECT_EQ(s.WindowState, 0); // never read
  }
  // Without placement (a reload after a package) the window keeps its bounds.
  TAppSettings s(Env.Designed);
  s.Window_Left = 5;
  TSettingsStore store = OpenStore();
  TLoadSettingsOptions options;
  options.ApplyWindowPlacement = false;
  LoadSettings(s, store, Env, options);
  EXPECT_EQ(s.Window_Left, 5);
  EXPECT_FALSE(s.ApplyWindowBounds || s.FillScreen);
}

TEST_F(AppSettingsTest, BoundsIgnoredAtStartAreStillWrittenAtSave) {
  NotFirstRun();
  Stored({{"Others", "RememberPosition", "0"}, {"Others", "Window_Left", "77"}});
  TAppSettings s = Load();
  s.Window_Left = 12; // where the window is now
  TSettingsStore store = OpenStore();
  ASSERT_TRUE(SaveSettings(s, store));
  EXPECT_EQ(OpenStore().ReadString("Others", "Window_Left"), "12");
}

// ---------------------------------------------------------------------------------------------
// Saving

TEST_F(AppSettingsTest, SaveWritesExactlyTheSavedKeys) {
  std::set<std::string> expected;
  const auto add = [&expected](const std::string& section, std::initializer_list<const char*> keys) {
    for (const char* key : keys)
      expected.insert(section + "/" + key);
  };
  add("Files", {"Orders", "Pictures", "PriceList", "Groups", "LOGfile"});
  add("Groups", {"ReadGroups", "GroupsVisible", "Width"});
  add("Colors", {"ActiveRow", "InactiveRow", "EditColumn", "SortColumn", "GroupsTree"});
  add("Others", {"LOGEnabled",
                 "ImgDownload",
                 "Prefix",
                 "Format",
                 "Suffix",
                 "Extension",
                 "DBCExtension",
                 "RememberPosition",
                 "WindowState",
                 "Window_Left",
                 "Window_Top",
                 "Window_Width",
                 "Window_Heigh",
                 "Splitter_Right",
                 "Splitter_Left",
                 "SmallImg",
                 "LargeImg",
                 "LargeImgLeft",
                 "LargeImgTop",
                 "LargeImgWidth",
                 "LargeImgHeight",
                 "ImgAlphaBlend",
                 "ImgAlphaBlendValue",
                 "MailSendFormat",
                 "SMTPServer",
                 "SMTPNeedLogin",
                 "SMTPUser",
                 "SMTPPassword",
                 "MailNotification",
                 "TAVPriceList",
                 "TAVAlias",
                 "RegisterOBX",
                 "RegisterDBC",
                 "CheckOldPriceList",
                 "LastImportDate",
                 "LastImportFileName",
                 "FindInGroup",
                 "AutoSearchSettings",
                 "SearchMode"});
  for (int id = 0; id < 42; ++id)
    expected.insert("Find/ID" + std::to_string(id));
  add("Supplier", {"E-Mail"});
  add("Company", {"Name1", "Name2", "Address", "City", "PSC", "DIC", "ICO", "RespPerson", "Phone", "Fax", "Mobile",
                  "ContactEmail", "e-mail", "Currency", "ExRate"});
  add("Export", {"ExportColumnsInView",
                 "ExportOrderData",
                 "ExportCompanyData",
                 "TXT_Delimiter",
                 "XLS_Delimiter",
                 "TXT_DecimalSeparator",
                 "XLS_DecimalSeparator",
                 "General_Created",
                 "General_Changed",
                 "General_DeliveryDate",
                 "General_LatestDeliveryDate",
                 "General_Sent",
                 "Company_Name",
                 "Company_Name2",
                 "Company_Address",
                 "Company_City",
                 "Company_PostalCode",
                 "Company_DIC",
                 "Company_ICO",
                 "Company_RespPerson",
                 "Company_Phone",
                 "Company_Fax",
                 "Company_Mobile",
                 "Company_email",
                 "Company_Contactemail"});

  const TAppSettings s = Load();
  TSettingsStore empty("objednavky", Dir.File("saved"), Dir.File("presets"));
  ASSERT_TRUE(SaveSettings(s, empty));
  std::set<std::string> written;
  for (const std::string& section : empty.GetSectionPaths())
    for (const std::string& key : empty.GetValueNames(section))
      written.insert(section + "/" + key);
  EXPECT_EQ(written, expected);
}

TEST_F(AppSettingsTest, SaveKeepsReadOnlyKeysAndReadsBackWhatItWrote) {
  NotFirstRun();
  Stored({{"Others", "MaxAmount", "5000"}, {"Others", "NoStock", "1"}, {"Supplier", "Name", "Velkoobchod"}});
  TAppSettings s = Load();
  s.Company.Name1 = Cz("Pekařství U Čápa");
  s.Company.Currency = "EUR";
  s.Company.ExRate = 25.5;
  s.SMTPPassword = Cz("tajné heslo");
  s.SearchMode = 3;
  s.Colors.ActiveRow = SystemColor(0x18);
  s.Find[41] = true;
  s.Orders = Dir.File("docs");
  s.NoStock = false; // a mode is never saved
  TSettingsStore store = OpenStore();
  ASSERT_TRUE(SaveSettings(s, store));

  const TSettingsStore saved = OpenStore();
  EXPECT_EQ(saved.ReadString("Others", "MaxAmount"), "5000");
  EXPECT_EQ(saved.ReadString("Others", "NoStock"), "1");
  EXPECT_EQ(saved.ReadString("Supplier", "Name"), "Velkoobchod");
  EXPECT_EQ(saved.ReadString("Company", "ExRate"), "25,5"); // shortest text, the user's decimal comma
  EXPECT_EQ(saved.ReadString("Colors", "ActiveRow"), "-16777192");
  const std::string password = saved.ReadString("Others", "SMTPPassword");
  EXPECT_EQ(password.size(), 3 * (1 + s.SMTPPassword.size()));
  EXPECT_EQ(password.find_first_not_of("0123456789"), std::string::npos);

  const TAppSettings again = Load();
  for (const TSettingsField& f : AppSettingsFields()) {
    SCOPED_TRACE(f.Name);
    if (f.Saved) {
      EXPECT_EQ(FieldValueText(f.Get(again)), FieldValueText(f.Get(s)));
    }
  }
  EXPECT_TRUE(again.ForeignCurrency);
  EXPECT_TRUE(again.NoStock);
}

TEST_F(AppSettingsTest, AFailedSaveReportsAndLeavesTheFileAlone) {
  NotFirstRun();
  fs::remove_all(Dir.Path() / "user");
  WriteFileBytes(Dir.File("user"), "a file where the folder belongs");
  TSettingsStore store = OpenStore();
  std::string problem;
  EXPECT_FALSE(SaveSettings(Load(), store, nullptr, &problem));
  EXPECT_FALSE(problem.empty());
  EXPECT_EQ(ReadFileBytes(Dir.File("user")), "a file where the folder belongs");
}

// The seam to the column model: called from load and save, asked for the built-in marks.
class TRecordingLayouts : public IColumnLayoutStore {
public:
  void LoadColumnLayouts(const TSettingsStore& store) override {
    ++Loads;
    Width = store.ReadString("PriceListColumns", "Width0");
  }
  void SaveColumnLayouts(TSettingsStore& store) const override {
    ++Saves;
    store.WriteString("PriceListColumns", "Width0", "80");
  }
  bool BuiltInSearched(int contentId) const override { return contentId == 2; }
  int Loads = 0;
  mutable int Saves = 0;
  std::string Width;
};

TEST_F(AppSettingsTest, ColumnLayoutsAreLoadedAndSavedThroughTheSeam) {
  NotFirstRun();
  Stored({{"PriceListColumns", "Width0", "120"}, {"Find", "ID3", "1"}});
  TRecordingLayouts layouts;
  TLoadSettingsOptions options;
  options.Layouts = &layouts;
  TAppSettings s = Load(options);
  EXPECT_EQ(layouts.Loads, 1);
  EXPECT_EQ(layouts.Width, "120");
  EXPECT_TRUE(s.Find[2]); // built-in mark
  EXPECT_TRUE(s.Find[3]); // stored mark
  EXPECT_FALSE(s.Find[4]);

  options.LoadLayouts = false;
  Load(options);
  EXPECT_EQ(layouts.Loads, 1);

  TSettingsStore store = OpenStore();
  ASSERT_TRUE(SaveSettings(s, store, &layouts));
  EXPECT_EQ(layouts.Saves, 1);
  EXPECT_EQ(OpenStore().ReadString("PriceListColumns", "Width0"), "80");
}

// ---------------------------------------------------------------------------------------------
// Folders

TEST_F(AppSettingsTest, FoldersThatCannotBeMadeFallBack) {
  NotFirstRun();
  WriteFileBytes(Dir.File("blocker"), "a file, so nothing can be made below it");
  const std::string blocked = Dir.File("blocker/sub");
  Stored({{"Files", "Orders", blocked},
          {"Files", "Pictures", Dir.File("missing/two/levels")},
          {"Files", "PriceList", Dir.File("missing/KARTY.DBF")}, // one level: made
          {"Files", "Groups", blocked + "/OKRUHY.DBF"},
          {"Files", "LOGfile", "C:\\Orvela\\LOG\\objednavky.log"},
          {"Files", "TAVBin", "TAV.BIN"}});
  const TAppSettings s = Load();
  EXPECT_EQ(s.Orders, Dir.File("docs"));
  EXPECT_EQ(s.Pictures, Dir.File("appdata"));
  EXPECT_EQ(s.PriceList, Dir.File("missing/KARTY.DBF"));
  EXPECT_TRUE(fs::is_directory(Dir.Path() / "missing"));
  EXPECT_EQ(s.Groups, Dir.File("appdata/OKRUHY.DBF"));
  EXPECT_EQ(s.LOGfile, Dir.File("appdata/objednavky.log")); // a Windows drive has no folder here
  EXPECT_EQ(s.TAVBin, "TAV.BIN");                           // an empty folder is taken as it is

  // The stored values are not changed by a fallback.
  EXPECT_EQ(OpenStore().ReadString("Files", "Orders"), blocked);
}

TEST_F(AppSettingsTest, FolderRuleAcceptsRootsAndExistingFolders) {
  const std::string fallback = "/fallback";
  const struct {
    std::string path;
    bool folder;
    std::string expected;
  } cases[] = {
      {"", true, ""},
      {"/", true, "/"},
      {"C:", true, "C:"},
      {"C:\\", true, "C:\\"},
      {"C:\\Orders", true, fallback},
      {"/KARTY.DBF", false, "/KARTY.DBF"},
      {"C:\\KARTY.DBF", false, "C:\\KARTY.DBF"},
      {"KARTY.DBF", false, "KARTY.DBF"},
      {Dir.File("docs"), true, Dir.File("docs")},
      {Dir.File("docs") + "/", true, Dir.File("docs") + "/"},
      {Dir.File("docs/new"), true, Dir.File("docs/new")},
      {Dir.File("docs/a/b"), true, fallback},
      {Dir.File("docs/a/b/X.DBF"), false, fallback + "/X.DBF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(ApplyFolderRule(c.path, c.folder, fallback), c.expected);
  }
}

TEST_F(AppSettingsTest, FilePathSettingPutsBareNamesInTheProgramFolder) {
  NotFirstRun();
  TSettingsStore store = OpenStore();
  EXPECT_EQ(FilePathSetting(store, "PriceList", "KARTY.DBF", Env), Dir.File("appdata/objednavky/KARTY.DBF"));
  EXPECT_TRUE(fs::is_directory(Dir.Path() / "appdata/objednavky"));
  EXPECT_EQ(FilePathSetting(store, "TAVBin", "TAV.BIN", Env), Dir.File("appdata/objednavky/TAV.BIN"));
  store.WriteString("Files", "TAVBin", "TAV.BIN");
  EXPECT_EQ(FilePathSetting(store, "TAVBin", "TAV.BIN", Env), Dir.File("program/TAV.BIN"));
  store.WriteString("Files", "PriceList", "data\\KARTY.DBF");
  EXPECT_EQ(FilePathSetting(store, "PriceList", "KARTY.DBF", Env), "data\\KARTY.DBF");

  // A data folder that cannot be made gives way to the application-data folder.
  fs::remove_all(Dir.Path() / "appdata/objednavky");
  WriteFileBytes(Dir.File("appdata/objednavky"), "");
  EXPECT_EQ(FilePathSetting(OpenStore(), "Groups", "OKRUHY.DBF", Env), Dir.File("appdata/OKRUHY.DBF"));
}

TEST_F(AppSettingsTest, MissingApplicationDataAndDocumentsFoldersAreMade) {
  Env.AppDataFolder = Dir.File("home/.local/share");
  Env.DocumentsFolder = Dir.File("home/Dokumenty");
  const TAppSettings s = Load();
  EXPECT_EQ(s.Orders, Dir.File("home/Dokumenty/objednavky"));
  EXPECT_EQ(s.PriceList, Dir.File("home/.local/share/objednavky/KARTY.DBF"));
  EXPECT_TRUE(fs::is_directory(Dir.Path() / "home/Dokumenty/objednavky"));
}

TEST(SettingsEnvironmentTest, FoldersOfThisMachineFollowTheXdgVariables) {
  TempDir dir;
  const std::string home = dir.File("jan");
  fs::create_directories(home + "/.config");
  TEnvOverride homeVariable("HOME", home.c_str());
  TEnvOverride configHome("XDG_CONFIG_HOME", nullptr);
  TEnvOverride dataHome("XDG_DATA_HOME", "relative/is/ignored");
  TEnvOverride configDirs("XDG_CONFIG_DIRS", "relative:/opt/conf:/etc/other");

  TSettingsEnvironment env = TSettingsEnvironment::FromSystem("objednavky");
  EXPECT_EQ(env.AppDataFolder, home + "/.local/share");
  EXPECT_EQ(env.DataFolder(), home + "/.local/share/objednavky");
  EXPECT_EQ(env.DocumentsFolder, home + "/Documents");
  EXPECT_EQ(env.OrdersFolder(), home + "/Documents/objednavky");
  EXPECT_EQ(env.SystemConfigFolder, "/opt/conf");
  EXPECT_EQ(env.MailClientFolder, home + "/.thunderbird");
  EXPECT_EQ(env.ProgramFolder, fs::read_symlink("/proc/self/exe").parent_path().string());

  // The documents folder of user-dirs.dirs, as xdg-user-dir reads it.
  WriteFileBytes(home + "/.config/user-dirs.dirs", "# written by xdg-user-dirs-update\n"
                                                   "XDG_DESKTOP_DIR=\"$HOME/Plocha\"\n"
                                                   "XDG_DOCUMENTS_DIR=\"$HOME/Dokumenty\"\n");
  TEnvOverride dataHome2("XDG_DATA_HOME", "/srv/data");
  TEnvOverride configDirs2("XDG_CONFIG_DIRS", nullptr);
  env = TSettingsEnvironment::FromSystem("jiny");
  EXPECT_EQ(env.DocumentsFolder, home + "/Dokumenty");
  EXPECT_EQ(env.DataFolder(), "/srv/data/jiny");
  EXPECT_EQ(env.SystemConfigFolder, "/etc/xdg");
}

// ---------------------------------------------------------------------------------------------
// Mail client

class MailClientTest : public AppSettingsTest {
protected:
  void Profile(const std::string& folder, const std::string& prefs) const {
    fs::create_directories(Dir.Path() / "mail" / folder);
    WriteFileBytes(Dir.File("mail/" + folder + "/prefs.js"), prefs);
  }
};

const char kPrefs[] = "// Mozilla User Preferences\n"
                      "user_pref(\"mail.account.account1.identities\", \"id2,id1\");\n"
                      "user_pref(\"mail.accountmanager.defaultaccount\", \"account1\");\n"
                      "user_pref(\"mail.identity.id2.fullName\", \"Jan Nov\\u00e1k\");\n"
                      "user_pref(\"mail.identity.id2.useremail\", \"jan@example.cz\");\n"
                      "user_pref(\"mail.identity.id2.reply_to\", \"\");\n"
                      "user_pref(\"mail.identity.id2.smtpServer\", \"smtp2\");\n"
                      "user_pref(\"mail.smtp.defaultserver\", \"smtp1\");\n"
                      "user_pref(\"mail.smtpserver.smtp1.hostname\", \"wrong.example.cz\");\n"
                      "user_pref(\"mail.smtpserver.smtp2.hostname\", \"smtp.example.cz\");\n"
                      "user_pref(\"mail.smtpserver.smtp2.port\", 587);\n";

TEST_F(MailClientTest, TheDefaultAccountGivesServerAndAddress) {
  WriteFileBytes(Dir.File("mail/profiles.ini"),
                 "[Profile1]\nName=other\nIsRelative=1\nPath=other.default\n\n"
                 "[Profile0]\nName=default\nIsRelative=1\nPath=abc.default\nDefault=1\n");
  Profile("other.default", "user_pref(\"mail.identity.id1.useremail\", \"other@example.cz\");\n");
  Profile("abc.default", kPrefs);
  const TMailClientDefaults mail = ReadMailClientDefaults(Dir.File("mail"));
  EXPECT_EQ(mail.SMTPServer, "smtp.example.cz");
  EXPECT_EQ(mail.EMail, "jan@example.cz");

  // The load takes them as defaults; stored values win.
  TAppSettings s = Load();
  EXPECT_EQ(s.SMTPServer, "smtp.example.cz");
  EXPECT_EQ(s.Company.EMail, "jan@example.cz");
  Stored({{"Others", "SMTPServer", "mail.firma.cz"}});
  EXPECT_EQ(Load().SMTPServer, "mail.firma.cz");
}

TEST_F(MailClientTest, ReplyToWinsAndTheInstallDefaultChoosesTheProfile) {
  WriteFileBytes(Dir.File("mail/profiles.ini"), "[Install4F96D1932A9F858E]\nDefault=chosen\nLocked=1\n\n"
                                                "[Profile0]\nPath=abc.default\nIsRelative=1\nDefault=1\n");
  Profile("abc.default", kPrefs);
  Profile("chosen",
          std::string(kPrefs) + "user_pref(\"mail.identity.id2.reply_to\", \"odpov\\u011Bdi@example.cz\");\n");
  const TMailClientDefaults mail = ReadMailClientDefaults(Dir.File("mail"));
  EXPECT_EQ(mail.EMail, Cz("odpovědi@example.cz"));
}

TEST_F(MailClientTest, MissingOrMalformedConfigurationGivesEmptyDefaults) {
  EXPECT_EQ(ReadMailClientDefaults(Dir.File("nowhere")).SMTPServer, "");
  EXPECT_EQ(ReadMailClientDefaults("").EMail, "");
  // No profiles.ini: the one profile folder is used; broken lines are skipped.
  Profile("x.default", "user_pref(\"mail.accountmanager.defaultaccount\", \"account1\"\n"
                       "user_pref(\"mail.account.account1.identities\", \"id1\");\n"
                       "user_pref(\"mail.identity.id1.useremail\", \"unterminated);\n"
                       "user_pref(\"mail.identity.id1.smtpServer\" \"smtp1\");\n"
                       "user_pref(\"mail.smtpserver.smtp1.hostname\", \"\\x\");\n"
                       "garbage \xFF\xFE\n"
                       "user_pref(\"mail.accountmanager.accounts\", \"account1\");\n");
  const TMailClientDefaults mail = ReadMailClientDefaults(Dir.File("mail"));
  EXPECT_EQ(mail.EMail, "");
  EXPECT_EQ(mail.SMTPServer, "");
  WriteFileBytes(Dir.File("mail/profiles.ini"), "[Profile0]\nPath=/nonexistent\nIsRelative=0\n");
  EXPECT_EQ(ReadMailClientDefaults(Dir.File("mail")).EMail, "");
}

// ---------------------------------------------------------------------------------------------
// Password

TEST(PasswordScrambleTest, KnownForms) {
  EXPECT_EQ(ScramblePasswordWith("A", 17), "017037");      // 0x41 -> 0x14 = 20, 17 + 20
  EXPECT_EQ(ScramblePasswordWith("\xF8", 200), "200087");  // ř: 0xF8 -> 0x8F = 143, (200 + 143) mod 256
  EXPECT_EQ(ScramblePasswordWith("ab", 255), "255021037"); // 0x61 -> 0x16 = 22, 255 + 22 - 256
  EXPECT_EQ(ScramblePasswordWith("", 17), "");
  EXPECT_EQ(UnscramblePassword("017037"), "A");
  EXPECT_EQ(UnscramblePassword("200087"), "\xF8");
  EXPECT_EQ(UnscramblePassword("255021037"), "ab");
}

TEST(PasswordScrambleTest, BadStoredTextsGiveEmptyOrZeroGroups) {
  for (const char* text : {"", "1", "12", "0170371", "1234567"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(UnscramblePassword(text), "");
  }
  EXPECT_EQ(UnscramblePassword("017"), "");        // r alone
  EXPECT_EQ(UnscramblePassword("017ab0"), "\xFE"); // "ab0" counts as 0: (0 - 17) mod 256 = 0xEF
  EXPECT_EQ(UnscramblePassword("xyz037"), "\x52"); // r = 0: 37 = 0x25 -> 0x52
  EXPECT_EQ(UnscramblePassword("000999"), "\x7E"); // 999 mod 256 = 0xE7 -> 0x7E
}

TEST(PasswordScrambleTest, EveryByteSurvivesARoundTripAndTheFormVaries) {
  std::string password;
  for (int b = 1; b < 256; ++b)
    password += static_cast<char>(b);
  std::set<std::string> forms;
  for (int i = 0; i < 200; ++i) {
    const std::string text = ScramblePassword(password);
    ASSERT_EQ(text.size(), 3 * (password.size() + 1));
    const int r = std::stoi(text.substr(0, 3));
    EXPECT_GE(r, 1);
    EXPECT_LE(r, 254);
    ASSERT_EQ(UnscramblePassword(text), password);
    forms.insert(text);
  }
  EXPECT_GT(forms.size(), 1u);
  for (int r = 0; r < 256; ++r)
    ASSERT_EQ(UnscramblePassword(ScramblePasswordWith(password, r)), password) << r;
}

TEST_F(AppSettingsTest, AStoredPasswordOfSevenDigitsReadsAsEmpty) {
  NotFirstRun();
  Stored({{"Others", "SMTPPassword", "1234567"}});
  EXPECT_EQ(Load().SMTPPassword, "");
  Stored({{"Others", "SMTPPassword", "017037"}});
  EXPECT_EQ(Load().SMTPPassword, "A");
}

} // namespace
