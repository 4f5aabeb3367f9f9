#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "comm/MailSendForm.h"
#include "comm/SmtpClient.h"
#include "comm/SmtpFakeServer.h"
#include "core/AppSettings.h"
#include "core/Errors.h"
#include "core/Log.h"
#include "core/ReportMessage.h"
#include "formats/Cp1250Utf8.h"
#include "orders/Order.h"
#include "support/TestSupport.h"

namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

class TFakeSmtpClient : public ISmtpClient {
public:
  explicit TFakeSmtpClient(const TfmOdeslani*& form) : FForm(form) {}
  bool Accept = true;
  int Calls = 0;
  TSmtpRequest Last;
  bool PanelsEnabledWhileSending = true;

  bool Send(const TSmtpRequest& request) override {
    Calls++;
    Last = request;
    PanelsEnabledWhileSending = FForm->Panel1Enabled || FForm->Panel2Enabled;
    return Accept;
  }
  std::string LastError() const override { return Accept ? "" : "550 refused"; }

private:
  const TfmOdeslani*& FForm;
};

class TRecordingSink : public IMessageSink {
public:
  struct TShown {
    std::string Text, Caption;
    TMsgFlags Flags;
  };
  std::vector<TShown> Shown;
  TMsgResult Show(const std::string& text, const std::string& caption, TMsgFlags flags) override {
    Shown.push_back({text, caption, flags});
    return TMsgResult::OK;
  }
};

const TDateTime kNow = EncodeDate(2026, 12, 11) + 0.5;

class SendForm : public ::testing::Test {
protected:
  SendForm() : Client(FormPointer), Sinks(Sink) {
    Settings.Company.EMail = "jan@firma.cz";
    Settings.Company.RespPerson = Cz("Jan Novák Ünal Łukasz");
    Settings.Company.Name1 = Cz("Potraviny Novák");
    Settings.Supplier.EMail = "obj@dodavatel.cz, sklad@dodavatel.cz";
    Settings.SMTPServer = "  smtp.firma.cz:2525 ";
    Settings.SMTPUser = "jan";
    Settings.SMTPPassword = "heslo";
    Order.DeliveryDate = EncodeDate(2009, 1, 5);
    Order.LatestDeliveryDate = EncodeDate(2009, 1, 6);
    Order.Append(TOrderItem{});
    Order.SetClock([] { return kNow; });
    ProgramLog().SetFileName(Log.File("objednavky.log"));
    WriteFileBytes(Log.File("OB090105.obx"), "order");
  }
  ~SendForm() override { ProgramLog().SetFileName(""); }

  TfmOdeslani& ShownForm() {
    Form = std::make_unique<TfmOdeslani>(Settings, Order, Client);
    FormPointer = Form.get();
    Form->AttachmentPath = Log.File("OB090105.obx");
    Form->StampSource = [] {
      TMimeStamp stamp;
      stamp.Boundary = "=_b";
      stamp.MessageToken = "t";
      return stamp;
    };
    Form->FormShow();
    return *Form;
  }

  TempDir Log;
  TAppSettings Settings;
  TOrder Order;
  const TfmOdeslani* FormPointer = nullptr;
  TFakeSmtpClient Client;
  TRecordingSink Sink;
  TMessageSinkScope Sinks;
  std::unique_ptr<TfmOdeslani> Form;
};

