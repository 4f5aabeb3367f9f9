#include "ui/ObjOptions.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "core/Errors.h"
#include "core/SettingsStore.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

class ObjOptionsTest : public ::testing::Test {
protected:
  std::string UserFolder() const { return Dir.File("user"); }
  std::string SystemFolder() const { return Dir.File("sys"); }
  TSettingsStore Store() const {
    TSettingsStore store("test", UserFolder(), SystemFolder());
    store.Load();
    return store;
  }
  TObjOptions Options() const { return TObjOptions("test", UserFolder(), SystemFolder()); }
  // Writes values straight into the user's settings file.
  void Put(const std::vector<std::array<std::string, 3>>& values) const {
    TSettingsStore store = Store();
    for (const auto& [section, name, text] : values)
      store.WriteString(section, name, text);
    store.Save();
  }

  TempDir Dir;
};

TEST_F(ObjOptionsTest, DefaultsOfTheValueTable) {
  TObjOptions options = Options();
  // Stale values must not survive a load of an empty store.
  options.MenuStyle = 0;
  options.UseSkins = true;
  options.SkinName = "x";
  options.EditStyle.Kind = 3;
  options.CheckStyle.AssignedValues = 127;
  options.Load();

  EXPECT_EQ(options.MenuStyle, 3);
  EXPECT_FALSE(options.UseSkins);
  EXPECT_EQ(options.SkinKind, 1);
  EXPECT_TRUE(options.SkinNativeStyle);
  EXPECT_EQ(options.SkinName, "DevExpressStyle");
  for (const TEditStyleOptions* style : {&options.EditStyle, &options.CheckStyle}) {
    SCOPED_TRACE(style == &options.EditStyle ? "Edits." : "Checks.");
    EXPECT_EQ(style->BorderStyle, 4);
    EXPECT_EQ(style->ButtonStyle, 0);
    EXPECT_EQ(style->Transparence, 0);
    EXPECT_FALSE(style->Shadow);
    EXPECT_FALSE(style->HotTrack);
    EXPECT_EQ(style->Color, -16777211);
    EXPECT_EQ(static_cast<unsigned>(style->Color), 0xFF000005u);
    EXPECT_EQ(style->BorderColor, -16777210);
    EXPECT_TRUE(style->NativeStyle);
    EXPECT_EQ(style->Kind, 1);
    EXPECT_EQ(style->AssignedValues, 0);
  }
  // Only the program's options default the menu style to 3.
  TRegOptions base("test", UserFolder(), SystemFolder());
  base.Load();
  EXPECT_EQ(base.MenuStyle, 0);
}

TEST_F(ObjOptionsTest, UserValuesOverrideAllUsers) {
  Put({
      {"AllUsers", "MenuStyle", "1"}, // only AllUsers: used
      {"AllUsers", "SkinKind", "2"},
      {"User:", "SkinKind", "0"},      // both: User: wins
      {"User:", "Edits.Color", "255"}, // only User:
      {"AllUsers", "Checks.BorderStyle", "5"},
      {"User:", "Checks.BorderStyle", "abc"}, // bad User: falls back
      {"AllUsers", "Edits.Kind", "x"},        // bad AllUsers: default
      {"AllUsers", "Checks.Shadow", "1"},
      {"User:", "Checks.Shadow", "0"},
      {"AllUsers", "UseSkins", "7"}, // booleans: any non-zero number
      {"AllUsers", "SkinName", "Black"},
      {"User:", "SkinName", "Blue"},
      {"AllUsers", "Edits.HotTrack", "1"},
      {"Edits", "BorderStyle", "0"}, // a look-alike in the wrong place is not read
  });
  TObjOptions options = Options();
  options.Load();
  EXPECT_EQ(options.MenuStyle, 1);
  EXPECT_EQ(options.SkinKind, 0);
  EXPECT_EQ(options.EditStyle.Color, 255);
  EXPECT_EQ(options.CheckStyle.BorderStyle, 5);
  EXPECT_EQ(options.EditStyle.Kind, 1);
  EXPECT_FALSE(options.CheckStyle.Shadow);
  EXPECT_TRUE(options.UseSkins);
  EXPECT_EQ(options.SkinName, "Blue");
  EXPECT_TRUE(options.EditStyle.HotTrack);
  EXPECT_FALSE(options.CheckStyle.HotTrack);
  EXPECT_EQ(options.EditStyle.BorderStyle, 4);
}

TEST_F(ObjOptionsTest, AdministratorPresetsAreReadUnderTheUsersFile) {
  fs::create_directories(SystemFolder());
  WriteFileBytes(SystemFolder() + "/test.ini", "[AllUsers]\nMenuStyle=-1\nEdits.AssignedValues=3\n");
  Put({{"User:", "Edits.AssignedValues", "2"}});
  TObjOptions options = Options();
  options.Load();
  EXPECT_EQ(options.MenuStyle, -1);
  EXPECT_EQ(options.EditStyle.AssignedValues, 2);
}

