// A package entry's stored name and a description file CENIK.INI from hostile bytes: the
// input's first line is the stored name, the rest the description (code page 852). The
// installed name must never leave its folder; the sections "[Company]" and "[DBC]" are
// applied to a settings record and an in-memory store. Anything but a clean return is a
// finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "catalogue/CenikIni.h"
#include "catalogue/PackageImport.h"
#include "core/SettingsStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t eol = input.find('\n');
  const std::string stored(input.substr(0, eol));
  const std::string_view description = eol == std::string_view::npos ? std::string_view() : input.substr(eol + 1);

  const std::string name = PackageEntryFileName(stored);
  if (!name.empty() &&
      (name.find_first_of("/\\:") != std::string::npos || name == "." || name == ".." || name.size() > stored.size()))
    std::abort();

  // The store never touches the disk unless saved, which these sections never do.
  TSettingsStore store("fuzz", "/nonexistent-fuzz-user", "/nonexistent-fuzz-presets");
  TAppSettings settings;
  TSettingsEnvironment env;
  TPackageImportContext ctx{settings, store, env, nullptr, nullptr, [](const std::string&) {}};
  const std::vector<std::string> lines = Cp852TextLines(description);
  ApplyCompanySection(settings, IniSectionLines(lines, "[Company]"));
  ApplyDbcSection(ctx, IniSectionLines(lines, "[DBC]"));
  if (settings.Created().size() > 30 || settings.CreatedTime().size() > 30 || settings.Company.Currency.size() > 3)
    std::abort();
  std::string key, value;
  for (const std::string& line : IniSectionLines(lines, "[INI]"))
    if (SplitIniLine(line, key, value) && value.find('=') != std::string::npos)
      std::abort();
  return 0;
}
