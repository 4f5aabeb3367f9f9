#include "core/AppContext.h"

#include <unistd.h>

#include "catalogue/Groups.h"
#include "core/Errors.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "formats/Cp1250Utf8.h"
#include "orders/Order.h"
#include "ui/ColumnLayouts.h"

namespace {

AppContext* CurrentApp = nullptr;

// A member that Open() makes.
template <typename T> T& Opened(const std::unique_ptr<T>& member) {
  if (!member)
    throw Exception(Cz("Kontext programu ještě nebyl otevřen"));
  return *member;
}

} // namespace

AppContext::AppContext(TAppContextSetup setup, TAppContextHooks hooks)
    : FHooks(std::move(hooks)), FProgramName(std::move(setup.ProgramName)),
      FProgramFile(setup.ProgramFile.empty() ? ThisProgramFile() : std::move(setup.ProgramFile)),
      FProgramFolder(FileFolder(FProgramFile)), FParams(std::move(setup.Params)),
      FSettingsFolder(std::move(setup.SettingsFolder)), FPresetsFolder(std::move(setup.PresetsFolder)),
      FLog(setup.Log ? setup.Log : &ProgramLog()), FLayouts(setup.Layouts) {
  FEnvironment = setup.Environment ? std::move(*setup.Environment) : TSettingsEnvironment::FromSystem(FProgramName);
  FEnvironment.ProgramFolder = FProgramFolder;
  FFileTypes =
      setup.FileTypes ? std::move(*setup.FileTypes) : TFileTypeEnvironment::FromSystem(NativeFileName(FProgramFile));
  if (FFileTypes.ProgramFile.empty())
    FFileTypes.ProgramFile = NativeFileName(FProgramFile);
  FFileTypes.ProgramName = FProgramName;
  Settings = TAppSettings(FEnvironment.Designed);
}

AppContext::~AppContext() {
  FreePictureViewer();
  if (FStarted)
    WriteEndLine();
  FreeCatalogueMembers();
  try {
    RemoveErrorHandler();
  } catch (...) {
    // Nothing is left to tell at the very end.
  }
}

void AppContext::Open() {
  CreateCatalogueMembers();
  ResetModes();
  CommandLine = ParseCommandLine(FParams);
  try {
    LoadAppSettings();
  } catch (...) {
    // The start line's guard: the log says the program started and what it was given even
    // when the settings could not be loaded.
    ConfigureLog();
    InstallErrorHandler();
    WriteStartLine();
    throw;
  }
  InstallErrorHandler();
  WriteStartLine();
}

void AppContext::Close() {
  if (FHooks.SavePictureCache)
    FHooks.SavePictureCache();
  if (Settings.AutoSaveSettings)
    SaveAppSettings();
}

void AppContext::SaveAppSettings() {
  std::string problem;
  if (!SaveSettings(Settings, Store(), FLayouts, &problem))
    throw EInOutError(problem);
}

TPriceList& AppContext::PriceList() { return Opened(FPriceList); }

TOrderRelinkHost& AppContext::PriceListHost() { return Opened(FPriceListHost); }

bool AppContext::LoadPriceList(IProgress& progress) {
  TakeCurrency();
  return PriceList().LoadPriceList(Settings, PriceListHost(), progress);
}

void AppContext::TakeCurrency() {
  FCellEnvironment.ForeignCurrency = Settings.ForeignCurrency;
  FCellEnvironment.ExRate = Settings.Company.ExRate;
  if (FPriceList)
    FPriceList->InvalidateSearchIndex(); // amounts are searched as shown
}

TOrder& AppContext::Order() { return Opened(FOrder); }

TGoodsGroups& AppContext::Groups() { return Opened(FGroups); }

bool AppContext::LoadGroups(IProgress& progress) {
  return Groups().Load(Settings, PriceList(), FCellEnvironment, progress);
}

TColumnLayouts& AppContext::Columns() { return Opened(FColumns); }

TSettingsStore& AppContext::Store() {
  if (!FStore)
    throw Exception(Cz("Nastavení programu ještě nebylo načteno"));
  return *FStore;
}