TEST_F(SendForm, ShowFillsTheFieldsFromSettingsAndOrder) {
  Settings.SMTPNeedLogin = true;
  Settings.MailNotification = true;
  TfmOdeslani& form = ShownForm();
  EXPECT_EQ(form.eEmailOdesilatel, "jan@firma.cz");
  EXPECT_EQ(form.eEmailPrijemce, "obj@dodavatel.cz, sklad@dodavatel.cz");
  // Folding drops the diacritics it knows (Ü too) and leaves Ł alone.
  EXPECT_EQ(form.ePerson, Cz("Jan Novak Unal Łukasz"));
  EXPECT_EQ(form.eSMTPServer, "smtp.firma.cz:2525");
  EXPECT_TRUE(form.cbSMTPOvereni);
  EXPECT_TRUE(form.eSMTPUserEnabled);
  EXPECT_EQ(form.eSMTPPasswordStyle, TfmOdeslani::TEditStyle::Normal);
  EXPECT_EQ(form.eSMTPUser, "jan");
  EXPECT_TRUE(form.cbOznameniOPrecteni);
  EXPECT_EQ(form.eSubject, "Objednavka zbozi na: pondeli 5.1.2009");
  ASSERT_GE(form.mTextZpravy.size(), 6u);
  EXPECT_EQ(form.mTextZpravy[0], Cz("Objednáváme u Vás zboží uvedené v příloze."));
  EXPECT_EQ(form.mTextZpravy.back(), "Tel: ");

  form.cbSMTPOvereni = false;
  form.cbSMTPOvereniClick();
  EXPECT_FALSE(form.eSMTPUserEnabled);
  EXPECT_FALSE(form.eSMTPPasswordEnabled);
  EXPECT_EQ(form.eSMTPUserStyle, TfmOdeslani::TEditStyle::Disabled);
}

TEST_F(SendForm, SuccessSendsTrimmedFieldsWithoutLoginStampsAndLogs) {
  TfmOdeslani& form = ShownForm();
  form.eEmailOdesilatel = "  jan@firma.cz ";
  form.ePerson = "";
  form.bOKClick();

  EXPECT_EQ(form.ModalResult, TfmOdeslani::TModalResult::OK);
  EXPECT_EQ(form.eEmailOdesilatel, "jan@firma.cz");
  ASSERT_EQ(Client.Calls, 1);
  EXPECT_EQ(Client.Last.Sender, "jan@firma.cz");
  EXPECT_EQ(Client.Last.Recipients, "obj@dodavatel.cz, sklad@dodavatel.cz");
  EXPECT_EQ(Client.Last.Server, "smtp.firma.cz:2525");
  // The login fields hold text, but authentication is off.
  EXPECT_EQ(Client.Last.User, "");
  EXPECT_EQ(Client.Last.Password, "");
  EXPECT_THAT(Client.Last.Message, StartsWith("From: jan@firma.cz\r\nOrganization: =?UTF-8?Q?Potraviny_Nov=C3=A1k?="));
  EXPECT_THAT(Client.Last.Message, HasSubstr("To: obj@dodavatel.cz, sklad@dodavatel.cz\r\n"));
  EXPECT_THAT(Client.Last.Message, HasSubstr("filename=\"OB090105.obx\""));
  EXPECT_FALSE(Client.PanelsEnabledWhileSending);
  EXPECT_TRUE(form.Panel1Enabled && form.Panel2Enabled);
  EXPECT_EQ(Order.Sent, kNow);
  EXPECT_TRUE(Order.Modified);
  EXPECT_THAT(ReadFileBytes(Log.File("objednavky.log")),
              HasSubstr(Cz("Objednávka připravena k odeslání (položek: 1)")));
  EXPECT_TRUE(Sink.Shown.empty());
}

TEST_F(SendForm, LoginAndReadReceiptWhenChecked) {
  TfmOdeslani& form = ShownForm();
  form.cbSMTPOvereni = true;
  form.cbOznameniOPrecteni = true;
  form.bOKClick();
  ASSERT_EQ(Client.Calls, 1);
  EXPECT_EQ(Client.Last.User, "jan");
  EXPECT_EQ(Client.Last.Password, "heslo");
  // The read receipt is the very first line; the person keeps its Ł, so its name is encoded.
  EXPECT_THAT(Client.Last.Message, StartsWith("Disposition-Notification-To: jan@firma.cz\r\n"
                                              "From: =?UTF-8?Q?Jan_Novak_Unal_=C5=81ukasz?= <jan@firma.cz>\r\n"));
}

