#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/Groups.h"
#include "catalogue/KartyFixture.h"
#include "catalogue/OkruhyFixture.h"
#include "core/AppContext.h"
#include "core/AppSettings.h"
#include "core/ReportMessage.h"
#include "core/TestAppContext.h"
#include "formats/Cp1250Utf8.h"
#include "orders/Order.h"
#include "support/TestSupport.h"
#include "ui/CellText.h"

namespace {

const std::vector<std::string>& kAllFields = OkruhyAllFields();

// Records every message instead of showing it.
class TRecordingSink : public IMessageSink {
public:
  TMsgResult Show(const std::string& text, const std::string& caption, TMsgFlags flags) override {
    Messages.push_back(Cp1250ToUtf8(caption) + ": " + Cp1250ToUtf8(text));
    return HeadlessAnswer(flags.Buttons);
  }
  std::vector<std::string> Messages;
};

class GroupsTest : public ::testing::Test {
protected:
  GroupsTest() {
    Settings.Groups = Dir.File("OKRUHY.DBF");
    for (const char* code : {"1001", "1002", "1101", "1201", "2001", "3001", "ab1", "AB2"}) {
      auto card = std::make_unique<TPriceListItem>();
      card->Kod = code;
      card->Cena = code[0] == '2' ? 150 : 50;
      List.Add(std::move(card));
    }
  }

  void Load(const std::vector<TGroupRow>& rows, const std::vector<std::string>& fields = kAllFields) {
    WriteOkruhy(Settings.Groups, rows, fields);
    Groups.LoadOrThrow(Settings, List, Env);
  }

  // The tree depth first: one line per node, indented by its depth, "caption codes [expr]"
  // with each TAB of the codes shown as "+".
  std::string Tree() const {
    std::string text;
    for (const int id : Groups.TreeOrder()) {
      const TGroupNode& node = Groups.Node(id);
      for (int parent = node.Parent; parent >= 0; parent = Groups.Node(parent).Parent)
        text += "  ";
      std::string codes = node.Data->Code;
      for (char& c : codes)
        if (c == '\t')
          c = '+';
      text += Cp1250ToUtf8(node.Caption) + " " + codes;
      if (node.Data->Evaluator)
        text += " [" + node.Data->Evaluator->Source() + "]";
      text += "\n";
    }
    return text;
  }

  std::string Tabs() const {
    std::string text;
    for (const TGroupTab& tab : Groups.Tabs())
      text += (text.empty() ? "" : "|") + Cp1250ToUtf8(tab.Caption);
    return text;
  }

  // The codes of the grid's rows.
  std::string Shown() const {
    std::string codes;
    for (int row = 0; row < List.VisibleCount(); ++row)
      codes += (codes.empty() ? "" : " ") + List.Items(List.VisibleIndexToIndex(row)).Kod;
    return codes;
  }

  // The node with that caption (UTF-8), the first in tree order.
  int NodeOf(const char* caption) const {
    for (const int id : Groups.TreeOrder())
      if (Groups.Node(id).Caption == Cz(caption))
        return id;
    ADD_FAILURE() << caption;
    return 0;
  }

