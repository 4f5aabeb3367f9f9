#include "ui/Columns.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/ReportMessage.h"
#include "formats/Cp1250Utf8.h"

namespace {

// Answers every question with a fixed button and remembers what was asked.
class TAnsweringSink : public IMessageSink {
public:
  explicit TAnsweringSink(TMsgResult answer) : Answer(answer) {}
  TMsgResult Show(const std::string& text, const std::string& caption, TMsgFlags flags) override {
    Texts.push_back(Cp1250ToUtf8(text));
    Captions.push_back(Cp1250ToUtf8(caption));
    Flags.push_back(flags);
    return Answer;
  }
  TMsgResult Answer;
  std::vector<std::string> Texts, Captions;
  std::vector<TMsgFlags> Flags;
};

TColumnList ListOf(std::initializer_list<int> ids) {
  TColumnList list;
  for (int id : ids)
    list.Columns.push_back(DefaultColumn(id));
  return list;
}

std::vector<int> IDs(const TColumnList& list) {
  std::vector<int> ids;
  for (const TdgColumn& column : list.Columns)
    ids.push_back(column.ID);
  return ids;
}

TEST(ColumnCommandsTest, HideAsksAndKeepsTheLastColumn) {
  TAnsweringSink ok(TMsgResult::OK);
  TMessageSinkScope scope(ok);
  TColumnList list = ListOf({3, 4, 5});
  list.Columns[2].Width = 99;
  list.SortColumn = 2;

  EXPECT_TRUE(ColumnCommands::HideColumn(list, 1));
  EXPECT_EQ(IDs(list), (std::vector<int>{3, 5}));
  EXPECT_EQ(list.Columns[1].Width, 99); // the columns to the right keep their widths
  EXPECT_EQ(list.SortColumn, 2);        // a position, not adjusted
  ASSERT_EQ(ok.Texts.size(), 1u);
  EXPECT_EQ(ok.Texts[0], "Přejete si skrýt sloupec Cena ?");
  EXPECT_EQ(ok.Captions[0], "Objednávky");
  EXPECT_EQ(ok.Flags[0].Buttons, TMsgButtons::OKCancel);
  EXPECT_EQ(ok.Flags[0].Icon, TMsgIcon::Question);

  EXPECT_TRUE(ColumnCommands::HideColumn(list, 0));
  EXPECT_FALSE(ColumnCommands::HideColumn(list, 0)); // the only column stays, nothing else is said
  EXPECT_EQ(IDs(list), (std::vector<int>{5}));
  EXPECT_EQ(ok.Texts.size(), 3u);
  EXPECT_FALSE(ColumnCommands::HideColumn(list, 1)); // no such column: not even asked
  EXPECT_EQ(ok.Texts.size(), 3u);
}

TEST(ColumnCommandsTest, HideCancelledChangesNothing) {
  TAnsweringSink cancel(TMsgResult::Cancel);
  TMessageSinkScope scope(cancel);
  TColumnList list = ListOf({3, 4});
  EXPECT_FALSE(ColumnCommands::HideColumn(list, 0));
  EXPECT_EQ(IDs(list), (std::vector<int>{3, 4}));
}

TEST(ColumnCommandsTest, BlankColumnTakesAContent) {
  TColumnList list = ListOf({3});
  ColumnCommands::AddBlankColumn(list);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Columns[1], (TdgColumn{"", caLeft, 64, -1}));

  list.Columns[1].Width = 120;
  ColumnCommands::ChangeContent(list, 1, 4);
  EXPECT_EQ(list.Columns[1], (TdgColumn{Cz("Cena"), caRight, 120, 4})); // the width stays

  ColumnCommands::ChangeContent(list, 1, 42); // no such content
  ColumnCommands::ChangeContent(list, 1, -1);
  ColumnCommands::ChangeContent(list, 5, 2); // no such column
  EXPECT_EQ(list.Columns[1].ID, 4);
  EXPECT_EQ(list.Count(), 2);
}

