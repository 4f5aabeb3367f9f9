#include "catalogue/CenikIni.h"

#include <utility>

#include "core/Errors.h"
#include "core/Format.h"
#include "core/Log.h"
#include "core/Numbers.h"
#include "core/SettingsStore.h"
#include "formats/CodePages.h"
#include "formats/Cp1250Utf8.h"

void WriteImportLog(const TPackageImportContext& ctx, const std::string& text) {
  if (ctx.Log)
    ctx.Log(text);
  else
    WriteLog(text);
}

std::vector<std::string> Cp852TextLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.push_back(Cp852ToCp1250(text.substr(start)));
      break;
    }
    lines.push_back(Cp852ToCp1250(text.substr(start, end - start)));
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
  return lines;
}

std::vector<std::string> IniSectionLines(const std::vector<std::string>& lines, std::string_view header) {
  std::vector<std::string> section;
  bool inside = false;
  for (const std::string& line : lines) {
    if (line == header) {
      inside = true;
      continue;
    }
    if (!line.empty() && line[0] == '[')
      inside = false;
    else if (inside)
      section.push_back(line);
  }
  return section;
}

bool SplitIniLine(const std::string& line, std::string& key, std::string& value) {
  const size_t eq = line.find('=');
  if (eq == std::string::npos)
    return false;
  key = line.substr(0, eq);
  const size_t next = line.find('=', eq + 1);
  value = line.substr(eq + 1, next == std::string::npos ? std::string::npos : next - eq - 1);
  return true;
}

void ApplyCompanySection(TAppSettings& settings, const std::vector<std::string>& lines) {
  using C = TCompanySettings;
  static const std::pair<const char*, std::string C::*> keys[] = {
      {"NAME1", &C::Name1}, {"NAME2", &C::Name2}, {"ADDRESS", &C::Address}, {"PSC", &C::PSC},
      {"CITY", &C::City},   {"ICO", &C::ICO},     {"DIC", &C::DIC},         {"RESPPERSON", &C::RespPerson},
      {"PHONE", &C::Phone}, {"FAX", &C::Fax},     {"MOBILE", &C::Mobile}};
  std::string key, value;
  for (const std::string& line : lines) {
    if (!SplitIniLine(line, key, value))
      continue;
    key = AnsiUpperCase(key);
    for (const auto& [name, member] : keys) {
      if (key != name)
        continue;
      // The customer's company ID is kept unless the package brings one.
      if (key != "ICO" || !value.empty())
        settings.Company.*member = value;
      break;
    }
  }
}

void ApplyDbcSection(TPackageImportContext& ctx, const std::vector<std::string>& lines) {
  TAppSettings& s = ctx.Settings;
  TSettingsStore& store = ctx.Store;
  std::string key, value;
  for (const std::string& line : lines) {
    if (!SplitIniLine(line, key, value))
      continue;
    key = AnsiUpperCase(key);
    if (key == "CREATED") {
      value = value.substr(0, 30);
      store.WriteString("Others", "Created", value);
      s.SetCreated(value);
    } else if (key == "CREATEDTIME") {
      value = value.substr(0, 30);
      store.WriteString("Others", "CreatedTime", value);
      s.SetCreatedTime(value);
    } else if (key == "ID2") {
      store.WriteString("Others", "ID2", value);
      int id = 0;
      s.ID2 = TryDecodeSettingsInteger(value, id) ? id : 0;
    } else if (key == "OBJVERSION") {
      store.WriteString("Others", "InstObjVersion", value);
      s.InstObjVersion = value;
    } else if (key == "TAVALIAS") {
      store.WriteString("Others", "TAVInstAlias", value);
      s.TAVInstAlias = value;
    } else if (key == "TAVNAME") {
      store.WriteString("Others", "TAVInstName", value);
      s.TAVInstName = value;
    } else if (key == "CURRENCY") {
      value = value.substr(0, 3);
      store.WriteString("Company", "Currency", value);
      s.Company.Currency = value;
    } else if (key == "EXRATE") {
      double rate = 0;
      if (!TextToNumber(value, rate))
        rate = 0;
      // Stored as SaveSettings stores the record's number, so both read back alike.
      store.WriteString("Company", "ExRate", FloatToStrGeneral(rate));
      s.Company.ExRate = rate;
    }
  }
  s.ForeignCurrency = IsForeignCurrency(s.Company);
}

int ApplyIniSection(TPackageImportContext& ctx, const std::vector<std::string>& lines) {
  int written = 0;
  std::string left, value;
  for (const std::string& line : lines) {
    if (!SplitIniLine(line, left, value))
      continue;
    const size_t slash = left.find('/');
    if (slash == std::string::npos)
      continue;
    const std::string section = left.substr(0, slash);
    const size_t keyEnd = left.find('/', slash + 1);
    const std::string key =
        left.substr(slash + 1, keyEnd == std::string::npos ? std::string::npos : keyEnd - slash - 1);
    if (section.empty() || key.empty())
      continue;
    if (written == 0) {
      std::string problem;
      if (!SaveSettings(ctx.Settings, ctx.Store, ctx.Layouts, &problem))
        throw EInOutError(problem);
    }
    ctx.Store.WriteString(section, key, value);
    WriteImportLog(ctx, Format(Cz("Import ceníku. Nastavení: %s/%s=%s"), {section, key, value}));
    ++written;
  }
  if (written > 0) {
    TLoadSettingsOptions options;
    options.ApplyWindowPlacement = false;
    options.LoadLayouts = false;
    options.NoPackagesSwitch = ctx.Settings.NoPackagesSwitch;
    options.NoStockSwitch = ctx.Settings.NoStockSwitch;
    options.Layouts = ctx.Layouts;
    // The run-time state a load does not read survives it.
    const bool verified = ctx.Settings.PriceListVerified, firstRun = ctx.Settings.FirstRun;
    LoadSettings(ctx.Settings, ctx.Store, ctx.Environment, options);
    ctx.Settings.PriceListVerified = verified;
    ctx.Settings.FirstRun = firstRun;
  }
  return written;
}

void ApplyDescription(TPackageImportContext& ctx, std::string_view text, bool takeCompanyData) {
  const std::vector<std::string> lines = Cp852TextLines(text);
  if (takeCompanyData)
    ApplyCompanySection(ctx.Settings, IniSectionLines(lines, "[Company]"));
  ApplyDbcSection(ctx, IniSectionLines(lines, "[DBC]"));
  ApplyIniSection(ctx, IniSectionLines(lines, "[INI]"));
}
