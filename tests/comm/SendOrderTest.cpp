#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <deque>
#include <filesystem>

#include "catalogue/PriceListItem.h"
#include "comm/FakeSmtp.h"
#include "comm/MailSendForm.h"
#include "comm/SendOrder.h"
#include "comm/SmtpClient.h"
#include "core/AppSettings.h"
#include "core/Errors.h"
#include "core/Locale.h"
#include "core/Log.h"
#include "core/ReportMessage.h"
#include "formats/Cp1250Utf8.h"
#include "orders/DeliveryDates.h"
#include "orders/Order.h"
#include "support/TestSupport.h"

namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace fs = std::filesystem;

const TDateTime kNow = EncodeDate(2009, 1, 2) + 0.75; // Friday 2.1.2009 18:00
const TDateTime kToday = EncodeDate(2009, 1, 2);
const TDateTime kDelivery = EncodeDate(2009, 1, 5); // Monday

// Every message box shown; questions are answered from a queue (then as a user who cannot be
// asked).
class TScriptedSink : public IMessageSink {
public:
  struct TShown {
    std::string Text;
    TMsgFlags Flags;
  };
  std::vector<TShown> Shown;
  std::deque<TMsgResult> Answers;

  TMsgResult Show(const std::string& text, const std::string&, TMsgFlags flags) override {
    Shown.push_back({text, flags});
    if (flags.Buttons == TMsgButtons::OK)
      return TMsgResult::OK;
    if (Answers.empty())
      return HeadlessAnswer(flags.Buttons);
    const TMsgResult answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const TShown& shown : Shown)
      texts.push_back(shown.Text);
    return texts;
  }
};

class TFakeDateDialog : public IDeliveryDateDialog {
public:
  bool Accept = false;
  int Shown = 0;
  bool Execute(const TDeliveryDialogLogic&, TDeliveryDialogState& state) override {
    ++Shown;
    if (Accept)
      state.DeliveryText = "05.01.2009";
    return Accept;
  }
};

class TFakeUi : public ISendOrderUi {
public:
  TFakeDateDialog Dates;
  int Refreshes = 0;
  int Saves = 0;
  std::function<bool()> Save = [] { return false; };
  std::function<void(TfmOdeslani&)> MailDialog = [](TfmOdeslani& form) { form.bOKClick(); };
  std::string MailAttachment;

  IDeliveryDateDialog& DeliveryDateDialog() override { return Dates; }
  bool SaveOrder() override {
    ++Saves;
    return Save();
  }
  void ShowMailDialog(TfmOdeslani& form) override {
    MailAttachment = form.AttachmentPath;
    MailDialog(form);
  }
  void RefreshOrder() noexcept override { ++Refreshes; }
};

// One order of two lines (one of them empty) ready to send; the temporary folder and the log
// inside a throw-away folder.
class SendOrderFlow : public ::testing::Test {
protected:
  SendOrderFlow() : Sinks(Sink) {
    fs::create_directories(Dir.File("tmp"));
    Settings.Prefix = "OB";
    Settings.Format = "YYMMDD";
    Settings.Extension = ".obx";
    Settings.EnabledDaysOfWeek = "12345";
    Settings.Supplier.EMail = "obj@dodavatel.cz";
    Settings.Company.EMail = "jan@firma.cz";
    Settings.SMTPServer = "smtp.firma.cz";
    Card.Kod = "V1";
    Card.Nazev = Cz("Víno");
    Card.Jednotka = "ks";
    Card.Baleni = 6;
    Order.SetClock([] { return kNow; });
    Order.DeliveryDate = kDelivery;
    Order.Append(TOrderItem{2, 0, "V1", &Card});
    Order.Append(TOrderItem{0, 0, "V1", &Card});
    Environment.TempFolder = Dir.File("tmp");
    Environment.Today = kToday;
    Environment.FileOptions.Conventions = &Czech;
    Environment.Smtp = &Smtp;
    ProgramLog().SetFileName(Dir.File("obj.log"));
  }
  ~SendOrderFlow() override { ProgramLog().SetFileName(""); }

