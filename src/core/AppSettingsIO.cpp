// LoadSettings and SaveSettings: the walk over the field list with the reading rules.

#include <algorithm>
#include <filesystem>
#include <limits>

#include "core/AppSettings.h"
#include "core/AppSettingsFields.h"
#include "core/Errors.h"
#include "core/Format.h"
#include "core/Numbers.h"
#include "core/Paths.h"
#include "core/SettingsStore.h"
#include "formats/CodePages.h"

TAppSettings::TAppSettings(const TDesignedLayout& d)
    : Width(d.GroupsTreeWidth), Window_Left(d.WindowLeft), Window_Top(d.WindowTop), Window_Width(d.WindowWidth),
      Window_Heigh(d.WindowHeight), Splitter_Right(d.LeftPanelWidth), Splitter_Left(d.PreviewPanelHeight),
      // The picture window opens at the main window's right edge.
      LargeImgLeft(d.WindowLeft + d.WindowWidth - d.LargeImgWidth), LargeImgTop(d.LargeImgTop),
      LargeImgWidth(d.LargeImgWidth), LargeImgHeight(d.LargeImgHeight) {}

void TAppSettings::SetCreated(std::string text) {
  FCreated = std::move(text);
  FCreatedHash = SdbmHash(FCreated);
}

void TAppSettings::SetCreatedTime(std::string text) {
  FCreatedTime = std::move(text);
  FCreatedTimeHash = SdbmHash(FCreatedTime);
}

std::uint32_t SdbmHash(const std::string& text) {
  std::uint32_t hash = 0;
  for (const char c : text)
    hash = static_cast<unsigned char>(c) + (hash << 6) + (hash << 16) - hash;
  return hash;
}

bool IsForeignCurrency(const TCompanySettings& company) {
  return !company.Currency.empty() && !NearlyZero(company.ExRate) && !NearlyEqual(company.ExRate, 1);
}

namespace {

using K = TFieldKind;
using R = TFieldRule;

// Sums of stored integers, which may be anything a 32-bit number holds.
int Clamped(long long value) {
  return static_cast<int>(
      std::clamp<long long>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

bool HasWeekdayDigit(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return c >= '1' && c <= '7'; });
}

// The value parts of "name=value" lines, in the order of the section's values.
std::vector<std::string> SectionLines(const TSettingsStore& store, const std::string& section) {
  std::vector<std::string> lines;
  for (const std::string& name : store.GetValueNames(section))
    lines.push_back(store.ReadString(section, name));
  return lines;
}

// Reads one field with its default. Rules that need other fields or the environment are
// applied by the caller.
TFieldValue ReadField(const TSettingsField& f, const TSettingsStore& store, const TFieldValue& def) {
  switch (f.Kind) {
  case K::Bool:
    return store.ReadBool(f.Section, f.Key, std::get<bool>(def));
  case K::Integer:
  case K::Color:
    return store.ReadInteger(f.Section, f.Key, std::get<int>(def));
  case K::Text:
    return store.ReadString(f.Section, f.Key, std::get<std::string>(def));
  case K::Number:
    return store.ReadNumber(f.Section, f.Key, std::get<double>(def));
  case K::Lines:
    return SectionLines(store, f.Section);
  case K::Hash:
    break;
  }
  return def;
}

void WriteField(const TSettingsField& f, const TFieldValue& value, TSettingsStore& store) {
  switch (f.Kind) {
  case K::Bool:
    store.WriteBool(f.Section, f.Key, std::get<bool>(value));
    break;
  case K::Integer:
  case K::Color:
    store.WriteInteger(f.Section, f.Key, std::get<int>(value));
    break;
  case K::Text:
    store.WriteString(f.Section, f.Key,
                      f.Rule == R::Password ? ScramblePassword(std::get<std::string>(value))
                                            : std::get<std::string>(value));
    break;
  case K::Number:
    // The number's shortest text, as the user's locale writes it; TextToNumber reads both
    // decimal separators back.
    store.WriteString(f.Section, f.Key, FloatToStrGeneral(std::get<double>(value)));
    break;
  case K::Lines:
  case K::Hash:
    break;
  }
}

} // namespace

