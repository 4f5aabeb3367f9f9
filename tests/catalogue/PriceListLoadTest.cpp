#include <gtest/gtest.h>

#include <tuple>

#include "catalogue/KartyFixture.h"
#include "catalogue/PriceList.h"
#include "core/DateTime.h"
#include "core/ReportMessage.h"
#include "support/TestSupport.h"

namespace {

class TRecordingSink : public IMessageSink {
public:
  TMsgResult Show(const std::string& text, const std::string& caption, TMsgFlags flags) override {
    Texts.push_back(text);
    Captions.push_back(caption);
    Icons.push_back(flags.Icon);
    return TMsgResult::OK;
  }
  std::vector<std::string> Texts, Captions;
  std::vector<TMsgIcon> Icons;
};

class TRecordingHost : public IPriceListHost {
public:
  void DetachOrder() override { Events.push_back("detach"); }
  void AttachOrder(TPriceList& list) override { Events.push_back("attach " + std::to_string(list.Count())); }
  void PictureFieldPresent(bool present) override { Events.push_back(present ? "pictures" : "no pictures"); }
  void ShowCards(int count) override { Events.push_back("show " + std::to_string(count)); }
  std::vector<std::string> Events;
};

class TRecordingProgress : public IProgress {
public:
  void Start(long long max) override { Events.push_back("start " + std::to_string(max)); }
  void Position(long long position) override { Positions.push_back(position); }
  void ProcessMessages() override { Events.push_back("messages"); }
  void Finish() override { Events.push_back("finish"); }
  std::vector<std::string> Events;
  std::vector<long long> Positions;
};

class PriceListLoadTest : public ::testing::Test {
protected:
  PriceListLoadTest() : Scope(Sink) { Settings.PriceList = Dir.File("KARTY.DBF"); }

  bool Load() { return List.LoadPriceList(Settings, Host, Progress); }
  void Write(const std::vector<TKartyField>& fields, const std::vector<TKartyRow>& rows) {
    WriteKarty(Settings.PriceList, fields, rows);
  }

