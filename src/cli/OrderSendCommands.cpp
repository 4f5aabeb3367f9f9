// order send: the main window's Send command on an order file, without the window.

#include "cli/OrderSendCommands.h"

#include <filesystem>
#include <iostream>
#include <optional>

#include "cli/CommandSettings.h"
#include "comm/MailSendForm.h"
#include "comm/SendOrder.h"
#include "comm/SmtpClient.h"
#include "core/AppSettings.h"
#include "core/CommandLine.h"
#include "core/DateFormat.h"
#include "core/Errors.h"
#include "core/ReportMessage.h"
#include "formats/Cp1250Utf8.h"
#include "orders/DeliveryDates.h"
#include "orders/OrderCommands.h"
#include "orders/OrderFile.h"

namespace {

// A message text with its CR LF, CR and LF line breaks as terminal lines.
std::string TerminalText(const std::string& utf8) {
  std::string text;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\r') {
      text += '\n';
      if (i + 1 < utf8.size() && utf8[i + 1] == '\n')
        ++i;
    } else {
      text += utf8[i];
    }
  }
  return text;
}

bool IsYes(std::string answer) {
  while (!answer.empty() && (answer.back() == '\r' || answer.back() == ' '))
    answer.pop_back();
  for (char& c : answer)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return answer == "y" || answer == "yes" || answer == "a" || answer == "ano";
}

// Messages on err; a question is answered with a line read from in ("y" or "n"), or at once
// with Yes/OK for --yes. The end of the input is the refusal of a user who cannot be asked.
class TTerminalSink : public IMessageSink {
public:
  TTerminalSink(std::ostream& err, std::istream& in, bool yes) : FErr(err), FIn(in), FYes(yes) {}

  TMsgResult Show(const std::string& text, const std::string& caption, TMsgFlags flags) override {
    FErr << (caption.empty() ? "" : Cp1250ToUtf8(caption) + ": ") << TerminalText(Cp1250ToUtf8(text)) << '\n';
    if (flags.Buttons == TMsgButtons::OK)
      return TMsgResult::OK;
    const bool okCancel = flags.Buttons == TMsgButtons::OKCancel;
    if (FYes)
      return okCancel ? TMsgResult::OK : TMsgResult::Yes;
    FErr << "[y/n] " << std::flush;
    std::string answer;
    if (!std::getline(FIn, answer))
      return HeadlessAnswer(flags.Buttons);
    if (IsYes(answer))
      return okCancel ? TMsgResult::OK : TMsgResult::Yes;
    return okCancel ? TMsgResult::Cancel : TMsgResult::No;
  }

private:
  std::ostream& FErr;
  std::istream& FIn;
  bool FYes;
};

// Nothing to pick from on the command line: Save as is cancelled.
class TNoDialogsUi : public IOrderCommandsUi {
public:
  std::optional<TFileDialogChoice> OpenFileDialog(const TFileDialogRequest&) override { return std::nullopt; }
  std::optional<TFileDialogChoice> SaveFileDialog(const TFileDialogRequest&) override { return std::nullopt; }
};

// The date dialog cannot be shown: a date that fails the quick test ends the send, with the
// reason on err.
class TRefusingDateDialog : public IDeliveryDateDialog {
public:
  explicit TRefusingDateDialog(std::ostream& err) : FErr(err) {}
  bool Execute(const TDeliveryDialogLogic& logic, TDeliveryDialogState& state) override {
    std::string reason = Cp1250ToUtf8(logic.Ok(state.DeliveryText, state.LatestText).Error);
    if (reason.empty())
      reason = "the date lies after today + MaxDeliveryDays (" +
               Cp1250ToUtf8(DateFieldText(logic.TodayDate() + logic.Rules().MaxDeliveryDays, Locale::Czech())) + ")";
    FErr << "delivery date refused: " << reason << '\n';
    return false;
  }

private:
  std::ostream& FErr;
};

class TCommandSendUi : public ISendOrderUi {
public:
  TCommandSendUi(TOrderCommands& commands, ISmtpClient& smtp, std::ostream& err)
      : FCommands(commands), FSmtp(smtp), FDates(err), FErr(err) {}