  TSendOutcome Send() {
    TSendOrderFlow flow(Order, Settings, Ui, Environment);
    flow.Upload = Upload;
    return flow.aOrder_SendExecute();
  }
  // An upload that sees the file while it is being sent.
  void UploadAnswers(bool ok) {
    Upload = [this, ok](const std::string& fileName) {
      Uploaded.push_back(fileName);
      UploadedBytes = ReadFileBytes(fileName);
      return ok;
    };
  }
  std::string Log() const { return fs::exists(Dir.File("obj.log")) ? ReadFileBytes(Dir.File("obj.log")) : ""; }
  std::vector<std::string> TempFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Dir.File("tmp")))
      names.push_back(entry.path().filename().string());
    return names;
  }

  TempDir Dir;
  Locale Czech = Locale::Czech();
  TAppSettings Settings;
  TPriceListItem Card;
  TOrder Order;
  TScriptedSink Sink;
  TMessageSinkScope Sinks;
  TFakeUi Ui;
  TFakeSmtp Smtp;
  TSendOrderEnvironment Environment;
  TOrderUploadFn Upload;
  std::vector<std::string> Uploaded;
  std::string UploadedBytes;
};

TEST_F(SendOrderFlow, NeverSavedOrderGoesAsATemporaryCopyThatIsDeleted) {
  Settings.MailSendFormat = 2;
  UploadAnswers(true);
  ASSERT_EQ(Send(), TSendOutcome::Sent);

  ASSERT_THAT(Uploaded, ElementsAre(Dir.File("tmp") + "/OB090105.obx"));
  EXPECT_THAT(UploadedBytes, HasSubstr("[OrderItems]"));
  EXPECT_THAT(UploadedBytes, HasSubstr("OrderID=" + Order.OrderID));
  EXPECT_FALSE(Order.OrderID.empty());
  EXPECT_THAT(TempFiles(), ElementsAre());
  // The copy's name is not the order's: it stays never saved, with the stamp still to save.
  EXPECT_EQ(Order.FileName, "");
  EXPECT_EQ(Order.Sent, kNow);
  EXPECT_TRUE(Order.Modified);
  EXPECT_EQ(Order.Count(), 1); // the empty line went
  EXPECT_EQ(Ui.Refreshes, 1);
  ASSERT_EQ(Sink.Shown.size(), 1u);
  EXPECT_EQ(Sink.Shown[0].Text, Cz("Objednávka odeslána přes komunikační server dodavatele\ra server objednávku "
                                   "přijal k dalšímu zpracování\r(položek: 1)"));
  EXPECT_EQ(Sink.Shown[0].Flags.Icon, TMsgIcon::Information);
  EXPECT_THAT(Log(), HasSubstr(Cz("(položek: 1)")));
}

TEST_F(SendOrderFlow, OrderInTheTemporaryFolderIsSavedInPlaceAndKept) {
  Settings.MailSendFormat = 2;
  UploadAnswers(true);
  // As written, and a name that only expands to the same file.
  for (const std::string& name : {Dir.File("tmp") + "/OBJ1.obx", Dir.File("tmp") + "/../tmp/./OBJ1.obx"}) {
    SCOPED_TRACE(name);
    WriteFileBytes(Dir.File("tmp/OBJ1.obx"), "old");
    Order.FileName = name;
    Order.Modified = true;
    Order.Sent = 0;
    Uploaded.clear();
    ASSERT_EQ(Send(), TSendOutcome::Sent);
    ASSERT_THAT(Uploaded, ElementsAre(name));
    EXPECT_EQ(Order.FileName, name);
    EXPECT_EQ(ReadFileBytes(Dir.File("tmp/OBJ1.obx")), UploadedBytes);
    EXPECT_THAT(UploadedBytes, HasSubstr("[OrderItems]"));
    EXPECT_TRUE(Order.Modified); // the stamp came after the save
  }
}

TEST_F(SendOrderFlow, OrderSavedElsewhereGoesUnderItsOwnNameAndStaysUntouched) {
  Settings.MailSendFormat = 2;
  UploadAnswers(true);
  fs::create_directories(Dir.File("orders"));
  WriteFileBytes(Dir.File("orders/Pondeli.obx"), "own");
  Order.FileName = Dir.File("orders/Pondeli.obx");
  ASSERT_EQ(Send(), TSendOutcome::Sent);
  EXPECT_THAT(Uploaded, ElementsAre(Dir.File("tmp") + "/Pondeli.obx"));
  EXPECT_EQ(ReadFileBytes(Dir.File("orders/Pondeli.obx")), "own");
  EXPECT_EQ(Order.FileName, Dir.File("orders/Pondeli.obx"));
  EXPECT_THAT(TempFiles(), ElementsAre());
}

