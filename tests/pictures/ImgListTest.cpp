#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "catalogue/PriceList.h"
#include "core/DateTime.h"
#include "formats/Cp1250Utf8.h"
#include "formats/DBFFile.h"
#include "pictures/ImgList.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

TDateTime Moment(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  TDateTime date = EncodeDate(year, month, day);
  TDateTime time = 0;
  TryEncodeTime(hour, minute, second, 0, time);
  return date + time;
}

const TDateTime kToday = Moment(2026, 12, 11, 15, 4, 5);

struct TRecord {
  std::string JmenoObr, TempJmeno;
  std::string Stav; // as the table holds it
  TDateTime Datum;
  std::string Cas = "10:00:00";
  bool Deleted = false;
};

// OBRAZKY.DBF as an earlier run left it.
void WriteTable(const std::string& fileName, const std::vector<TRecord>& records) {
  TDBFFile table(fileName, TDBFConversion::Cp852);
  table.AddField("JmenoObr", 'C', 128);
  table.AddField("TempJmeno", 'C', 128);
  table.AddField("Stav", 'N', 3);
  table.AddField("Datum", 'D', 8);
  table.AddField("Cas", 'C', 8);
  table.CreateNew();
  for (const TRecord& r : records) {
    table.Append();
    table.FieldByName("JmenoObr").SetAsString(Utf8ToCp1250(r.JmenoObr));
    table.FieldByName("TempJmeno").SetAsString(Utf8ToCp1250(r.TempJmeno));
    table.FieldByName("Stav").SetAsString(r.Stav);
    table.FieldByName("Datum").SetAsDate(r.Datum);
    table.FieldByName("Cas").SetAsString(r.Cas);
    if (r.Deleted)
      table.Fields(0).SetAsString("*");
    table.Post();
  }
  table.Close();
}

class ImgListTest : public ::testing::Test {
protected:
  ImgListTest() {
    Options.Folder = Dir.File("obr");
    fs::create_directories(Options.Folder);
    List.SetClock([] { return kToday; });
  }

  std::string File(const std::string& name) const { return Options.Folder + "/" + name; }
  bool Exists(const std::string& name) const { return fs::exists(File(name)); }
  void Touch(const std::string& name) const {
    fs::create_directories(fs::path(File(name)).parent_path());
    WriteFileBytes(File(name), "picture");
  }
  TObrazekRef Stored(const std::string& picture, const std::string& local) {
    TObrazekRef entry = List.Add(picture);
    entry->TempJmeno = local;
    entry->Stav = kObrStored;
    return entry;
  }

  TempDir Dir;
  TPictureOptions Options;
  TImgList List;
};

TEST_F(ImgListTest, LookupIgnoresLetterCaseAndFindOrAddMakesOneEntryPerName) {
  const TObrazekRef abc = List.FindOrAdd("C:\\ABC.jpg");
  ASSERT_TRUE(abc);
  EXPECT_EQ(abc->JmenoObr, "ABC.jpg");
  EXPECT_EQ(abc->TempJmeno, "ABC.jpg");
  EXPECT_EQ(abc->Stav, kObrNotLookedAt);
  EXPECT_EQ(abc->Datum, EncodeDate(2026, 12, 11));
  EXPECT_EQ(abc->Cas, "15:04:05");
  List.FindOrAdd(Utf8ToCp1250("Čaj.jpg"));

  EXPECT_EQ(List.IndexOf("abc.JPG"), 0);
  EXPECT_EQ(List.IndexOf(Utf8ToCp1250("čAJ.JPG")), 1);
  EXPECT_FALSE(List.Contains("abc.jp"));
  EXPECT_EQ(List.FindOrAdd("\\abc.JPG"), abc);
  EXPECT_EQ(List.Count(), 2);
  EXPECT_EQ(List.FindOrAdd(""), nullptr);
  EXPECT_EQ(List.FindOrAdd("C:\\"), nullptr);
  // A bare new entry is not available until a caller says otherwise.
  EXPECT_EQ(List.Add("x.jpg")->Stav, kObrNotAvailable);
}

