#include <gtest/gtest.h>

#include <fstream>

#include "catalogue/PriceList.h"
#include "core/Errors.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "formats/Cp1250Utf8.h"
#include "formats/DBFFile.h"
#include "orders/Order.h"
#include "orders/OrderImport.h"
#include "support/TestSupport.h"

namespace {

// Records every problem and answers with the next of its answers (continue when they run out).
class TRecordingProblems : public IImportProblemDialog {
public:
  bool Continue(const TImportProblem& problem) override {
    Problems.push_back(problem);
    return Problems.size() > Answers.size() || Answers[Problems.size() - 1];
  }
  std::vector<TImportProblem> Problems;
  std::vector<bool> Answers;
};

class OrderImportTest : public ::testing::Test {
protected:
  OrderImportTest() {
    AddCard("A1", "8590001");
    AddCard("B2", "8590002");
    AddCard("C3", "8590001"); // the same EAN again: the first card wins
    AddCard("D4", "");        // no EAN at all
  }
  void AddCard(const std::string& code, const std::string& ean) {
    auto card = std::make_unique<TPriceListItem>();
    card->Kod = code;
    card->EAN = ean;
    card->Baleni = 1;
    Cards.Add(std::move(card));
  }
  // The order's lines as "CODE=QUANTITY" in order.
  std::string Lines() const {
    std::string text;
    for (int i = 0; i < Order.Count(); ++i) {
      const TOrderItem& line = Order.Line(i);
      text += (i ? " " : "") + line.Code + "=" + std::to_string(line.Quantity).substr(0, 5);
      EXPECT_EQ(line.Packages, 0);
      EXPECT_TRUE(line.Card && line.Card->Kod == line.Code);
    }
    return text;
  }
  int ImportText(const std::string& bytes) {
    return ImportTextBytes(Order, bytes, "f.txt", CardByEANIn(Cards), Patterns, Problems);
  }
  // The message of the Exception the import raises, UTF-8; empty when it raises none.
  std::string ImportError(const std::string& bytes) {
    try {
      ImportText(bytes);
    } catch (const Exception& e) {
      return Cp1250ToUtf8(e.what());
    }
    return {};
  }

  TPriceList Cards;
  TOrder Order;
  TImportPatterns Patterns = TImportPatterns::Defaults();
  TRecordingProblems Problems;
};

TEST(WildcardMatchTest, MatchesWholeNamesWithoutRegardToCase) {
  const struct {
    const char* Pattern;
    const char* Text;
    bool Match;
  } cases[] = {
      {"*EAN*", "ean13", true},
      {"*EAN*", "EAN", true},
      {"*EAN*", "EA N", false},
      {"CAR*KOD", "CARKOD", true},
      {"CAR*KOD", "car_kod", true},
      {"CAR*KOD", "CARKODY", false},
      {"KUSY", "kusy", true},
      {"KUSY", "KUSY2", false},
      {"K?SY", "KUSY", true},
      {"K?SY", "KSY", false},
      {"*MJ*", "Počet v mj", true},
      {"*ab", "aab", true},
      {"a*b*c", "aXbYbZc", true},
      {"a*b*c", "aXbYbZ", false},
      {"*", "", true},
      {"", "", true},
      {"", "X", false},
      {"**", "", false},
      {"?", "", false},
      {"*", "cokoli", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Pattern) + " / " + c.Text);
    EXPECT_EQ(WildcardMatch(c.Pattern, Cz(c.Text)), c.Match);
  }
  // Upper-casing is code-page aware: "ž" matches "Ž".
  EXPECT_TRUE(WildcardMatch(Cz("*ŽE*"), Cz("množstvíže")));
  // Many stars against a long text that almost matches: answered without an exponential search.
  EXPECT_FALSE(WildcardMatch("*a*a*a*a*a*a*a*a*b", std::string(5000, 'a')));
}