TEST_F(ObjOptionsTest, SaveWritesEveryValueUnderUserOnly) {
  Put({{"AllUsers", "MenuStyle", "1"}, {"Company", "Name1", "Firma"}});
  TObjOptions options = Options();
  options.Load();
  options.MenuStyle = -1;
  options.UseSkins = true;
  options.SkinName = "Blue";
  options.EditStyle.HotTrack = true;
  options.EditStyle.AssignedValues = TEditStyleOptions::avBorderColor | TEditStyleOptions::avHotTrack;
  options.CheckStyle.BorderColor = 0x00FF0000;
  options.Save();

  const TSettingsStore store = Store();
  const TSettingsData::TSection* user = store.UserData().FindSection("User:");
  ASSERT_NE(user, nullptr);
  const std::vector<TSettingsData::TValue> expected = {
      {"MenuStyle", "-1"},
      {"UseSkins", "1"},
      {"SkinKind", "1"},
      {"SkinNativeStyle", "1"},
      {"SkinName", "Blue"},
      {"Edits.BorderStyle", "4"},
      {"Edits.ButtonStyle", "0"},
      {"Edits.Transparence", "0"},
      {"Edits.Shadow", "0"},
      {"Edits.HotTrack", "1"},
      {"Edits.Color", "-16777211"},
      {"Edits.BorderColor", "-16777210"},
      {"Edits.NativeStyle", "1"},
      {"Edits.Kind", "1"},
      {"Edits.AssignedValues", "33"},
      {"Checks.BorderStyle", "4"},
      {"Checks.ButtonStyle", "0"},
      {"Checks.Transparence", "0"},
      {"Checks.Shadow", "0"},
      {"Checks.HotTrack", "0"},
      {"Checks.Color", "-16777211"},
      {"Checks.BorderColor", "16711680"},
      {"Checks.NativeStyle", "1"},
      {"Checks.Kind", "1"},
      {"Checks.AssignedValues", "0"},
  };
  EXPECT_EQ(user->Values, expected);
  // AllUsers and the rest of the settings are left as they were.
  const TSettingsData::TSection* allUsers = store.UserData().FindSection("AllUsers");
  ASSERT_NE(allUsers, nullptr);
  EXPECT_EQ(allUsers->Values, (std::vector<TSettingsData::TValue>{{"MenuStyle", "1"}}));
  EXPECT_EQ(store.ReadString("Company", "Name1"), "Firma");
}

TEST_F(ObjOptionsTest, SavedValuesLoadBackAndEditsStayApartFromChecks) {
  TObjOptions options = Options();
  options.MenuStyle = 2;
  options.SkinKind = 3;
  options.SkinNativeStyle = false;
  options.EditStyle = {0, 1, 2, true, false, 0x123456, -16777200, false, 0, 0x7F};
  options.CheckStyle = {5, 5, 4, false, true, 0x654321, 12, true, 3, 0x41};
  options.Save();

  TObjOptions loaded = Options();
  loaded.Load();
  EXPECT_EQ(loaded.MenuStyle, 2);
  EXPECT_EQ(loaded.SkinKind, 3);
  EXPECT_FALSE(loaded.SkinNativeStyle);
  EXPECT_EQ(loaded.EditStyle, options.EditStyle);
  EXPECT_EQ(loaded.CheckStyle, options.CheckStyle);
}

TEST_F(ObjOptionsTest, SaveKeepsWhatOthersSavedMeanwhile) {
  TObjOptions options = Options();
  options.Load();
  // Another part of the program saves its settings after the options were loaded.
  Put({{"Others", "LOGEnabled", "0"}});
  options.MenuStyle = 4;
  options.Save();
  const TSettingsStore store = Store();
  EXPECT_EQ(store.ReadString("Others", "LOGEnabled"), "0");
  EXPECT_EQ(store.ReadString("User:", "MenuStyle"), "4");
}

TEST_F(ObjOptionsTest, UpdateBracketWritesOnceAtTheOutermostEnd) {
  TObjOptions options = Options();
  options.BeginUpdate();
  options.BeginUpdate();
  options.MenuStyle = 1;
  options.Save();
  options.EndUpdate();
  EXPECT_FALSE(fs::exists(UserFolder() + "/test.ini"));
  options.EndUpdate();
  EXPECT_EQ(Store().ReadString("User:", "MenuStyle"), "1");
  options.EndUpdate(); // unbalanced: ignored
}

TEST_F(ObjOptionsTest, UnwritableSettingsFailTheSave) {
  WriteFileBytes(UserFolder(), "a file where the folder should be");
  TObjOptions options = Options();
  EXPECT_NO_THROW(options.Load());
  EXPECT_EQ(options.MenuStyle, 3);
  EXPECT_THROW(options.Save(), EInOutError);
  // The object stays usable afterwards.
  fs::remove(UserFolder());
  options.Save();
  EXPECT_EQ(Store().ReadString("User:", "MenuStyle"), "3");
}

TEST_F(ObjOptionsTest, ProcessWideOptionsAreCreatedAndLoadedOnFirstUse) {
  TEnvOverride config("XDG_CONFIG_HOME", Dir.Path().c_str());
  TEnvOverride dirs("XDG_CONFIG_DIRS", Dir.File("nosys").c_str());
  fs::create_directories(Dir.Path() / "T.V.X.");
  WriteFileBytes(Dir.File("T.V.X./objednavky.ini"), "[User:]\nMenuStyle=2\n");

  SetObjOptions(nullptr);
  TObjOptions& first = ObjOptions();
  EXPECT_EQ(first.Program(), "objednavky");
  EXPECT_EQ(first.MenuStyle, 2);
  first.MenuStyle = 0;
  EXPECT_EQ(&ObjOptions(), &first);
  EXPECT_EQ(ObjOptions().MenuStyle, 0) << "created once, not reloaded";

  SetObjOptions(std::make_unique<TObjOptions>("test", UserFolder(), SystemFolder()));
  EXPECT_EQ(ObjOptions().Program(), "test");
  SetObjOptions(nullptr);
}

} // namespace
