#pragma once

#include <string>

#include "core/DateTime.h"

class AppContext;

// The parts of the start-up that belong to the window and to later parts of the program: the
// catalogue, the dialogs, the commands and the clock. The desktop program's main window
// implements it; tests record the calls. Every member may throw Exception (or any
// std::exception); the start-up catches, logs and shows it as described at RunDeferredStartup.
//
// Messages are not part of it: the start-up reports through ReportMessage (log, then the
// installed message sink) and asks its questions through the installed message sink, both of
// which the desktop program binds to its message boxes.
class IStartupHost {
public:
  virtual ~IStartupHost() = default;

  // LoadCatalogue's parts, in the order it calls them.
  // Disables the price-list tab, the search label and the goods-group tree and sets the last
  // searched text to "#$#", so the next search runs whatever its text.
  virtual void BeginCatalogueLoad() = 0;
  // Loads the price list (LoadPriceList).
  virtual void LoadPriceList() = 0;
  // Loads the goods groups.
  virtual void LoadGroups() = 0;
  virtual void ShowGroupTree(bool visible) = 0;
  // Refreshes the picture cache's list.
  virtual void RefreshPictureCache() = 0;
  // Enables the tab, the label and the tree again; the command "&Zobrazit okruhy" is enabled as
  // given. Must not throw: it runs also after a failed step.
  virtual void EndCatalogueLoad(bool groupsCommandEnabled) = 0;
  // Makes the price-list grid's first column whose content ID is below 2 current and lets both
  // grids re-select their current cells.
  virtual void SelectCurrentCells() = 0;
  // Enables or disables the command that installs a new program version.
  virtual void EnableProgramUpdateCommand(bool enabled) = 0;
  // Rebuilds the informational tabs.
  virtual void RebuildInfoTabs() = 0;

  // The number of cards of the loaded price list.
  virtual int PriceListCardCount() = 0;
  // The price-list dialog "Načtení ceníku" with the name and the alias filled in; true on OK,
  // when both hold what the user confirmed.
  virtual bool EditPriceListName(std::string& name, std::string& alias) = 0;
  // The command that imports the price list over the internet.
  virtual void ImportPriceListOverInternet() = 0;
  // The settings dialog opened on the given page (0 is the first); true when confirmed with OK,
  // the dialog having put its values into the context's Settings.
  virtual bool ShowSettingsDialog(int page) = 0;
  // True when the file is a price-list package whose first stored entry's name begins with
  // "KAR" (in any case). False for any other file.
  virtual bool IsPriceListPackage(const std::string& fileName) = 0;
  // Installs the package, rebuilds the informational tabs, loads the price list and the goods
  // groups and refreshes the order grid and the header fields.
  virtual void InstallPackage(const std::string& fileName) = 0;
  // Opens the file as an order file and refreshes the grids.
  virtual void OpenOrderFile(const std::string& fileName) = 0;
  // Shows or hides the small and the large picture preview as given, refreshes the toolbar and
  // focuses the search box.
  virtual void ApplyPicturePreviews(bool smallImg, bool largeImg) = 0;
  // Whether the command "&Import ceníku..." is enabled.
  virtual bool FileImportCommandEnabled() = 0;
  // The current local date and time.
  virtual TDateTime Now() = 0;
};

// The placeholder a price-list name holds until the customer is given a real one.
inline constexpr char kPriceListNamePlaceholder[] = "Zde_zadejte_jmeno_ceniku";
// The page of the settings dialog with the customer's company data.
constexpr int kCompanySettingsPage = 3;
// The send method over the TAV server ("MailSendFormat").
constexpr int kSendOverTavServer = 2;

// Loads the catalogue: BeginCatalogueLoad; LoadPriceList; with "ReadGroups" LoadGroups and then,
// also when that fails, the tree shown as "GroupsVisible" says, without it the tree hidden;
// RefreshPictureCache; EndCatalogueLoad (also after a failed step) with "&Zobrazit okruhy"
// enabled exactly when "ReadGroups" is on; then SelectCurrentCells, the program-update command
// enabled exactly when "TAVPriceList", "TAVInstAlias" and "TAVInstName" are all not blank, and
// RebuildInfoTabs. A failure propagates (after EndCatalogueLoad) and skips the steps after it.
void LoadCatalogue(AppContext& app, IStartupHost& host);

// The deferred start-up, run once as soon as the main window is shown:
//   1. LoadCatalogue.
//   2. With an empty command line on the first run and "MailSendFormat" 2: when the price-list
//      name is empty or the placeholder, or the alias is empty, the "Načtení ceníku" dialog (on
//      OK both go into the settings); then, when the name is neither empty nor the placeholder
//      and the alias is not empty, the import over the internet.
//   3. On the first run, or with an empty "Name1" or "ICO" of the company, or a price list
//      without cards: the settings dialog on page kCompanySettingsPage; on OK the settings are
//      saved and the catalogue loaded again.
//   4. With a parameter, the first one as a file: a missing file is reported ("Soubor %s nebyl
//      nalezen", warning); a price-list package asks "Přejete si aktualizovat ceník\r\nsouborem
//      %s ?" (OK/Cancel, question) and is installed on OK; any other file opens as an order.
//   5. The picture previews as "SmallImg" and "LargeImg" say, and the file types registered
//      (RegisterFileTypes with the context's file-type environment).
//   6. Unless on the first run: with "&Import ceníku..." enabled, an empty command line,
//      "CheckOldPriceList" on, a price-list name, and now later than "LastImportDate" plus
//      "MaxPriceListAge" days, the question "Doporučujeme aktualizaci ceníku.\rPřejete si
//      provést aktualizaci přes internet nyní ?" (OK/Cancel, warning) and on OK the import over
//      the internet. Every failure here is ignored, an unreadable "LastImportDate" included.
//   7. The first-run mark is cleared.
// A failure in steps 1 to 5 is reported (ReportMessage with the caption "Objednávky" and the
// error icon: logged, then shown) and the start-up goes on with the next step. Every
// std::exception is caught so.
void RunDeferredStartup(AppContext& app, IStartupHost& host);

// "LastImportDate" read as a date and time: a date ("dd.mm.yyyy", read as TextToDate reads it),
// optionally followed by spaces and a time "h:nn" or "h:nn:ss"; spaces at the end do not count.
// False for anything else.
bool TryReadImportDate(const std::string& text, TDateTime& result);
