#include "cli/Cli.h"

#include <algorithm>

#include "cli/CliSupport.h"
#include "core/Errors.h"
#include "formats/Cp1250Utf8.h"

namespace {

const std::vector<CliCommand>& Commands() {
  static const std::vector<CliCommand> commands = [] {
    std::vector<CliCommand> list;
    AddDbfCommands(list);
    AddImportCommands(list);
    AddLzhCommands(list);
    AddSettingsCommands(list);
    AddCatalogueCommands(list);
    AddOrderTransferCommands(list);
    AddPictureCommands(list);
    AddMailCommands(list);
    AddTavCommands(list);
    AddOrderSendCommands(list);
    AddExprCommands(list);
    return list;
  }();
  return commands;
}

// The usage lines of every command whose words start with the given prefix.
void PrintUsage(std::ostream& stream, const std::vector<std::string>& prefix) {
  stream << "usage:\n";
  for (const CliCommand& c : Commands()) {
    if (c.Words.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), c.Words.begin()))
      stream << "  objednavky-cli " << c.Usage << "\n";
  }
}

bool IsHelp(const std::string& a) { return a == "--help" || a == "-h"; }

} // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  // The longest run of leading words that names a command wins ("groups select" before
  // "groups").
  const CliCommand* best = nullptr;
  for (const CliCommand& c : Commands()) {
    if (c.Words.size() <= args.size() && std::equal(c.Words.begin(), c.Words.end(), args.begin()) &&
        (!best || c.Words.size() > best->Words.size()))
      best = &c;
  }
  if (!best) {
    // Help on a group level: the words before --help name the group.
    std::vector<std::string> prefix;
    for (const std::string& a : args) {
      if (IsHelp(a)) {
        PrintUsage(out, prefix);
        return 0;
      }
      prefix.push_back(a);
    }
    PrintUsage(err, {});
    return 2;
  }
  const std::vector<std::string> rest(args.begin() + static_cast<long>(best->Words.size()), args.end());
  for (const std::string& a : rest) {
    if (a == "--")
      break;
    if (IsHelp(a)) {
      PrintUsage(out, best->Words);
      return 0;
    }
  }
  try {
    const CliArgs parsed = ParseCliArgs(rest, best->ValueOptions, best->FlagOptions);
    return best->Run(parsed, out, err);
  } catch (const UsageError& e) {
    err << e.what() << "\n";
    PrintUsage(err, best->Words);
    return 2;
  } catch (const Exception& e) {
    err << Cp1250ToUtf8(e.what()) << "\n";
    return 1;
  } catch (const std::exception& e) {
    err << e.what() << "\n";
    return 1;
  }
}
