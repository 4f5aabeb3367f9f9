#include "comm/MailSendForm.h"

#include "comm/MailAddress.h"
#include "comm/MailOrderText.h"
#include "comm/SmtpClient.h"
#include "core/AppSettings.h"
#include "core/Errors.h"
#include "core/Format.h"
#include "core/Log.h"
#include "core/ReportMessage.h"
#include "formats/CodePages.h"
#include "formats/Cp1250Utf8.h"
#include "orders/Order.h"

namespace {

// Restores the cursor and the panels however the send ends.
class TBusyScope {
public:
  explicit TBusyScope(std::function<void(bool)> set) : FSet(std::move(set)) { FSet(true); }
  ~TBusyScope() { FSet(false); }
  TBusyScope(const TBusyScope&) = delete;
  TBusyScope& operator=(const TBusyScope&) = delete;

private:
  std::function<void(bool)> FSet;
};

} // namespace

std::string ComposeOrderMessage(const TOrderMailFields& fields, const TMimeStamp& stamp) {
  TOrderMailContent content;
  content.From = MailFromText(fields.Person, fields.Sender);
  content.Organization = fields.Organization;
  content.To = fields.Recipients;
  content.Subject = fields.Subject;
  content.TextLines = fields.TextLines;
  content.AttachmentPath = fields.AttachmentPath;
  if (fields.ReadReceipt)
    content.DispositionNotificationTo = fields.Sender;
  return BuildOrderMessage(content, stamp);
}

void SendOrderMessage(ISmtpClient& client, const TOrderMailFields& fields, const std::string& message) {
  TSmtpRequest request;
  request.Sender = fields.Sender;
  request.Recipients = fields.Recipients;
  request.Server = fields.Server;
  request.Message = message;
  if (!fields.User.empty()) {
    request.User = fields.User;
    request.Password = fields.Password;
  }
  if (!client.Send(request))
    throw EInOutError(Cz("Chyba při odesílání pošty"));
}

TfmOdeslani::TfmOdeslani(const TAppSettings& settings, TOrder& order, ISmtpClient& client)
    : FSettings(settings), FOrder(order), FClient(client) {}

std::string TfmOdeslani::Caption() { return Cz("Odeslání objednávky e-mailem"); }

void TfmOdeslani::FormShow() {
  eEmailOdesilatel = FSettings.Company.EMail;
  ePerson = RemoveDiacritics(FSettings.Company.RespPerson);
  eEmailPrijemce = FSettings.Supplier.EMail;
  eSMTPServer = TrimText(FSettings.SMTPServer);
  cbSMTPOvereni = FSettings.SMTPNeedLogin;
  cbSMTPOvereniClick();
  eSMTPUser = FSettings.SMTPUser;
  eSMTPPassword = FSettings.SMTPPassword;
  cbOznameniOPrecteni = FSettings.MailNotification;
  eSubject = OrderSubject(FOrder);
  mTextZpravy = SplitTextLines(OrderText(FOrder, FSettings));
}

void TfmOdeslani::cbSMTPOvereniClick() {
  eSMTPUserEnabled = eSMTPPasswordEnabled = cbSMTPOvereni;
  eSMTPUserStyle = eSMTPPasswordStyle = cbSMTPOvereni ? TEditStyle::Normal : TEditStyle::Disabled;
}

void TfmOdeslani::SetBusy(bool busy) {
  Panel1Enabled = Panel2Enabled = !busy;
  if (OnBusyChanged)
    OnBusyChanged(busy);
}

void TfmOdeslani::bOKClick() {
  eEmailOdesilatel = TrimText(eEmailOdesilatel);
  eEmailPrijemce = TrimText(eEmailPrijemce);
  if (eEmailOdesilatel.empty() || eEmailPrijemce.empty() || eSMTPServer.empty() ||
      (cbSMTPOvereni && (eSMTPUser.empty() || eSMTPPassword.empty()))) {
    MessageSink().Show(Cz("Nejsou zadány údaje pro odeslání objednávky"), Caption(),
                       {TMsgButtons::OK, TMsgIcon::Error});
    return;
  }
  TBusyScope busy([this](bool on) { SetBusy(on); });

  TOrderMailFields fields;
  fields.Sender = eEmailOdesilatel;
  fields.Recipients = eEmailPrijemce;
  fields.Person = ePerson;
  fields.Organization = FSettings.Company.Name1;
  fields.Subject = eSubject;
  fields.Server = eSMTPServer;
  if (cbSMTPOvereni) {
    fields.User = eSMTPUser;
    fields.Password = eSMTPPassword;
  }
  fields.TextLines = mTextZpravy;
  fields.AttachmentPath = AttachmentPath;
  fields.ReadReceipt = cbOznameniOPrecteni;
  const std::string message = ComposeOrderMessage(fields, StampSource ? StampSource() : TMimeStamp::Now());

  WriteLog(Format(Cz("Objednávka připravena k odeslání (položek: %d)"), {FOrder.Count()}));
  SendOrderMessage(FClient, fields, message);

  FOrder.Sent = FOrder.CurrentTime();
  FOrder.Modified = true;
  ModalResult = TModalResult::OK;
}
