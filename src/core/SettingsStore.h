#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/SettingsData.h"

// The program's configuration, kept the way the registry keeps it: under the key
// "Software\T.V.X.\<program>", sections are subkeys (nested ones written "AllUsers\Colors"),
// keys are named text values. On this system each program has one file,
//   $XDG_CONFIG_HOME/T.V.X./<program>.ini     ($HOME/.config when the variable is unset),
// in the text form described in core/SettingsFile.h (UTF-8; code page 1250 inside the
// program). An administrator's presets lie in the same form in
//   <first folder of $XDG_CONFIG_DIRS>/T.V.X./<program>.ini     (/etc/xdg by default):
// a value missing from the user's file is read from there; the program never writes it.
//
// Encoding of typed values: integers are decimal text, booleans "1" or "0". Reading an integer
// takes the text as a 32-bit decimal number (leading spaces and a sign allowed, nothing after
// the digits); a missing value or any other text gives the default. A boolean is read as an
// integer with the default 1 or 0 and is true when not 0.
//
// Loading never stops the program: a missing file reads as empty; a file that cannot be read
// or is not a settings file also reads as empty (so every value takes its default), and is
// first renamed aside to "<program>.ini.bad-YYYYmmdd-HHMMSS" so nothing of it is lost and the
// next save does not overwrite it. LoadProblem() then says what happened.
//
// Saving writes the whole user layer held in memory (everything loaded at start plus the
// changes since) to a temporary file in the same folder, flushes it to the disk and renames it
// over the file, all while holding an exclusive lock (flock) on "<program>.ini.lock" beside
// it. A crash or a full disk thus leaves the old file or the new one, never a mix, and two
// instances saving at once each write a whole file; the last one wins. Saving re-reads
// nothing, so values another instance wrote after this one loaded are replaced.
//
// A store is a plain value (copying it copies the values, not the file); use it from one
// thread at a time.
class TSettingsStore {
public:
  // program: the program file's name without extension (code page 1250); userFolder and
  // systemFolder: the folders holding the user's file and the presets (native names, usually
  // from UserSettingsFolder() and SystemSettingsFolder()). Does not touch the disk.
  // Throws Exception for a program name that is empty or not a plain file name.
  TSettingsStore(std::string program, std::string userFolder, std::string systemFolder);

  // Reads both files, replacing what is in memory. Never throws.
  void Load();
  // Writes the user layer as described above. Throws EInOutError (message in Czech, with the
  // file name and the system's reason) when the folder cannot be made or the file cannot be
  // written; the file on disk is then left as it was.
  void Save();

  // Empty after a clean load; otherwise why the user's file was not used and where it went
  // (code page 1250, for the log).
  const std::string& LoadProblem() const { return FLoadProblem; }
  // The native name the bad file was renamed to, empty when none was.
  const std::string& BackupFileName() const { return FBackupName; }
  // Native file names.
  const std::string& FileName() const { return FFileName; }
  const std::string& SystemFileName() const { return FSystemFileName; }
  // "Software\T.V.X.\<program>", the key the values belong to.
  std::string RootKey() const;
  // True when something was written, deleted or erased since the last load or save.
  bool Modified() const { return FModified; }

  // Reading: the user's value, else the preset, else the default.
  bool ValueExists(std::string_view section, std::string_view name) const;
  // False (and text untouched) when the value exists in neither file.
  bool TryReadString(std::string_view section, std::string_view name, std::string& text) const;
  std::string ReadString(std::string_view section, std::string_view name, std::string_view defaultValue = {}) const;
  int ReadInteger(std::string_view section, std::string_view name, int defaultValue) const;
  bool ReadBool(std::string_view section, std::string_view name, bool defaultValue) const;
  // A number with decimals stored as text, read with TextToNumber (the default when missing or
  // not a number).
  double ReadNumber(std::string_view section, std::string_view name, double defaultValue) const;

  // Writing goes to the user layer only (kept in memory until Save).
  void WriteString(std::string_view section, std::string_view name, std::string_view text);
  void WriteInteger(std::string_view section, std::string_view name, int value);
  void WriteBool(std::string_view section, std::string_view name, bool value);
  // Removes the user's value; a preset of the same name shows through again. False when the
  // user's file had no such value.
  bool DeleteValue(std::string_view section, std::string_view name);
  // Removes the user's section with everything below it; presets stay. False when there was
  // none.
  bool EraseSection(std::string_view section);

  // Listing: the user's entries in stored order, then those found only among the presets.
  bool SectionExists(std::string_view section) const;
  std::vector<std::string> GetValueNames(std::string_view section) const;
  std::vector<std::string> GetSubsectionNames(std::string_view section) const;
  // Every section path holding values or created empty, root ("") included when it has values.
  std::vector<std::string> GetSectionPaths() const;

  // The two layers as they are.
  const TSettingsData& UserData() const { return FUser; }
  const TSettingsData& SystemData() const { return FSystem; }

private:
  void LoadUser();
  int MoveAside();

  std::string FProgram;
  std::string FFileName;
  std::string FSystemFileName;
  TSettingsData FUser;
  TSettingsData FSystem;
  std::string FLoadProblem;
  std::string FBackupName;
  // The user's file was bad but could not be renamed aside yet; Save does it first.
  bool FMoveAsidePending = false;
  bool FModified = false;
};

// $XDG_CONFIG_HOME/T.V.X. (an unset or relative variable means $HOME/.config).
std::string UserSettingsFolder();
// <first absolute entry of $XDG_CONFIG_DIRS>/T.V.X. (/etc/xdg/T.V.X. when there is none).
std::string SystemSettingsFolder();

// The loaded store of the program (code page 1250 name, e.g. "objednavky"), at the places
// above. Throws only for an invalid program name (see the constructor).
TSettingsStore OpenSettingsKey(const std::string& program);

// Integer decoding used by ReadInteger: false for anything but a 32-bit decimal number.
bool TryDecodeSettingsInteger(std::string_view text, int& value);