TEST_F(SendOrderFlow, RepeatedSendIsAskedOnlyAfterTheFirstOfJanuary2001) {
  Settings.MailSendFormat = 2;
  UploadAnswers(true);
  const TDateTime limit = EncodeDate(2001, 1, 1);
  struct TCase {
    const char* Name;
    TDateTime Stamp;
    bool Asked;
    TMsgResult Answer;
    bool Sent;
  };
  const TCase kCases[] = {
      {"Never", 0, false, TMsgResult::No, true},
      {"ExactlyTheLimit", limit, false, TMsgResult::No, true},
      {"OneMinuteLaterDeclined", limit + 1.0 / 1440, true, TMsgResult::No, false},
      {"OneMinuteLaterConfirmed", limit + 1.0 / 1440, true, TMsgResult::Yes, true},
  };
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.Name);
    Order.Sent = c.Stamp;
    Sink.Shown.clear();
    Sink.Answers = {c.Answer};
    Uploaded.clear();
    Ui.Refreshes = 0;
    const int lines = Order.Count();
    EXPECT_EQ(Send(), c.Sent ? TSendOutcome::Sent : TSendOutcome::NotSent);
    EXPECT_EQ(Uploaded.size(), c.Sent ? 1u : 0u);
    const std::string question = Cz("Objednávka již byla odeslána 01.01.2001 00:01.\r\nPřejete si ji odeslat znovu ?");
    if (c.Asked) {
      ASSERT_FALSE(Sink.Shown.empty());
      EXPECT_EQ(Sink.Shown[0].Text, question);
      EXPECT_EQ(Sink.Shown[0].Flags.Buttons, TMsgButtons::YesNo);
      EXPECT_EQ(Sink.Shown[0].Flags.Icon, TMsgIcon::Question);
    } else {
      EXPECT_THAT(Sink.Texts(), Not(Contains(question)));
    }
    if (!c.Sent) {
      // Declining changes nothing, not even the window.
      EXPECT_EQ(Order.Sent, c.Stamp);
      EXPECT_EQ(Ui.Refreshes, 0);
      EXPECT_EQ(Order.Count(), lines);
    }
  }
}

TEST_F(SendOrderFlow, RefusedDateCheckEndsQuietly) {
  Settings.MailSendFormat = 2;
  UploadAnswers(true);
  Order.DeliveryDate = EncodeDate(2009, 1, 3); // a Saturday
  EXPECT_EQ(Send(), TSendOutcome::NotSent);
  EXPECT_EQ(Ui.Dates.Shown, 1);
  EXPECT_TRUE(Uploaded.empty());
  EXPECT_TRUE(Sink.Shown.empty());
  EXPECT_EQ(Ui.Refreshes, 0);
  EXPECT_EQ(Order.OrderID, "");
  EXPECT_EQ(Order.Count(), 2);

  // Corrected in the dialog, the order goes with the new date.
  Ui.Dates.Accept = true;
  EXPECT_EQ(Send(), TSendOutcome::Sent);
  EXPECT_EQ(Order.DeliveryDate, kDelivery);
  EXPECT_THAT(Uploaded, ElementsAre(Dir.File("tmp") + "/OB090105.obx"));
}

TEST_F(SendOrderFlow, DeclinedPriceQuestionSendsNothing) {
  Settings.MailSendFormat = 2;
  Settings.PriceEnabled = true;
  Settings.OrderEncrypt = true; // an unverified price list: the question comes
  UploadAnswers(true);
  Sink.Answers = {TMsgResult::Cancel};
  EXPECT_EQ(Send(), TSendOutcome::NotSent);
  EXPECT_TRUE(Uploaded.empty());
  EXPECT_THAT(TempFiles(), ElementsAre());
  ASSERT_EQ(Sink.Shown.size(), 1u);
  EXPECT_THAT(Sink.Shown[0].Text, HasSubstr(Cz("Přejete si pokračovat v odeslání objednávky ?")));
  EXPECT_EQ(Order.Sent, 0);
  EXPECT_EQ(Ui.Refreshes, 1);
}

