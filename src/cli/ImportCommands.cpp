// import: the import command of the desktop program (a price-list package or a dBase table)
// on the settings of a program, with the question asked on the terminal.

#include <iostream>
#include <string>

#include "catalogue/PackageImport.h"
#include "cli/CliSupport.h"
#include "cli/CommandSettings.h"
#include "core/AppSettings.h"
#include "core/Errors.h"
#include "core/Log.h"
#include "core/ReportMessage.h"
#include "core/SettingsStore.h"
#include "formats/CodePages.h"
#include "formats/Cp1250Utf8.h"

namespace {

bool IsYes(std::string answer) {
  const size_t first = answer.find_first_not_of(" \t\r");
  const size_t last = answer.find_last_not_of(" \t\r");
  answer = first == std::string::npos ? std::string() : AnsiLowerCase(answer.substr(first, last - first + 1));
  return answer == "a" || answer == "ano" || answer == "y" || answer == "yes";
}

// Answers the import's questions: all with OK under --yes, otherwise by a line typed on the
// terminal ("a", "ano", "y", "yes" accept; anything else, or the end of the input, refuses).
class TTerminalSink : public IMessageSink {
public:
  TTerminalSink(std::ostream& out, bool yes) : FOut(out), FYes(yes) {}

  TMsgResult Show(const std::string& text, const std::string& /*caption*/, TMsgFlags flags) override {
    const bool question = flags.Buttons != TMsgButtons::OK;
    // A question's line breaks become spaces, so it reads as one terminal line.
    const std::string utf8 = Cp1250ToUtf8(text);
    std::string shown;
    for (size_t i = 0; i < utf8.size(); ++i) {
      if (utf8.compare(i, 2, "\r\n") == 0) {
        shown += ' ';
        ++i;
      } else {
        shown += utf8[i];
      }
    }
    FOut << shown;
    if (!question) {
      FOut << "\n";
      return TMsgResult::OK;
    }
    const bool okCancel = flags.Buttons == TMsgButtons::OKCancel;
    if (FYes) {
      FOut << " ano\n";
      return okCancel ? TMsgResult::OK : TMsgResult::Yes;
    }
    FOut << " [a/n] " << std::flush;
    std::string line;
    const bool accepted = std::getline(std::cin, line) && IsYes(line);
    if (!accepted)
      return HeadlessAnswer(flags.Buttons);
    return okCancel ? TMsgResult::OK : TMsgResult::Yes;
  }

private:
  std::ostream& FOut;
  bool FYes;
};

int Import(const CliArgs& args, std::ostream& out, std::ostream& err) {
  RequirePositional(args, 1);
  TCommandSettings loaded = LoadCommandSettings(args, err);
  TAppSettings& settings = loaded.Settings;
  TSettingsStore& store = loaded.Store;
  const TSettingsEnvironment& env = loaded.Environment;
  // The lines go to the program's log as the desktop program writes them, and to the terminal.
  ProgramLog().SetFileName(settings.LOGfile);
  ProgramLog().SetEnabled(settings.LOGEnabled);

  TTerminalSink sink(out, args.Has("yes"));
  const TMessageSinkScope scope(sink);
  TPackageImportContext ctx{settings, store, env, nullptr, nullptr, [&out](const std::string& line) {
                              WriteLog(line);
                              out << Cp1250ToUtf8(line) << "\n";
                            }};
  TImportResult result;
  try {
    result = ImportPriceListFile(ctx, Utf8ToCp1250(args.Positional[0]), args.Has("take-company"));
  } catch (const Exception& e) {
    WriteLog(e.what());
    throw;
  }
  if (result == TImportResult::Cancelled) {
    err << Cp1250ToUtf8(Cz("Import ceníku nebyl proveden.")) << "\n";
    return 1;
  }
  std::string problem;
  if (!SaveSettings(settings, store, nullptr, &problem)) {
    err << Cp1250ToUtf8(problem) << "\n";
    return 1;
  }
  return 0;
}

} // namespace

void AddImportCommands(std::vector<CliCommand>& commands) {
  commands.push_back({{"import"},
                      "import [--program NAME] [--yes] [--take-company] FILE   (exit 1 when declined)",
                      {"program"},
                      {"yes", "take-company"},
                      Import});
}
