#pragma once

#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/DateTime.h"
#include "core/Locale.h"

// Wrong usage of a subcommand; the dispatcher prints the usage and exits with 2.
class UsageError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The arguments of one subcommand: "--name value" options, "--flag" switches and the
// positional arguments; "--" ends the options. An option given more than once keeps its last
// value in Options and every value, in order, in Repeated.
struct CliArgs {
  std::map<std::string, std::string> Options;
  std::map<std::string, std::vector<std::string>> Repeated;
  std::set<std::string> Flags;
  std::vector<std::string> Positional;

  bool Has(const std::string& option) const { return Options.count(option) || Flags.count(option); }
  std::string Option(const std::string& name, const std::string& fallback = "") const;
  // Every value of a repeatable option, in the order given; empty when it was not given.
  std::vector<std::string> OptionValues(const std::string& name) const;
};

// Throws UsageError for an unknown option or a value option without its value.
CliArgs ParseCliArgs(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
                     const std::set<std::string>& flagOptions = {});

// Throws UsageError unless the command got from least to most positional arguments.
void RequirePositional(const CliArgs& args, std::size_t least, std::size_t most);
inline void RequirePositional(const CliArgs& args, std::size_t count) { RequirePositional(args, count, count); }

// The Czech conventions with "." as decimal separator: numbers in tabular output.
Locale DotLocale();

// A date typed as dd.mm.yyyy (UTF-8); Exception "'%s' není platné datum" when it is none.
TDateTime CommandDate(const std::string& utf8);

// A field of tabular output: backslash, TAB, CR and LF written as \\, \t, \r and \n.
std::string EscapeField(const std::string& utf8);

// One subcommand: the words that name it ("dbf", "info"), its usage line, the options it
// takes and the function that runs it.
struct CliCommand {
  std::vector<std::string> Words;
  std::string Usage;
  std::set<std::string> ValueOptions;
  std::set<std::string> FlagOptions;
  std::function<int(const CliArgs&, std::ostream& out, std::ostream& err)> Run;
};

// Each command group registers its subcommands here.
void AddDbfCommands(std::vector<CliCommand>& commands);
void AddImportCommands(std::vector<CliCommand>&);
void AddLzhCommands(std::vector<CliCommand>& commands);
void AddSettingsCommands(std::vector<CliCommand>& commands);
void AddCatalogueCommands(std::vector<CliCommand>& commands);
void AddOrderTransferCommands(std::vector<CliCommand>& commands);
void AddPictureCommands(std::vector<CliCommand>& commands);
void AddMailCommands(std::vector<CliCommand>& commands);
void AddTavCommands(std::vector<CliCommand>& commands);
void AddOrderSendCommands(std::vector<CliCommand>& commands);
void AddExprCommands(std::vector<CliCommand>& commands);
