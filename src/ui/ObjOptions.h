#pragma once

#include <memory>
#include <string>

class TSettingsStore;

// The stored look of one kind of control (edit fields or check boxes), under the value names
// "Edits." or "Checks." followed by the field's name.
struct TEditStyleOptions {
  int BorderStyle = 4;  // index into the border-style list ("3D")
  int ButtonStyle = 0;  // index into the button-style list
  int Transparence = 0; // index into the button-transparency list
  bool Shadow = false;
  bool HotTrack = false;       // highlight under the mouse
  int Color = -16777211;       // 0xFF000005: the system's window colour
  int BorderColor = -16777210; // 0xFF000006: the system's window-frame colour
  bool NativeStyle = true;     // use the system's themes
  int Kind = 1;                // index into the kind list
  int AssignedValues = 0;      // which properties are set explicitly, see the bits below

  // Bits of AssignedValues; a property whose bit is clear follows the toolkit's default.
  enum : int {
    avBorderColor = 1 << 0,
    avBorderStyle = 1 << 1,
    avButtonStyle = 1 << 2,
    avButtonTransparency = 1 << 3,
    avColor = 1 << 4,
    avHotTrack = 1 << 5,
    avShadow = 1 << 6,
  };

  bool operator==(const TEditStyleOptions&) const = default;
};

// The user's look of menus, toolbars, edit fields and check boxes, kept with the program's
// settings. Values are text in the settings store: numbers as decimal text (a missing value or
// one that is not a number reads as the default), booleans "0"/"1" (true when not 0).
// Reading takes a value from the section "AllUsers" and lets the section "User:" override it
// ("User:" is followed by the name of the signed-in user; nobody signs in, so it stays empty);
// writing goes to "User:" only.
//
// The object keeps only the program name and the folders of its settings: Load and Save open
// the store, read or write, and (Save) write it back at once, as a registry key is opened and
// closed, so values another part of the program saved in between stay. BeginUpdate/EndUpdate
// keep one store open across several calls (nesting counted; the store is read at the first
// access inside the bracket); the outermost EndUpdate writes it when something changed and
// throws as Save does.
class TRegOptions {
public:
  // program: the settings key's program name (code page 1250); the folders as for
  // TSettingsStore (empty: the usual places, UserSettingsFolder() and SystemSettingsFolder()).
  explicit TRegOptions(std::string program, std::string userFolder = {}, std::string systemFolder = {});
  virtual ~TRegOptions();
  TRegOptions(const TRegOptions&) = delete;
  TRegOptions& operator=(const TRegOptions&) = delete;

  // Reads every value; missing values take the defaults (the menu style 0 here, 3 in
  // TObjOptions). Never throws: a missing or bad settings file reads as empty.
  virtual void Load();
  // Writes every value under "User:" and saves the store (unless inside BeginUpdate). Throws
  // EInOutError when the settings file cannot be written.
  virtual void Save();

  void BeginUpdate();
  void EndUpdate();

  // The same against a store the caller holds (no file access of its own); Load and Save
  // call these.
  virtual void LoadFrom(const TSettingsStore& store);
  virtual void SaveTo(TSettingsStore& store) const;

  const std::string& Program() const { return FProgram; }

  TEditStyleOptions EditStyle;
  TEditStyleOptions CheckStyle;
  int MenuStyle = 0;
  bool UseSkins = false;
  int SkinKind = 1;
  bool SkinNativeStyle = true;
  std::string SkinName = "DevExpressStyle"; // code page 1250

protected:
  // Reads one value with the "AllUsers"/"User:" layering.
  static int ReadLayeredInteger(const TSettingsStore& store, const std::string& name, int defaultValue);

  // The store in use: the one opened by BeginUpdate, else a freshly loaded one.
  TSettingsStore& OpenStore();
  void CloseStore(bool save);

private:
  std::string FProgram;
  std::string FUserFolder;
  std::string FSystemFolder;
  int FOpenCount = 0;
  std::unique_ptr<TSettingsStore> FStore;
};

// The program's options: the menu style defaults to 3 ("Office11") instead of 0.
class TObjOptions : public TRegOptions {
public:
  explicit TObjOptions(std::string program, std::string userFolder = {}, std::string systemFolder = {});
  void LoadFrom(const TSettingsStore& store) override;
};

// The process-wide options, created and loaded on first use for the settings of the program
// "objednavky" at the usual places. Use from the user-interface thread.
TObjOptions& ObjOptions();
// Replaces the process-wide options (a program started under another name, tests); nullptr
// lets the next ObjOptions() create the default one again.
void SetObjOptions(std::unique_ptr<TObjOptions> options);
