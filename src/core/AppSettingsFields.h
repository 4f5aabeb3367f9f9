#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "core/AppSettings.h"

// The one list of the fields of TAppSettings: which section and key each field is stored
// under, whether the save writes it, and how to get and set it. The load, the save and the
// listing of the effective settings all walk this list, so a field added here is loaded,
// saved and listed alike.

enum class TFieldKind {
  Bool,    // "1" / "0"
  Integer, // decimal text
  Color,   // decimal text of the signed 32-bit value
  Text,
  Number, // decimal number as text (TextToNumber)
  Lines,  // every value of a section, in order
  Hash,   // run-time 32-bit hash, read only
};

// Reading rules beyond the plain typed read with a default.
enum class TFieldRule {
  Plain,
  FolderKey,    // "Files" folder: folder rule, then the fallback of the table
  FileKey,      // "Files" file: folder rule, moves into the application-data folder
  Mode,         // stored flag or the command-line switch
  WholePackage, // 0 in the no-packages mode
  WindowBounds, // read only with placement and RememberPosition 1
  MaxAmount,    // at least 100; not a number keeps the previous value
  Password,     // stored scrambled
  UpperCase,    // upper-cased when read
  DaysOfWeek,   // without any digit 1-7 gives "12345"
  SearchMode,   // 0-4, else 0
  NotRead,      // written by the save only
  RunTime,      // no key at all
};

using TFieldValue = std::variant<bool, int, double, std::string, std::vector<std::string>, std::uint32_t>;

struct TSettingsField {
  std::string Name;    // as listed: "Orders", "Company.Name1", "Find.ID0"
  std::string Section; // empty for a run-time field
  std::string Key;
  TFieldKind Kind = TFieldKind::Text;
  bool Saved = false;
  TFieldRule Rule = TFieldRule::Plain;
  std::function<TFieldValue(const TAppSettings&)> Get;
  std::function<void(TAppSettings&, const TFieldValue&)> Set; // empty for Hash fields
};

// Every field in load order (see LoadSettings).
const std::vector<TSettingsField>& AppSettingsFields();

// The defaults of a fresh load in this environment, before any key is read: the fields the
// list visits take these unless a stored value says otherwise. Defaults that depend on
// another key ("GroupsVisible", "PriceListActualH", "LargeImgLeft") are derived by the load.
TAppSettings DefaultAppSettings(const TSettingsEnvironment& env, const IColumnLayoutStore* layouts);

// A field's value as the listing shows it: booleans 0/1, numbers with "." as the decimal
// point, lines joined with LF. Code page 1250.
std::string FieldValueText(const TFieldValue& value);