  TempDir Dir;
  TRecordingSink Sink;
  TMessageSinkScope Scope;
  TRecordingHost Host;
  TRecordingProgress Progress;
  TAppSettings Settings;
  TPriceList List;
};

TEST_F(PriceListLoadTest, EveryFieldIsReadFromTheRowOfTheTable) {
  TKartyRow row = {{"Kod", "A1"},
                   {"Nazev", "Zelený čaj sypaný"},
                   {"Cena", "12.5"},
                   {"CenaSDPH", "15.13"},
                   {"Baleni", "6"},
                   {"VeVrstve", "4"},
                   {"NaPalete", "40"},
                   {"SazbaDPH", "21"},
                   {"Jednotka", "ks"},
                   {"TYPKARTY", "2"},
                   {"EAN", "8590000000017"},
                   {"SKUPINA1", "G1"},
                   {"SKUPINA2", "G2"},
                   {"SKUPINA3", "G3"},
                   {"NSKUPINA2", "Nápoje"},
                   {"POPISSKP1", "P1"},
                   {"POPISSKP2", "P2"},
                   {"POPISSKP3", "P3"},
                   {"OBRAZEK", "a1.jpg"},
                   {"HMOTNOST", "0.25"},
                   {"ZARUKA", "24"},
                   {"KODLAHEV", "L1"},
                   {"CENALAHEV", "3"},
                   {"SAZBALAHEV", "21"},
                   {"KODPREPR", "P1"},
                   {"CENAPREPR", "100"},
                   {"SAZBAPREPR", "21"},
                   {"DATUMZMENY", "15.03.2024"},
                   {"ZASOBA", "7.5"},
                   {"POZNAMKA", "akce"},
                   {"CISLOSHODA", "CS1"},
                   {"SKLMJ", "kar"},
                   {"NAKUPCENA", "9.9"},
                   {"DOSTUPNOST", "skladem"},
                   {"KLICSLOVA", "čaj zelený"},
                   {"DODAVATEL", "Dod"},
                   {"VYROBCE", "Výr"},
                   {"PRIZNAKY", "5"},
                   {"OBJPOCETB", "2"},
                   {"DopCena", "20"},
                   {"DopCenaDPH", "24.2"}};
  Write(KartyAllFields(), {row});

  ASSERT_TRUE(Load());
  ASSERT_EQ(List.Count(), 1);
  const TPriceListItem& c = List.Items(0);
  EXPECT_EQ(c.Kod, "A1");
  EXPECT_EQ(c.Nazev, Cz("Zelený čaj sypaný"));
  EXPECT_EQ(c.SearchName, "ZELENY CAJ SYPANY");
  EXPECT_DOUBLE_EQ(c.Cena, 12.5);
  EXPECT_DOUBLE_EQ(c.CenaSDPH, 15.13);
  EXPECT_DOUBLE_EQ(c.Baleni, 6);
  EXPECT_EQ(c.VeVrstve, 4);
  EXPECT_EQ(c.NaPalete, 40);
  EXPECT_DOUBLE_EQ(c.SazbaDPH, 21);
  EXPECT_EQ(c.Jednotka, "ks");
  EXPECT_EQ(c.TYPKARTY, 2);
  EXPECT_EQ(c.EAN, "8590000000017");
  EXPECT_EQ(c.SKUPINA1 + c.SKUPINA2 + c.SKUPINA3, "G1G2G3");
  EXPECT_EQ(c.NSKUPINA2, Cz("Nápoje"));
  EXPECT_EQ(c.POPISSKP1 + c.POPISSKP2 + c.POPISSKP3, "P1P2P3");
  EXPECT_EQ(c.OBRAZEK, "a1.jpg");
  EXPECT_DOUBLE_EQ(c.HMOTNOST, 0.25);
  EXPECT_EQ(c.ZARUKA, 24);
  EXPECT_EQ(c.KODLAHEV, "L1");
  EXPECT_DOUBLE_EQ(c.CENALAHEV, 3);
  EXPECT_DOUBLE_EQ(c.SAZBALAHEV, 21);
  EXPECT_EQ(c.KODPREPR, "P1");
  EXPECT_DOUBLE_EQ(c.CENAPREPR, 100);
  EXPECT_DOUBLE_EQ(c.SAZBAPREPR, 21);
  EXPECT_DOUBLE_EQ(c.DATUMZMENY, EncodeDate(2024, 3, 15));
  EXPECT_DOUBLE_EQ(c.ZASOBA, 7.5);
  EXPECT_EQ(c.POZNAMKA, "akce");
  EXPECT_EQ(c.CISLOSHODA, "CS1");
  EXPECT_EQ(c.SKLMJ, "kar");
  EXPECT_DOUBLE_EQ(c.NAKUPCENA, 9.9);
  EXPECT_EQ(c.DOSTUPNOST, "skladem");
  EXPECT_EQ(c.KLICSLOVA, Cz("čaj zelený"));
  EXPECT_EQ(c.DODAVATEL, "Dod");
  EXPECT_EQ(c.VYROBCE, Cz("Výr"));
  EXPECT_EQ(c.PRIZNAKY, 5);
  EXPECT_DOUBLE_EQ(c.OBJPOCETB, 2);
  EXPECT_DOUBLE_EQ(c.DopCena, 20);
  EXPECT_DOUBLE_EQ(c.DopCenaDPH, 24.2);
  EXPECT_TRUE(c.Visible);
  EXPECT_TRUE(c.InSubset);
  EXPECT_EQ(Sink.Texts.size(), 0u);
  EXPECT_EQ(Host.Events, (std::vector<std::string>{"detach", "pictures", "attach 1", "show 1"}));
}

TEST_F(PriceListLoadTest, CodeAndNameAloneLeaveEveryOtherFieldAtItsDefault) {
  Write(KartyCodeAndName(), {{{"Kod", "X"}, {"Nazev", "Jen název"}}});
  ASSERT_TRUE(Load());
  ASSERT_EQ(List.Count(), 1);
  const TPriceListItem& c = List.Items(0);
  EXPECT_DOUBLE_EQ(c.Baleni, 1);
  EXPECT_DOUBLE_EQ(c.Cena, 0);
  EXPECT_EQ(c.EAN, "");
  EXPECT_DOUBLE_EQ(c.DATUMZMENY, 0);
  EXPECT_EQ(c.SpecialColor, kNoSpecialColor);
  EXPECT_EQ(Host.Events[1], "no pictures");
}

TEST_F(PriceListLoadTest, RowsWithoutCodeAreSkippedDeletedRowsAreLoaded) {
  Write(KartyCodeAndName(), {{{"Kod", "A"}, {"Nazev", "a"}},
                             {{"Kod", ""}, {"Nazev", "bez kódu"}},
                             {{"Kod", "   "}, {"Nazev", "jen mezery"}},
                             {{"Kod", "C"}, {"Nazev", "c"}}});
  // Mark the last record deleted (its first byte).
  std::string bytes = ReadFileBytes(Settings.PriceList);
  const size_t headerLength = 32 + 32 * 2 + 1, recordLength = 1 + 10 + 40;
  bytes[headerLength + 3 * recordLength] = '*';
  WriteFileBytes(Settings.PriceList, bytes);

  ASSERT_TRUE(Load());
  ASSERT_EQ(List.Count(), 2);
  EXPECT_EQ(List.Items(0).Kod, "A");
  EXPECT_EQ(List.Items(1).Kod, "C");
}

TEST_F(PriceListLoadTest, PackageSizeNotAboveZeroBecomesOne) {
  const struct {
    const char* Stored;
    double Loaded;
  } cases[] = {{"0", 1}, {"-5", 1}, {"", 1}, {"0.5", 0.5}, {"12", 12}};
  std::vector<TKartyRow> rows;
  for (size_t i = 0; i < std::size(cases); ++i)
    rows.push_back({{"Kod", std::to_string(i)}, {"Nazev", std::to_string(i)}, {"Baleni", cases[i].Stored}});
  Write({{"Kod", 'C', 10}, {"Nazev", 'C', 10}, {"Baleni", 'N', 8, 2}}, rows);
  ASSERT_TRUE(Load());
  ASSERT_EQ(List.Count(), static_cast<int>(std::size(cases)));
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].Stored);
    EXPECT_DOUBLE_EQ(List.Items(List.IndexOfCode(std::to_string(i))).Baleni, cases[i].Loaded);
  }
}

