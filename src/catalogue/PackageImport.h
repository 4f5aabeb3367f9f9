#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/AppSettings.h"

class AppContext;
class TSettingsStore;

// Installing a price-list package (a packed file holding the card table, the goods groups,
// the description CENIK.INI, informational texts and pages, pictures) and importing a plain
// dBase table as the new card table or goods-group table.
//
// All texts and file names are code page 1250.

// What the rest of the program does around an import. Every method has an empty default, so
// the command-line companion and the tests need none of them; the main window implements
// them (the price-list, groups and info-tab slices plug in here). The methods must not throw
// unless the failure should end the import (it then propagates to the caller).
class IPackageImportHost {
public:
  virtual ~IPackageImportHost() = default;
  // The hourglass cursor around InstallPackage; EndBusy runs also when the install fails.
  virtual void BeginBusy() {}
  virtual void EndBusy() {}
  // A text of the package was installed: box 1 is the delivery-conditions box ("InfoText1"),
  // box 2 the other-information box ("InfoText2"); lines as stored in the settings.
  virtual void SetInfoText(int /*box*/, const std::vector<std::string>& /*lines*/) {}
  // After every entry other than the card table, the description and the group table: show
  // the other-information group only when its box has lines.
  virtual void ShowOtherInformation(bool /*visible*/) {}
  // After a package was installed by ImportPriceListFile, in this order: rebuild the
  // informational tabs, ReloadPriceList, ReloadGroups, refresh the program-update command.
  virtual void RebuildInfoTabs() {}
  virtual void RefreshProgramUpdate() {}
  // Load the card table from the "PriceList" path (LoadPriceList) / the goods groups.
  virtual void ReloadPriceList() {}
  virtual void ReloadGroups() {}
  // Last step of every import that changed something: the main window's header fields, the
  // order's totals and the toolbar.
  virtual void ImportFinished() {}
};

// Everything an import touches. Not owned; all must outlive the call.
struct TPackageImportContext {
  TAppSettings& Settings;
  TSettingsStore& Store;
  const TSettingsEnvironment& Environment;
  IColumnLayoutStore* Layouts = nullptr; // saved and kept by the "[INI]" section's reload
  IPackageImportHost* Host = nullptr;    // nullptr: nothing around the import
  // Where the import's log lines go (code page 1250); empty: WriteLog (the program log).
  std::function<void(const std::string&)> Log;
};

// The context of the running program: its settings, store, environment and column model.
TPackageImportContext PackageImportContext(AppContext& app, IPackageImportHost* host = nullptr);

// The message of a package or a table that cannot be imported (the file name in it).
std::string BadPackageMessage(const std::string& fileName);

// Installs every entry of the package packageFile:
//  - KAR*  the card table at Settings.PriceList; LastImportFileName/LastImportDate are set;
//  - CENIK.INI  read as the description: "[Company]" (only with takeCompanyData), "[DBC]",
//    "[INI]" (see CenikIni.h);
//  - OKR*  the goods-group table at Settings.Groups;
//  - TXTEXA*, TXTEXB*  the texts "InfoText1", "InfoText2" (code page 852);
//  - P$_*  a picture in Settings.Pictures without the prefix;
//  - *.HTM, *.HTML  the page "_INFO_<n>.HTM" in Settings.Pictures, n = 1, 2, ... in
//    package order; "InfoHTML"/"InfoHTMLCount" = their number;
//  - anything else is skipped.
// Names are compared case-insensitively, in that order, after the reduction of
// PackageEntryFileName ("..\\P$_A.JPG" is the picture A.JPG). The destinations are taken from
// the settings as they are when the install starts; an "[INI]" section changing them takes
// effect with the next install.
//
// The package is checked whole first: every entry must be valid (ReadEntryInfo, walking from
// offset 0 to the end), one must be a card table, and every stored name must reduce to a
// plain file name (see PackageEntryFileName). Otherwise Exception BadPackageMessage(package)
// and nothing is installed. Then every file entry is unpacked into a temporary file beside
// its destination and the description and texts into memory; a damaged stream (ELZHException)
// or an operating-system failure (EInOutError) removes the temporary files and propagates,
// again with nothing installed. Only then are the files renamed into place, each keeping its
// entry's stored time, and the settings applied, in package order. The store is saved at the
// end (EInOutError when it cannot be), since the package's settings take effect at once.
void InstallPackage(TPackageImportContext& ctx, const std::string& packageFile, bool takeCompanyData);

// The file name an entry's stored name is installed under: its last component after any "\",
// "/" or drive "X:". Empty (the entry is refused) when that is empty, "." or "..", or holds a
// control character. So no entry ever leaves its destination folder.
std::string PackageEntryFileName(const std::string& storedName);

// Clears PriceListVerified and deletes "Others"/"ID2" from the store (the record's ID2
// becomes 0, as a load would read it); saves the store (EInOutError when it cannot).
void ForgetPriceListID(TPackageImportContext& ctx);

enum class TImportResult {
  Cancelled,        // the user declined the question or the overwrite
  PackageInstalled, // a package was installed
  PriceListCopied,  // a dBase card table replaced the card table
  GroupsCopied      // a dBase goods-group table replaced the goods groups
};

// The import command:
//  - a packed file: asks "Přejete si aktualizovat ceník\r\nsouborem %s ?" (OK/Cancel,
//    question, the main window's caption) through ReportMessage; on OK ForgetPriceListID,
//    InstallPackage and the host's reloads;
//  - otherwise a dBase table: ForgetPriceListID, then a table with "Kod" and "Nazev" is a card
//    table, one with "Okruh", "Podokruh" and "Popis" a goods-group table, anything else
//    Exception BadPackageMessage(fileName). Its destination is the "PriceList" or "Groups"
//    path; a source naming the destination (as typed or as the same file) gives Exception
//    "Zdrojový a cílový soubor musí být různý". The copy asks before it overwrites an
//    existing destination (OK/Cancel) and is written to a temporary file renamed over the
//    destination when complete (keeping the source's modification time). For a card table
//    LastImportDate = the source's time "dd.mm.yyyy" + " " + short time, LastImportFileName =
//    the source.
// Errors of the codec and of the dBase table pass through unchanged.
TImportResult ImportPriceListFile(TPackageImportContext& ctx, const std::string& fileName, bool takeCompanyData);
