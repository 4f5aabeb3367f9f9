// "send-mail": the order e-mail of the send dialog, from the command line.

#include "cli/CliSupport.h"
#include "comm/MailOrderText.h"
#include "comm/MailSendForm.h"
#include "comm/SmtpClient.h"
#include "core/Errors.h"
#include "core/FileIo.h"
#include "formats/Cp1250Utf8.h"

namespace {

bool IsValidUtf8(const std::string& bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + length > bytes.size())
      return false;
    for (size_t k = 1; k < length; k++) {
      if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80)
        return false;
    }
    i += length;
  }
  return true;
}

std::string ReadBodyFile(const std::string& fileName) {
  const fileio::TFd fd = fileio::OpenForReading(fileName);
  std::string bytes;
  char buffer[65536];
  for (size_t got; (got = fileio::ReadSome(fd, buffer, sizeof buffer, fileName)) > 0;)
    bytes.append(buffer, got);
  // A text written on this system is UTF-8; anything else is taken as the program's own
  // code page, as the desktop program would have written it.
  return IsValidUtf8(bytes) ? Utf8ToCp1250(bytes) : bytes;
}

std::string Required(const CliArgs& args, const std::string& option) {
  if (!args.Options.count(option))
    throw UsageError("--" + option + " is required");
  return Utf8ToCp1250(args.Option(option));
}

int SendMail(const CliArgs& args, std::ostream&, std::ostream& err) {
  RequirePositional(args, 0);
  TOrderMailFields fields;
  fields.Server = Required(args, "server");
  fields.Sender = Required(args, "from");
  fields.Recipients = Required(args, "to");
  fields.Subject = Required(args, "subject");
  const std::string bodyFile = Required(args, "body-file");
  fields.Person = Utf8ToCp1250(args.Option("person"));
  fields.Organization = Utf8ToCp1250(args.Option("organization"));
  fields.AttachmentPath = Utf8ToCp1250(args.Option("attach"));
  fields.ReadReceipt = args.Flags.count("receipt") > 0;
  if (args.Options.count("user") != args.Options.count("password"))
    throw UsageError("--user and --password go together");
  fields.User = Utf8ToCp1250(args.Option("user"));
  fields.Password = Utf8ToCp1250(args.Option("password"));
  fields.TextLines = SplitTextLines(ReadBodyFile(bodyFile));

  const std::string message = ComposeOrderMessage(fields, TMimeStamp::Now());
  TCurlSmtpClient client;
  try {
    SendOrderMessage(client, fields, message);
  } catch (const EInOutError& e) {
    // The server's own words help whoever has to fix the settings.
    err << Cp1250ToUtf8(e.what()) << " (" << client.LastError() << ")\n";
    return 1;
  }
  return 0;
}

} // namespace

void AddMailCommands(std::vector<CliCommand>& commands) {
  commands.push_back(
      {{"send-mail"},
       "send-mail --server HOST[:PORT] --from ADDRESS --to TEXT [--person NAME] [--organization TEXT] "
       "--subject TEXT --body-file FILE [--attach FILE] [--user NAME --password PASSWORD] [--receipt]",
       {"server", "from", "to", "person", "organization", "subject", "body-file", "attach", "user", "password"},
       {"receipt"},
       SendMail});
}
