#include <gtest/gtest.h>

#include <sstream>

#include "catalogue/KartyFixture.h"
#include "catalogue/PriceList.h"
#include "cli/CliTestSupport.h"
#include "cli/OrderTransferCommands.h"
#include "core/AppSettings.h"
#include "core/SettingsStore.h"
#include "orders/Order.h"
#include "orders/OrderFile.h"
#include "support/TestSupport.h"
#include "ui/ColumnLayouts.h"

namespace {

// A throw-away profile, a small price list with EAN codes and files to import beside it.
class OrderTransferCommandsTest : public CliProfileTest {
protected:
  OrderTransferCommandsTest() {
    WriteKarty(Karty, {{"Kod", 'C', 10}, {"Nazev", 'C', 30}, {"EAN", 'C', 13}},
               {{{"Kod", "Č1"}, {"Nazev", "Čaj"}, {"EAN", "8590001"}},
                {{"Kod", "K2"}, {"Nazev", "Káva"}, {"EAN", "8590002"}}});
  }

  void StoreSetting(const std::string& section, const std::string& key, const std::string& value) {
    TSettingsStore store = OpenSettingsKey("objednavky");
    store.WriteString(section, key, value);
    store.Save();
  }

  std::string Karty = Dir.File("KARTY.DBF");
};

TEST_F(OrderTransferCommandsTest, DeliveryCheckPrintsTheDialogsAnswerAndTheQuickTest) {
  StoreSetting("Others", "MaxDeliveryDays", "10");
  const struct {
    std::vector<std::string> Args;
    const char* Out;
  } cases[] = {
      {{"12.03.2025", "--today", "12.03.2025"}, "ok\nquick\t1\n"},
      {{"15.3.2025", "--today", "12.3.2025"}, "Nepovolený den dodání (sobota 15.3.2025)\nquick\t0\n"},
      {{"11.03.2025", "--today", "12.03.2025"}, "Minimální datum dodání je 12.03.2025\nquick\t0\n"},
      // today + 10 is a Saturday: the dialog accepts the Monday after it, the quick test does not.
      {{"24.03.2025", "--today", "12.03.2025"}, "ok\nquick\t0\n"},
      {{"25.03.2025", "--today", "12.03.2025"}, "Maximální datum dodání je 24.03.2025\nquick\t0\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"delivery", "check"};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    SCOPED_TRACE(c.Args[0]);
    const CliResult r = Run(args);
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, c.Out);
  }
  const CliResult bad = Run({"delivery", "check", "32.13.2025"});
  EXPECT_EQ(bad.Code, 1);
  EXPECT_EQ(bad.Err, "'32.13.2025' není platné datum\n");
  EXPECT_EQ(Run({"delivery", "check"}).Code, 2);
}

TEST_F(OrderTransferCommandsTest, ImportPrintsFailedRowsAndTheLines) {
  const std::string csv = Dir.File("obj.csv");
  WriteFileBytes(csv, "EAN,KUSY\r\n8590002,2\r\n123,1\r\n8590001,\"1,5\"\r\n");
  const CliResult r = Run({"order", "import", "--karty", Karty, csv});
  EXPECT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(r.Out, "line\tK2\t2\t0\nline\tČ1\t1.5\t0\n");
  EXPECT_EQ(r.Err, "Kód EAN 123  nebyl v ceníku nalezen.\n");

  const CliResult stopped = Run({"order", "import", "--karty", Karty, "--stop-on-error", csv});
  EXPECT_EQ(stopped.Code, 1);
  EXPECT_EQ(stopped.Out, "line\tK2\t2\t0\n");
  EXPECT_EQ(stopped.Err, "Kód EAN 123  nebyl v ceníku nalezen.\nImport souboru byl přerušen uživatelem.\n");

  // A dBase source by its extension, with the patterns of the settings.
  StoreSetting("Imports", "AmountFields1", "MNOZ*");
  const std::string dbf = Dir.File("obj.DBF");
  WriteKarty(dbf, {{"EAN", 'C', 13}, {"MNOZSTVI", 'N', 8, 3}}, {{{"EAN", "8590001"}, {"MNOZSTVI", "0.25"}}});
  const CliResult fromDbf = Run({"order", "import", "--karty", Karty, dbf});
  EXPECT_EQ(fromDbf.Code, 0) << fromDbf.Err;
  EXPECT_EQ(fromDbf.Out, "line\tČ1\t0.25\t0\n");

  const CliResult noColumn = Run({"order", "import", "--karty", Karty, Karty});
  EXPECT_EQ(noColumn.Code, 1);
  EXPECT_EQ(noColumn.Err, "Pole pro množství nebylo nalezeno.\n");
}

TEST_F(OrderTransferCommandsTest, ImportTypeFollowsTheExtension) {
  EXPECT_EQ(ImportTypeOf("a.dbf"), 3);
  EXPECT_EQ(ImportTypeOf("A.DbF"), 3);
  EXPECT_EQ(ImportTypeOf("a.csv"), 2);
  EXPECT_EQ(ImportTypeOf("a.txt"), 2);
  EXPECT_EQ(ImportTypeOf("dbf"), 2);
}

TEST_F(OrderTransferCommandsTest, ExportUsesTheStoredOrderLayoutAndTheFileTypesSettings) {
  TSettingsStore store = OpenSettingsKey("objednavky");
  TSettingsEnvironment env = TSettingsEnvironment::FromSystem("objednavky");
  TAppSettings settings;
  LoadSettings(settings, store, env, TLoadSettingsOptions{});
  settings.Export.ExportOrderData = false;
  settings.Export.ExportCompanyData = false;
  TColumnList layout;
  layout.Columns = {DefaultColumn(2), DefaultColumn(0)};
  SaveColumnLayout(layout, store, kOrderColumnsSection);

  TPriceListItem tea;
  tea.Kod = "T1";
  TOrder order;
  TOrderItem line;
  line.Code = "T1";
  line.Card = &tea;
  line.Quantity = 2.5;
  order.Append(line);

  const std::string out = Dir.File("obj.xls");
  RunOrderExport(order, settings, store, out, 4);
  EXPECT_EQ(ReadFileBytes(out), "K\xf3"
                                "d\tObjedn\xe1no\r\nT1\t2.5\r\n");
  RunOrderExport(order, settings, store, out, 2);
  EXPECT_EQ(ReadFileBytes(out), "K\xf3"
                                "d,Objedn\xe1no\r\nT1,2.5\r\n");

  // The command reads the order file as Open does, with the lines linked to --karty's cards.
  TOrder saved;
  TPriceListItem kavaCard;
  kavaCard.Kod = "K2";
  TOrderItem kava;
  kava.Code = "K2";
  kava.Card = &kavaCard;
  kava.Quantity = 4;
  saved.Append(kava);
  const std::string orderFile = Dir.File("a.obx");
  ASSERT_TRUE(WriteOrderFile(saved, orderFile, true, false, settings));
  const CliResult exported = Run({"order", "export", orderFile, "--karty", Karty, "--txt", out});
  EXPECT_EQ(exported.Code, 0) << exported.Err;
  // The stored settings export every column; the card's name shows the line found its card.
  EXPECT_NE(ReadFileBytes(out).find("K\xe1va,1,,4,"), std::string::npos) << ReadFileBytes(out);

  EXPECT_EQ(Run({"order", "export", "x.obx"}).Code, 2);
  EXPECT_EQ(Run({"order", "export", "x.obx", "--txt", "a", "--xls", "b"}).Code, 2);
}

} // namespace
