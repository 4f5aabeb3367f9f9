#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/PriceList.h"
#include "core/AppSettings.h"
#include "core/CommandLine.h"
#include "core/FileTypes.h"
#include "core/SettingsStore.h"

class TLog;
class TOrder;
class TColumnLayouts;
class TGoodsGroups;

// The price list's host in the context: around a load, the open order's lines drop their cards
// before the old cards are freed and find them again by code afterwards (IndexOfCode; a code
// that is no longer in the list leaves its line without a card). The window's part of a load
// (the picture field, the row count) goes to Window when one is set.
class TOrderRelinkHost : public IPriceListHost {
public:
  // The order must outlive the host.
  explicit TOrderRelinkHost(TOrder& order) : FOrder(order) {}
  // The main window's reactions to a load; not owned, nullptr for none.
  IPriceListHost* Window = nullptr;

  void DetachOrder() override;
  void AttachOrder(TPriceList& list) override;
  void PictureFieldPresent(bool present) override;
  void ShowCards(int count) override;

private:
  TOrder& FOrder;
};

// The application context: the objects that live for the whole run, who owns them and in which
// order they come and go. There is one per process; the rest of the program reaches it through
// App(). Tests make their own and install none, or install theirs with TAppScope.
//
// Order of creation. The desktop program first makes the appearance data, then the main window
// (whose creation runs Open() below), then the settings dialog; those are widgets and stay on the
// GUI side. Open() runs the steps of the main window's creation that need no window:
//   1. CreateCatalogueMembers: the picture window, the price list, the order, the price-list and
//      order column lists, the group-tree data and the picture cache, in this order (each added
//      there by the part that brings it);
//   2. ResetModes, then the command line is scanned for "/BEZBALENI" and "/BEZZASOB";
//   3. (the appearance options: GUI);
//   4. LoadAppSettings: the settings with the switches and the first-run import, then the log is
//      configured from "LOGfile" and "LOGEnabled";
//   5. InstallErrorHandler (hook);
//   6. WriteStartLine.
// Steps 5 and 6 run also when step 4 fails; the failure then propagates out of Open().
//
// Closing (Close()): the picture cache is saved (hook, which also hides the picture window), then
// the settings when "AutoSaveSettings" is on.
//
// Order of destruction (the destructor, once Open() has run): FreePictureViewer, the end line,
// FreeCatalogueMembers (the price list, the order, the tree nodes with the group-tree data, both
// column lists, the picture cache, in this order), RemoveErrorHandler. The end line is written
// whenever the start line was, so every start in the log has its end.

// Where the context comes from; every part of the outside world can be given.
struct TAppContextSetup {
  // The settings key's program name (code page 1250).
  std::string ProgramName = "objednavky";
  // The program file's full path (code page 1250); empty: the running program (/proc/self/exe).
  // The program's folder is always this file's folder.
  std::string ProgramFile;
  // The parameters after the program itself (code page 1250).
  std::vector<std::string> Params;
  // The folders and machine the settings depend on; none: TSettingsEnvironment::FromSystem. Its
  // ProgramFolder is replaced by the program file's folder.
  std::optional<TSettingsEnvironment> Environment;
  // The settings store's folders (native names); empty: UserSettingsFolder() and
  // SystemSettingsFolder().
  std::string SettingsFolder, PresetsFolder;
  // Where file types are registered; none: TFileTypeEnvironment::FromSystem for the program file.
  // An empty ProgramFile is the program file above; ProgramName is always the one above.
  std::optional<TFileTypeEnvironment> FileTypes;
  // The log the context configures and writes to; nullptr: ProgramLog(), which WriteLog and
  // ReportMessage use. Not owned.
  TLog* Log = nullptr;
  // The column layouts the settings load and save; nullptr: the context's own column lists.
  // Not owned.
  IColumnLayoutStore* Layouts = nullptr;
};

// What the desktop program adds to the context's steps; an empty hook does nothing. Hooks may
// throw: the failure propagates out of the step that ran it.
struct TAppContextHooks {
  std::function<void()> InstallErrorHandler; // creation step 5
  std::function<void()> RemoveErrorHandler;  // last step of destruction
  // First step of closing: save the picture cache when the small preview is available, hide the
  // picture window.
  std::function<void()> SavePictureCache;
};

class AppContext {
public:
  // Resolves the program file, its folder and the environment; touches neither the settings
  // nor the log. Never throws for the outside world (a program file that cannot be found reads
  // as ".").
  explicit AppContext(TAppContextSetup setup, TAppContextHooks hooks = {});
  ~AppContext();
  AppContext(const AppContext&) = delete;
  AppContext& operator=(const AppContext&) = delete;

