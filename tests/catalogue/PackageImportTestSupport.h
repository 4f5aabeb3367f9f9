#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/PackageImport.h"
#include "core/AppSettings.h"
#include "core/ReportMessage.h"
#include "core/SettingsStore.h"
#include "formats/Cp1250Utf8.h"
#include "support/TestSupport.h"

namespace packagetest {

// Writes down what the import asks of the main window, one line per call.
class TRecordingHost : public IPackageImportHost {
public:
  void BeginBusy() override { Calls.push_back("BeginBusy"); }
  void EndBusy() override { Calls.push_back("EndBusy"); }
  void SetInfoText(int box, const std::vector<std::string>& lines) override {
    Calls.push_back("SetInfoText " + std::to_string(box) + " " + std::to_string(lines.size()));
  }
  void ShowOtherInformation(bool visible) override { Calls.push_back(visible ? "Show 1" : "Show 0"); }
  void RebuildInfoTabs() override { Calls.push_back("RebuildInfoTabs"); }
  void RefreshProgramUpdate() override { Calls.push_back("RefreshProgramUpdate"); }
  void ReloadPriceList() override { Calls.push_back("ReloadPriceList"); }
  void ReloadGroups() override { Calls.push_back("ReloadGroups"); }
  void ImportFinished() override { Calls.push_back("ImportFinished"); }
  std::vector<std::string> Calls;
};

// Answers every question with one button and keeps the texts (UTF-8).
class TScriptedSink : public IMessageSink {
public:
  explicit TScriptedSink(TMsgResult answer) : Answer(answer) {}
  TMsgResult Show(const std::string& text, const std::string&, TMsgFlags flags) override {
    Texts.push_back(Cp1250ToUtf8(text));
    Flags.push_back(flags);
    return Answer;
  }
  TMsgResult Answer;
  std::vector<std::string> Texts;
  std::vector<TMsgFlags> Flags;
};

// A machine of its own: the program's settings in "user"/"presets", the card and group
// tables in "data", the pictures in "pics"; the settings record loaded from there.
class PackageFixture {
public:
  PackageFixture() : Store("objednavky", Dir.File("user"), Dir.File("presets")) {
    for (const char* folder : {"program", "appdata", "docs", "etc", "user", "presets", "data", "pics"})
      std::filesystem::create_directories(Dir.Path() / folder);
    Env.ProgramName = "objednavky";
    Env.ProgramFolder = Dir.File("program");
    Env.AppDataFolder = Dir.File("appdata");
    Env.DocumentsFolder = Dir.File("docs");
    Env.SystemConfigFolder = Dir.File("etc");
    Store.Load();
    Store.WriteString("Files", "PriceList", Cards());
    Store.WriteString("Files", "Groups", Groups());
    Store.WriteString("Files", "Pictures", Dir.File("pics"));
    LoadSettings(Settings, Store, Env, TLoadSettingsOptions{});
    Ctx.Log = [this](const std::string& line) { Log.push_back(Cp1250ToUtf8(line)); };
  }

  std::string Cards() const { return Dir.File("data/KARTY.DBF"); }
  std::string Groups() const { return Dir.File("data/OKRUHY.DBF"); }
  std::string Picture(const std::string& name) const { return Dir.File("pics/" + name); }
  std::string Package() const { return Dir.File("cenik.dbc"); }
  // The store as the next start reads it.
  TSettingsStore SavedStore() const {
    TSettingsStore store("objednavky", Dir.File("user"), Dir.File("presets"));
    store.Load();
    return store;
  }

  TempDir Dir;
  TSettingsEnvironment Env;
  TSettingsStore Store;
  TAppSettings Settings;
  TRecordingHost Host;
  std::vector<std::string> Log;
  TPackageImportContext Ctx{Settings, Store, Env, nullptr, &Host, {}};
};

} // namespace packagetest