TEST_F(SendOrderFlow, FailedUploadReportsAndLeavesTheOrderUnstamped) {
  Settings.MailSendFormat = 2;
  UploadAnswers(false);
  EXPECT_EQ(Send(), TSendOutcome::Failed);
  EXPECT_EQ(Uploaded.size(), 1u);
  ASSERT_EQ(Sink.Shown.size(), 1u);
  EXPECT_EQ(Sink.Shown[0].Text, Cz("Chyba při odesílání dat přes internet (TAV)"));
  EXPECT_EQ(Sink.Shown[0].Flags.Icon, TMsgIcon::Error);
  EXPECT_THAT(Log(), HasSubstr(Cz("Chyba při odesílání dat přes internet (TAV)")));
  EXPECT_EQ(Order.Sent, 0);
  EXPECT_THAT(TempFiles(), ElementsAre());
  EXPECT_EQ(Ui.Refreshes, 1);
}

TEST_F(SendOrderFlow, ThrowingChannelStillCleansUp) {
  Settings.MailSendFormat = 2;
  Upload = [this](const std::string& fileName) -> bool {
    Uploaded.push_back(fileName);
    EXPECT_TRUE(fs::exists(fileName));
    throw Exception(Cz("Spojení přerušeno"));
  };
  EXPECT_THROW(Send(), Exception);
  EXPECT_EQ(Uploaded.size(), 1u);
  EXPECT_THAT(TempFiles(), ElementsAre());
  EXPECT_EQ(Ui.Refreshes, 1);
  EXPECT_EQ(Order.Sent, 0);

  // An unconnected upload is a programming error, cleaned up the same way.
  Upload = nullptr;
  EXPECT_THROW(Send(), std::logic_error);
  EXPECT_THAT(TempFiles(), ElementsAre());
  EXPECT_EQ(Ui.Refreshes, 2);
}

// A stand-in for xdg-email: records its arguments (NUL-separated), keeps a copy of the
// attachment as it was handed over, and exits with the given code.
class SendOrderMailProgram : public SendOrderFlow {
protected:
  void WriteTool(int exitCode) {
    const std::string tool = Dir.File("xdg-email");
    WriteFileBytes(tool, "#!/bin/sh\nprintf '%s\\0' \"$@\" > '" + Dir.File("args") +
                             "'\nfor a; do last=$a; done\ncp \"$last\" '" + Dir.File("attached") + "'\nexit " +
                             std::to_string(exitCode) + "\n");
    chmod(tool.c_str(), 0755);
    Environment.Mapi.ProgramPath = tool;
  }
  std::vector<std::string> Arguments() const {
    std::vector<std::string> args;
    const std::string bytes = ReadFileBytes(Dir.File("args"));
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1)
      args.push_back(bytes.substr(start, end - start));
    return args;
  }
};

TEST_F(SendOrderMailProgram, AnyOtherChannelNumberIsTheMailProgram) {
  WriteTool(0);
  for (int channel : {0, 7, -1}) {
    SCOPED_TRACE(channel);
    Settings.MailSendFormat = channel;
    Order.Sent = 0;
    Order.Modified = false;
    fs::remove(Dir.File("obj.log"));
    ASSERT_EQ(Send(), TSendOutcome::Sent);
    const std::vector<std::string> args = Arguments();
    EXPECT_THAT(args,
                ElementsAre("--utf8", "--to", "obj@dodavatel.cz", "--subject", "Objednavka zbozi na: pondeli 5.1.2009",
                            "--body", ::testing::_, "--attach", Dir.File("tmp") + "/OB090105.obx"));
    EXPECT_THAT(ReadFileBytes(Dir.File("attached")), HasSubstr("[OrderItems]"));
    EXPECT_THAT(Log(), HasSubstr(Cz("Objednávka připravena k odeslání (položek: 1)")));
    EXPECT_EQ(Order.Sent, kNow);
    EXPECT_TRUE(Order.Modified);
    EXPECT_THAT(TempFiles(), ElementsAre());
    EXPECT_TRUE(Sink.Shown.empty());
  }
}

TEST_F(SendOrderMailProgram, MailProgramErrorPropagatesUnstamped) {
  WriteTool(4);
  EXPECT_THROW(Send(), EMapiError);
  EXPECT_EQ(Order.Sent, 0);
  EXPECT_THAT(TempFiles(), ElementsAre());
  EXPECT_EQ(Ui.Refreshes, 1);
  EXPECT_THAT(Log(), Not(HasSubstr(Cz("připravena k odeslání"))));
}