TEST_F(ImgListTest, LoadingForgetsOldRecordsAndDeletesTheirTemporaryFiles) {
  Options.DaysOld = 30;
  Touch("TMP$$$old.jpg");
  Touch("TMP$$$new.jpg");
  Touch("plain.jpg");
  Touch("TMP$$$deleted.jpg");
  WriteFileBytes(Dir.File("victim.jpg"), "outside");
  WriteTable(File("OBRAZKY.DBF"),
             {
                 {"a?.jpg", "TMP$$$old.jpg", "1", kToday - 30}, // 30 days old: dropped, file deleted
                 {"b?.jpg", "TMP$$$new.jpg", "1", kToday - 29}, // 29 days old: kept
                 {"plain.jpg", "plain.jpg", "1", kToday - 40},  // dropped, but no temporary file
                 {"", "TMP$$$none.jpg", "1", kToday},           // no picture name
                 {"c?.jpg", "TMP$$$x.jpg", "7", kToday},        // a state out of range reads as 3
                 {"d?.jpg", "TMP$$$deleted.jpg", "1", kToday - 99, "10:00:00", true},
                 {"e?.jpg", "TMP$$$..\\victim.jpg", "1", kToday - 99}, // must not delete outside
                 {"Čaj?.jpg", "TMP$$$čaj.jpg", "1", kToday, "23:59:59"},
             });

  List.LoadTableOrThrow(Options, kToday);

  const std::vector<TObrazekInfo> entries = List.Entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].JmenoObr, "b?.jpg");
  EXPECT_EQ(entries[0].TempJmeno, "TMP$$$new.jpg");
  EXPECT_EQ(entries[0].Stav, kObrStored);
  EXPECT_EQ(entries[0].Datum, EncodeDate(2026, 11, 12));
  EXPECT_EQ(entries[0].Cas, "10:00:00");
  EXPECT_EQ(entries[1].JmenoObr, "c?.jpg");
  EXPECT_EQ(entries[1].Stav, kObrNotAvailable);
  EXPECT_EQ(entries[2].JmenoObr, Utf8ToCp1250("Čaj?.jpg"));
  EXPECT_EQ(entries[2].TempJmeno, Utf8ToCp1250("TMP$$$čaj.jpg"));
  EXPECT_EQ(entries[2].Cas, "23:59:59");

  EXPECT_FALSE(Exists("TMP$$$old.jpg"));
  EXPECT_TRUE(Exists("TMP$$$new.jpg"));
  EXPECT_TRUE(Exists("plain.jpg"));
  EXPECT_TRUE(Exists("TMP$$$deleted.jpg"));
  EXPECT_TRUE(fs::exists(Dir.File("victim.jpg")));
}

TEST_F(ImgListTest, AMissingTableLeavesTheListEmptyAndABrokenOneIsReported) {
  List.FindOrAdd("x.jpg");
  List.LoadTableOrThrow(Options, kToday);
  EXPECT_EQ(List.Count(), 0);

  WriteFileBytes(File("OBRAZKY.DBF"), std::string(40, '\x03'));
  try {
    List.LoadTableOrThrow(Options, kToday);
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()).rfind(Utf8ToCp1250("Chyba při načítání tabulky s obrázky\r"), 0), 0u) << e.what();
  }

  // A table without the state field is no picture table.
  TDBFFile table(File("OBRAZKY.DBF"), TDBFConversion::Cp852);
  table.AddField("JmenoObr", 'C', 128);
  table.CreateNew();
  table.Close();
  EXPECT_THROW(List.LoadTableOrThrow(Options, kToday), Exception);
}

TEST_F(ImgListTest, SavingWritesOnlyDownloadsUnderOtherNamesAndReadsBack) {
  Stored("a?.jpg", "TMP$$$20261211-150405123.jpg");
  Stored("plain.jpg", "plain.jpg");
  Stored("ABC.jpg", "abc.JPG");        // the same name in other letters
  Stored("foto/1.jpg", "foto\\1.jpg"); // stored with the other separator
  Stored("b?.jpg", "TMP$$$x.jpg")->Stav = kObrNotAvailable;
  Stored(Utf8ToCp1250("Čaj?.jpg"), Utf8ToCp1250("TMP$$$Čaj.jpg"));

  List.SaveTableOrThrow(Options);

  TDBFFile table(File("OBRAZKY.DBF"), TDBFConversion::Cp852);
  table.Open(TDBFAccess::ReadOnly);
  const struct {
    const char* Name;
    char Type;
    int Length;
  } fields[] = {{"JMENOOBR", 'C', 128}, {"TEMPJMENO", 'C', 128}, {"STAV", 'N', 3}, {"DATUM", 'D', 8}, {"CAS", 'C', 8}};
  ASSERT_EQ(table.FieldCount(), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(table.Fields(i + 1).Name(), fields[i].Name);
    EXPECT_EQ(table.Fields(i + 1).FieldType(), fields[i].Type);
    EXPECT_EQ(table.Fields(i + 1).Length(), fields[i].Length);
    EXPECT_EQ(table.Fields(i + 1).Decimals(), 0);
  }
  std::vector<std::string> rows;
  for (table.First(); !table.Eof(); table.Next())
    rows.push_back(table.FieldByName("JmenoObr").AsString() + "|" + table.FieldByName("TempJmeno").AsString() + "|" +
                   table.FieldByName("Stav").AsString() + "|" +
                   std::to_string(static_cast<long>(table.FieldByName("Datum").AsDate())) + "|" +
                   table.FieldByName("Cas").AsString());
  table.Close();
  const std::string day = std::to_string(static_cast<long>(EncodeDate(2026, 12, 11)));
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "a?.jpg|TMP$$$20261211-150405123.jpg|1|" + day + "|15:04:05",
                      "foto/1.jpg|foto\\1.jpg|1|" + day + "|15:04:05",
                      Utf8ToCp1250("Čaj?.jpg|TMP$$$Čaj.jpg|1|") + day + "|15:04:05",
                  }));

  TImgList again;
  again.LoadTableOrThrow(Options, kToday);
  ASSERT_EQ(again.Count(), 3);
  EXPECT_EQ(again.Entries()[2].JmenoObr, Utf8ToCp1250("Čaj?.jpg"));
  EXPECT_EQ(again.Entries()[2].Stav, kObrStored);
}

