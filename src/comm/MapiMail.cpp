#include "comm/MapiMail.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "comm/MailAddress.h"
#include "core/Format.h"
#include "core/Paths.h"
#include "formats/CodePages.h"
#include "formats/Cp1250Utf8.h"

extern char** environ;

namespace {

constexpr int kNoClient = -1;

const char* const kNoClientText = "No Simple MAPI client installed, cannot send the message";

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string FindInPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos)
      end = folders.size();
    const std::string folder = folders.substr(start, end - start);
    const std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + program;
    if (IsExecutableFile(candidate))
      return candidate;
    start = end + 1;
  }
  return {};
}

bool StartsWithNoCase(const std::string& text, std::string_view prefix) {
  if (text.size() < prefix.size())
    return false;
  for (size_t i = 0; i < prefix.size(); i++) {
    if (AnsiUpperChar(text[i]) != prefix[i])
      return false;
  }
  return true;
}

std::vector<std::string> SplitAt(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    pieces.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos)
      return pieces;
    start = end + 1;
  }
}

// Commas inside double quotes or angle brackets belong to a name or an address.
std::vector<std::string> SplitAtFreeCommas(const std::string& text) {
  std::vector<std::string> pieces;
  bool quoted = false;
  int angle = 0;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); i++) {
    const char c = text[i];
    if (c == '"')
      quoted = !quoted;
    else if (!quoted && c == '<')
      angle++;
    else if (!quoted && c == '>' && angle > 0)
      angle--;
    else if (!quoted && angle == 0 && c == ',') {
      pieces.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

TEmailRecip ParseRecipient(const std::string& piece) {
  TEmailRecip recip;
  std::string text = TrimText(piece);
  if (StartsWithNoCase(text, "TO:"))
    text.erase(0, 3);
  if (StartsWithNoCase(text, "CC:")) {
    text.erase(0, 3);
    recip.Kind = 2;
  }
  if (StartsWithNoCase(text, "BCC:")) {
    text.erase(0, 4);
    recip.Kind = 3;
  }
  text = TrimText(text);
  const size_t open = text.find('<');
  const size_t close = open == std::string::npos ? std::string::npos : text.find('>', open);
  if (close != std::string::npos) {
    for (char c : TrimText(text.substr(0, open))) {
      if (c != '"')
        recip.Name += c;
    }
    // Up to the piece's last character, which is the closing bracket of a well-formed entry.
    recip.Address = TrimText(text.substr(open + 1, text.size() - 1 - (open + 1)));
  } else {
    recip.Address = text;
  }
  return recip;
}

// "name <address>" as the mail program reads it from the compose request.
std::string HandOverRecipient(const TEmailRecip& recip) {
  if (recip.Name.empty() || recip.Name == recip.Address)
    return recip.Address.empty() ? recip.Name : recip.Address;
  if (recip.Address.empty())
    return recip.Name;
  const bool needsQuotes = recip.Name.find_first_of(",;:<>@()[]\\.\"") != std::string::npos;
  return (needsQuotes ? "\"" + recip.Name + "\"" : recip.Name) + " <" + recip.Address + ">";
}

// The file's full path as the system names it.
std::string FullNativePath(const std::string& fileName) {
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(NativeFileName(fileName), error);
  return error ? NativeFileName(fileName) : full.lexically_normal().string();
}

// Waits up to waitMs for the child; false when it is still running then.
bool WaitForExit(pid_t child, int waitMs, int& status) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child)
      return true;
    if (done < 0 && errno != EINTR)
      throw SystemError("waitpid", errno);
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

class TSpawnActions {
public:
  TSpawnActions() { posix_spawn_file_actions_init(&FActions); }
  ~TSpawnActions() { posix_spawn_file_actions_destroy(&FActions); }
  TSpawnActions(const TSpawnActions&) = delete;
  TSpawnActions& operator=(const TSpawnActions&) = delete;
  posix_spawn_file_actions_t* Get() { return &FActions; }

private:
  posix_spawn_file_actions_t FActions;
};

} // namespace

