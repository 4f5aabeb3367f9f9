#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <ctime>
#include <filesystem>

#include "catalogue/PackageImport.h"
#include "catalogue/PackageImportTestSupport.h"
#include "catalogue/PackageTestSupport.h"
#include "core/Errors.h"
#include "formats/DBFFile.h"

using namespace packagetest;

namespace {

// 15.03.2026 08:05:09 local time.
std::time_t SourceTime() {
  std::tm parts{};
  parts.tm_year = 126;
  parts.tm_mon = 2;
  parts.tm_mday = 15;
  parts.tm_hour = 8;
  parts.tm_min = 5;
  parts.tm_sec = 9;
  parts.tm_isdst = -1;
  return std::mktime(&parts);
}

// A dBase table with the given character fields and one record.
void MakeTable(const std::string& path, const std::vector<std::string>& fields) {
  TDBFFile table(path);
  for (const std::string& field : fields)
    table.AddField(field, 'C', 10);
  table.CreateNew();
  table.Append();
  table.FieldByName(fields[0]).SetAsString("A1");
  table.Post();
  table.Close();
  const utimbuf times{SourceTime(), SourceTime()};
  ::utime(path.c_str(), &times);
}

class PriceListImportTest : public PackageFixture, public ::testing::Test {
protected:
  PriceListImportTest() {
    std::filesystem::create_directories(Dir.Path() / "src");
    Store.WriteString("Others", "ID2", "4711");
    Settings.ID2 = 4711;
    Settings.PriceListVerified = true;
  }
  std::string Source(const std::string& name = "new.dbf") const { return Dir.File("src/" + name); }
  // The import's result, or the text of its error (UTF-8).
  std::string Import(const std::string& file, TMsgResult answer = TMsgResult::OK) {
    Sink.Answer = answer;
    const TMessageSinkScope scope(Sink);
    try {
      switch (ImportPriceListFile(Ctx, file, false)) {
      case TImportResult::Cancelled:
        return "cancelled";
      case TImportResult::PackageInstalled:
        return "package";
      case TImportResult::PriceListCopied:
        return "cards";
      case TImportResult::GroupsCopied:
        return "groups";
      }
    } catch (const Exception& e) {
      return Cp1250ToUtf8(e.what());
    }
    return "?";
  }
  void ExpectIDForgotten() {
    EXPECT_FALSE(Settings.PriceListVerified);
    EXPECT_EQ(Settings.ID2, 0);
    EXPECT_FALSE(SavedStore().ValueExists("Others", "ID2"));
  }

  TScriptedSink Sink{TMsgResult::OK};
};

TEST_F(PriceListImportTest, TableIsRecognisedByItsFieldNames) {
  struct TCase {
    std::vector<std::string> Fields;
    std::string Result;
  };
  const TCase cases[] = {
      {{"KOD", "NAZEV"}, "cards"},
      {{"Nazev", "Cena", "Kod"}, "cards"},
      {{"OKRUH", "PODOKRUH", "POPIS"}, "groups"},
      {{"Okruh", "Popis"}, "Soubor " + Source() + " nemá formát použitelný pro import ceníku"},
      {{"KOD"}, "Soubor " + Source() + " nemá formát použitelný pro import ceníku"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Fields[0] + " " + c.Result);
    std::filesystem::remove(Cards());
    std::filesystem::remove(Groups());
    MakeTable(Source(), c.Fields);
    EXPECT_EQ(Import(Source()), c.Result);
    EXPECT_EQ(std::filesystem::exists(Cards()), c.Result == "cards");
    EXPECT_EQ(std::filesystem::exists(Groups()), c.Result == "groups");
    if (c.Result == "cards" || c.Result == "groups") {
      EXPECT_EQ(ReadFileBytes(c.Result == "cards" ? Cards() : Groups()), ReadFileBytes(Source()));
    }
    ExpectIDForgotten();
  }
  EXPECT_TRUE(Sink.Texts.empty()); // nothing to overwrite, nothing asked
}

TEST_F(PriceListImportTest, CardTableCopyKeepsTheSourceTimeAndRecordsTheImport) {
  MakeTable(Source(), {"KOD", "NAZEV"});
  ASSERT_EQ(Import(Source()), "cards");

  struct stat info {};
  ASSERT_EQ(::stat(Cards().c_str(), &info), 0);
  EXPECT_EQ(info.st_mtime, SourceTime());
  EXPECT_EQ(Settings.LastImportDate, "15.03.2026 08:05");
  EXPECT_EQ(Settings.LastImportFileName, Source());
  EXPECT_EQ(Host.Calls, (std::vector<std::string>{"ReloadPriceList", "ImportFinished"}));
  EXPECT_EQ(Log, std::vector<std::string>{"Import ceníku. Soubor: " + Cards()});
  EXPECT_EQ(FolderListing(Dir.File("data")), std::vector<std::string>{"KARTY.DBF"});
}

TEST_F(PriceListImportTest, GroupTableCopyReloadsTheGroups) {
  MakeTable(Source(), {"OKRUH", "PODOKRUH", "POPIS"});
  ASSERT_EQ(Import(Source()), "groups");
  EXPECT_EQ(Settings.LastImportFileName, "");
  EXPECT_EQ(Host.Calls, (std::vector<std::string>{"ReloadGroups", "ImportFinished"}));
}

TEST_F(PriceListImportTest, SourceNamingTheDestinationIsRefused) {
  MakeTable(Cards(), {"KOD", "NAZEV"});
  const std::string before = ReadFileBytes(Cards());
  std::filesystem::create_symlink(Cards(), Source("link.dbf"));
  for (const std::string& name : {Cards(), Dir.File("data/../data/./KARTY.DBF"), Source("link.dbf")}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Import(name), "Zdrojový a cílový soubor musí být různý");
    EXPECT_EQ(ReadFileBytes(Cards()), before);
  }
  EXPECT_TRUE(Sink.Texts.empty());
}

