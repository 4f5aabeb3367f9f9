// tav-server, tav-bin, tav get, tav put: the TAV server for suppliers, its connection file, and
// single transfers as the desktop program's transfer dialog runs them.

#include <csignal>
#include <iostream>
#include <mutex>
#include <string>

#include "cli/CliSupport.h"
#include "cli/CommandSettings.h"
#include "comm/TavBin.h"
#include "comm/TavServer.h"
#include "comm/TavTransferDialog.h"
#include "core/CommandLine.h"
#include "core/Errors.h"
#include "core/ReportMessage.h"
#include "formats/Cp1250Utf8.h"

namespace {

// "HOST:PORT" split at the last colon; the port must be a number 0..65535.
void SplitHostPort(const std::string& text, const std::string& option, std::string& host, int& port) {
  const std::size_t colon = text.rfind(':');
  const std::string portText = colon == std::string::npos ? std::string() : text.substr(colon + 1);
  if (colon == std::string::npos || portText.empty() || portText.size() > 5 ||
      portText.find_first_not_of("0123456789") != std::string::npos || std::stoi(portText) > 65535)
    throw UsageError("--" + option + " wants HOST:PORT");
  host = text.substr(0, colon);
  // "[::1]:2100": an IPv6 address in brackets.
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  port = std::stoi(portText);
}

std::string RequiredOption(const CliArgs& args, const std::string& name) {
  if (!args.Options.count(name))
    throw UsageError("--" + name + " is required");
  return args.Option(name);
}

int WaitOption(const CliArgs& args) {
  const std::string text = args.Option("wait", "60000");
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    throw UsageError("--wait wants milliseconds");
  return std::stoi(text);
}

int TavServer(const CliArgs& args, std::ostream& out, std::ostream& err) {
  RequirePositional(args, 0);
  TTavServerOptions options;
  SplitHostPort(RequiredOption(args, "listen"), "listen", options.Host, options.Port);
  options.Root = RequiredOption(args, "root");
  options.User = Utf8ToCp1250(RequiredOption(args, "user"));
  options.Password = Utf8ToCp1250(RequiredOption(args, "password"));
  options.Challenge = args.Has("challenge");
  options.WaitMs = WaitOption(args);
  options.Log = [&err](const std::string& line) { err << line << std::endl; };

  // The server's threads inherit the blocked signals, so SIGINT and SIGTERM reach only the
  // wait below and the server stops through its normal path.
  sigset_t stopSignals, previous;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);
  struct TRestoreMask {
    sigset_t Mask;
    ~TRestoreMask() { pthread_sigmask(SIG_SETMASK, &Mask, nullptr); }
  } restore{previous};

  TTavServer server(options);
  server.Start();
  out << "listening " << (options.Host.empty() ? "*" : options.Host) << ":" << server.Port() << std::endl;
  int signal = 0;
  sigwait(&stopSignals, &signal);
  server.Stop();
  err << "stopped" << std::endl;
  return 0;
}

int TavBin(const CliArgs& args, std::ostream& /*out*/, std::ostream& /*err*/) {
  RequirePositional(args, 1);
  TTavConnection c;
  std::string host;
  SplitHostPort(RequiredOption(args, "server"), "server", host, c.Port);
  // The client takes the host as the text before the first colon.
  if (host.find(':') != std::string::npos)
    throw UsageError("--server: a connection file cannot hold an IPv6 address; give a host name");
  c.Host = Utf8ToCp1250(host);
  c.User = Utf8ToCp1250(RequiredOption(args, "user"));
  c.Password = Utf8ToCp1250(RequiredOption(args, "password"));
  c.Challenge = args.Has("challenge");
  WriteTavBin(Utf8ToCp1250(args.Positional[0]), c);
  return 0;
}

// Runs one transfer through the dialog's logic; the progress messages go to out as they come,
// the dialog's error to err.
int RunTransfer(const CliArgs& args, TTavTransferRequest request, std::ostream& out, std::ostream& err) {
  if (args.Options.count("conn")) {
    request.ConnectionFile = Utf8ToCp1250(args.Option("conn"));
  } else {
    const TCommandSettings loaded = LoadCommandSettings(args, err, HeadlessLoadOptions());
    request.ConnectionFile = TavBinPath(loaded.Settings.TAVBin, loaded.Environment.ProgramFolder);
  }
  TTavTimeouts timeouts;
  timeouts.ReplyWaitMs = WaitOption(args);
  TStreamMessageSink sink(err);
  const TMessageSinkScope scope(sink);
  const auto print = [&out](const std::string& message) { out << Cp1250ToUtf8(message) << std::endl; };
  return RunTavTransfer("", std::move(request), print, timeouts) ? 0 : 1;
}

int TavGet(const CliArgs& args, std::ostream& out, std::ostream& err) {
  RequirePositional(args, 2);
  TTavTransferRequest request;
  request.Kind = args.Has("installer") ? kTavDownloadInstaller : kTavDownloadPriceList;
  request.Alias = Utf8ToCp1250(RequiredOption(args, "alias"));
  request.RemoteFile = Utf8ToCp1250(args.Positional[0]);
  request.LocalFile = Utf8ToCp1250(args.Positional[1]);
  return RunTransfer(args, std::move(request), out, err);
}

int TavPut(const CliArgs& args, std::ostream& out, std::ostream& err) {
  RequirePositional(args, 1);
  TTavTransferRequest request;
  request.Kind = kTavUpload;
  request.RemoteFile = Utf8ToCp1250(args.Positional[0]);
  return RunTransfer(args, std::move(request), out, err);
}

} // namespace

void AddTavCommands(std::vector<CliCommand>& commands) {
  commands.push_back({{"tav-server"},
                      "tav-server --listen HOST:PORT --root FOLDER --user NAME --password PASSWORD [--challenge] "
                      "[--wait MS]   (runs until SIGINT or SIGTERM)",
                      {"listen", "root", "user", "password", "wait"},
                      {"challenge"},
                      TavServer});
  commands.push_back({{"tav-bin"},
                      "tav-bin --server HOST:PORT --user NAME --password PASSWORD [--challenge] OUT",
                      {"server", "user", "password"},
                      {"challenge"},
                      TavBin});
  commands.push_back({{"tav", "get"},
                      "tav get [--program NAME] [--conn FILE] [--wait MS] [--installer] --alias ALIAS NAME LOCAL",
                      {"program", "conn", "wait", "alias"},
                      {"installer"},
                      TavGet});
  commands.push_back({{"tav", "put"},
                      "tav put [--program NAME] [--conn FILE] [--wait MS] FILE",
                      {"program", "conn", "wait"},
                      {},
                      TavPut});
}