TEST_F(SendForm, MissingDataIsReportedAndNothingIsSent) {
  struct TMissing {
    const char* Name;
    std::function<void(TfmOdeslani&)> Spoil;
  };
  const TMissing kCases[] = {
      {"sender only blanks", [](TfmOdeslani& f) { f.eEmailOdesilatel = "   "; }},
      {"recipient", [](TfmOdeslani& f) { f.eEmailPrijemce = ""; }},
      {"server", [](TfmOdeslani& f) { f.eSMTPServer = ""; }},
      {"user with login", [](TfmOdeslani& f) { f.cbSMTPOvereni = true, f.eSMTPUser = ""; }},
      {"password with login", [](TfmOdeslani& f) { f.cbSMTPOvereni = true, f.eSMTPPassword = ""; }},
  };
  for (const TMissing& c : kCases) {
    SCOPED_TRACE(c.Name);
    Sink.Shown.clear();
    TfmOdeslani& form = ShownForm();
    c.Spoil(form);
    form.bOKClick();
    EXPECT_EQ(form.ModalResult, TfmOdeslani::TModalResult::None);
    ASSERT_EQ(Sink.Shown.size(), 1u);
    EXPECT_EQ(Sink.Shown[0].Text, Cz("Nejsou zadány údaje pro odeslání objednávky"));
    EXPECT_EQ(Sink.Shown[0].Caption, Cz("Odeslání objednávky e-mailem"));
    EXPECT_EQ(Sink.Shown[0].Flags.Icon, TMsgIcon::Error);
  }
  EXPECT_EQ(Client.Calls, 0);
  EXPECT_EQ(Order.Sent, 0);
}

TEST_F(SendForm, RefusalRaisesTheMailErrorAndKeepsTheDialogUsable) {
  Client.Accept = false;
  TfmOdeslani& form = ShownForm();
  std::vector<bool> busy;
  form.OnBusyChanged = [&](bool on) { busy.push_back(on); };
  try {
    form.bOKClick();
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), Cz("Chyba při odesílání pošty"));
  }
  EXPECT_EQ(busy, (std::vector<bool>{true, false}));
  EXPECT_TRUE(form.Panel1Enabled && form.Panel2Enabled);
  EXPECT_EQ(form.ModalResult, TfmOdeslani::TModalResult::None);
  EXPECT_EQ(Order.Sent, 0);
  EXPECT_FALSE(Order.Modified);
  // The log line is written before the message leaves and stays.
  EXPECT_THAT(ReadFileBytes(Log.File("objednavky.log")), HasSubstr(Cz("připravena k odeslání")));
}

TEST_F(SendForm, UnreadableAttachmentStopsBeforeSending) {
  TfmOdeslani& form = ShownForm();
  form.AttachmentPath = Log.File("gone.obx");
  EXPECT_THROW(form.bOKClick(), EInOutError);
  EXPECT_EQ(Client.Calls, 0);
  EXPECT_TRUE(form.Panel1Enabled && form.Panel2Enabled);
  EXPECT_EQ(Order.Sent, 0);
}

TEST_F(SendForm, CancelClosesWithoutSending) {
  TfmOdeslani& form = ShownForm();
  form.bCancelClick();
  EXPECT_EQ(form.ModalResult, TfmOdeslani::TModalResult::Cancel);
  EXPECT_EQ(Client.Calls, 0);
}

TEST_F(SendForm, ReachesARealServerAtTheConfiguredPort) {
  TFakeSmtpServer server;
  Settings.SMTPServer = " " + server.Address() + " ";
  TCurlSmtpClient smtp;
  TfmOdeslani form(Settings, Order, smtp);
  form.AttachmentPath = Log.File("OB090105.obx");
  form.FormShow();
  form.bOKClick();
  EXPECT_EQ(form.ModalResult, TfmOdeslani::TModalResult::OK);
  server.Stop();
  EXPECT_THAT(server.Commands(), ::testing::Contains("RCPT TO:<obj@dodavatel.cz>"));
  EXPECT_THAT(server.Commands(), ::testing::Contains("RCPT TO:<sklad@dodavatel.cz>"));
  EXPECT_THAT(server.Data(), HasSubstr("Subject: Objednavka zbozi na: pondeli 5.1.2009\r\n"));
  EXPECT_THAT(server.Data(), HasSubstr("filename=\"OB090105.obx\"\r\n\r\nb3JkZXI=\r\n"));
}

} // namespace
