#include <gtest/gtest.h>

#include <filesystem>

#include "../core/TestAppContext.h"
#include "OrderFileTestSupport.h"
#include "core/AppContext.h"
#include "core/Errors.h"
#include "orders/DeliveryDates.h"
#include "orders/OrderCommands.h"
#include "orders/OrderImport.h"
#include "ui/CellText.h"
#include "ui/Columns.h"

namespace {

using namespace orderfiletest;

class TFakeUi : public IOrderCommandsUi {
public:
  std::optional<TFileDialogChoice> OpenFileDialog(const TFileDialogRequest& request) override {
    Requests.push_back(request);
    Calls.push_back("open dialog");
    return OpenChoice;
  }
  std::optional<TFileDialogChoice> SaveFileDialog(const TFileDialogRequest& request) override {
    Requests.push_back(request);
    Calls.push_back("save dialog");
    return SaveChoice;
  }
  void RefreshOrder() override { Calls.push_back("refresh"); }

  std::optional<TFileDialogChoice> OpenChoice, SaveChoice;
  std::vector<TFileDialogRequest> Requests;
  std::vector<std::string> Calls;
};

class OrderCommandsTest : public OrderFileFixture, public testing::Test {
protected:
  OrderCommandsTest() : Commands(Order, Settings, Ui, Options) {
    Commands.CheckDeliveryDates = [this](TOrder&) {
      Ui.Calls.push_back("check");
      return DatesPass;
    };
    Commands.Import = [this](TOrder& order, const std::string& path, int type) {
      Ui.Calls.push_back("import " + std::to_string(type) + " " + path);
      EXPECT_EQ(order.FileName, path);
    };
    Commands.Export = [this](TOrder&, const std::string& path, int delimiter, const std::string& separator) {
      Ui.Calls.push_back("export " + std::to_string(delimiter) + " " + separator + " " + path);
    };
    Settings.Export.TXT_Delimiter = 44;
    Settings.Export.TXT_DecimalSeparator = ".";
    Settings.Export.XLS_Delimiter = 9;
    Settings.Export.XLS_DecimalSeparator = ",";
  }

  TFakeUi Ui;
  TOrderCommands Commands;
  bool DatesPass = true;
};

TEST(OrderCommandNames, ProposedNameAndTheObxRule) {
  TAppSettings settings;
  settings.Prefix = "OB";
  settings.Format = "YYMMDD";
  EXPECT_EQ(ProposedOrderFileName(settings, EncodeDate(2025, 3, 14)), "OB250314");
  settings.Prefix = "Obj-";
  settings.Format = "dd.mm.yyyy";
  settings.Suffix = "-x";
  EXPECT_EQ(ProposedOrderFileName(settings, EncodeDate(2025, 3, 14)), "Obj-14.03.2025-x");

  const std::pair<const char*, bool> kNames[] = {
      {"/a/b.obx", true},  {"B.OBX", true},      {"c:\\x\\o.Obx", true}, {"/a/b.txt", false},
      {"/a.obx/b", false}, {"/a/b.obxx", false}, {"/a/b", false},        {"/a/b.ob", false},
  };
  for (const auto& [name, obx] : kNames) {
    SCOPED_TRACE(name);
    EXPECT_EQ(HasOrderFileExtension(name), obx);
  }
}

TEST_F(OrderCommandsTest, SaveInPlaceOnlyForAnObxFile) {
  Order.FileName = Dir.File("mine.OBX");
  ASSERT_TRUE(Commands.Save());
  EXPECT_EQ(Ui.Calls, (std::vector<std::string>{"check"}));
  EXPECT_TRUE(std::filesystem::exists(Order.FileName));
  EXPECT_FALSE(Order.Modified);

  // A file that is not an order file (an import, an export's name) goes through Save as,
  // which proposes its name without the extension, in its folder.
  Ui.Calls.clear();
  Order.FileName = Dir.File("import.txt");
  Ui.SaveChoice = TFileDialogChoice{Dir.File("again.obx"), 1};
  ASSERT_TRUE(Commands.Save());
  EXPECT_EQ(Ui.Calls, (std::vector<std::string>{"save dialog"}));
  EXPECT_EQ(Ui.Requests.back().FileName, "import");
  EXPECT_EQ(Ui.Requests.back().InitialFolder, Dir.Path().string());
  EXPECT_EQ(Order.FileName, Dir.File("again.obx"));
}

TEST_F(OrderCommandsTest, SaveAsOfANewOrderChecksTheDatesFirstAndProposesTheName) {
  // The check corrects the delivery date; the proposal carries the corrected one.
  Commands.CheckDeliveryDates = [this](TOrder& order) {
    Ui.Calls.push_back("check");
    order.DeliveryDate = EncodeDate(2025, 3, 14);
    return DatesPass;
  };
  Ui.SaveChoice = TFileDialogChoice{Dir.File("OB250314.obx"), 1};
  ASSERT_TRUE(Commands.Save());
  EXPECT_EQ(Ui.Calls, (std::vector<std::string>{"check", "save dialog"}));
  const TFileDialogRequest& r = Ui.Requests.back();
  EXPECT_EQ(r.FileName, "OB250314");
  EXPECT_EQ(r.InitialFolder, Settings.Orders);
  EXPECT_EQ(r.DefaultExt, "obx");
  EXPECT_EQ(r.FilterIndex, 1);
  EXPECT_EQ(Cp1250ToUtf8(r.Filter), "Objednávky (*.obx)|*.obx|Textový soubor (*.txt)|*.txt|Databáze dBase "
                                    "(*.dbf)|*.dbf|Microsoft Excel (*.xls)|*.xls");
  EXPECT_EQ(Order.FileName, Dir.File("OB250314.obx"));

  // A cancelled check ends before the dialog.
  Ui.Calls.clear();
  Order.FileName.clear();
  DatesPass = false;
  EXPECT_FALSE(Commands.SaveAs());
  EXPECT_EQ(Ui.Calls, (std::vector<std::string>{"check"}));
}

TEST_F(OrderCommandsTest, SaveAsDispatchesByFilter) {
  Order.FileName = Dir.File("mine.obx");
  Order.RemoveEmptyLines();
  const struct {
    int Filter;
    const char* Call;
  } kCases[] = {{2, "export 44 . "}, {4, "export 9 , "}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Filter);
    Ui.Calls.clear();
    const std::string path = Dir.File("out" + std::to_string(c.Filter));
    Ui.SaveChoice = TFileDialogChoice{path, c.Filter};
    ASSERT_TRUE(Commands.SaveAs());
    EXPECT_EQ(Ui.Calls, (std::vector<std::string>{"save dialog", c.Call + path}));
    // An export is no save of the order: its file and its modified flag stay.
    EXPECT_EQ(Order.FileName, Dir.File("mine.obx"));
    EXPECT_TRUE(Order.Modified);
  }

