#include "ui/ObjOptions.h"

#include <mutex>

#include "core/SettingsStore.h"

namespace {

const char* const kAllUsers = "AllUsers";
// The signed-in user's name would follow the colon; nobody signs in.
const char* const kUser = "User:";

const char* const kEdits = "Edits.";
const char* const kChecks = "Checks.";

bool ReadLayeredString(const TSettingsStore& store, const std::string& name, std::string& value) {
  bool found = store.TryReadString(kAllUsers, name, value);
  found = store.TryReadString(kUser, name, value) || found;
  return found;
}

std::mutex OptionsLock;
std::unique_ptr<TObjOptions> Options;

} // namespace

TRegOptions::TRegOptions(std::string program, std::string userFolder, std::string systemFolder)
    : FProgram(std::move(program)), FUserFolder(std::move(userFolder)), FSystemFolder(std::move(systemFolder)) {}

TRegOptions::~TRegOptions() = default;

int TRegOptions::ReadLayeredInteger(const TSettingsStore& store, const std::string& name, int defaultValue) {
  return store.ReadInteger(kUser, name, store.ReadInteger(kAllUsers, name, defaultValue));
}

TSettingsStore& TRegOptions::OpenStore() {
  if (!FStore) {
    FStore = std::make_unique<TSettingsStore>(FProgram, FUserFolder.empty() ? UserSettingsFolder() : FUserFolder,
                                              FSystemFolder.empty() ? SystemSettingsFolder() : FSystemFolder);
    FStore->Load();
  }
  return *FStore;
}

void TRegOptions::CloseStore(bool save) {
  if (FOpenCount > 0 || !FStore)
    return;
  // The store goes away whatever Save does, so the next access reads the file afresh.
  std::unique_ptr<TSettingsStore> store = std::move(FStore);
  if (save && store->Modified())
    store->Save();
}

void TRegOptions::BeginUpdate() { ++FOpenCount; }

void TRegOptions::EndUpdate() {
  if (FOpenCount == 0)
    return;
  --FOpenCount;
  CloseStore(true);
}

void TRegOptions::Load() {
  try {
    LoadFrom(OpenStore());
  } catch (...) {
    // Only an invalid program name gets here; the values stay as they were.
  }
  CloseStore(false);
}

void TRegOptions::Save() {
  try {
    SaveTo(OpenStore());
  } catch (...) {
    CloseStore(false);
    throw;
  }
  CloseStore(true);
}

void TRegOptions::LoadFrom(const TSettingsStore& store) {
  const auto readStyle = [&](const std::string& prefix, TEditStyleOptions& style) {
    const TEditStyleOptions d;
    const auto integer = [&](const char* name, int defaultValue) {
      return ReadLayeredInteger(store, prefix + name, defaultValue);
    };
    const auto boolean = [&](const char* name, bool defaultValue) { return integer(name, defaultValue ? 1 : 0) != 0; };
    style.BorderStyle = integer("BorderStyle", d.BorderStyle);
    style.ButtonStyle = integer("ButtonStyle", d.ButtonStyle);
    style.Transparence = integer("Transparence", d.Transparence);
    style.Shadow = boolean("Shadow", d.Shadow);
    style.HotTrack = boolean("HotTrack", d.HotTrack);
    style.Color = integer("Color", d.Color);
    style.BorderColor = integer("BorderColor", d.BorderColor);
    style.NativeStyle = boolean("NativeStyle", d.NativeStyle);
    style.Kind = integer("Kind", d.Kind);
    style.AssignedValues = integer("AssignedValues", d.AssignedValues);
  };
  MenuStyle = ReadLayeredInteger(store, "MenuStyle", 0);
  UseSkins = ReadLayeredInteger(store, "UseSkins", 0) != 0;
  SkinKind = ReadLayeredInteger(store, "SkinKind", 1);
  SkinNativeStyle = ReadLayeredInteger(store, "SkinNativeStyle", 1) != 0;
  SkinName = "DevExpressStyle";
  ReadLayeredString(store, "SkinName", SkinName);
  readStyle(kEdits, EditStyle);
  readStyle(kChecks, CheckStyle);
}

void TRegOptions::SaveTo(TSettingsStore& store) const {
  const auto writeStyle = [&](const std::string& prefix, const TEditStyleOptions& style) {
    store.WriteInteger(kUser, prefix + "BorderStyle", style.BorderStyle);
    store.WriteInteger(kUser, prefix + "ButtonStyle", style.ButtonStyle);
    store.WriteInteger(kUser, prefix + "Transparence", style.Transparence);
    store.WriteBool(kUser, prefix + "Shadow", style.Shadow);
    store.WriteBool(kUser, prefix + "HotTrack", style.HotTrack);
    store.WriteInteger(kUser, prefix + "Color", style.Color);
    store.WriteInteger(kUser, prefix + "BorderColor", style.BorderColor);
    store.WriteBool(kUser, prefix + "NativeStyle", style.NativeStyle);
    store.WriteInteger(kUser, prefix + "Kind", style.Kind);
    store.WriteInteger(kUser, prefix + "AssignedValues", style.AssignedValues);
  };
  store.WriteInteger(kUser, "MenuStyle", MenuStyle);
  store.WriteBool(kUser, "UseSkins", UseSkins);
  store.WriteInteger(kUser, "SkinKind", SkinKind);
  store.WriteBool(kUser, "SkinNativeStyle", SkinNativeStyle);
  store.WriteString(kUser, "SkinName", SkinName);
  writeStyle(kEdits, EditStyle);
  writeStyle(kChecks, CheckStyle);
}

TObjOptions::TObjOptions(std::string program, std::string userFolder, std::string systemFolder)
    : TRegOptions(std::move(program), std::move(userFolder), std::move(systemFolder)) {
  MenuStyle = 3;
}

void TObjOptions::LoadFrom(const TSettingsStore& store) {
  TRegOptions::LoadFrom(store);
  MenuStyle = ReadLayeredInteger(store, "MenuStyle", 3);
}

TObjOptions& ObjOptions() {
  std::lock_guard guard(OptionsLock);
  if (!Options) {
    Options = std::make_unique<TObjOptions>("objednavky");
    Options->Load();
  }
  return *Options;
}

void SetObjOptions(std::unique_ptr<TObjOptions> options) {
  std::lock_guard guard(OptionsLock);
  Options = std::move(options);
}