  TempDir Dir;
  TAppSettings Settings;
  TPriceList List;
  Locale Czech = Locale::Czech();
  TCellEnvironment Env{false, 1, &Czech, {}};
  TGoodsGroups Groups;
};

TEST_F(GroupsTest, CodePrefixGroupsFormTheTree) {
  Load({
      {"", "1", "Nápoje", "", "1"},
      {"1", "10", "Čaj"},
      {"5", "50", "Dřív než rodič"}, // its parent comes later: left out
      {"", "5", "Rodič"},            // no card code begins with 5: left out
      {"", "2", "Pečivo", "", "3"},
      {"20", "200", "Vnouče"}, // its parent group was left out, so is it
      {"1", "11", "Čaj"},      // beside "Čaj" 10 with the same caption: merged into it
      {"1", "12", "Káva"},
      {"", "9", "Nic"},        // no card
      {"", "", "Všechno"},     // an empty code matches every card
      {"", "1", "Nápoje"},     // not merged: the first "Nápoje" has children
      {"1", "100", "Zrnková"}, // the latest group of code 1 is the parent
  });
  EXPECT_EQ(Tree(), "Okruhy zboží \n"
                    "  Nápoje 1\n"
                    "    Čaj 10+11\n"
                    "    Káva 12\n"
                    "  Pečivo 2\n"
                    "  Všechno \n"
                    "  Nápoje 1\n"
                    "    Zrnková 100\n");
  EXPECT_EQ(Tabs(), "Vše|Nápoje|Pečivo");
  EXPECT_TRUE(Groups.TabsVisible());
  EXPECT_TRUE(Settings.GroupsVisible);
}

TEST_F(GroupsTest, OptionalFieldsMayBeMissingAndCodesAreCompared) {
  // Neither Vyraz nor GenZalozka: prefix groups, no tabs. Parent codes are compared exactly
  // (case and trailing blanks trimmed by the table).
  Load({{"", "ab", "Malé"}, {"AB", "ab1", "Pod velkým"}, {"ab", "ab1", "Pod malým"}, {"", "AB", "Velké"}},
       {"Okruh", "Podokruh", "Popis"});
  EXPECT_EQ(Tree(), "Okruhy zboží \n"
                    "  Malé ab\n"
                    "    Pod malým ab1\n"
                    "  Velké AB\n");
  EXPECT_EQ(Tabs(), "Vše");
  EXPECT_FALSE(Groups.TabsVisible());
}

TEST_F(GroupsTest, DuplicatesMergeOnlyBetweenLeavesOfOneParent) {
  Load({
      {"", "1", "A"},
      {"1", "10", "Čaj"},
      {"", "2", "B"},
      {"2", "20", "Čaj"}, // same caption under another parent: kept
      {"1", "11", "Čaj"},
      {"1", "12", "čaj"}, // captions are compared exactly
      {"1", "120", "Čaj"},
      {"", "3", "A"}, // a later leaf whose earlier twin has children stays
  });
  EXPECT_EQ(Tree(), "Okruhy zboží \n"
                    "  A 1\n"
                    "    Čaj 10+11+120\n"
                    "    čaj 12\n"
                    "  B 2\n"
                    "    Čaj 20\n"
                    "  A 3\n");
}

TEST_F(GroupsTest, ChoosingAGroupFiltersTheCards) {
  Load({{"", "1", "Nápoje", "", "1"}, {"1", "10", "Čaj"}, {"1", "11", "Čaj"}, {"", "ab", "Malé"}, {"", "", "Vše"}});

  TGroupChoice choice = Groups.ChooseNode(NodeOf("Čaj"), List);
  EXPECT_FALSE(choice.ShowAll);
  EXPECT_TRUE(choice.Filter.Matched);
  EXPECT_EQ(choice.SearchBoxText, "10+11");
  EXPECT_EQ(choice.LastSearchText, "#$#");
  EXPECT_EQ(Shown(), "1001 1002 1101");
  // The cards are remembered as the group's, for a search limited to it.
  EXPECT_TRUE(List.SubsetActive);
  EXPECT_TRUE(List.Items(0).InSubset);
  EXPECT_FALSE(List.Items(4).InSubset);

  // The codes are upper-cased: a group whose code is written in small letters shows the cards
  // whose codes begin with its capitals.
  choice = Groups.ChooseNode(NodeOf("Malé"), List);
  EXPECT_EQ(choice.SearchBoxText, "AB");
  EXPECT_EQ(Shown(), "AB2");

  // The root, the tab "Vše" and a group without a code show every card.
  for (const bool tab : {false, true}) {
    Groups.ChooseNode(NodeOf("Čaj"), List);
    choice = tab ? Groups.ChooseTab(0, List) : Groups.ChooseNode(TGoodsGroups::kRoot, List);
    EXPECT_TRUE(choice.ShowAll);
    EXPECT_EQ(choice.SearchBoxText, "");
    EXPECT_EQ(choice.LastSearchText, "#$#");
    EXPECT_EQ(List.VisibleCount(), List.Count());
    EXPECT_FALSE(List.Filtered);
  }
  Groups.ChooseNode(NodeOf("Čaj"), List);
  EXPECT_TRUE(Groups.ChooseNode(Groups.Node(TGoodsGroups::kRoot).Children.back(), List).ShowAll);

  // A tab stays in force until a choice in the tree.
  Groups.ChooseTab(1, List);
  EXPECT_EQ(Groups.ActiveTab(), 1);
  EXPECT_EQ(Shown(), "1001 1002 1101 1201");
  Groups.ChooseNode(NodeOf("Čaj"), List);
  EXPECT_EQ(Groups.ActiveTab(), 0);
}

TEST_F(GroupsTest, ExpressionGroupsSelectByTheirExpression) {
  Load({
      {"", "9", "Drahé", "Cena>100"},          // kept though no code begins with 9
      {"", "9", "Nic", "Cena>1000"},           // kept though it selects no card
      {"", "3", "Chybný", "Cena >"},           // does not compile: the code prefix 3 instead
      {"", "9", "Chybný bez karet", "Cena >"}, // does not compile, no card: left out
      {"", "1", "Levné"},
      {"", "X", "Levné", "Cena<100"}, // merged into the leaf above; its expression goes unused
      {"", "8", "Drahé", "Cena>100"}, // an earlier twin with an expression takes nothing over
  });
  EXPECT_EQ(Tree(), "Okruhy zboží \n"
                    "  Drahé 9 [Cena>100]\n"
                    "  Nic 9 [Cena>1000]\n"
                    "  Chybný 3\n"
                    "  Levné 1+X\n"
                    "  Drahé 8 [Cena>100]\n");

  TGroupChoice choice = Groups.ChooseNode(NodeOf("Drahé"), List);
  EXPECT_TRUE(choice.Filter.Matched);
  EXPECT_EQ(choice.SearchBoxText, ""); // the search box is emptied
  EXPECT_EQ(Shown(), "2001");
  EXPECT_FALSE(List.NothingFound);

  // Nothing selected: the filter in force stays, so here no row is left.
  choice = Groups.ChooseNode(NodeOf("Nic"), List);
  EXPECT_FALSE(choice.Filter.Matched);
  EXPECT_EQ(List.VisibleCount(), 0);
  EXPECT_TRUE(List.NothingFound);
  // After every card was shown, they all stay.
  Groups.ChooseNode(TGoodsGroups::kRoot, List);
  EXPECT_FALSE(List.NothingFound);
  EXPECT_FALSE(Groups.ChooseNode(NodeOf("Nic"), List).Filter.Matched);
  EXPECT_EQ(List.VisibleCount(), List.Count());
  EXPECT_FALSE(List.NothingFound);

  choice = Groups.ChooseNode(NodeOf("Levné"), List);
  EXPECT_EQ(choice.SearchBoxText, "1+X");
  EXPECT_EQ(Shown(), "1001 1002 1101 1201");
}

TEST_F(GroupsTest, SortingOrdersEveryLevelByCaption) {
  Load({{"", "2", "Pečivo"}, {"", "1", "Nápoje"}, {"1", "12", "Šťávy"}, {"1", "10", "Čaj"}, {"1", "11", "Cukr"}});
  EXPECT_FALSE(Groups.Sorted());
  Groups.SortByCaption();
  EXPECT_TRUE(Groups.Sorted());
  // Czech order: c before č, s before š.
  EXPECT_EQ(Tree(), "Okruhy zboží \n"
                    "  Nápoje 1\n"
                    "    Cukr 11\n"
                    "    Čaj 10\n"
                    "    Šťávy 12\n"
                    "  Pečivo 2\n");
  // A new load starts unsorted.
  Load({{"", "2", "Pečivo"}, {"", "1", "Nápoje"}});
  EXPECT_FALSE(Groups.Sorted());
  EXPECT_EQ(Tree(), "Okruhy zboží \n  Pečivo 2\n  Nápoje 1\n");
}

TEST_F(GroupsTest, NoGroupsSwitchThePanelOff) {
  // No file: only the root and "Vše", no message.
  Groups.LoadOrThrow(Settings, List, Env);
  EXPECT_EQ(Tree(), "Okruhy zboží \n");
  EXPECT_EQ(Tabs(), "Vše");
  EXPECT_FALSE(Settings.GroupsVisible);

  // A table whose every record is left out.
  Settings.GroupsVisible = true;
  Load({{"", "9", "Nic"}, {"7", "70", "Bez rodiče"}});
  EXPECT_EQ(Tree(), "Okruhy zboží \n");
  EXPECT_FALSE(Settings.GroupsVisible);

  // A load that finds groups leaves the panel as the settings have it.
  Load({{"", "1", "Nápoje"}});
  EXPECT_FALSE(Settings.GroupsVisible);
}

TEST_F(GroupsTest, ATableWithoutARequiredFieldIsRefused) {
  for (const char* missing : {"Okruh", "Podokruh", "Popis"}) {
    SCOPED_TRACE(missing);
    std::vector<std::string> fields;
    for (const std::string& f : kAllFields)
      if (f != missing)
        fields.push_back(f);
    WriteOkruhy(Settings.Groups, {{"", "1", "Nápoje"}}, fields);
    try {
      Groups.LoadOrThrow(Settings, List, Env);
      ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
      EXPECT_EQ(Cp1250ToUtf8(e.what()), "Soubor " + Settings.Groups + " nemá formát použitelný pro import okruhů");
    }
    EXPECT_EQ(Tree(), "Okruhy zboží \n");
  }

  // The reporting load shows the message captioned "Okruhy" and goes on.
  TRecordingSink sink;
  TMessageSinkScope scope(sink);
  EXPECT_FALSE(Groups.Load(Settings, List, Env));
  ASSERT_EQ(sink.Messages.size(), 1u);
  EXPECT_EQ(sink.Messages[0], "Okruhy: Soubor " + Settings.Groups + " nemá formát použitelný pro import okruhů");
}

TEST_F(GroupsTest, ADamagedTableKeepsTheGroupsReadBeforeTheDamage) {
  WriteOkruhy(Settings.Groups, {{"", "1", "Nápoje"}, {"1", "10", "Čaj"}, {"", "2", "Pečivo"}});
  // The last record cut short, and the header's record length (bytes 10-11) lowered so that
  // the file still looks long enough when it is opened: the damage shows at the third record.
  std::string bytes = ReadFileBytes(Settings.Groups);
  bytes.resize(bytes.size() - 20);
  const int recordLength = static_cast<unsigned char>(bytes[10]) | static_cast<unsigned char>(bytes[11]) << 8;
  bytes[10] = static_cast<char>((recordLength - 10) & 0xFF);
  bytes[11] = static_cast<char>((recordLength - 10) >> 8);
  WriteFileBytes(Settings.Groups, bytes);
  TRecordingSink sink;
  TMessageSinkScope scope(sink);
  EXPECT_FALSE(Groups.Load(Settings, List, Env));
  ASSERT_EQ(sink.Messages.size(), 1u);
  EXPECT_EQ(sink.Messages[0].rfind("Okruhy: ", 0), 0u) << sink.Messages[0];
  EXPECT_EQ(Tree(), "Okruhy zboží \n  Nápoje 1\n    Čaj 10\n");

  // Not a table at all.
  WriteFileBytes(Settings.Groups, "Okruh;Podokruh;Popis\r\n;1;Nápoje\r\n");
  EXPECT_FALSE(Groups.Load(Settings, List, Env));
  EXPECT_EQ(sink.Messages.size(), 2u);
  EXPECT_EQ(Tree(), "Okruhy zboží \n");
}

// The context's groups read its price list and its open order.
TEST(GroupsContextTest, TheContextsGroupsSeeItsPriceListAndOrder) {
  TempDir dir;
  AppContext app(TestAppContextSetup(dir));
  app.Open();
  app.Settings.PriceList = dir.File("KARTY.DBF");
  app.Settings.Groups = dir.File("OKRUHY.DBF");
  WriteKarty(app.Settings.PriceList, KartyCodeAndName(),
             {{{"Kod", "A"}, {"Nazev", "a"}}, {{"Kod", "B"}, {"Nazev", "b"}}});
  WriteOkruhy(app.Settings.Groups, {{"", "", "Objednané", "Objednano>0"}});
  ASSERT_TRUE(app.LoadPriceList());
  ASSERT_TRUE(app.LoadGroups());
  ASSERT_EQ(app.Groups().Node(TGoodsGroups::kRoot).Children.size(), 1u);
  const int ordered = app.Groups().Node(TGoodsGroups::kRoot).Children[0];

  app.Order().Append(TOrderItem{2, 0, "B", nullptr});
  app.Groups().ChooseNode(ordered, app.PriceList());
  ASSERT_EQ(app.PriceList().VisibleCount(), 1);
  EXPECT_EQ(app.PriceList().Items(app.PriceList().VisibleIndexToIndex(0)).Kod, "B");
}

TEST(GroupsProgressTest, TheStepFollowsTheTableSize) {
  const struct {
    long long Count;
    int Step;
  } cases[] = {{0, 64}, {1000, 64}, {1001, 256}, {8192, 256}, {8193, 512}};
  for (const auto& c : cases)
    EXPECT_EQ(GroupsProgressStep(c.Count), c.Step) << c.Count;
}

} // namespace
