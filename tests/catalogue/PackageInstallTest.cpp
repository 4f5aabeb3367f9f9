#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>

#include "catalogue/PackageImport.h"
#include "catalogue/PackageImportTestSupport.h"
#include "catalogue/PackageTestSupport.h"
#include "core/Errors.h"
#include "formats/CodePages.h"
#include "formats/LzhCodec.h"

using namespace packagetest;

namespace {

std::string Cp852(const std::string& utf8) { return Cp1250ToCp852(Cz(utf8)); }

std::time_t MTime(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mtime;
}

class PackageInstallTest : public PackageFixture, public ::testing::Test {
protected:
  std::string Install(bool takeCompany = false) {
    try {
      InstallPackage(Ctx, Package(), takeCompany);
      return {};
    } catch (const Exception& e) {
      return Cp1250ToUtf8(e.what());
    }
  }
  std::string BadMessage() const { return "Soubor " + Package() + " nemá formát použitelný pro import ceníku"; }
};

TEST_F(PackageInstallTest, InstallsEveryKindOfEntryInItsPlace) {
  TPackageBuilder p;
  p.Add("KARTY.DBF", "cards");
  p.Add("CENIK.INI", Cp852("[DBC]\r\nCREATED=01.03.2026\r\nID2=4711\r\n"));
  p.Add("OKRUHY.DBF", "groups");
  p.Add("TXTEXA.TXT", Cp852("Dodací podmínky\r\nplatí od března\r\n"));
  p.Add("txtexb.txt", Cp852("Žádné novinky"));
  p.Add("P$_A100.JPG", "jpeg");
  p.Add("akce.htm", "<p>akce</p>");
  p.Add("README.DOC", "skipped");
  p.Add("novinky.HTML", "<p>novinky</p>");
  p.Write(Package());

  ASSERT_EQ(Install(), "");

  EXPECT_EQ(ReadFileBytes(Cards()), "cards");
  EXPECT_EQ(ReadFileBytes(Groups()), "groups");
  EXPECT_EQ(ReadFileBytes(Picture("A100.JPG")), "jpeg");
  // Pages are numbered in package order, whatever their names and case.
  EXPECT_EQ(ReadFileBytes(Picture("_INFO_1.HTM")), "<p>akce</p>");
  EXPECT_EQ(ReadFileBytes(Picture("_INFO_2.HTM")), "<p>novinky</p>");
  // Nothing else, no temporary file left behind, the skipped entry nowhere.
  EXPECT_EQ(FolderListing(Dir.File("pics")), (std::vector<std::string>{"A100.JPG", "_INFO_1.HTM", "_INFO_2.HTM"}));
  EXPECT_EQ(FolderListing(Dir.File("data")), (std::vector<std::string>{"KARTY.DBF", "OKRUHY.DBF"}));
  // Every installed file carries its entry's time.
  EXPECT_EQ(MTime(Cards()), LocalUnixTime(2026, 3, 15, 10, 20, 30));
  EXPECT_EQ(MTime(Picture("_INFO_2.HTM")), LocalUnixTime(2026, 3, 15, 10, 20, 30));

  EXPECT_EQ(Settings.InfoHTMLCount, 2);
  EXPECT_EQ(Settings.InfoText1, (std::vector<std::string>{Cz("Dodací podmínky"), Cz("platí od března")}));
  EXPECT_EQ(Settings.InfoText2, (std::vector<std::string>{Cz("Žádné novinky")}));
  EXPECT_EQ(Settings.LastImportFileName, Package());
  EXPECT_EQ(Settings.LastImportDate, "15.03.2026 10:20:30");
  EXPECT_EQ(Settings.Created(), "01.03.2026");
  EXPECT_EQ(Settings.ID2, 4711);
  EXPECT_FALSE(Settings.PriceListVerified);

  // The package's settings are in the store on disk at once.
  const TSettingsStore saved = SavedStore();
  EXPECT_EQ(saved.ReadString("InfoHTML", "InfoHTMLCount"), "2");
  EXPECT_EQ(saved.ReadString("InfoText1", "L1"), Cz("Dodací podmínky"));
  EXPECT_EQ(saved.ReadString("InfoText1", "L2"), Cz("platí od března"));
  EXPECT_FALSE(saved.ValueExists("InfoText1", "L3"));
  EXPECT_EQ(saved.ReadString("InfoText2", "L1"), Cz("Žádné novinky"));
  EXPECT_EQ(saved.ReadString("Others", "ID2"), "4711");

  EXPECT_EQ(Log, (std::vector<std::string>{
                     "Import ceníku ze souboru " + Package(),
                     "Import ceníku. Soubor: " + Cards() + " 15.03.2026 10:20:30",
                     "Import ceníku. Soubor: InfoCenikIni",
                     "Import ceníku. Soubor: " + Groups(),
                     "Import ceníku. Soubor: InfoText1",
                     "Import ceníku. Soubor: InfoText2",
                 }));
  // The other-information group follows its box after every entry but the tables and the
  // description.
  EXPECT_EQ(Host.Calls, (std::vector<std::string>{"BeginBusy", "SetInfoText 1 2", "Show 0", "SetInfoText 2 1", "Show 1",
                                                  "Show 1", "Show 1", "Show 1", "Show 1", "EndBusy"}));
}

TEST_F(PackageInstallTest, PackageWithOnlyTheCardTableLeavesEverythingElse) {
  WriteFileBytes(Groups(), "old groups");
  Store.WriteString("InfoText1", "L1", "old text");
  Settings.InfoText1 = {"old text"};
  Store.WriteInteger("InfoHTML", "InfoHTMLCount", 3);
  TPackageBuilder p;
  p.Add("kar.dbf", "cards");
  p.Write(Package());

  ASSERT_EQ(Install(), "");

  EXPECT_EQ(ReadFileBytes(Cards()), "cards");
  EXPECT_EQ(ReadFileBytes(Groups()), "old groups");
  EXPECT_EQ(SavedStore().ReadString("InfoText1", "L1"), "old text");
  EXPECT_EQ(Settings.InfoText1, std::vector<std::string>{"old text"});
  EXPECT_EQ(SavedStore().ReadString("InfoHTML", "InfoHTMLCount"), "0");
  EXPECT_EQ(Log.size(), 2u);
}

TEST_F(PackageInstallTest, ImpossibleEntryDateGivesAnEmptyImportDate) {
  TPackageBuilder p;
  p.Add("KARTY.DBF", "cards", (46 << 9) | (13 << 5) | 40); // month 13, day 40
  p.Write(Package());
  ASSERT_EQ(Install(), "");
  EXPECT_EQ(Settings.LastImportDate, "");
  EXPECT_EQ(Log.back(), "Import ceníku. Soubor: " + Cards() + " ");
}

// A bad package never replaces the installed price list: nothing is written, whichever entry
// is bad and wherever it lies.
struct TBadPackage {
  const char* Name;
  void (*Damage)(TPackageBuilder& p);
};

const TBadPackage kBadPackages[] = {
    {"NoCardTable",
     [](TPackageBuilder& p) {
       p.Add("OKRUHY.DBF", "new groups");
       p.Add("P$_X.JPG", "new picture");
     }},
    {"TruncatedLastEntry",
     [](TPackageBuilder& p) {
       p.Add("KARTY.DBF", "new cards");
       p.Add("P$_X.JPG", "new picture");
       p.Bytes().resize(p.Bytes().size() - 1);
     }},
    {"TruncatedHeaderAtTheEnd",
     [](TPackageBuilder& p) {
       p.Add("KARTY.DBF", "new cards");
       p.Bytes() += "TVX.";
     }},
    {"BadSignatureInTheMiddle",
     [](TPackageBuilder& p) {
       p.Add("KARTY.DBF", "new cards");
       const std::size_t second = p.Add("OKRUHY.DBF", "new groups");
       p.Add("P$_X.JPG", "new picture");
       p.Bytes()[second] = 'X'; // "TVX." -> "XVX."
     }},
    {"NonzeroMethodInTheMiddle",
     [](TPackageBuilder& p) {
       p.Add("KARTY.DBF", "new cards");
       const std::size_t second = p.Add("OKRUHY.DBF", "new groups");
       p.Add("P$_X.JPG", "new picture");
       p.Bytes()[second + 8] = 1; // method
     }},
    {"NameEscapingToParent",
     [](TPackageBuilder& p) {
       p.Add("KARTY.DBF", "new cards");
       p.Add("P$_..", "new picture");
     }},
    {"NameEndingInASeparator",
     [](TPackageBuilder& p) {
       p.Add("KARTY.DBF", "new cards");
       p.Add("PICS\\", "new picture");
     }},
};

class BadPackageTest : public PackageInstallTest, public ::testing::WithParamInterface<TBadPackage> {};

TEST_P(BadPackageTest, NothingIsInstalled) {
  WriteFileBytes(Cards(), "old cards");
  WriteFileBytes(Groups(), "old groups");
  TPackageBuilder p;
  p.Add("TXTEXA.TXT", "new text");
  GetParam().Damage(p);
  p.Write(Package());

  EXPECT_EQ(Install(), BadMessage());

  EXPECT_EQ(ReadFileBytes(Cards()), "old cards");
  EXPECT_EQ(ReadFileBytes(Groups()), "old groups");
  EXPECT_EQ(FolderListing(Dir.File("data")), (std::vector<std::string>{"KARTY.DBF", "OKRUHY.DBF"}));
  EXPECT_TRUE(FolderListing(Dir.File("pics")).empty());
  EXPECT_TRUE(Settings.InfoText1.empty());
  EXPECT_FALSE(SavedStore().SectionExists("InfoText1"));
  EXPECT_EQ(Log, std::vector<std::string>{"Import ceníku ze souboru " + Package()});
  EXPECT_EQ(Host.Calls, (std::vector<std::string>{"BeginBusy", "EndBusy"}));
}

INSTANTIATE_TEST_SUITE_P(Packages, BadPackageTest, ::testing::ValuesIn(kBadPackages),
                         [](const auto& p) { return std::string(p.param.Name); });

TEST_F(PackageInstallTest, DamagedStreamLaterInThePackageReplacesNothing) {
  WriteFileBytes(Cards(), "old cards");
  TPackageBuilder p;
  p.Add("KARTY.DBF", "new cards");
  const std::size_t second = p.Add("OKRUHY.DBF", "new groups");
  p.Add("TXTEXA.TXT", "text");
  // Unpacked size (offset 22) far beyond what the stream yields: only the codec sees it.
  p.Bytes()[second + 23] = 0x10;
  p.Write(Package());

  EXPECT_THROW(InstallPackage(Ctx, Package(), false), ELZHException);

  EXPECT_EQ(ReadFileBytes(Cards()), "old cards");
  EXPECT_EQ(FolderListing(Dir.File("data")), std::vector<std::string>{"KARTY.DBF"});
  EXPECT_TRUE(Settings.InfoText1.empty());
  EXPECT_EQ(Log.size(), 1u);
}

TEST_F(PackageInstallTest, MissingPackageIsAnOpenError) {
  EXPECT_THROW(InstallPackage(Ctx, Dir.File("missing.dbc"), false), EFOpenError);
}

// Stored names are reduced to their last component, so no entry leaves its folder.
struct TNameCase {
  const char* Name;
  const char* Stored;
  const char* Installed; // "" = refused
};

const TNameCase kNameCases[] = {
    {"Plain", "P$_A.JPG", "P$_A.JPG"},
    {"ParentFolders", "..\\..\\P$_A.JPG", "P$_A.JPG"},
    {"SlashFolders", "../x/P$_A.JPG", "P$_A.JPG"},
    {"AbsolutePath", "/etc/P$_A.JPG", "P$_A.JPG"},
    {"DriveLetter", "C:P$_A.JPG", "P$_A.JPG"},
    {"DriveAndFolder", "C:\\TEMP\\KARTY.DBF", "KARTY.DBF"},
    {"ParentOnly", "..", ""},
    {"Dot", ".", ""},
    {"EndsInParent", "x/..", ""},
    {"Empty", "", ""},
    {"TrailingSeparator", "PICS/", ""},
    {"ControlCharacter", "A\x01.JPG", ""},
};

class EntryNameTest : public ::testing::TestWithParam<TNameCase> {};

TEST_P(EntryNameTest, ReducesOrRefuses) { EXPECT_EQ(PackageEntryFileName(GetParam().Stored), GetParam().Installed); }

INSTANTIATE_TEST_SUITE_P(Names, EntryNameTest, ::testing::ValuesIn(kNameCases),
                         [](const auto& p) { return std::string(p.param.Name); });

TEST_F(PackageInstallTest, HostileNamesStayInTheirFolder) {
  TPackageBuilder p;
  p.Add("..\\..\\KARTY.DBF", "cards");
  p.Add("../P$_EVIL.JPG", "evil");
  p.Add("/tmp/P$_ABS.JPG", "abs");
  p.Add("C:P$_DRIVE.JPG", "drive");
  p.Add("P$_../X.JPG", "not a picture once reduced");
  p.Write(Package());

  ASSERT_EQ(Install(), "");

  EXPECT_EQ(ReadFileBytes(Cards()), "cards");
  EXPECT_EQ(FolderListing(Dir.File("pics")), (std::vector<std::string>{"ABS.JPG", "DRIVE.JPG", "EVIL.JPG"}));
  EXPECT_FALSE(std::filesystem::exists(Dir.File("EVIL.JPG")));
  EXPECT_FALSE(std::filesystem::exists(Dir.File("X.JPG")));
}

} // namespace
