#pragma once

#include <functional>
#include <optional>
#include <string>

#include "comm/MapiMail.h"
#include "comm/TavClient.h"
#include "core/DateTime.h"
#include "orders/OrderFile.h"

struct TAppSettings;
class TOrder;
class TfmOdeslani;
class ISmtpClient;
class IDeliveryDateDialog;

// The main window's Send command ("O&deslat...", aOrder_SendExecute) without the window: the
// repeated-send question, the delivery-date check, the file to send, the channel chosen by
// "MailSendFormat" (1 SMTP through the send dialog, 2 the TAV server, anything else the
// desktop mail program), the sent stamp, the log lines and the messages. Texts and file
// names are code page 1250.

// What the window supplies. Everything runs on the caller's thread; the dialogs are modal.
class ISendOrderUi {
public:
  virtual ~ISendOrderUi() = default;
  // The delivery-date check dialog; must live as long as the UI object.
  virtual IDeliveryDateDialog& DeliveryDateDialog() = 0;
  // The window's ordinary Save (asks for a file name when the order has none). Used only
  // when there is no temporary folder. What it throws propagates.
  virtual bool SaveOrder() = 0;
  // The SMTP channel: shows the send dialog until the user closes it. The form has been
  // filled (FormShow) with the order file as its attachment; "&Odeslat" is bOKClick, which
  // stamps the order itself. A failure thrown by bOKClick is the dialog's to show (the
  // dialog stays open); what escapes this call propagates out of the flow.
  virtual void ShowMailDialog(TfmOdeslani& form) = 0;
  // The order changed (identifier, removed lines, stamp): the window shows it again. Runs at
  // the end of every send that passed the date check, also while a failure unwinds, so it
  // must not throw.
  virtual void RefreshOrder() noexcept = 0;
};

// The TAV channel: uploads fileName through the transfer dialog titled SendOrderUploadTitle()
// (transfer kind 1, the file as the remote file name, empty local file and alias, the
// connection file of "TAVBin"). True when the dialog closed with OK; the dialog reports its
// own failure ("Chyba při přenosu dat přes internet (TAV)") before returning false.
using TOrderUploadFn = std::function<bool(const std::string& fileName)>;

// "Odeslání objednávky přes internet".
std::string SendOrderUploadTitle();

// The TAV channel without a window (RunTavTransfer) with the connection file connectionFile
// (code page 1250), each progress message handed to onMessage.
TOrderUploadFn TavOrderUpload(const std::string& connectionFile,
                              std::function<void(const std::string& message)> onMessage, TTavTimeouts timeouts = {});

// Where the flow finds the world; every part can be replaced by a test.
struct TSendOrderEnvironment {
  // The temporary folder. Not set: SystemTempFolder(). Empty: there is none.
  std::optional<std::string> TempFolder;
  // The day the delivery dates are checked against; 0: the current date.
  TDateTime Today = 0;
  // Writing the file to send; its sink also asks the repeated-send question, its locale
  // formats the stamp in it. The reports go to ReportMessage (the installed sink).
  TOrderFileOptions FileOptions;
  // The desktop mail program's hand-over.
  TMapiEnvironment Mapi;
  // The mail program's send (recipients, subject, attachment, body; the compose window shown):
  // true when it took the message, false when the user cancelled, EMapiError otherwise.
  // Empty: SimpleMapiSendMail with Mapi.
  std::function<bool(const std::string& recipients, const std::string& subject, const std::string& attachment,
                     const std::string& body)>
      MailClient;
  // The SMTP client of the send dialog, not owned; nullptr: a TCurlSmtpClient for the send.
  ISmtpClient* Smtp = nullptr;
};

// How a send ended, for callers that need to know (the window does not look).
enum class TSendOutcome {
  NotSent, // declined, refused by the date check or the price question, no file, dialog closed
  Failed,  // the channel reported the failure (already logged and shown)
  Sent     // stamped as sent (SMTP: the dialog closed with OK)
};

// $TMPDIR when set and not empty, else "/tmp" (code page 1250); empty when that is no
// existing folder.
std::string SystemTempFolder();

// The name the order is sent under: the last component of its file name, or for an order
// never saved "Prefix" + the delivery date in "Format" + "Suffix" + "Extension"
// ("OB090105.obx" for 5.1.2009 by default).
std::string SendFileName(const TOrder& order, const TAppSettings& settings);

// Two file names name the same file: equal as written, or equal after expansion to full,
// normalised paths (relative to the current folder). Case counts.
bool SameOrderFileName(const std::string& a, const std::string& b);

// A stamp later than 1.1.2001 00:00 means the order has been sent.
bool WasSent(TDateTime sentStamp);

// "Objednávka již byla odeslána dd.mm.yyyy hh:nn.\r\nPřejete si ji odeslat znovu ?" with the
// locale's short time format.
std::string RepeatedSendQuestion(TDateTime sentStamp, const Locale& locale);

// The flow on one order. The order, the settings and the UI must outlive the object.
class TSendOrderFlow {
public:
  TSendOrderFlow(TOrder& order, const TAppSettings& settings, ISendOrderUi& ui, TSendOrderEnvironment environment = {});

  // The TAV channel; empty: choosing that channel throws std::logic_error (after the clean-up).
  TOrderUploadFn Upload;

  // Runs the whole send. Failures of writing the file, of the mail program (EMapiError) and
  // what the UI throws propagate after the clean-up (refresh, temporary copy deleted); the
  // order then is not stamped. A temporary copy is deleted in every case; a file that is the
  // order's own is never deleted.
  TSendOutcome aOrder_SendExecute();

private:
  TSendOutcome Deliver(const std::string& fileName);

  TOrder& FOrder;
  const TAppSettings& FSettings;
  ISendOrderUi& FUi;
  TSendOrderEnvironment FEnvironment;
};
