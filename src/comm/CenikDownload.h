#pragma once

#include <string>

#include "catalogue/PackageImport.h"
#include "comm/TavClient.h"
#include "core/AppSettings.h"
#include "core/ReportMessage.h"

// Keeping the price list and the program up to date from the supplier's TAV server: the
// price-list download ("Import ceníku přes i&nternet..."), the new-version command
// ("&Instalace nové verze") and the installer download, and the rules of the price-list name
// dialog "Načtení ceníku" (`TTAVCenikForm`). Texts and file names are code page 1250.

// What the commands need from the rest of the program. The desktop program's main window
// implements it with its dialogs; the command-line companion and the tests with their own.
class ITavUpdateHost {
public:
  virtual ~ITavUpdateHost() = default;
  // Shows the transfer dialog with the given title and request and returns true when it
  // closed with OK (the transfer succeeded).
  virtual bool RunTransfer(const std::string& title, const TTavTransferRequest& request) = 0;
  // The price-list file import of a file the user picked (it asks "Přejete si aktualizovat
  // ceník\r\nsouborem %s ?" itself). May throw the import's Exception.
  virtual TImportResult ImportPriceList(const std::string& fileName, bool takeCompanyData) = 0;
  // A question with the caption, OK/Cancel and the given icon; defaultOK: which button is the
  // default. Returns the button pressed.
  virtual TMsgResult Ask(const std::string& text, const std::string& caption, TMsgIcon icon, bool defaultOK) = 0;
  // Starts the file with the desktop's default action, no parameters, workingFolder as its
  // working folder. May throw Exception.
  virtual void StartProgram(const std::string& fileName, const std::string& workingFolder) = 0;
  // Asks the main window to close as if the user had closed it.
  virtual void CloseMainWindow() = 0;
};

// The settings and the connection file the commands work with.
struct TTavUpdateContext {
  TAppSettings& Settings;
  std::string ConnectionFile; // TavBinPath of the settings
  std::string ProgramVersion; // this program's version, "%d.%d.%d.%d"
  ITavUpdateHost& Host;
};

// The name the server is asked for: TAVPriceList, with DBCExtension appended when it has no
// extension.
std::string TavPriceListRemoteName(const TAppSettings& s);
// Where the download goes: the orders folder joined with TAVPriceList exactly as set.
std::string TavPriceListLocalName(const TAppSettings& s);

// The price-list download (`mImportCenikuPresTAVClick`): a blank TAVPriceList is reported as the
// error "Není nastaveno jméno ceníku pro import přes internet"; otherwise the transfer
// "Načtení ceníku přes internet" (kind 0); on OK the import with the first-run flag, then - with
// AutoCheckAppUpdate and the program lower than InstObjVersion - the offer to install it. A
// failing import is reported (error icon) and skips the offer; a declined import does not.
void ImportPriceListOverTav(TTavUpdateContext& ctx);

// The new-version command (`mInstalaceNoveVerzeClick`): checks the names (errors "Není
// nastaveno jméno ceníku pro import přes internet", "Poskytovatel dat nemá nakonfigurovánou
// podporu instalace nových verzí"), asks one of three questions by the version comparison and
// on OK runs InstallNewVersionDownload.
void InstallNewVersion(TTavUpdateContext& ctx);

// The installer download "Načtení nové verze přes internet" (kind 2) into the orders folder;
// on OK the installer is put under its program name (InstallerProgramName; stops silently when
// that is not possible), started with the orders folder as working folder, and the main window
// asked to close. Returns true when the installer was started.
bool InstallNewVersionDownload(TTavUpdateContext& ctx);

// When the main window enables its two commands: the download when the connection file exists;
// the new version when TAVPriceList, TAVInstAlias and TAVInstName are all not blank.
bool TavDownloadCommandEnabled(const std::string& connectionFile);
bool NewVersionCommandEnabled(const TAppSettings& s);

// The rules of the dialog "Načtení ceníku" (`TTAVCenikForm`): btnOK is enabled exactly when both
// fields, trimmed of blanks, are not empty; on show the name field gets the focus when the
// alias holds any text, otherwise the alias field.
struct TTAVCenikFormRules {
  static bool OkEnabled(const std::string& alias, const std::string& jmenoCeniku);
  static bool FocusJmenoCeniku(const std::string& alias) { return !alias.empty(); }
};

// Opens the file with "xdg-open" (the desktop's default action), no parameters, in
// workingFolder, without waiting for it. Raises Exception when the opener cannot be started.
void StartWithDesktopOpener(const std::string& fileName, const std::string& workingFolder);

// The default ITavUpdateHost parts that need no window: the transfer run by TTAVPrenosForm
// without one (each progress message handed to onMessage), the import through
// ImportPriceListFile, questions through the installed message sink, and the program started
// with "xdg-open" in the working folder. CloseMainWindow does nothing. The import context's
// Settings must be the TTavUpdateContext's, so the offer sees the version the import stored.
class THeadlessTavUpdateHost : public ITavUpdateHost {
public:
  THeadlessTavUpdateHost(TPackageImportContext& import, std::function<void(const std::string&)> onMessage = {},
                         TTavTimeouts timeouts = {})
      : FImport(import), FOnMessage(std::move(onMessage)), FTimeouts(timeouts) {}

  bool RunTransfer(const std::string& title, const TTavTransferRequest& request) override;
  TImportResult ImportPriceList(const std::string& fileName, bool takeCompanyData) override;
  TMsgResult Ask(const std::string& text, const std::string& caption, TMsgIcon icon, bool defaultOK) override;
  void StartProgram(const std::string& fileName, const std::string& workingFolder) override;
  void CloseMainWindow() override {}

private:
  TPackageImportContext& FImport;
  std::function<void(const std::string&)> FOnMessage;
  TTavTimeouts FTimeouts;
};