TEST_F(PriceListLoadTest, CardsAreSortedByTheNameKeyAndColouredByTheNote) {
  Settings.Colors.SpColorKeywords[0] = "novinka|akce";
  Settings.Colors.SpColor[0] = 0xFF;
  Write({{"Kod", 'C', 10}, {"Nazev", 'C', 20}, {"POZNAMKA", 'C', 20}},
        {{{"Kod", "1"}, {"Nazev", "Žebřík"}, {"POZNAMKA", "Akce týdne"}},
         {{"Kod", "2"}, {"Nazev", "čaj"}},
         {{"Kod", "3"}, {"Nazev", "Cukr"}}});
  ASSERT_TRUE(Load());
  // By the name key ("ZEBRIK", "CAJ", "CUKR").
  EXPECT_EQ(List.Items(0).Kod, "2");
  EXPECT_EQ(List.Items(1).Kod, "3");
  EXPECT_EQ(List.Items(2).Kod, "1");
  EXPECT_EQ(List.Items(2).SpecialColor, 0xFF);
  EXPECT_EQ(List.Items(0).SpecialColor, kNoSpecialColor);
}

TEST_F(PriceListLoadTest, FailuresAreShownWithTheProgramsTextInTheBoxOfThePriceList) {
  const std::string name = Settings.PriceList;
  struct Case {
    const char* Label;
    std::function<void()> Prepare;
    std::string Message;
  };
  const Case cases[] = {
      {"missing file", [] {},
       Cz("Soubor ") + name +
           Cz(" obsahující ceník nebyl nalezen.\r\nV nastavení programu určete správnou cestu k ceníku\r\nnebo "
              "proveďte import nového ceníku.")},
      {"no Nazev",
       [&] {
         Write({{"Kod", 'C', 10}, {"Cena", 'N', 8, 2}}, {{{"Kod", "A"}}});
       },
       Cz("Soubor ") + name + Cz(" nemá formát použitelný pro import ceníku")},
      {"no Kod",
       [&] {
         Write({{"Nazev", 'C', 10}}, {{{"Nazev", "A"}}});
       },
       Cz("Soubor ") + name + Cz(" nemá formát použitelný pro import ceníku")},
      {"not a table", [&] { WriteFileBytes(name, "this is no dBase table at all, just text"); },
       Cz("Soubor ") + name + Cz(" není platný DBF soubor")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Label);
    std::filesystem::remove(name);
    c.Prepare();
    Sink.Texts.clear();
    Host.Events.clear();
    EXPECT_FALSE(Load());
    EXPECT_EQ(List.Count(), 0);
    ASSERT_EQ(Sink.Texts.size(), 1u);
    EXPECT_EQ(Sink.Texts[0], c.Message);
    EXPECT_EQ(Sink.Captions[0], Cz("Ceník"));
    EXPECT_EQ(Sink.Icons[0], TMsgIcon::Error);
    EXPECT_EQ(Host.Events.front(), "detach");
    EXPECT_EQ(Host.Events.back(), "show 0");
  }
}

