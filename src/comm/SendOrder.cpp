#include "comm/SendOrder.h"

#include "comm/TavTransferDialog.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <system_error>

#include "comm/MailOrderText.h"
#include "comm/MailSendForm.h"
#include "comm/SmtpClient.h"
#include "core/AppSettings.h"
#include "core/DateFormat.h"
#include "core/Format.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/ReportMessage.h"
#include "formats/Cp1250Utf8.h"
#include "orders/DeliveryDates.h"
#include "orders/Order.h"
#include "orders/OrderCommands.h"

namespace {

// "MailSendFormat" values with a channel of their own; every other value is the mail program.
constexpr int kChannelSmtp = 1;
constexpr int kChannelTav = 2;

std::string LastComponent(const std::string& fileName) {
  const std::size_t slash = fileName.find_last_of("/\\");
  return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

std::filesystem::path Expanded(const std::string& fileName) {
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(NativeFileName(fileName), error);
  return error ? std::filesystem::path(NativeFileName(fileName)) : full.lexically_normal();
}

// The end of every send that got past the date check: the window shows the order again and
// the temporary copy goes, whether the send succeeded, failed or threw.
class TSendCleanup {
public:
  explicit TSendCleanup(ISendOrderUi& ui) : FUi(ui) {}
  ~TSendCleanup() {
    if (!FTemporaryCopy.empty()) {
      std::error_code error;
      std::filesystem::remove(NativeFileName(FTemporaryCopy), error);
    }
    FUi.RefreshOrder();
  }
  TSendCleanup(const TSendCleanup&) = delete;
  TSendCleanup& operator=(const TSendCleanup&) = delete;

  void DeleteAtEnd(const std::string& fileName) { FTemporaryCopy = fileName; }

private:
  ISendOrderUi& FUi;
  std::string FTemporaryCopy;
};

void StampSent(TOrder& order) {
  order.Sent = order.CurrentTime();
  // The stamp is not in the file that went out; only a later save keeps it.
  order.Modified = true;
}

} // namespace

std::string SendOrderUploadTitle() { return Cz("Odeslání objednávky přes internet"); }

TOrderUploadFn TavOrderUpload(const std::string& connectionFile,
                              std::function<void(const std::string& message)> onMessage, TTavTimeouts timeouts) {
  return [=](const std::string& fileName) {
    TTavTransferRequest request;
    request.Kind = kTavUpload;
    request.RemoteFile = fileName;
    request.ConnectionFile = connectionFile;
    return RunTavTransfer(SendOrderUploadTitle(), std::move(request), onMessage, timeouts);
  };
}

std::string SystemTempFolder() {
  const char* variable = std::getenv("TMPDIR");
  const std::string native = variable && *variable ? variable : "/tmp";
  std::error_code error;
  if (!std::filesystem::is_directory(native, error))
    return {};
  return Utf8ToCp1250(native);
}

std::string SendFileName(const TOrder& order, const TAppSettings& settings) {
  if (!order.FileName.empty())
    return LastComponent(order.FileName);
  return ProposedOrderFileName(settings, order.DeliveryDate) + settings.Extension;
}

bool SameOrderFileName(const std::string& a, const std::string& b) { return a == b || Expanded(a) == Expanded(b); }

bool WasSent(TDateTime sentStamp) { return sentStamp > EncodeDate(2001, 1, 1); }

std::string RepeatedSendQuestion(TDateTime sentStamp, const Locale& locale) {
  const std::string stamp =
      FormatDateTime("dd.mm.yyyy", sentStamp, locale) + " " + FormatDateTime(locale.ShortTimeFormat, sentStamp, locale);
  return Format(Cz("Objednávka již byla odeslána %s.\r\nPřejete si ji odeslat znovu ?"), {stamp});
}

TSendOrderFlow::TSendOrderFlow(TOrder& order, const TAppSettings& settings, ISendOrderUi& ui,
                               TSendOrderEnvironment environment)
    : FOrder(order), FSettings(settings), FUi(ui), FEnvironment(std::move(environment)) {}

TSendOutcome TSendOrderFlow::aOrder_SendExecute() {
  const TOrderFileOptions& fileOptions = FEnvironment.FileOptions;
  if (WasSent(FOrder.Sent) && fileOptions.Sink().Show(RepeatedSendQuestion(FOrder.Sent, fileOptions.Loc()), "",
                                                      {TMsgButtons::YesNo, TMsgIcon::Question}) != TMsgResult::Yes)
    return TSendOutcome::NotSent;

  const TDateTime today = FEnvironment.Today != 0 ? FEnvironment.Today : Today();
  if (!CheckDeliveryDates(FOrder, TDeliveryRules::FromSettings(FSettings), today, FUi.DeliveryDateDialog(),
                          fileOptions.Loc()))
    return TSendOutcome::NotSent;

  TSendCleanup cleanup(FUi);
  FOrder.EnsureOrderID();
  FOrder.RemoveEmptyLines();

  const std::string tempFolder = FEnvironment.TempFolder ? *FEnvironment.TempFolder : SystemTempFolder();
  std::string fileName;
  if (!tempFolder.empty()) {
    fileName = JoinPath(tempFolder, SendFileName(FOrder, FSettings));
    // An order that lives in the temporary folder is saved where it is and stays there.
    const bool inPlace = !FOrder.FileName.empty() && SameOrderFileName(fileName, FOrder.FileName);
    if (inPlace)
      fileName = FOrder.FileName;
    if (!SaveOrderFile(FOrder, fileName, !inPlace, true, FSettings, fileOptions))
      return TSendOutcome::NotSent;
    if (!inPlace)
      cleanup.DeleteAtEnd(fileName);
  } else {
    FUi.SaveOrder();
    if (FOrder.FileName.empty())
      return TSendOutcome::NotSent;
    fileName = FOrder.FileName;
  }
  return Deliver(fileName);
}

TSendOutcome TSendOrderFlow::Deliver(const std::string& fileName) {
  switch (FSettings.MailSendFormat) {
  case kChannelSmtp: {
    std::unique_ptr<TCurlSmtpClient> ownClient;
    ISmtpClient* client = FEnvironment.Smtp;
    if (!client) {
      ownClient = std::make_unique<TCurlSmtpClient>();
      client = ownClient.get();
    }
    TfmOdeslani form(FSettings, FOrder, *client);
    form.AttachmentPath = fileName;
    form.FormShow();
    FUi.ShowMailDialog(form);
    return form.ModalResult == TfmOdeslani::TModalResult::OK ? TSendOutcome::Sent : TSendOutcome::NotSent;
  }
  case kChannelTav:
    if (!Upload)
      throw std::logic_error("the TAV upload is not connected");
    if (Upload(fileName)) {
      StampSent(FOrder);
      ReportMessage(Format(Cz("Objednávka odeslána přes komunikační server dodavatele\ra server objednávku přijal "
                              "k dalšímu zpracování\r(položek: %d)"),
                           {FOrder.Count()}),
                    {TMsgButtons::OK, TMsgIcon::Information});
      return TSendOutcome::Sent;
    }
    ReportMessage(Cz("Chyba při odesílání dat přes internet (TAV)"), {TMsgButtons::OK, TMsgIcon::Error});
    return TSendOutcome::Failed;
  default: {
    const std::string subject = OrderSubject(FOrder);
    const std::string body = OrderText(FOrder, FSettings);
    const bool accepted =
        FEnvironment.MailClient
            ? FEnvironment.MailClient(FSettings.Supplier.EMail, subject, fileName, body)
            : SimpleMapiSendMail(FSettings.Supplier.EMail, subject, true, fileName, body, FEnvironment.Mapi);
    if (accepted) {
      WriteLog(Format(Cz("Objednávka připravena k odeslání (položek: %d)"), {FOrder.Count()}));
      StampSent(FOrder);
      return TSendOutcome::Sent;
    }
    ReportMessage(Cz("Chyba při odesílání pošty"), {TMsgButtons::OK, TMsgIcon::Error});
    return TSendOutcome::Failed;
  }
  }
}