TEST_F(ImgListTest, ATableThatCannotBeWrittenIsReportedAndLeavesNothingBehind) {
  Stored("a?.jpg", "TMP$$$1.jpg");
  // A pictures folder that is a file.
  WriteFileBytes(Dir.File("file"), "");
  Options.Folder = Dir.File("file");
  try {
    List.SaveTableOrThrow(Options);
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()).rfind(Utf8ToCp1250("Chyba při ukládání tabulky s obrázky\r"), 0), 0u);
  }
  // A folder no download has made yet is made for the table.
  Options.Folder = Dir.File("new/sub");
  List.SaveTableOrThrow(Options);
  EXPECT_TRUE(fs::exists(Dir.File("new/sub/OBRAZKY.DBF")));

  // The table is written beside its place and renamed: only the finished table is left.
  Options.Folder = Dir.File("obr");
  WriteFileBytes(File("OBRAZKY.DBF"), "old");
  List.SaveTableOrThrow(Options);
  EXPECT_NE(ReadFileBytes(File("OBRAZKY.DBF")), "old");
  size_t files = 0;
  for ([[maybe_unused]] const auto& f : fs::directory_iterator(Options.Folder))
    ++files;
  EXPECT_EQ(files, 1u);
}

class ImgListRebuildTest : public ImgListTest {
protected:
  ImgListRebuildTest() {
    for (const char* picture : {"A.jpg", "a.JPG", "C:\\sub\\B.jpg", "", "C:"}) {
      auto card = std::make_unique<TPriceListItem>();
      card->OBRAZEK = picture;
      Cards.Add(std::move(card));
    }
    Touch("A.jpg");
    Touch("sub/B.jpg");
    Touch("TMP$$$1.jpg");
    Touch("old.jpg");
    Touch("unrelated.jpg");
    Stored("q?.jpg", "TMP$$$1.jpg");
    Stored("old.jpg", "old.jpg");
  }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const TObrazekInfo& e : List.Entries())
      names.push_back(e.JmenoObr + (e.Stav == kObrNotLookedAt ? "" : "*"));
    return names;
  }

  TPriceList Cards;
};

TEST_F(ImgListRebuildTest, LoadingMissingPicturesKeepsTheListAndAddsTheCards) {
  List.Rebuild(1, Cards, Options);
  EXPECT_EQ(Names(), (std::vector<std::string>{"q?.jpg*", "old.jpg*", "A.jpg", "sub\\B.jpg"}));
  EXPECT_TRUE(Exists("TMP$$$1.jpg"));
}

TEST_F(ImgListRebuildTest, LoadingAllStartsFromTheCardsWithoutTemporaryFiles) {
  List.Rebuild(0, Cards, Options);
  EXPECT_EQ(Names(), (std::vector<std::string>{"A.jpg", "sub\\B.jpg"}));
  EXPECT_FALSE(Exists("TMP$$$1.jpg"));
  EXPECT_TRUE(Exists("A.jpg"));
  EXPECT_TRUE(Exists("old.jpg"));
}

TEST_F(ImgListRebuildTest, DeletingRemovesEveryCardsPictureAndEmptiesTheList) {
  const TObrazekRef kept = List.Item(0);
  List.Rebuild(2, Cards, Options);
  EXPECT_EQ(List.Count(), 0);
  // Also pictures that never came from the web; files no card names stay.
  EXPECT_FALSE(Exists("A.jpg"));
  EXPECT_FALSE(Exists("sub/B.jpg"));
  EXPECT_FALSE(Exists("TMP$$$1.jpg"));
  EXPECT_TRUE(Exists("old.jpg"));
  EXPECT_TRUE(Exists("unrelated.jpg"));
  // A worker still holding an entry the list dropped sees it back in state 0.
  EXPECT_EQ(kept->Stav, kObrNotLookedAt);

  EXPECT_THROW(List.Rebuild(3, Cards, Options), Exception);
}

TEST_F(ImgListRebuildTest, DeletingTemporaryFilesKeepsTheEntries) {
  List.DeleteFiles(Options, false);
  EXPECT_EQ(Names(), (std::vector<std::string>{"q?.jpg", "old.jpg*"}));
  EXPECT_FALSE(Exists("TMP$$$1.jpg"));
  EXPECT_TRUE(Exists("old.jpg"));
}

} // namespace
