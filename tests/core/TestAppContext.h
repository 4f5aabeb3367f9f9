#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/AppContext.h"
#include "core/SettingsStore.h"
#include "support/TestSupport.h"

// A machine of its own for an application context, inside a TempDir: the program file
// "program/objednavky", the settings in "user" and "presets", the application-data folder
// "appdata" (so the log goes to appdata/objednavky/objednavky.LOG), the documents folder
// "docs", the system configuration folder "etc" and the file types under "share", registered
// without running any helper program.
// The settings' view of that machine (the mail client's profiles in "mail").
inline TSettingsEnvironment TestSettingsEnvironment(const TempDir& dir) {
  for (const char* folder : {"program", "appdata", "docs", "etc", "mail", "user", "presets", "share"})
    std::filesystem::create_directories(dir.Path() / folder);
  TSettingsEnvironment env;
  env.ProgramName = "objednavky";
  env.ProgramFolder = dir.File("program");
  env.AppDataFolder = dir.File("appdata");
  env.DocumentsFolder = dir.File("docs");
  env.SystemConfigFolder = dir.File("etc");
  return env;
}

inline TAppContextSetup TestAppContextSetup(const TempDir& dir, std::vector<std::string> params = {}) {
  TAppContextSetup setup;
  setup.ProgramFile = dir.File("program/objednavky");
  setup.Params = std::move(params);
  setup.Environment = TestSettingsEnvironment(dir);
  setup.SettingsFolder = dir.File("user");
  setup.PresetsFolder = dir.File("presets");
  TFileTypeEnvironment fileTypes;
  fileTypes.DataHome = dir.File("share");
  fileTypes.RunTool = [](const std::vector<std::string>&) {};
  setup.FileTypes = fileTypes;
  return setup;
}

// The settings store of that machine, loaded.
inline TSettingsStore TestSettingsStore(const TempDir& dir) {
  TSettingsStore store("objednavky", dir.File("user"), dir.File("presets"));
  store.Load();
  return store;
}

// Stores a value (code page 1250) as if an earlier run had written it.
inline void StoreTestSetting(const TempDir& dir, const std::string& section, const std::string& key,
                             const std::string& value) {
  TSettingsStore store = TestSettingsStore(dir);
  store.WriteString(section, key, value);
  store.Save();
}