  Ui.SaveChoice = TFileDialogChoice{Dir.File("out.dbf"), 3};
  try {
    Commands.SaveAs();
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(Cp1250ToUtf8(e.what()), "Chybně určený typ souboru. Soubor nebyl uložen");
  }
  EXPECT_FALSE(std::filesystem::exists(Dir.File("out.dbf")));

  // Saving to the order's own file after an export still writes an order file.
  ASSERT_TRUE(Commands.Save());
  EXPECT_EQ(ReadFileBytes(Order.FileName).rfind("[General]\r\n", 0), 0u);
}

TEST_F(OrderCommandsTest, OpenDispatchesByFilterAndRefreshes) {
  ASSERT_TRUE(WriteOrderFile(Order, Dir.File("a.obx"), true, false, Settings, Options));
  Order.Modified = false;
  const TFileDialogRequest request = Commands.OpenDialogRequest();
  EXPECT_EQ(Cp1250ToUtf8(request.Filter), "Objednávky (*.obx)|*.obx|Textový soubor|*.txt; *.csv|DBF|*.dbf");
  EXPECT_EQ(request.FileName, "*.obx");
  EXPECT_EQ(request.InitialFolder, Settings.Orders);

  for (const int filter : {2, 3}) {
    Ui.Calls.clear();
    Ui.OpenChoice = TFileDialogChoice{Dir.File("x"), filter};
    ASSERT_TRUE(Commands.Open());
    EXPECT_EQ(Ui.Calls, (std::vector<std::string>{
                            "open dialog", "import " + std::to_string(filter) + " " + Dir.File("x"), "refresh"}));
  }

  Order.Clear();
  Ui.Calls.clear();
  Ui.OpenChoice = TFileDialogChoice{Dir.File("a.obx"), 1};
  ASSERT_TRUE(Commands.Open());
  EXPECT_EQ(Order.Count(), 2);
  EXPECT_EQ(Order.FileName, Dir.File("a.obx"));

  // A file that cannot be read: the failure propagates, the order is shown again all the same.
  Ui.Calls.clear();
  Ui.OpenChoice = TFileDialogChoice{Dir.File("none.obx"), 1};
  EXPECT_THROW(Commands.Open(), EFOpenError);
  EXPECT_EQ(Ui.Calls.back(), "refresh");
  EXPECT_EQ(Order.Count(), 2);
}

TEST_F(OrderCommandsTest, UnsavedChangesQuestion) {
  const std::string question = "Neuložené změny budou ztraceny.\r\nChcete založit novou objednávku ?";
  // Cancel keeps the order; a cancelled dialog asks nothing.
  Sink.Answers = {TMsgResult::Cancel};
  EXPECT_FALSE(Commands.New());
  Ui.OpenChoice.reset();
  EXPECT_FALSE(Commands.Open());
  Ui.OpenChoice = TFileDialogChoice{Dir.File("x.txt"), 2};
  EXPECT_FALSE(Commands.Open());
  EXPECT_EQ(Sink.Texts, (std::vector<std::string>{question, question}));
  EXPECT_EQ(Order.Count(), 2);
  EXPECT_EQ(Ui.Calls, (std::vector<std::string>{"open dialog", "open dialog"}));

  Sink.Answers = {TMsgResult::OK};
  ASSERT_TRUE(Commands.New());
  EXPECT_EQ(Order.Count(), 0);
  EXPECT_EQ(Order.Created, Now);
  EXPECT_EQ(Ui.Calls.back(), "refresh");
  EXPECT_EQ(LogTexts(),
            (std::vector<std::string>{"Objednávka nebyla uložena (položek: 2)", "Založena nová objednávka"}));

  // An unmodified order, or one without lines, is replaced without a question.
  Sink.Texts.clear();
  ASSERT_TRUE(Commands.New());
  EXPECT_TRUE(Sink.Texts.empty());
}

