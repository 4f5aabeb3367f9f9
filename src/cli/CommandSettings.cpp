#include "cli/CommandSettings.h"

#include "formats/Cp1250Utf8.h"

std::string CommandProgram(const CliArgs& args) { return Utf8ToCp1250(args.Option("program", "objednavky")); }

TSettingsStore OpenCommandStore(const CliArgs& args, std::ostream& err) {
  TSettingsStore store = OpenSettingsKey(CommandProgram(args));
  if (!store.LoadProblem().empty())
    err << Cp1250ToUtf8(store.LoadProblem()) << "\n";
  return store;
}

TCommandSettings LoadCommandSettings(const CliArgs& args, std::ostream& err, const TLoadSettingsOptions& options) {
  TSettingsStore store = OpenCommandStore(args, err);
  TSettingsEnvironment env = TSettingsEnvironment::FromSystem(CommandProgram(args));
  TAppSettings settings(env.Designed);
  LoadSettings(settings, store, env, options);
  return TCommandSettings{std::move(store), std::move(env), std::move(settings)};
}

TLoadSettingsOptions HeadlessLoadOptions() {
  TLoadSettingsOptions options;
  options.ApplyWindowPlacement = false;
  options.LoadLayouts = false;
  return options;
}
