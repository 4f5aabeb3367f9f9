#include "core/Startup.h"

#include <algorithm>
#include <exception>
#include <filesystem>

#include "core/AppContext.h"
#include "core/FileTypes.h"
#include "core/Format.h"
#include "core/Paths.h"
#include "core/ReportMessage.h"
#include "formats/Cp1250Utf8.h"

namespace {

// Nothing but spaces and control characters.
bool IsBlank(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

bool FileExists(const std::string& fileName) {
  std::error_code ignored;
  return std::filesystem::exists(NativeFileName(fileName), ignored);
}

// Runs one step of the start-up; a failure is logged and shown, and the start-up goes on.
template <class Step> void RunStep(Step step) {
  try {
    step();
  } catch (const std::exception& e) {
    ReportMessage(e.what(), {TMsgButtons::OK, TMsgIcon::Error}, Cz("Objednávky"));
  }
}

// A question in a box with the main window's caption; true for OK.
bool AskOkCancel(const std::string& text, TMsgIcon icon) {
  return MessageSink().Show(text, {}, {TMsgButtons::OKCancel, icon}) == TMsgResult::OK;
}

bool IsRealPriceListName(const std::string& name) { return !name.empty() && name != kPriceListNamePlaceholder; }

void OfferPriceListImport(AppContext& app, IStartupHost& host) {
  TAppSettings& s = app.Settings;
  if (!IsRealPriceListName(s.TAVPriceList) || s.TAVAlias.empty()) {
    std::string name = s.TAVPriceList, alias = s.TAVAlias;
    if (host.EditPriceListName(name, alias)) {
      s.TAVPriceList = name;
      s.TAVAlias = alias;
    }
  }
  if (IsRealPriceListName(s.TAVPriceList) && !s.TAVAlias.empty())
    host.ImportPriceListOverInternet();
}

void AskForCompanyData(AppContext& app, IStartupHost& host) {
  const TAppSettings& s = app.Settings;
  // The card count is asked last: the dialog opens on the first run whatever the price list.
  if (!s.FirstRun && !s.Company.Name1.empty() && !s.Company.ICO.empty() && host.PriceListCardCount() > 0)
    return;
  if (host.ShowSettingsDialog(kCompanySettingsPage)) {
    app.SaveAppSettings();
    LoadCatalogue(app, host);
  }
}

void OpenFileParameter(AppContext& app, IStartupHost& host) {
  const std::string file = app.CommandLine.FileParam();
  if (!FileExists(file)) {
    ReportMessage(Format(Cz("Soubor %s nebyl nalezen"), {file}), {TMsgButtons::OK, TMsgIcon::Warning});
  } else if (host.IsPriceListPackage(file)) {
    if (AskOkCancel(Format(Cz("Přejete si aktualizovat ceník\r\nsouborem %s ?"), {file}), TMsgIcon::Question))
      host.InstallPackage(file);
  } else {
    host.OpenOrderFile(file);
  }
}

void ApplyViewAndFileTypes(AppContext& app, IStartupHost& host) {
  const TAppSettings& s = app.Settings;
  host.ApplyPicturePreviews(s.SmallImg, s.LargeImg);
  RegisterFileTypes({s.RegisterOBX, s.Extension, s.RegisterDBC, s.DBCExtension}, app.FileTypeEnvironment());
}

void OfferOldPriceListUpdate(AppContext& app, IStartupHost& host) {
  const TAppSettings& s = app.Settings;
  if (!host.FileImportCommandEnabled() || !app.CommandLine.Empty() || !s.CheckOldPriceList || s.TAVPriceList.empty())
    return;
  TDateTime imported = 0;
  if (!TryReadImportDate(s.LastImportDate, imported))
    return; // the date cannot be read: an error of this step, so no offer
  if (host.Now() <= imported + s.MaxPriceListAge)
    return;
  if (AskOkCancel(Cz("Doporučujeme aktualizaci ceníku.\rPřejete si provést aktualizaci přes internet nyní ?"),
                  TMsgIcon::Warning))
    host.ImportPriceListOverInternet();
}

} // namespace

void LoadCatalogue(AppContext& app, IStartupHost& host) {
  const TAppSettings& s = app.Settings;
  host.BeginCatalogueLoad();
  try {
    host.LoadPriceList();
    if (s.ReadGroups) {
      try {
        host.LoadGroups();
      } catch (...) {
        host.ShowGroupTree(s.GroupsVisible);
        throw;
      }
      host.ShowGroupTree(s.GroupsVisible);
    } else {
      host.ShowGroupTree(false);
    }
    host.RefreshPictureCache();
  } catch (...) {
    host.EndCatalogueLoad(s.ReadGroups);
    throw;
  }
  host.EndCatalogueLoad(s.ReadGroups);
  host.SelectCurrentCells();
  host.EnableProgramUpdateCommand(!IsBlank(s.TAVPriceList) && !IsBlank(s.TAVInstAlias) && !IsBlank(s.TAVInstName));
  host.RebuildInfoTabs();
}

void RunDeferredStartup(AppContext& app, IStartupHost& host) {
  TAppSettings& s = app.Settings;
  RunStep([&] { LoadCatalogue(app, host); });
  if (app.CommandLine.Empty() && s.FirstRun && s.MailSendFormat == kSendOverTavServer)
    RunStep([&] { OfferPriceListImport(app, host); });
  RunStep([&] { AskForCompanyData(app, host); });
  if (!app.CommandLine.Empty())
    RunStep([&] { OpenFileParameter(app, host); });
  RunStep([&] { ApplyViewAndFileTypes(app, host); });
  if (!s.FirstRun) {
    try {
      OfferOldPriceListUpdate(app, host);
    } catch (const std::exception&) {
      // The offer is a courtesy; nothing of it may disturb the start.
    }
  }
  s.FirstRun = false;
}

bool TryReadImportDate(const std::string& stored, TDateTime& result) {
  const std::string text = stored.substr(0, stored.find_last_not_of(' ') + 1);
  const size_t space = text.find(' ');
  const TDateTime date = TextToDate(text.substr(0, space));
  if (date == 0)
    return false;
  int parts[3] = {0, 0, 0};
  int count = 0;
  size_t i = text.find_first_not_of(' ', space == std::string::npos ? text.size() : space);
  if (i != std::string::npos) {
    // "h:nn" or "h:nn:ss", nothing after it.
    while (count < 3) {
      int digits = 0, value = 0;
      while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 2) {
        value = value * 10 + (text[i++] - '0');
        ++digits;
      }
      if (digits == 0)
        return false;
      parts[count++] = value;
      if (i == text.size())
        break;
      if (text[i] != ':' || count == 3)
        return false;
      ++i;
    }
    if (count < 2)
      return false;
  }
  TDateTime time = 0;
  if (!TryEncodeTime(parts[0], parts[1], parts[2], 0, time))
    return false;
  result = date + time;
  return true;
}