void LoadSettings(TAppSettings& s, TSettingsStore& store, const TSettingsEnvironment& env,
                  const TLoadSettingsOptions& options) {
  s.FirstRun = !store.ReadBool("Others", "CopyIni", false);
  if (s.FirstRun) {
    const std::string ini = FirstRunIniFile(env);
    if (!ini.empty())
      ImportIniFile(ini, store);
    store.WriteBool("Others", "CopyIni", true);
    try {
      store.Save();
    } catch (const Exception&) {
      // An unwritable store reads as missing and writes nothing; the import runs again next time.
    }
  }
  s.NoPackagesSwitch = options.NoPackagesSwitch;
  s.NoStockSwitch = options.NoStockSwitch;
  if (options.LoadLayouts && options.Layouts)
    options.Layouts->LoadColumnLayouts(store);

  // The application-data and documents folders are the fallbacks of the folder rule and were
  // always there where the rule came from; a fresh account here may lack them.
  for (const std::string& folder : {env.AppDataFolder, env.DocumentsFolder})
    if (!folder.empty()) {
      std::error_code ignored;
      std::filesystem::create_directories(NativeFileName(folder), ignored);
    }

  TAppSettings defaults = DefaultAppSettings(env, options.Layouts);
  const bool readBounds = options.ApplyWindowPlacement && store.ReadInteger("Others", "RememberPosition", 2) == 1;
  for (const TSettingsField& f : AppSettingsFields()) {
    if (f.Rule == R::RunTime || f.Rule == R::NotRead || !f.Set)
      continue;
    if (f.Rule == R::WindowBounds && !readBounds)
      continue;                  // the window keeps its present bounds
    if (f.Key == "LargeImgLeft") // at the main window's right edge
      defaults.LargeImgLeft = Clamped(0LL + s.Window_Left + s.Window_Width - defaults.LargeImgWidth);
    TFieldValue value = ReadField(f, store, f.Get(defaults));
    switch (f.Rule) {
    case R::FolderKey:
      // "Orders" falls back to the documents folder, "Pictures" to the application-data folder.
      value = ApplyFolderRule(std::get<std::string>(value), true,
                              f.Key == "Orders" ? env.DocumentsFolder : env.AppDataFolder);
      break;
    case R::FileKey:
      value = ApplyFolderRule(std::get<std::string>(value), false, env.AppDataFolder);
      break;
    case R::Mode:
      value = std::get<bool>(value) || (f.Key == "NoStock" ? s.NoStockSwitch : s.NoPackagesSwitch);
      break;
    case R::WholePackage:
      if (s.NoPackages)
        value = 0;
      break;
    case R::MaxAmount: {
      double amount = 0;
      if (!TextToNumber(store.ReadString(f.Section, f.Key, "1000000"), amount))
        continue; // keeps the previous value
      value = std::max(amount, 100.0);
      break;
    }
    case R::Password:
      value = UnscramblePassword(std::get<std::string>(value));
      break;
    case R::UpperCase:
      value = AnsiUpperCase(std::get<std::string>(value));
      break;
    case R::DaysOfWeek:
      if (!HasWeekdayDigit(std::get<std::string>(value)))
        value = std::string("12345");
      break;
    case R::SearchMode:
      if (std::get<int>(value) < 0 || std::get<int>(value) > 4)
        value = 0;
      break;
    default:
      break;
    }
    f.Set(s, value);

    // Defaults that follow a key read before them.
    if (f.Key == "ReadGroups" && f.Section == "Groups")
      defaults.GroupsVisible = s.ReadGroups;
    else if (f.Key == "MaxPriceListAge")
      defaults.PriceListActualH = Clamped(s.MaxPriceListAge * 24LL);
  }
  s.ApplyWindowBounds = readBounds;
  s.FillScreen = options.ApplyWindowPlacement && s.RememberPosition == 2;
  s.ForeignCurrency = IsForeignCurrency(s.Company);
}

bool SaveSettings(const TAppSettings& s, TSettingsStore& store, const IColumnLayoutStore* layouts,
                  std::string* problem) {
  if (layouts)
    layouts->SaveColumnLayouts(store);
  for (const TSettingsField& f : AppSettingsFields())
    if (f.Saved)
      WriteField(f, f.Get(s), store);
  try {
    store.Save();
    return true;
  } catch (const Exception& e) {
    if (problem)
      *problem = e.Message();
    return false;
  }
}

std::string InProgramFolder(const std::string& fileName, const TSettingsEnvironment& env) {
  const bool bare = fileName.find_first_of("\\/") == std::string::npos && fileName.find(':') == std::string::npos;
  return bare && !fileName.empty() ? JoinPath(env.ProgramFolder, fileName) : fileName;
}

std::string FilePathSetting(const TSettingsStore& store, const std::string& key, const std::string& defaultFileName,
                            const TSettingsEnvironment& env) {
  std::string folder = env.DataFolder();
  if (!MakeFolderLevel(folder))
    folder = env.AppDataFolder;
  return InProgramFolder(store.ReadString("Files", key, JoinPath(folder, defaultFileName)), env);
}