  // The main window's creation without the window, as listed above. Call once. Throws what the
  // settings load throws (Exception for a program name the store cannot take, whatever the
  // column model throws), after the start line was written.
  void Open();
  // Closing, as listed above. Throws EInOutError (Czech message) when the settings cannot be
  // saved, and what the hook throws.
  void Close();

  // Saves Settings (and the column layouts) into the store. Throws EInOutError with the reason
  // when the file cannot be written; the file on disk then stays as it was.
  void SaveAppSettings();

  // The configuration of this run; filled by Open().
  TAppSettings Settings;
  // The parsed parameters; set by Open().
  TCommandLine CommandLine;

  const std::string& ProgramFile() const { return FProgramFile; }
  const std::string& ProgramFolder() const { return FProgramFolder; }
  const TSettingsEnvironment& Environment() const { return FEnvironment; }
  const TFileTypeEnvironment& FileTypeEnvironment() const { return FFileTypes; }
  // The settings store, opened by Open() (before that: throws Exception).
  TSettingsStore& Store();
  TLog& Log() const { return *FLog; }
  IColumnLayoutStore* Layouts() const { return FLayouts; }
  // The price list, the one open order and the two grids' column lists; made by Open() (before
  // that: throws Exception). The price list sorts by the price-list grid's columns and reads
  // cells with CellEnvironment().
  TPriceList& PriceList();
  TOrder& Order();
  TColumnLayouts& Columns();
  // The host a load of the price list needs (TOrderRelinkHost over the order); made by Open().
  TOrderRelinkHost& PriceListHost();
  // What the grids' cells depend on: the currency of the settings (taken again by every
  // settings load and every LoadPriceList) and the open order's lines. Valid once Open() has
  // made the order.
  TCellEnvironment& CellEnvironment() { return FCellEnvironment; }
  // Loads the price list of Settings.PriceList through PriceListHost(), as
  // TPriceList::LoadPriceList (failures are reported, false returned).
  bool LoadPriceList(IProgress& progress = NoProgress());
  // The goods groups (tree, tabs, their evaluators); made by Open() (before that: throws
  // Exception). Their evaluators read the cards of PriceList() with CellEnvironment().
  TGoodsGroups& Groups();
  // Rebuilds the goods groups from Settings.Groups over the loaded price list, as
  // TGoodsGroups::Load (failures are reported with the caption "Okruhy", false returned; a
  // missing file or an empty table switches Settings.GroupsVisible off). The start-up's
  // LoadGroups step after every load of the price list, when "ReadGroups" is on.
  bool LoadGroups(IProgress& progress = NoProgress());

private:
  // Creation steps.
  void CreateCatalogueMembers();
  void ResetModes();
  void LoadAppSettings();
  void ConfigureLog();
  void InstallErrorHandler();
  void WriteStartLine();
  // Destruction steps.
  void FreePictureViewer();
  void WriteEndLine();
  void FreeCatalogueMembers();
  void RemoveErrorHandler();
  void TakeCurrency();

  TAppContextHooks FHooks;
  std::string FProgramName;
  std::string FProgramFile;
  std::string FProgramFolder;
  std::vector<std::string> FParams;
  TSettingsEnvironment FEnvironment;
  TFileTypeEnvironment FFileTypes;
  std::string FSettingsFolder, FPresetsFolder;
  TLog* FLog;
  IColumnLayoutStore* FLayouts;
  std::unique_ptr<TSettingsStore> FStore;
  std::unique_ptr<TPriceList> FPriceList;
  std::unique_ptr<TOrder> FOrder;
  std::unique_ptr<TOrderRelinkHost> FPriceListHost;
  TCellEnvironment FCellEnvironment;
  std::unique_ptr<TColumnLayouts> FColumns;
  std::unique_ptr<TGoodsGroups> FGroups;
  bool FHandlerInstalled = false;
  bool FStarted = false; // the start line was written
};

// The process's context. Throws Exception when none is installed (a programming error).
AppContext& App();
// Installs the process's context, not taking ownership; nullptr removes it. Returns the
// previous one.
AppContext* SetApp(AppContext* context);

// Installs a context for the lifetime of the object and restores the previous one afterwards.
class TAppScope {
public:
  explicit TAppScope(AppContext& context) : FPrevious(SetApp(&context)) {}
  ~TAppScope() { SetApp(FPrevious); }
  TAppScope(const TAppScope&) = delete;
  TAppScope& operator=(const TAppScope&) = delete;

private:
  AppContext* FPrevious;
};
