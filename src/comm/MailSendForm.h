#pragma once

#include <functional>
#include <string>
#include <vector>

#include "comm/MailMime.h"

struct TAppSettings;
class TOrder;
class ISmtpClient;

// Sending the order over SMTP: the logic of the send dialog, which the desktop program shows
// and the command-line companion fills without a window. Every text field is code page 1250;
// the fields stand for the dialog's controls and keep their names.
//
// Use: set AttachmentPath, call FormShow, let the user edit the fields, call bOKClick for the
// "&Odeslat" button. Nothing the user changes is stored in the settings.
class TfmOdeslani {
public:
  enum class TModalResult { None, OK, Cancel };
  // The look of the login fields (the disabled style greys them out).
  enum class TEditStyle { Normal, Disabled };

  // The settings, the order and the client must outlive the dialog; the settings are only
  // read, the order is stamped after a successful send.
  TfmOdeslani(const TAppSettings& settings, TOrder& order, ISmtpClient& client);

  static std::string Caption(); // "Odeslání objednávky e-mailem"

  // "E-mail" tab.
  std::string eEmailOdesilatel, eEmailPrijemce, eSubject, ePerson;
  std::vector<std::string> mTextZpravy;
  // "Nastavení" tab.
  std::string eSMTPServer, eSMTPUser, eSMTPPassword;
  bool cbSMTPOvereni = false;
  bool eSMTPUserEnabled = true, eSMTPPasswordEnabled = true;
  TEditStyle eSMTPUserStyle = TEditStyle::Normal, eSMTPPasswordStyle = TEditStyle::Normal;
  // Bottom bar.
  bool cbOznameniOPrecteni = false;
  // The tabs and the bottom bar; both disabled while a message is being sent.
  bool Panel1Enabled = true, Panel2Enabled = true;

  // The order file to attach; set by the caller before FormShow. Empty: no attachment.
  std::string AttachmentPath;
  TModalResult ModalResult = TModalResult::None;

  // Called with true before the message leaves and with false afterwards, also after a
  // failure: the window shows the busy cursor. May be empty.
  std::function<void(bool busy)> OnBusyChanged;
  // The date and tokens of the message; empty: TMimeStamp::Now().
  std::function<TMimeStamp()> StampSource;

  // Fills the fields from the settings and the order.
  void FormShow();
  // The login fields follow the check box.
  void cbSMTPOvereniClick();
  // Sends. Missing data: shows "Nejsou zadány údaje pro odeslání objednávky" (error icon, the
  // dialog's caption) and returns with the dialog still open. A file error of the attachment
  // propagates; a refusal or network failure raises EInOutError "Chyba při odesílání pošty".
  // Either way the order stays unstamped and the dialog open. Success stamps the order as
  // sent now, marks it modified and sets ModalResult to OK.
  void bOKClick();
  // "Storno".
  void bCancelClick() { ModalResult = TModalResult::Cancel; }

private:
  void SetBusy(bool busy);

  const TAppSettings& FSettings;
  TOrder& FOrder;
  ISmtpClient& FClient;
};

// What the dialog sends, built from its fields; shared with "send-mail" so the command line
// sends exactly what the dialog would. Texts are code page 1250.
struct TOrderMailFields {
  std::string Sender, Recipients, Person, Organization, Subject, Server, User, Password;
  std::vector<std::string> TextLines;
  std::string AttachmentPath;
  bool ReadReceipt = false;
};

// The wire message of the fields (reads the attachment; throws its file error).
std::string ComposeOrderMessage(const TOrderMailFields& fields, const TMimeStamp& stamp);

// Hands a composed message to the client; a refusal raises EInOutError "Chyba při odesílání
// pošty". The user name and password go along only when User is not empty.
void SendOrderMessage(ISmtpClient& client, const TOrderMailFields& fields, const std::string& message);