TEST(ColumnCommandsTest, AlignmentHeaderSortAndMove) {
  TColumnList list = ListOf({3, 4, 5, 6});
  ColumnCommands::SetAlignment(list, 0, caCenter);
  ColumnCommands::SetAlignment(list, 1, 3); // not an alignment
  EXPECT_EQ(list.Columns[0].Alignment, caCenter);
  EXPECT_EQ(list.Columns[1].Alignment, caRight);

  ColumnCommands::SetHeader(list, 2, Cz("Cena vč. daně"));
  EXPECT_EQ(Cp1250ToUtf8(list.Columns[2].Header), "Cena vč. daně");
  EXPECT_EQ(list.Columns[2].ID, 5);

  ColumnCommands::SortBy(list, 2);
  EXPECT_EQ(list.SortColumn, 2);
  ColumnCommands::MoveColumn(list, 0, 3);
  EXPECT_EQ(IDs(list), (std::vector<int>{4, 5, 6, 3}));
  ColumnCommands::MoveColumn(list, 3, 1);
  EXPECT_EQ(IDs(list), (std::vector<int>{4, 3, 5, 6}));
  ColumnCommands::MoveColumn(list, 1, 4); // past the end: nothing
  EXPECT_EQ(IDs(list), (std::vector<int>{4, 3, 5, 6}));
  EXPECT_EQ(list.SortColumn, 2); // moving leaves the sort position
}

TEST(ColumnCommandsTest, RestoreDefaultsOnlyWhenConfirmed) {
  TColumnList list = ListOf({4});
  list.SortColumn = 3;
  {
    TAnsweringSink cancel(TMsgResult::Cancel);
    TMessageSinkScope scope(cancel);
    EXPECT_FALSE(ColumnCommands::RestoreDefaults(list, {}));
    EXPECT_EQ(list.Count(), 1);
  }
  TAnsweringSink ok(TMsgResult::OK);
  TMessageSinkScope scope(ok);
  EXPECT_TRUE(ColumnCommands::RestoreDefaults(list, {true, false}));
  EXPECT_EQ(list.Count(), kContentCount - 2);
  EXPECT_EQ(list.SortColumn, 0);
  ASSERT_EQ(ok.Texts.size(), 1u);
  EXPECT_EQ(ok.Texts[0], "Přejete si obnovit standardní nastavení sloupců v tabulce ?");
  EXPECT_EQ(ok.Captions[0], ""); // the main window's caption
}

TEST(ColumnCommandsTest, ContentMenu) {
  const std::vector<TContentMenuEntry>& entries = ContentMenuEntries();
  ASSERT_EQ(entries.size(), static_cast<size_t>(kContentCount));
  std::vector<bool> seen(kContentCount);
  for (const TContentMenuEntry& entry : entries)
    seen[static_cast<size_t>(entry.ID)] = true;
  EXPECT_EQ(std::count(seen.begin(), seen.end(), true), kContentCount); // every content, once each
  EXPECT_EQ(Cp1250ToUtf8(entries[0].Caption), "Objednávka - objednáno");
  EXPECT_EQ(entries[12].ID, 24);
  EXPECT_EQ(Cp1250ToUtf8(entries.back().Caption), "Dopor.cena+DPH");
  for (const TContentMenuEntry& entry : entries) {
    SCOPED_TRACE(Cp1250ToUtf8(entry.Caption));
    EXPECT_EQ(entry.NewColumn, entry.ID == 23 || entry.ID == 19);
    EXPECT_TRUE(ContentMenuEntryVisible(entry, true));
    EXPECT_EQ(ContentMenuEntryVisible(entry, false), entry.ID != 31);
  }
  EXPECT_EQ(Cp1250ToUtf8(ColumnMenuTexts().Defaults), "Stan&dardní nastavení");
}

} // namespace