TEST_F(PriceListLoadTest, ATruncatedTableIsRefusedWhole) {
  std::vector<TKartyRow> rows;
  for (int i = 0; i < 5; ++i)
    rows.push_back({{"Kod", "K" + std::to_string(4 - i)}, {"Nazev", "n"}});
  Write(KartyCodeAndName(), rows);
  std::string bytes = ReadFileBytes(Settings.PriceList);
  const size_t headerLength = 32 + 32 * 2 + 1, recordLength = 1 + 10 + 40;
  bytes.resize(headerLength + 3 * recordLength + 7); // the fourth record cut off
  WriteFileBytes(Settings.PriceList, bytes);

  EXPECT_FALSE(Load());
  ASSERT_EQ(Sink.Texts.size(), 1u);
  EXPECT_NE(Sink.Texts[0].find(Cz("není platný DBF soubor")), std::string::npos);
  // The table is checked against the file's size when it is opened, before any card.
  EXPECT_EQ(List.Count(), 0);
  EXPECT_EQ(Host.Events.back(), "show 0");
  EXPECT_EQ(Progress.Events.back(), "finish");
}

TEST_F(PriceListLoadTest, AHeaderClaimingBillionsOfRecordsIsRefused) {
  Write(KartyCodeAndName(), {{{"Kod", "A"}, {"Nazev", "a"}}});
  std::string bytes = ReadFileBytes(Settings.PriceList);
  bytes[4] = bytes[5] = bytes[6] = '\xFF'; // record count in the header
  bytes[7] = '\x7F';
  WriteFileBytes(Settings.PriceList, bytes);
  EXPECT_FALSE(Load());
  ASSERT_EQ(Sink.Texts.size(), 1u);
  EXPECT_NE(Sink.Texts[0].find(Cz("není platný DBF soubor")), std::string::npos);
  EXPECT_EQ(List.Count(), 0);
}

TEST_F(PriceListLoadTest, ProgressMovesEvery128CardsOfASmallTable) {
  std::vector<TKartyRow> rows(300, TKartyRow{{"Kod", "A"}, {"Nazev", "a"}});
  Write(KartyCodeAndName(), rows);
  ASSERT_TRUE(Load());
  EXPECT_EQ(Progress.Positions, (std::vector<long long>{0, 128, 256}));
  EXPECT_EQ(Progress.Events, (std::vector<std::string>{"start 300", "messages", "finish"}));
}

TEST(ProgressStepTest, StepGrowsWithTheCount) {
  EXPECT_EQ(ProgressStep(0), 128);
  EXPECT_EQ(ProgressStep(4000), 128);
  EXPECT_EQ(ProgressStep(4001), 512);
  EXPECT_EQ(ProgressStep(10000), 512);
  EXPECT_EQ(ProgressStep(10001), 1024);
}

// The sdbm hash computed here independently of the program: the two text hashes, then the file.
std::int32_t ExpectedId2(const TAppSettings& settings, const std::string& bytes) {
  std::uint32_t h = 0;
  std::string all;
  for (const std::uint32_t v : {SdbmHash(settings.Created()), SdbmHash(settings.CreatedTime())})
    for (int i = 0; i < 4; ++i)
      all += static_cast<char>((v >> (8 * i)) & 0xFF);
  all += bytes;
  for (const char c : all)
    h = static_cast<unsigned char>(c) + (h << 6) + (h << 16) - h;
  return static_cast<std::int32_t>(h);
}

TEST_F(PriceListLoadTest, VerificationComparesTheHashWithID2) {
  Write(KartyCodeAndName(), {{{"Kod", "A"}, {"Nazev", "a"}}});
  Settings.SetCreated("1.2.2026");
  Settings.SetCreatedTime("10:00:00");
  const std::string bytes = ReadFileBytes(Settings.PriceList);
  Settings.ID2 = ExpectedId2(Settings, bytes);

  Settings.PriceEnabled = false;
  EXPECT_FALSE(TPriceList::VerifyPriceList(Settings.PriceList, Settings));
  EXPECT_FALSE(Settings.PriceListVerified);

  Settings.PriceEnabled = true;
  ASSERT_TRUE(Load());
  EXPECT_TRUE(Settings.PriceListVerified);

  // One byte of a name changed.
  std::string damaged = bytes;
  damaged[32 * 3 + 1 + 1 + 10] ^= 1;
  WriteFileBytes(Settings.PriceList, damaged);
  ASSERT_TRUE(Load());
  EXPECT_FALSE(Settings.PriceListVerified);

  // Another creation time changes the prefix.
  WriteFileBytes(Settings.PriceList, bytes);
  Settings.SetCreatedTime("10:00:01");
  EXPECT_FALSE(TPriceList::VerifyPriceList(Settings.PriceList, Settings));
}