TEST_F(PriceListImportTest, CopyAsksBeforeItOverwrites) {
  WriteFileBytes(Cards(), "old cards");
  MakeTable(Source(), {"KOD", "NAZEV"});

  EXPECT_EQ(Import(Source(), TMsgResult::Cancel), "cancelled");
  EXPECT_EQ(ReadFileBytes(Cards()), "old cards");
  EXPECT_TRUE(Host.Calls.empty());
  EXPECT_EQ(Settings.LastImportFileName, "");
  ASSERT_EQ(Sink.Texts.size(), 1u);
  EXPECT_EQ(Sink.Texts[0], "Soubor " + Cards() + " již existuje.\r\nPřejete si jej přepsat?");
  EXPECT_EQ(Sink.Flags[0].Buttons, TMsgButtons::OKCancel);

  EXPECT_EQ(Import(Source(), TMsgResult::OK), "cards");
  EXPECT_EQ(ReadFileBytes(Cards()), ReadFileBytes(Source()));
  EXPECT_EQ(FolderListing(Dir.File("data")), std::vector<std::string>{"KARTY.DBF"});
}

TEST_F(PriceListImportTest, FileThatIsNeitherPackageNorTableFailsWithTheTableError) {
  WriteFileBytes(Source("notes.txt"), "just some text, long enough to be read as a header.....");
  // The dBase table's own error passes through unchanged.
  EXPECT_EQ(Import(Source("notes.txt")), "Soubor " + Source("notes.txt") + " není platný DBF soubor");
  EXPECT_FALSE(std::filesystem::exists(Cards()));
}

TEST_F(PriceListImportTest, PackageIsInstalledOnlyAfterTheQuestion) {
  TPackageBuilder p;
  p.Add("KARTY.DBF", "cards");
  p.Write(Package());

  EXPECT_EQ(Import(Package(), TMsgResult::Cancel), "cancelled");
  EXPECT_FALSE(std::filesystem::exists(Cards()));
  EXPECT_TRUE(Settings.PriceListVerified);
  EXPECT_EQ(Store.ReadString("Others", "ID2"), "4711");
  ASSERT_EQ(Sink.Texts.size(), 1u);
  EXPECT_EQ(Sink.Texts[0], "Přejete si aktualizovat ceník\r\nsouborem " + Package() + " ?");
  EXPECT_EQ(Sink.Flags[0].Buttons, TMsgButtons::OKCancel);
  EXPECT_EQ(Sink.Flags[0].Icon, TMsgIcon::Question);

  EXPECT_EQ(Import(Package(), TMsgResult::OK), "package");
  EXPECT_EQ(ReadFileBytes(Cards()), "cards");
  ExpectIDForgotten();
  EXPECT_EQ(Host.Calls, (std::vector<std::string>{"BeginBusy", "EndBusy", "RebuildInfoTabs", "ReloadPriceList",
                                                  "ReloadGroups", "RefreshProgramUpdate", "ImportFinished"}));
}

TEST_F(PriceListImportTest, BadPackageReportsItsErrorAfterForgettingTheID) {
  TPackageBuilder p;
  p.Add("OKRUHY.DBF", "groups");
  p.Write(Package());
  EXPECT_EQ(Import(Package()), "Soubor " + Package() + " nemá formát použitelný pro import ceníku");
  EXPECT_FALSE(std::filesystem::exists(Groups()));
  ExpectIDForgotten();
  // The main window is not refreshed after a failed install.
  EXPECT_EQ(Host.Calls, (std::vector<std::string>{"BeginBusy", "EndBusy"}));
}

TEST_F(PriceListImportTest, ForgetPriceListIDClearsTheVerificationAndTheStoredCode) {
  Store.Save();
  ASSERT_TRUE(SavedStore().ValueExists("Others", "ID2"));
  ForgetPriceListID(Ctx);
  ExpectIDForgotten();
}

} // namespace