std::string MapiErrorText(int code) {
  static const std::array<const char*, 27> kTexts = {"",
                                                     "User abort",
                                                     "General MAPI failure",
                                                     "MAPI login failure",
                                                     "Disk full",
                                                     "Insufficient memory",
                                                     "Access denied",
                                                     "",
                                                     "Too many sessions",
                                                     "Too many files were specified",
                                                     "Too many recipients were specified",
                                                     "A specified attachment was not found",
                                                     "Attachment open failure",
                                                     "Attachment write failure",
                                                     "Unknown recipient",
                                                     "Bad recipient type",
                                                     "No messages",
                                                     "Invalid message",
                                                     "Text too large",
                                                     "Invalid session",
                                                     "Type not supported",
                                                     "A recipient was specified ambiguously",
                                                     "Message in use",
                                                     "Network failure",
                                                     "Invalid edit fields",
                                                     "Invalid recipients",
                                                     "Not supported"};
  if (code < 1 || code >= static_cast<int>(kTexts.size()))
    return {};
  return kTexts[static_cast<size_t>(code)];
}

EMapiError MapiResultError(int code) {
  return EMapiError(Format("MAPI Error: (%d) \"%s\"", {code, MapiErrorText(code)}), code);
}

void TEmailRecips::AddFromText(const std::string& text) {
  std::vector<std::string> pieces;
  if (text.find('\t') != std::string::npos)
    pieces = SplitAt(text, '\t');
  else if (text.find(';') != std::string::npos)
    pieces = SplitAt(text, ';');
  else
    pieces = SplitAtFreeCommas(text);
  for (const std::string& piece : pieces)
    Items.push_back(ParseRecipient(piece));
}

std::string MapiRecipientAddress(const TEmailRecip& recip, const std::string& defaultType) {
  if (recip.Address.empty())
    return {};
  return (recip.AddressType.empty() ? defaultType : recip.AddressType) + ":" + recip.Address;
}

TSimpleMapi::TSimpleMapi(TMapiEnvironment environment) : FEnvironment(std::move(environment)) { ReadMailSettings(); }

TSimpleMapi::~TSimpleMapi() { UnloadClient(); }

void TSimpleMapi::ReadMailSettings() {
  FClientProgram = FEnvironment.ProgramPath.empty()             ? FindInPath("xdg-email")
                   : IsExecutableFile(FEnvironment.ProgramPath) ? FEnvironment.ProgramPath
                                                                : std::string();
  FAnyClientInstalled = !FClientProgram.empty();
}

void TSimpleMapi::LoadClient() {
  if (FLoaded)
    return;
  // The program may have gone since the settings were read.
  if (FClientProgram.empty() || !IsExecutableFile(FClientProgram))
    throw EMapiError(kNoClientText);
  FLoaded = true;
}

void TSimpleMapi::UnloadClient() {
  if (!FLoaded)
    return;
  if (BeforeUnload) {
    try {
      BeforeUnload();
    } catch (...) {
      // Unloading runs from the destructor too; the handler's trouble must not escape.
    }
  }
  FLoaded = false;
}

std::vector<std::string> TEmail::HandOverArguments() const {
  std::vector<std::string> args = {"--utf8"};
  for (const TEmailRecip& recip : Recips.Items) {
    const std::string value = HandOverRecipient(recip);
    if (value.empty())
      continue;
    args.push_back(recip.Kind == 2 ? "--cc" : recip.Kind == 3 ? "--bcc" : "--to");
    args.push_back(Cp1250ToUtf8(value));
  }
  // The tool refuses an empty value; an empty subject or body is simply not given.
  if (!Subject.empty()) {
    args.push_back("--subject");
    args.push_back(Cp1250ToUtf8(Subject));
  }
  if (!Body.empty()) {
    args.push_back("--body");
    args.push_back(Cp1250ToUtf8(Body));
  }
  for (const std::string& attachment : Attachments) {
    args.push_back("--attach");
    args.push_back(FullNativePath(attachment));
  }
  return args;
}