// --- Colour rules ---------------------------------------------------------------------

struct ColorCase {
  const char* Label;
  std::vector<std::string> Rules; // rule i has colour i + 1
  const char* Note;               // UTF-8
  TColorValue Color;
};

class SpecialColorTest : public ::testing::TestWithParam<ColorCase> {};

TEST_P(SpecialColorTest, FirstMatchingRuleGivesTheColour) {
  const ColorCase& c = GetParam();
  TColorSettings colors;
  for (size_t i = 0; i < c.Rules.size(); ++i) {
    colors.SpColorKeywords[i] = Cz(c.Rules[i]);
    colors.SpColor[i] = static_cast<TColor>(i + 1);
  }
  TPriceList list;
  list.SetColorRules(colors);
  TPriceListItem card;
  card.POZNAMKA = Cz(c.Note);
  list.AssignSpecialColor(card);
  EXPECT_EQ(card.SpecialColor, c.Color);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SpecialColorTest,
    ::testing::Values(ColorCase{"FirstOfTwoMatchingRules", {"NOVINKA|AKCE", "AKCE"}, "AKCE VÝPRODEJ", 1},
                      ColorCase{"PrefixBeforeColonIsDropped", {"x:AKCE VÝPRODEJ"}, "AKCE VÝPRODEJ", 1},
                      ColorCase{"EveryWordMustOccur", {"x:AKCE VÝPRODEJ"}, "AKCE", kNoSpecialColor},
                      ColorCase{"NoteIsUpperCasedWithItsMarks", {"výprodej"}, "letní výprodej", 1},
                      ColorCase{"MarksCount", {"VYPRODEJ"}, "výprodej", kNoSpecialColor},
                      ColorCase{"SubstringWithMarks", {"PRODEJ"}, "výprodej", 1},
                      ColorCase{"EmptyRuleIsSkipped", {"", "AKCE"}, "akce", 2},
                      ColorCase{"ExtraSpacesIgnored", {"  AKCE   NOVÉ  "}, "nové v akci: akce", 1},
                      ColorCase{"EmptyNoteKeepsNoColour", {"AKCE"}, "", kNoSpecialColor},
                      ColorCase{"NoRuleMatches", {"A|B", "C"}, "xyz", kNoSpecialColor},
                      ColorCase{"SecondAlternative", {"NIC|SLEVA 10"}, "sleva 10 %", 1}),
    [](const auto& param) { return param.param.Label; });

} // namespace

namespace {

TEST_F(PriceListLoadTest, AReloadKeepsTheFilterFlagsAndShowsEveryNewCard) {
  Write(KartyCodeAndName(), {{{"Kod", "A"}, {"Nazev", "b"}}, {{"Kod", "B"}, {"Nazev", "a"}}});
  ASSERT_TRUE(Load());
  TFilterOptions options;
  options.Mode = 2;
  options.StoreSubset = true;
  ASSERT_TRUE(List.Filter("A", options).Matched);
  List.SortColumn = 10; // the code in the default layout
  ASSERT_TRUE(Load());
  EXPECT_TRUE(List.Filtered);
  EXPECT_TRUE(List.SubsetActive);
  EXPECT_EQ(List.VisibleCount(), 2);
  EXPECT_EQ(List.Items(0).Kod, "A");
  EXPECT_TRUE(List.Items(1).InSubset);
}

TEST_F(PriceListLoadTest, FilterMovesTheProgressInTheRhythmOfTheLoad) {
  Write(KartyCodeAndName(), std::vector<TKartyRow>(300, TKartyRow{{"Kod", "A"}, {"Nazev", "a"}}));
  ASSERT_TRUE(Load());
  TRecordingProgress progress;
  List.Filter("A", {}, progress);
  EXPECT_EQ(progress.Positions, (std::vector<long long>{0, 128, 256}));
  EXPECT_EQ(progress.Events, (std::vector<std::string>{"start 300", "finish"}));
}

} // namespace