TEST_F(OrderCommandsTest, CloseQuestion) {
  const struct {
    TMsgResult Answer;
    bool Closes;
    bool Saved;
  } kCases[] = {{TMsgResult::Yes, true, true}, {TMsgResult::No, true, false}, {TMsgResult::Cancel, false, false}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(static_cast<int>(c.Answer));
    std::filesystem::remove(Dir.File("test.log"));
    Order.FileName = Dir.File("close.obx");
    std::filesystem::remove(Order.FileName);
    Order.Modified = true;
    Sink.Texts.clear();
    Sink.Answers = {c.Answer};
    EXPECT_EQ(Commands.QueryClose(), c.Closes);
    EXPECT_EQ(Sink.Texts, (std::vector<std::string>{"Přejete si uložit změny v objednávce ?"}));
    EXPECT_EQ(Sink.Flags[0].Buttons, TMsgButtons::YesNoCancel);
    EXPECT_EQ(std::filesystem::exists(Order.FileName), c.Saved);
    if (!c.Saved) {
      EXPECT_EQ(LogTexts(), (std::vector<std::string>{"Objednávka nebyla uložena (položek: 2)"}));
    }
  }
  // Yes, but the save is cancelled at the delivery-date check: the window stays.
  Order.Modified = true;
  Sink.Answers = {TMsgResult::Yes};
  DatesPass = false;
  EXPECT_FALSE(Commands.QueryClose());
  // Nothing to save: no question.
  Order.Modified = false;
  Sink.Texts.clear();
  EXPECT_TRUE(Commands.QueryClose());
  EXPECT_TRUE(Sink.Texts.empty());
}

TEST_F(OrderCommandsTest, ReadLinesTakeTheOrderGridsSort) {
  ASSERT_TRUE(WriteOrderFile(Order, Dir.File("a.obx"), true, false, Settings, Options));
  TColumnList columns;
  columns.Columns = {DefaultColumn(2)}; // "Kód"
  columns.SortColumn = 0;
  TCellEnvironment env;
  env.Conventions = &Czech;
  Options.SortLines = [&](TOrder& order) { SortOrderLines(order, columns, env); };
  TOrder order;
  ReadOrderFile(order, Dir.File("a.obx"), Options);
  ASSERT_EQ(order.Count(), 2);
  EXPECT_EQ(order.Line(0).Code, "S2");
  EXPECT_EQ(order.Line(0).Card, &Cards["S2"]);
  EXPECT_EQ(order.Line(1).Code, "V1");
}

} // namespace

namespace {

class TRecordingProblems : public IImportProblemDialog {
public:
  bool Continue(const TImportProblem& problem) override {
    Messages.push_back(Cp1250ToUtf8(problem.Message));
    return true;
  }
  std::vector<std::string> Messages;
};

class TCancellingDates : public IDeliveryDateDialog {
public:
  bool Execute(const TDeliveryDialogLogic&, TDeliveryDialogState&) override {
    ++Shown;
    return false;
  }
  int Shown = 0;
};

// The seams connected to the application's own import, export and date check reach them with
// the application's settings and price list (an empty one here).
TEST(ConnectedOrderTransfers, ReachTheApplicationsImportExportAndDateCheck) {
  TempDir dir;
  AppContext app(TestAppContextSetup(dir));
  app.Open();
  TAppScope scope(app);
  TOrder order;
  TFakeUi ui;
  TOrderCommands commands(order, app.Settings, ui);
  TRecordingProblems problems;
  TCancellingDates dates;
  ConnectOrderTransfers(commands, problems, dates);

  const std::string source = dir.File("in.txt");
  WriteFileBytes(source, "EAN\tKUSY\r\n8590000000001\t3\r\n");
  order.FileName = source;
  commands.Import(order, source, 2);
  EXPECT_EQ(order.Count(), 0);
  ASSERT_EQ(problems.Messages.size(), 1u);
  EXPECT_NE(problems.Messages[0].find("8590000000001"), std::string::npos) << problems.Messages[0];

  const std::string exported = dir.File("out.txt");
  commands.Export(order, exported, ';', ".");
  EXPECT_TRUE(std::filesystem::exists(exported));

  // No delivery date never passes the quick test, so the dialog decides; it was cancelled.
  EXPECT_FALSE(commands.CheckDeliveryDates(order));
  EXPECT_EQ(dates.Shown, 1);
}

} // namespace
