#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/Errors.h"

// The desktop mail program's channel: the order e-mail is handed to the mail program the
// desktop is set up with, which opens its own compose window filled with recipients,
// subject, text and attachments; the user sends from there. On this system the hand-over is
// the freedesktop tool xdg-email, run directly (never through a shell) with its arguments as
// a list, so no text of the message is ever interpreted by anything but the tool.

// A failure of the mail layer; ErrorCode is the mail result code (0 when the failure has
// none, such as a missing mail program).
class EMapiError : public Exception {
public:
  explicit EMapiError(const std::string& message, int errorCode = 0) : Exception(message), ErrorCode(errorCode) {}
  int ErrorCode;
};

// Mail result codes (as the mail interface numbers them).
enum : int {
  MAPI_SUCCESS = 0,
  MAPI_USER_ABORT = 1,
  MAPI_E_FAILURE = 2,
  MAPI_E_ATTACHMENT_NOT_FOUND = 11,
  MAPI_E_ATTACHMENT_OPEN_FAILURE = 12,
  MAPI_E_INVALID_RECIPS = 25,
};

// The text of a result code ("User abort", ...); empty for 7 and for unknown codes.
std::string MapiErrorText(int code);
// EMapiError "MAPI Error: (%d) \"%s\"" with the code and its text, the code kept.
EMapiError MapiResultError(int code);

// One recipient. Kind: 0 originator, 1 to, 2 copy, 3 blind copy.
struct TEmailRecip {
  std::string Address; // trimmed
  std::string AddressType;
  std::string Name;
  int Kind = 1;
};

// The recipients of one message; owns them. AddressType of a recipient, when empty, is
// DefaultAddressType.
class TEmailRecips {
public:
  std::string DefaultAddressType = "SMTP";
  std::vector<TEmailRecip> Items;

  // Adds the recipients of a recipient text: pieces split at TABs when there are any, else
  // at ";" when there are any, else at commas outside double quotes and angle brackets; an
  // empty piece (also an empty text) is a recipient without name and address. A piece may
  // start with "TO:", "CC:" or "BCC:" (any case) and may be "name <address>".
  void AddFromText(const std::string& text);
  int Count() const { return static_cast<int>(Items.size()); }
};

// The address of a recipient as the mail interface takes it: "SMTP:" (or the recipient's
// own type) followed by the address; empty when the address is.
std::string MapiRecipientAddress(const TEmailRecip& recip, const std::string& defaultType);

// Where the mail program comes from. Tests name a program of their own.
struct TMapiEnvironment {
  // The hand-over program (native path); empty: "xdg-email" looked up in PATH.
  std::string ProgramPath;
  // How long to wait for the program's verdict. Some mail programs keep the hand-over
  // running for as long as they run themselves when they had to be started for it; once
  // this time has passed with the program still running, its compose window is up and the
  // message counts as accepted (the program is left running and reaped in the background).
  int VerdictWaitMs = 15000;
};

// Finds the desktop's mail hand-over and holds it ready. Reading the settings happens on
// creation; "loading" checks the program once more before the first use.
class TSimpleMapi {
public:
  explicit TSimpleMapi(TMapiEnvironment environment = {});
  virtual ~TSimpleMapi();
  TSimpleMapi(const TSimpleMapi&) = delete;
  TSimpleMapi& operator=(const TSimpleMapi&) = delete;

  // True when a hand-over program was found.
  bool AnyClientInstalled() const { return FAnyClientInstalled; }
  // The program found (native path); empty when none.
  const std::string& ClientProgram() const { return FClientProgram; }

  // Makes the program ready; EMapiError "No Simple MAPI client installed, cannot send the
  // message" when there is none.
  void LoadClient();
  // Runs BeforeUnload (when set) and forgets the program.
  void UnloadClient();
  bool ClientLoaded() const { return FLoaded; }

  std::function<void()> BeforeUnload;

protected:
  void ReadMailSettings();
  const TMapiEnvironment& Environment() const { return FEnvironment; }

private:
  TMapiEnvironment FEnvironment;
  bool FAnyClientInstalled = false;
  std::string FClientProgram;
  bool FLoaded = false;
};

// One message for the mail program. Texts are code page 1250; attachments are file names as
// the program holds them.
class TEmail : public TSimpleMapi {
public:
  using TSimpleMapi::TSimpleMapi;

  std::vector<std::string> Attachments;
  TEmailRecips Recips;
  std::string Subject;
  std::string Body;

  // Hands the message over with the compose window shown (showDialog) and waits for the
  // program. True when it accepted the message, false when the user cancelled; EMapiError
  // for everything else: no program (see LoadClient), a missing attachment (code 11), a
  // recipient without name and address or no recipient without the window (code 25), a
  // failure of the program (its code). A program that cannot be started at all raises the
  // system's error.
  bool Send(bool showDialog = true);

  // The argument list Send hands to the program (after the program itself), UTF-8.
  std::vector<std::string> HandOverArguments() const;
};

// The program's exit status mapped to a mail result code: 0 success, 2 a missing file
// (code 11), 5 an unreadable file (code 12), 3 no mail program (-1: "not installed"),
// anything else a general failure (code 2).
int MapiResultFromExitStatus(int exitStatus);

// What the send flow calls: one message to the recipients of a recipient text, the body with
// CR LF appended unless it ends with it, attachments split at TABs (or at CR when there is no
// TAB), empty parts skipped. Same outcome as TEmail::Send.
bool SimpleMapiSendMail(const std::string& recipients, const std::string& subject, bool showDialog,
                        const std::string& attachments, const std::string& body,
                        const TMapiEnvironment& environment = {});
