#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "cli/CliSupport.h"
#include "core/AppSettings.h"
#include "core/SettingsStore.h"

class TPriceList;

// The settings of the program a command works for, chosen by --program NAME (default
// "objednavky") exactly as the program file's name chooses them.

// The program name of the command (code page 1250).
std::string CommandProgram(const CliArgs& args);

// Loads the store of that program. A bad file is reported on err but never stops the command,
// as it never stops the desktop program.
TSettingsStore OpenCommandStore(const CliArgs& args, std::ostream& err);

struct TCommandSettings {
  TSettingsStore Store;
  TSettingsEnvironment Environment;
  TAppSettings Settings;
};

// Opens the store and runs the settings load the desktop program runs at start (first-run
// import included) with the given options.
TCommandSettings LoadCommandSettings(const CliArgs& args, std::ostream& err,
                                     const TLoadSettingsOptions& options = TLoadSettingsOptions{});

// The load for commands that work on the price list or the order: no window placement and no
// column layouts.
TLoadSettingsOptions HeadlessLoadOptions();

// The price list of a command: the table kartyFile (code page 1250; it also becomes
// settings.PriceList) or, when that is empty, the settings' "PriceList", loaded and sorted as
// the desktop program loads it. Throws Exception with the loader's message on failure.
std::shared_ptr<TPriceList> LoadCommandPriceList(TAppSettings& settings, const std::string& kartyFile);