TEST_F(SendOrderFlow, CancelledMailIsReported) {
  std::string attachment;
  Environment.MailClient = [&](const std::string&, const std::string&, const std::string& file, const std::string&) {
    attachment = file;
    return false;
  };
  EXPECT_EQ(Send(), TSendOutcome::Failed);
  EXPECT_EQ(attachment, Dir.File("tmp") + "/OB090105.obx");
  EXPECT_THAT(Sink.Texts(), ElementsAre(Cz("Chyba při odesílání pošty")));
  EXPECT_THAT(Log(), HasSubstr(Cz("Chyba při odesílání pošty")));
  EXPECT_EQ(Order.Sent, 0);
  EXPECT_THAT(TempFiles(), ElementsAre());
}

TEST_F(SendOrderFlow, SmtpDialogGetsTheFileAndStampsOnItsOwn) {
  Settings.MailSendFormat = 1;
  std::string attachedMessage;
  Ui.MailDialog = [&](TfmOdeslani& form) {
    EXPECT_TRUE(fs::exists(form.AttachmentPath));
    form.bOKClick();
  };
  EXPECT_EQ(Send(), TSendOutcome::Sent);
  EXPECT_EQ(Ui.MailAttachment, Dir.File("tmp") + "/OB090105.obx");
  ASSERT_EQ(Smtp.Sent.size(), 1u);
  EXPECT_THAT(Smtp.Sent[0].Message, HasSubstr("OB090105.obx"));
  EXPECT_EQ(Order.Sent, kNow);
  EXPECT_TRUE(Order.Modified);
  EXPECT_THAT(TempFiles(), ElementsAre());

  // Closed without sending: nothing stamped, the copy still goes.
  Order.Sent = 0;
  Order.Modified = false;
  Ui.MailDialog = [](TfmOdeslani& form) { form.bCancelClick(); };
  EXPECT_EQ(Send(), TSendOutcome::NotSent);
  EXPECT_EQ(Order.Sent, 0);
  EXPECT_THAT(TempFiles(), ElementsAre());
}

TEST_F(SendOrderFlow, WithoutTemporaryFolderTheOrdinarySaveGivesTheFile) {
  Settings.MailSendFormat = 2;
  UploadAnswers(true);
  Environment.TempFolder = "";
  // The save is cancelled: the order has no file to send.
  EXPECT_EQ(Send(), TSendOutcome::NotSent);
  EXPECT_EQ(Ui.Saves, 1);
  EXPECT_TRUE(Uploaded.empty());

  const std::string own = Dir.File("own.obx");
  Ui.Save = [&] {
    WriteFileBytes(own, "saved");
    Order.FileName = own;
    return true;
  };
  EXPECT_EQ(Send(), TSendOutcome::Sent);
  EXPECT_THAT(Uploaded, ElementsAre(own));
  EXPECT_TRUE(fs::exists(own)); // the order's own file is never deleted
}

TEST(SendOrderHelpers, TemporaryFolderAndNames) {
  TempDir dir;
  {
    TEnvOverride tmp("TMPDIR", dir.Path().c_str());
    EXPECT_EQ(SystemTempFolder(), dir.Path().string());
  }
  {
    TEnvOverride tmp("TMPDIR", (dir.Path() / "missing").c_str());
    EXPECT_EQ(SystemTempFolder(), "");
  }
  {
    TEnvOverride tmp("TMPDIR", "");
    EXPECT_EQ(SystemTempFolder(), "/tmp");
  }
  TAppSettings settings;
  settings.Prefix = "OB";
  settings.Format = "YYMMDD";
  settings.Suffix = "_x";
  settings.Extension = ".obx";
  TOrder order;
  order.DeliveryDate = kDelivery;
  EXPECT_EQ(SendFileName(order, settings), "OB090105_x.obx");
  order.FileName = "C:\\Objednavky\\Pondeli.obx";
  EXPECT_EQ(SendFileName(order, settings), "Pondeli.obx");
  order.FileName = "/home/jan/orders/Úterý.obx";
  EXPECT_EQ(SendFileName(order, settings), "Úterý.obx");

  EXPECT_TRUE(SameOrderFileName("/tmp/a.obx", "/tmp//a.obx"));
  EXPECT_TRUE(SameOrderFileName("a.obx", (fs::current_path() / "a.obx").string()));
  EXPECT_FALSE(SameOrderFileName("/tmp/a.obx", "/tmp/A.obx"));
}

} // namespace