  IDeliveryDateDialog& DeliveryDateDialog() override { return FDates; }
  bool SaveOrder() override { return FCommands.Save(); }
  // The dialog's fields as the settings fill them; "&Odeslat" pressed once.
  void ShowMailDialog(TfmOdeslani& form) override {
    FErr << Cp1250ToUtf8(TfmOdeslani::Caption()) << ": " << Cp1250ToUtf8(form.eEmailPrijemce) << '\n';
    try {
      form.bOKClick();
    } catch (const EInOutError& e) {
      // The server's own words help whoever has to fix the settings.
      const std::string detail = FSmtp.LastError();
      FErr << Cp1250ToUtf8(e.what()) << (detail.empty() ? "" : " (" + detail + ")") << '\n';
    }
  }
  void RefreshOrder() noexcept override {}

private:
  TOrderCommands& FCommands;
  ISmtpClient& FSmtp;
  TRefusingDateDialog FDates;
  std::ostream& FErr;
};

bool HasNonEmptyLines(const TOrder& order) { return order.CountNonEmptyLines() > 0; }

// The TAV channel of the command: the transfer dialog run without a window with the
// connection file of "TAVBin", its progress lines on err.
TOrderUploadFn CommandTavUpload(const TCommandSettings& loaded, std::ostream& err) {
  return TavOrderUpload(TavBinPath(loaded.Settings.TAVBin, loaded.Environment.ProgramFolder),
                        [&err](const std::string& message) { err << Cp1250ToUtf8(message) << std::endl; });
}

int OrderSend(const CliArgs& args, std::ostream& out, std::ostream& err, const TCommandCardSource& source,
              std::istream& in, const TOrderSendChannels& channels) {
  RequirePositional(args, 1);
  TCommandSettings loaded = LoadCommandSettings(args, err, HeadlessLoadOptions());
  TAppSettings& settings = loaded.Settings;
  const TOrderUploadFn upload = channels.Upload ? channels.Upload : CommandTavUpload(loaded, err);

  // The open dialog hands over a full path; a bare name must not be looked for in the
  // program's folder.
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(args.Positional[0], error);
  const std::string path = Utf8ToCp1250(error ? args.Positional[0] : full.lexically_normal().string());

  // The lines keep pointers into the price list, so it lives as long as the order.
  TCommandCards cards;
  TOrder order;
  ReadCommandOrder(
      order, path, Utf8ToCp1250(args.Option("karty")), loaded,
      [&](const std::string& kartyFile, const TAppSettings& s) { return cards = source(kartyFile, s); }, err);
  order.FileName = path;
  if (!cards.Lookup && HasNonEmptyLines(order)) {
    // Without cards every line would be left out of the file that goes to the supplier.
    err << "no price list: give --karty FILE or set PriceList in the settings\n";
    return 1;
  }
  settings.PriceListVerified = cards.PriceListVerified;

  TTerminalSink sink(err, in, args.Has("yes"));
  TMessageSinkScope scope(sink);
  const Locale czech = Locale::Czech();
  TOrderFileOptions fileOptions;
  fileOptions.Cards = cards.Lookup;
  fileOptions.Messages = &sink;
  fileOptions.Conventions = &czech;

  TCurlSmtpClient ownSmtp;
  ISmtpClient& smtp = channels.Smtp ? *channels.Smtp : ownSmtp;
  TNoDialogsUi dialogs;
  TOrderCommands commands(order, settings, dialogs, fileOptions);
  TCommandSendUi ui(commands, smtp, err);

  TSendOrderEnvironment environment;
  environment.FileOptions = fileOptions;
  environment.Mapi = channels.Mapi;
  environment.Smtp = &smtp;
  TSendOrderFlow flow(order, settings, ui, environment);
  flow.Upload = upload;
  if (flow.aOrder_SendExecute() != TSendOutcome::Sent) {
    err << "not sent\n";
    return 1;
  }

  // The desktop program asks at closing whether to save the stamped order; a command has no
  // closing, so it saves at once.
  out << "sent\t" << FormatDateTime("dd.mm.yyyy hh:nn", order.Sent, czech) << '\n';
  if (!SaveOrderFile(order, order.FileName, false, false, settings, fileOptions))
    err << "the order file was not saved again: a question was declined, the Sent stamp is not kept\n";
  return 0;
}

} // namespace

void AddOrderSendCommands(std::vector<CliCommand>& commands, TCommandCardSource source, std::istream& in,
                          TOrderSendChannels channels) {
  commands.push_back({{"order", "send"},
                      "order send [--program NAME] [--karty FILE] [--yes] FILE",
                      {"program", "karty"},
                      {"yes"},
                      [source, &in, channels](const CliArgs& args, std::ostream& out, std::ostream& err) {
                        return OrderSend(args, out, err, source, in, channels);
                      }});
}

void AddOrderSendCommands(std::vector<CliCommand>& commands) {
  AddOrderSendCommands(commands, CommandCards, std::cin, TOrderSendChannels{});
}