void AppContext::CreateCatalogueMembers() {
  // The picture window, the price list, the order, the two column lists, the group-tree data
  // and the picture cache are made here, in this order, as their parts arrive.
  FPriceList = std::make_unique<TPriceList>();
  FOrder = std::make_unique<TOrder>();
  FPriceListHost = std::make_unique<TOrderRelinkHost>(*FOrder);
  FCellEnvironment.FindOrderLine = [this](const std::string& code) -> const TOrderItem* {
    const int line = FOrder->FindLine(code);
    return line < 0 ? nullptr : &FOrder->Line(line);
  };
  FColumns = std::make_unique<TColumnLayouts>();
  FPriceList->SetColumnModel(&FColumns->PriceListColumns, &FCellEnvironment);
  FGroups = std::make_unique<TGoodsGroups>();
  // The layouts are read before the settings load has looked at the switches' stored
  // counterparts, so they ask for this run's switches themselves.
  FColumns->Switches = [this] { return TContentModes{CommandLine.NoPackagesSwitch, CommandLine.NoStockSwitch}; };
  if (!FLayouts)
    FLayouts = FColumns.get();
}

void AppContext::ResetModes() {
  Settings.NoPackagesSwitch = false;
  Settings.NoStockSwitch = false;
  Settings.NoPackages = false;
  Settings.NoStock = false;
  Settings.NCEnabled = false;
}

void AppContext::LoadAppSettings() {
  // The store is opened here, not at construction, so a program name it cannot take fails the
  // load (and is logged by the start line's guard) like any other load failure.
  FStore =
      std::make_unique<TSettingsStore>(FProgramName, FSettingsFolder.empty() ? UserSettingsFolder() : FSettingsFolder,
                                       FPresetsFolder.empty() ? SystemSettingsFolder() : FPresetsFolder);
  FStore->Load();
  TLoadSettingsOptions options;
  options.NoPackagesSwitch = CommandLine.NoPackagesSwitch;
  options.NoStockSwitch = CommandLine.NoStockSwitch;
  options.Layouts = FLayouts;
  LoadSettings(Settings, *FStore, FEnvironment, options);
  TakeCurrency();
  ConfigureLog();
}

void AppContext::ConfigureLog() {
  // As far as the settings were read: a load that stopped early leaves what they held before.
  FLog->SetFileName(Settings.LOGfile);
  FLog->SetEnabled(Settings.LOGEnabled);
}

void AppContext::InstallErrorHandler() {
  if (FHooks.InstallErrorHandler)
    FHooks.InstallErrorHandler();
  FHandlerInstalled = true;
}

void AppContext::WriteStartLine() {
  FLog->Write(StartLogText(FProgramFile, CommandLine.Params));
  FStarted = true;
}

void AppContext::FreePictureViewer() {
  // The picture window goes first: it shows pictures of the price list's cards.
}

void AppContext::WriteEndLine() { FLog->Write(EndLogText(FProgramFile)); }

void AppContext::FreeCatalogueMembers() {
  // The price list, the order, the tree nodes with the group-tree data, both column lists and
  // the picture cache are freed here, in this order, as their parts arrive.
  // The lines point at cards of the price list, which goes first.
  if (FOrder)
    FOrder->RelinkCards({}, true);
  FPriceList.reset();
  FCellEnvironment.FindOrderLine = nullptr;
  FPriceListHost.reset();
  FOrder.reset();
  FGroups.reset();
  if (FLayouts == FColumns.get())
    FLayouts = nullptr;
  FColumns.reset();
}

void AppContext::RemoveErrorHandler() {
  if (FHandlerInstalled && FHooks.RemoveErrorHandler)
    FHooks.RemoveErrorHandler();
  FHandlerInstalled = false;
}

void TOrderRelinkHost::DetachOrder() { FOrder.RelinkCards({}, true); }

void TOrderRelinkHost::AttachOrder(TPriceList& list) {
  FOrder.RelinkCards([&list](const std::string& code) -> TPriceListItem* {
    const int index = list.IndexOfCode(code);
    return index < 0 ? nullptr : &list.Items(index);
  });
}

void TOrderRelinkHost::PictureFieldPresent(bool present) {
  if (Window)
    Window->PictureFieldPresent(present);
}

void TOrderRelinkHost::ShowCards(int count) {
  if (Window)
    Window->ShowCards(count);
}

AppContext& App() {
  if (!CurrentApp)
    throw Exception(Cz("Aplikační kontext není vytvořen"));
  return *CurrentApp;
}

AppContext* SetApp(AppContext* context) {
  AppContext* previous = CurrentApp;
  CurrentApp = context;
  return previous;
}