TEST(SplitImportLineTest, CommaQuotesAndTabs) {
  using V = std::vector<std::string>;
  const struct {
    const char* Line;
    char Delimiter;
    V Fields;
  } cases[] = {
      {"a,b;c|d\te", ',', {"a", "b", "c", "d", "e"}},
      {"\"12,5\",x", ',', {"12,5", "x"}},
      {"'A''B',\"say \"\"hi\"\"\"", ',', {"A'B", "say \"hi\""}},
      {"\"open,to the end", ',', {"open,to the end"}},
      {"\"q\"tail,z", ',', {"qtail", "z"}},
      {"a,,", ',', {"a", "", ""}},
      {"a,b;c\t\"d\"", '\t', {"a,b;c", "\"d\""}},
      {"x\t", '\t', {"x", ""}},
      {"", ',', {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Line);
    EXPECT_EQ(SplitImportLine(c.Line, c.Delimiter), c.Fields);
  }
  bool tooMany = false;
  EXPECT_EQ(SplitImportLine(std::string(kMaxImportColumns + 5, ','), ',', &tooMany).size(), kMaxImportColumns);
  EXPECT_TRUE(tooMany);
}

TEST_F(OrderImportTest, TextFilesOfEveryShape) {
  const struct {
    const char* Name;
    std::string Bytes;
    const char* Lines;
    const char* Error; // UTF-8
  } cases[] = {
      {"comma", "EAN,KUSY\r\n8590002,3\r\n8590001,\"12,5\"\r\n", "B2=3.000 A1=12.50", ""},
      {"tab, decimal comma", "EAN\tPOCET\n8590002\t12,5\n", "B2=12.50", ""},
      {"more tabs than commas", "EAN\tPOCET\tX,Y\n8590002\t1,5\t\n", "B2=1.500", ""},
      {"separators of the comma mode", "EAN,KUSY\n8590002;4\n8590001|5\n", "B2=4.000 A1=5.000", ""},
      {"lone CR, no final line end", "CARKOD,OBJ\r8590002,2\r8590002,7", "B2=2.000 B2=7.000", ""},
      {"patterns in their order", "mj,kusy,ean\n2,3,8590002\n", "B2=3.000", ""},
      {"blank lines carry nothing", "EAN,KUSY\n\n8590002,1\n\n", "B2=1.000", ""},
      {"semicolons only", "EAN;KUSY\n8590002;1\n", "", "Pole pro množství nebylo nalezeno."},
      {"no EAN column", "KOD,KUSY\n1,1\n", "", "Pole pro EAN nebylo nalezeno."},
      {"empty file", "", "", "Pole pro EAN nebylo nalezeno."},
      {"binary", std::string("\x00\xff\x01,\x80\"\n\x00\x00", 9), "", "Pole pro EAN nebylo nalezeno."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Order.Clear();
    Problems.Problems.clear();
    EXPECT_EQ(ImportError(c.Bytes), c.Error);
    EXPECT_EQ(Lines(), c.Lines);
    EXPECT_TRUE(Problems.Problems.empty());
  }
}

TEST_F(OrderImportTest, FailedRowsAskAndContinueOrStop) {
  const std::string file = "Pozn,EAN,KUSY\n"
                           "a,8590002,1\n"
                           "b,999,2\n"       // unknown EAN
                           "c,8590001,dva\n" // no number
                           "d,,3\n"          // empty EAN: never the card without one
                           "e,8590001,4,navic\n";
  TOrderItem existing;
  existing.Code = "B2";
  existing.Quantity = 5;
  Order.Append(existing);
  EXPECT_EQ(ImportText(file), 2);
  // The order is not cleared and an existing line is not merged.
  EXPECT_EQ(Order.Line(0).Quantity, 5);
  Order.Delete(0);
  EXPECT_EQ(Lines(), "B2=1.000 A1=4.000");

  ASSERT_EQ(Problems.Problems.size(), 3u);
  const TImportProblem& unknown = Problems.Problems[0];
  EXPECT_EQ(Cp1250ToUtf8(unknown.Message), "Kód EAN 999  nebyl v ceníku nalezen.");
  EXPECT_EQ(unknown.Row, 2);
  EXPECT_EQ(unknown.Selected, 1);
  using F = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(unknown.Fields, (F{{"Pozn", "b"}, {"EAN", "999"}, {"KUSY", "2"}}));
  const TImportProblem& notNumber = Problems.Problems[1];
  EXPECT_EQ(Cp1250ToUtf8(notNumber.Message), "Hodnotu dva není možné převést na číslo.");
  EXPECT_EQ(notNumber.Selected, 2);
  EXPECT_EQ(Cp1250ToUtf8(Problems.Problems[2].Message), "Kód EAN   nebyl v ceníku nalezen.");

  // Stopping at the second failure keeps what came before it.
  Order.Clear();
  Problems.Problems.clear();
  Problems.Answers = {true, false};
  EXPECT_EQ(ImportError(file), "Import souboru byl přerušen uživatelem.");
  EXPECT_EQ(Lines(), "B2=1.000");
  EXPECT_EQ(Problems.Problems.size(), 2u);
}

TEST_F(OrderImportTest, PatternsComeFromTheSettings) {
  TempDir dir;
  TSettingsStore store("objednavky", dir.File("user"), dir.File("presets"));
  EXPECT_EQ(ReadImportPatterns(store).EAN, TImportPatterns::Defaults().EAN);
  store.WriteString("Imports", "EANFields7", "BAR*");
  store.WriteString("Imports", "EANFields2", "CODE");
  store.WriteString("Imports", "AmountFields1", "");
  const TImportPatterns read = ReadImportPatterns(store);
  EXPECT_EQ(read.EAN, (std::vector<std::string>{"CODE", "BAR*"}));
  EXPECT_EQ(read.Amount, TImportPatterns::Defaults().Amount);

  Patterns = read;
  EXPECT_EQ(ImportError("EAN,BARCODE,KUSY\n1,8590002,6\n"), "");
  EXPECT_EQ(Lines(), "B2=6.000");
}

TEST_F(OrderImportTest, HostileTextEndsWithTheReadError) {
  const std::string readError = "Chyba při čtení souboru \"f.txt\"";
  EXPECT_EQ(ImportError("EAN,KUSY\n" + std::string(kMaxImportLineLength + 1, '8') + ",1\n"), readError);
  EXPECT_EQ(ImportError("EAN,KUSY\n8590002,1\n" + std::string(2 * kMaxImportColumns, ',') + "\n"), readError);
  // The rows before the damage stay.
  EXPECT_EQ(Lines(), "B2=1.000");
  // A line just at the limit is still read.
  Order.Clear();
  EXPECT_EQ(ImportError("EAN,KUSY\n8590002," + std::string(kMaxImportLineLength - 9, '0') + "1\n"), "");
  EXPECT_EQ(Lines(), "B2=1.000");
}

TEST_F(OrderImportTest, FilesAreOpenedLoggedAndCountedAtTheEnd) {
  TempDir dir;
  ProgramLog().SetFileName(dir.File("log.txt"));
  const std::string path = dir.File("objednavka.csv");
  WriteFileBytes(path, "EAN,KUSY\r\n8590002,3\r\n");
  Import(Order, path, kImportText, CardByEANIn(Cards), Patterns, Problems);
  EXPECT_EQ(Lines(), "B2=3.000");
  EXPECT_THROW(Import(Order, dir.File("chybi.csv"), kImportText, CardByEANIn(Cards), Patterns, Problems), EInOutError);
  ProgramLog().SetFileName("");
  const std::string log = ReadFileBytes(dir.File("log.txt"));
  EXPECT_NE(log.find(" : " + Cz("Otevřena objednávka ") + path + ", 2\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" : " + Cz("Načteno 1 položek objednávky") + "\r\n"), std::string::npos) << log;
}

TEST_F(OrderImportTest, DBaseTablesIncludeDeletedRecordsAndTheDeletionFlag) {
  TempDir dir;
  const std::string path = dir.File("OBJ.DBF");
  {
    TDBFFile table(path, TDBFConversion::Cp852);
    table.AddField("NAZEV", 'C', 20);
    table.AddField("CARKOD", 'C', 13);
    table.AddField("POCET", 'N', 8, 2);
    table.CreateNew();
    const struct {
      const char* Name;
      const char* Ean;
      const char* Amount;
      bool Deleted;
    } rows[] = {{"Čaj", "8590002", "2.5", false}, {"Káva", "777", "1", true}, {"Sůl", "8590001", "3", true}};
    for (const auto& r : rows) {
      table.Append();
      table.FieldByName("NAZEV").SetAsString(Cz(r.Name));
      table.FieldByName("CARKOD").SetAsString(r.Ean);
      table.FieldByName("POCET").SetAsString(r.Amount);
      if (r.Deleted)
        table.Fields(0).SetAsString("*");
      table.Post();
    }
    table.Close();
  }
  Import(Order, path, kImportDBase, CardByEANIn(Cards), Patterns, Problems);
  EXPECT_EQ(Lines(), "B2=2.500 A1=3.000");
  ASSERT_EQ(Problems.Problems.size(), 1u);
  using F = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(Problems.Problems[0].Fields,
            (F{{"DELFLAG", "*"}, {"NAZEV", Cz("Káva")}, {"CARKOD", "777"}, {"POCET", "1.00"}}));
  EXPECT_EQ(Problems.Problems[0].Selected, 2);

  // A record cut off by the end of the file: the read error, after the records before it.
  // The header's record length (bytes 10-11) understates the records, so the table opens.
  std::string bytes = ReadFileBytes(path);
  bytes = bytes.substr(0, bytes.size() - 20);
  bytes[10] = 35;
  bytes[11] = 0;
  WriteFileBytes(path, bytes);
  Order.Clear();
  try {
    Import(Order, path, kImportDBase, CardByEANIn(Cards), Patterns, Problems);
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(Cp1250ToUtf8(e.what()), "Chyba při čtení souboru \"" + path + "\"");
  }
  EXPECT_EQ(Lines(), "B2=2.500");
  // Not a table at all.
  WriteFileBytes(path, "EAN,KUSY\n");
  EXPECT_THROW(Import(Order, path, kImportDBase, CardByEANIn(Cards), Patterns, Problems), EDBFfileError);
}

} // namespace
