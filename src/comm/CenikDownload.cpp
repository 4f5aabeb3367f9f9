#include "comm/CenikDownload.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include "comm/TavTransferDialog.h"
#include "comm/UpdateVersion.h"
#include "core/Errors.h"
#include "core/Format.h"
#include "core/Paths.h"
#include "formats/Cp1250Utf8.h"

extern char** environ;

namespace {

bool IsBlank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

bool HasExtension(const std::string& fileName) {
  const std::size_t dot = fileName.find_last_of(".\\/:");
  return dot != std::string::npos && fileName[dot] == '.';
}

const std::string& NoPriceListNameText() {
  static const std::string text = Cz("Není nastaveno jméno ceníku pro import přes internet");
  return text;
}

const std::string& InstallCaption() {
  static const std::string text = Cz("Instalace nové verze");
  return text;
}

const std::string& NewerVersionQuestion() {
  static const std::string text = Cz("Na serveru poskytovatele dat je k dispozici novější verze objednávkové "
                                     "aplikace.\rPřejete si ji stáhnout a nainstalovat ?");
  return text;
}

void ReportError(const std::string& text) { ReportMessage(text, {TMsgButtons::OK, TMsgIcon::Error}); }

} // namespace

std::string TavPriceListRemoteName(const TAppSettings& s) {
  return HasExtension(s.TAVPriceList) ? s.TAVPriceList : s.TAVPriceList + s.DBCExtension;
}

std::string TavPriceListLocalName(const TAppSettings& s) { return JoinPath(s.Orders, s.TAVPriceList); }

void ImportPriceListOverTav(TTavUpdateContext& ctx) {
  const TAppSettings& s = ctx.Settings;
  if (IsBlank(s.TAVPriceList)) {
    ReportError(NoPriceListNameText());
    return;
  }
  TTavTransferRequest request;
  request.Kind = kTavDownloadPriceList;
  request.RemoteFile = TavPriceListRemoteName(s);
  request.LocalFile = TavPriceListLocalName(s);
  request.Alias = s.TAVAlias;
  request.ConnectionFile = ctx.ConnectionFile;
  if (!ctx.Host.RunTransfer(Cz("Načtení ceníku přes internet"), request))
    return;
  try {
    ctx.Host.ImportPriceList(request.LocalFile, s.FirstRun);
  } catch (const std::exception& e) {
    ReportError(e.what());
    return;
  }
  // The import has just refreshed InstObjVersion from the package.
  if (ctx.Settings.AutoCheckAppUpdate && CompareVersions(ctx.ProgramVersion, ctx.Settings.InstObjVersion) < 0 &&
      ctx.Host.Ask(NewerVersionQuestion(), InstallCaption(), TMsgIcon::Question, true) == TMsgResult::OK)
    InstallNewVersionDownload(ctx);
}

void InstallNewVersion(TTavUpdateContext& ctx) {
  const TAppSettings& s = ctx.Settings;
  if (IsBlank(s.TAVPriceList)) {
    ReportError(NoPriceListNameText());
    return;
  }
  if (IsBlank(s.TAVInstAlias) || IsBlank(s.TAVInstName)) {
    ReportError(Cz("Poskytovatel dat nemá nakonfigurovánou podporu instalace nových verzí"));
    return;
  }
  const int comparison = CompareVersions(ctx.ProgramVersion, s.InstObjVersion);
  std::string question;
  if (comparison < 0)
    question = NewerVersionQuestion();
  else if (comparison == 0)
    question = Cz("Na serveru poskytovatele dat je k dispozici stejná verze objednávkové aplikace jako právě "
                  "používáte.\rPřejete si ji přesto stáhnout a nainstalovat ?");
  else
    question = Cz("Na serveru poskytovatele dat je k dispozici pouze starší verze objednávkové aplikace než právě "
                  "používáte.\rDoporučujeme tuto verzi neinstalovat!\rPřejete si ji přesto stáhnout a nainstalovat ?");
  if (ctx.Host.Ask(question, InstallCaption(), TMsgIcon::Question, comparison < 0) == TMsgResult::OK)
    InstallNewVersionDownload(ctx);
}

bool InstallNewVersionDownload(TTavUpdateContext& ctx) {
  const TAppSettings& s = ctx.Settings;
  TTavTransferRequest request;
  request.Kind = kTavDownloadInstaller;
  request.RemoteFile = s.TAVInstName;
  request.LocalFile = JoinPath(s.Orders, s.TAVInstName);
  request.Alias = s.TAVInstAlias;
  request.ConnectionFile = ctx.ConnectionFile;
  if (!ctx.Host.RunTransfer(Cz("Načtení nové verze přes internet"), request))
    return false;
  const std::string program = InstallerProgramName(request.LocalFile);
  if (!MoveInstallerInPlace(request.LocalFile, program))
    return false;
  ctx.Host.StartProgram(program, s.Orders);
  ctx.Host.CloseMainWindow();
  return true;
}

bool TavDownloadCommandEnabled(const std::string& connectionFile) {
  struct stat st {};
  return !connectionFile.empty() && stat(NativeFileName(connectionFile).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool NewVersionCommandEnabled(const TAppSettings& s) {
  return !IsBlank(s.TAVPriceList) && !IsBlank(s.TAVInstAlias) && !IsBlank(s.TAVInstName);
}

bool TTAVCenikFormRules::OkEnabled(const std::string& alias, const std::string& jmenoCeniku) {
  return !IsBlank(alias) && !IsBlank(jmenoCeniku);
}

bool THeadlessTavUpdateHost::RunTransfer(const std::string& title, const TTavTransferRequest& request) {
  TTAVPrenosForm dialog(FTimeouts);
  dialog.Title = title;
  dialog.Request = request;
  dialog.OnMessage = FOnMessage;
  dialog.FormShow();
  return dialog.RunTransfer() == TTavDialogResult::OK;
}

TImportResult THeadlessTavUpdateHost::ImportPriceList(const std::string& fileName, bool takeCompanyData) {
  return ImportPriceListFile(FImport, fileName, takeCompanyData);
}

TMsgResult THeadlessTavUpdateHost::Ask(const std::string& text, const std::string& caption, TMsgIcon icon,
                                       bool /*defaultOK*/) {
  return MessageSink().Show(text, caption, {TMsgButtons::OKCancel, icon});
}

void THeadlessTavUpdateHost::StartProgram(const std::string& fileName, const std::string& workingFolder) {
  StartWithDesktopOpener(fileName, workingFolder);
}

void StartWithDesktopOpener(const std::string& fileName, const std::string& workingFolder) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string folder = NativeFileName(workingFolder);
  if (!folder.empty())
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  std::string tool = "xdg-open";
  // The name as seen from here, since the program starts in another folder.
  std::string file = std::filesystem::absolute(NativeFileName(fileName)).string();
  std::vector<char*> argv{tool.data(), file.data(), nullptr};
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0)
    throw Exception(Format(Cz("Program %s nelze spustit: %s"), {fileName, Utf8ToCp1250(std::strerror(rc))}));
  // The opener returns at once; collect it in the background so no zombie is left behind.
  std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
}
