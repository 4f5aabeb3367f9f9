// settings get | set | dump: the settings store of a program, as the desktop program sees it.
// settings effective: the settings record after the load the desktop program runs at start.
// settings scramble | unscramble: the stored form of the SMTP password.

#include "cli/CliSupport.h"
#include "cli/CommandSettings.h"
#include "core/AppSettings.h"
#include "core/AppSettingsFields.h"
#include "core/SettingsStore.h"
#include "formats/Cp1250Utf8.h"

namespace {

int Get(const CliArgs& args, std::ostream& out, std::ostream& err) {
  RequirePositional(args, 2);
  const TSettingsStore store = OpenCommandStore(args, err);
  std::string text;
  if (!store.TryReadString(Utf8ToCp1250(args.Positional[0]), Utf8ToCp1250(args.Positional[1]), text))
    return 1;
  out << Cp1250ToUtf8(text) << "\n";
  return 0;
}

int Set(const CliArgs& args, std::ostream& /*out*/, std::ostream& err) {
  RequirePositional(args, 3);
  TSettingsStore store = OpenCommandStore(args, err);
  store.WriteString(Utf8ToCp1250(args.Positional[0]), Utf8ToCp1250(args.Positional[1]),
                    Utf8ToCp1250(args.Positional[2]));
  store.Save();
  return 0;
}

// A section path as dump shows it: "\" stays the single separator of nested sections (no part
// can hold one), the parts are escaped like any other field.
std::string ShownSection(const std::string& path) {
  std::string shown;
  size_t start = 0;
  for (;;) {
    const size_t end = path.find('\\', start);
    shown += EscapeField(Cp1250ToUtf8(path.substr(start, end - start)));
    if (end == std::string::npos)
      return shown;
    shown += '\\';
    start = end + 1;
  }
}

int Dump(const CliArgs& args, std::ostream& out, std::ostream& err) {
  RequirePositional(args, 0);
  const TSettingsStore store = OpenCommandStore(args, err);
  for (const std::string& section : store.GetSectionPaths()) {
    const std::string shownSection = ShownSection(section);
    for (const std::string& name : store.GetValueNames(section))
      out << shownSection << '\t' << EscapeField(Cp1250ToUtf8(name)) << '\t'
          << EscapeField(Cp1250ToUtf8(store.ReadString(section, name))) << '\n';
  }
  return 0;
}

// Loads as the desktop program does when its main window is made, first-run import included,
// and lists every field of the record.
int Effective(const CliArgs& args, std::ostream& out, std::ostream& err) {
  RequirePositional(args, 0);
  const TCommandSettings loaded = LoadCommandSettings(args, err);
  for (const TSettingsField& field : AppSettingsFields())
    out << field.Name << '\t' << EscapeField(Cp1250ToUtf8(FieldValueText(field.Get(loaded.Settings)))) << '\n';
  return 0;
}

int Scramble(const CliArgs& args, std::ostream& out, std::ostream& /*err*/) {
  RequirePositional(args, 1);
  out << ScramblePassword(Utf8ToCp1250(args.Positional[0])) << "\n";
  return 0;
}

int Unscramble(const CliArgs& args, std::ostream& out, std::ostream& /*err*/) {
  RequirePositional(args, 1);
  out << Cp1250ToUtf8(UnscramblePassword(Utf8ToCp1250(args.Positional[0]))) << "\n";
  return 0;
}

} // namespace

void AddSettingsCommands(std::vector<CliCommand>& commands) {
  const std::set<std::string> options = {"program"};
  commands.push_back({{"settings", "get"}, "settings get [--program NAME] SECTION KEY", options, {}, Get});
  commands.push_back({{"settings", "set"}, "settings set [--program NAME] SECTION KEY VALUE", options, {}, Set});
  commands.push_back({{"settings", "dump"}, "settings dump [--program NAME]", options, {}, Dump});
  commands.push_back({{"settings", "effective"}, "settings effective [--program NAME]", options, {}, Effective});
  commands.push_back({{"settings", "scramble"}, "settings scramble [--program NAME] PASSWORD", options, {}, Scramble});
  commands.push_back(
      {{"settings", "unscramble"}, "settings unscramble [--program NAME] TEXT", options, {}, Unscramble});
}