int MapiResultFromExitStatus(int exitStatus) {
  switch (exitStatus) {
  case 0:
    return MAPI_SUCCESS;
  case 2:
    return MAPI_E_ATTACHMENT_NOT_FOUND;
  case 3:
    return kNoClient;
  case 5:
    return MAPI_E_ATTACHMENT_OPEN_FAILURE;
  default:
    return MAPI_E_FAILURE;
  }
}

bool TEmail::Send(bool showDialog) {
  if (!AnyClientInstalled())
    throw EMapiError(kNoClientText);
  for (const std::string& attachment : Attachments) {
    struct stat info {};
    if (stat(NativeFileName(attachment).c_str(), &info) != 0)
      throw MapiResultError(MAPI_E_ATTACHMENT_NOT_FOUND);
  }
  if (Recips.Items.empty() && !showDialog)
    throw MapiResultError(MAPI_E_INVALID_RECIPS);
  for (const TEmailRecip& recip : Recips.Items) {
    if (recip.Name.empty() && recip.Address.empty())
      throw MapiResultError(MAPI_E_INVALID_RECIPS);
  }
  LoadClient();

  const std::vector<std::string> args = HandOverArguments();
  std::vector<char*> argv;
  std::string program = ClientProgram();
  argv.push_back(program.data());
  std::vector<std::string> storage(args);
  for (std::string& a : storage)
    argv.push_back(a.data());
  argv.push_back(nullptr);

  // The tool needs no input; it must not take the terminal of the command-line companion.
  TSpawnActions actions;
  posix_spawn_file_actions_addopen(actions.Get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t child = 0;
  const int spawnError = posix_spawn(&child, program.c_str(), actions.Get(), nullptr, argv.data(), environ);
  if (spawnError == ENOENT || spawnError == EACCES)
    throw EMapiError(kNoClientText);
  if (spawnError != 0)
    throw SystemError(Utf8ToCp1250(program), spawnError);
  int status = 0;
  if (!WaitForExit(child, Environment().VerdictWaitMs, status)) {
    // Still running: the mail program has the message in its window. Someone has to collect
    // the exit status eventually, or the process would linger as a zombie.
    std::thread([child] {
      int ignored = 0;
      while (waitpid(child, &ignored, 0) < 0 && errno == EINTR) {
      }
    }).detach();
    return true;
  }
  const int code = WIFEXITED(status) ? MapiResultFromExitStatus(WEXITSTATUS(status)) : MAPI_E_FAILURE;
  if (code == MAPI_SUCCESS)
    return true;
  if (code == MAPI_USER_ABORT)
    return false;
  if (code == kNoClient)
    throw EMapiError(kNoClientText);
  throw MapiResultError(code);
}

bool SimpleMapiSendMail(const std::string& recipients, const std::string& subject, bool showDialog,
                        const std::string& attachments, const std::string& body, const TMapiEnvironment& environment) {
  TEmail mail(environment);
  mail.Recips.AddFromText(recipients);
  mail.Subject = subject;
  mail.Body = body;
  if (mail.Body.size() < 2 || mail.Body.compare(mail.Body.size() - 2, 2, "\r\n") != 0)
    mail.Body += "\r\n";
  const char separator = attachments.find('\t') != std::string::npos ? '\t' : '\r';
  for (std::string part : SplitAt(attachments, separator)) {
    // A list written with CR LF leaves the LF in front of the next name.
    if (separator == '\r' && !part.empty() && part[0] == '\n')
      part.erase(0, 1);
    if (!part.empty())
      mail.Attachments.push_back(part);
  }
  return mail.Send(showDialog);
}
