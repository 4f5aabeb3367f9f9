#include "comm/MailMime.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <random>

#include "comm/MailAddress.h"
#include "core/FileIo.h"
#include "formats/Cp1250Utf8.h"

namespace {

constexpr char kHex[] = "0123456789ABCDEF";
constexpr size_t kQpLine = 76;      // RFC 2045 limit of an encoded line
constexpr size_t kHeaderLine = 76;  // fold before a header line grows past this
constexpr size_t kWordPayload = 63; // "=?UTF-8?Q?" + 63 + "?=" is the 75 RFC 2047 allows
constexpr std::string_view kWordStart = "=?UTF-8?Q?";
constexpr std::string_view kWordEnd = "?=";

std::string HexByte(unsigned char c) { return {'=', kHex[c >> 4], kHex[c & 15]}; }

bool IsPlainAscii(std::string_view text) {
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x80 || (u < 0x20 && u != '\t') || u == 0x7F)
      return false;
  }
  // A plain text that looks like an encoded word would be decoded by the reader.
  return text.find("=?") == std::string_view::npos;
}

// A header value never carries a line break of its own.
std::string OneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    if (c == '\r' || c == '\n')
      c = ' ';
  }
  return line;
}

// Appends header tokens separated by blanks, folding before a token that would make the
// line too long (the blank in front of it becomes the folding white space).
class THeaderFolder {
public:
  explicit THeaderFolder(std::string_view name) : FText(std::string(name) + ":"), FLineLength(FText.size()) {}

  size_t LineLength() const { return FLineLength; }
  void Add(std::string_view token) {
    if (FTokensOnLine > 0 && !token.empty() && FLineLength + 1 + token.size() > kHeaderLine) {
      FText += "\r\n";
      FLineLength = 0;
      FTokensOnLine = 0;
    }
    FText += ' ';
    FText += token;
    FLineLength += 1 + token.size();
    FTokensOnLine++;
  }
  std::string Finish() { return FText + "\r\n"; }

private:
  std::string FText;
  size_t FLineLength;
  int FTokensOnLine = 0;
};

// The Q form of one byte inside an encoded word: safe even in a display name.
std::string QByte(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '!' || c == '*' || c == '+' ||
      c == '-' || c == '/')
    return std::string(1, static_cast<char>(c));
  if (c == ' ')
    return "_";
  return HexByte(c);
}

// The text as encoded words; a UTF-8 character is never split between two words. The first
// word holds at most firstPayload characters of encoded text, the others kWordPayload.
std::vector<std::string> EncodedWords(std::string_view utf8, size_t firstPayload) {
  std::vector<std::string> words;
  std::string payload;
  size_t limit = firstPayload;
  size_t i = 0;
  while (i < utf8.size()) {
    size_t length = 1;
    while (i + length < utf8.size() && (static_cast<unsigned char>(utf8[i + length]) & 0xC0) == 0x80 && length < 4)
      length++;
    std::string encoded;
    for (size_t k = 0; k < length; k++)
      encoded += QByte(static_cast<unsigned char>(utf8[i + k]));
    if (!payload.empty() && payload.size() + encoded.size() > limit) {
      words.push_back(std::string(kWordStart) + payload + std::string(kWordEnd));
      payload.clear();
      limit = kWordPayload;
    }
    payload += encoded;
    i += length;
  }
  if (!payload.empty() || words.empty())
    words.push_back(std::string(kWordStart) + payload + std::string(kWordEnd));
  return words;
}

// Room for the first word's encoded text when it follows a blank on a line of this length.
size_t FirstPayload(size_t lineLength) {
  const size_t overhead = lineLength + 1 + kWordStart.size() + kWordEnd.size();
  if (overhead + 12 > kHeaderLine)
    return kWordPayload; // the folder moves the word to a line of its own
  return std::min(kWordPayload, kHeaderLine - overhead);
}

void AddEncoded(THeaderFolder& folder, std::string_view utf8) {
  for (const std::string& word : EncodedWords(utf8, FirstPayload(folder.LineLength())))
    folder.Add(word);
}

std::string QuotedParameter(std::string_view value) {
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"' || c == '\\')
      quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string PercentEncoded(std::string_view utf8) {
  std::string encoded;
  for (char c : utf8) {
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '.' || u == '-' || u == '_')
      encoded += c;
    else
      encoded += {'%', kHex[u >> 4], kHex[u & 15]};
  }
  return encoded;
}

std::string Base64(std::string_view bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                       static_cast<unsigned char>(bytes[i + 2]);
    out += {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63], kAlphabet[(v >> 6) & 63], kAlphabet[v & 63]};
  }
  if (bytes.size() - i == 1) {
    const unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    out += {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63], '=', '='};
  } else if (bytes.size() - i == 2) {
    const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
    out += {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63], kAlphabet[(v >> 6) & 63], '='};
  }
  return out;
}

std::string ReadWholeFile(const std::string& fileName) {
  const fileio::TFd fd = fileio::OpenForReading(fileName);
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const size_t got = fileio::ReadSome(fd, buffer, sizeof buffer, fileName);
    if (got == 0)
      break;
    bytes.append(buffer, got);
  }
  return bytes;
}

std::string RandomHex(size_t digits) {
  std::random_device device;
  std::string text;
  while (text.size() < digits) {
    const unsigned value = device();
    for (int shift = 28; shift >= 0 && text.size() < digits; shift -= 4)
      text += static_cast<char>(std::tolower(kHex[(value >> shift) & 15]));
  }
  return text;
}

// The host part of the sender for the Message-ID; a neutral one when it has none we can use.
std::string MessageIdDomain(std::string_view fromEntry) {
  const std::string address = BareEmailAddress(fromEntry);
  const size_t at = address.rfind('@');
  std::string domain = at == std::string::npos ? std::string() : address.substr(at + 1);
  for (char c : domain) {
    const auto u = static_cast<unsigned char>(c);
    if (!std::isalnum(u) && c != '.' && c != '-')
      return "localhost";
  }
  return domain.empty() ? "localhost" : domain;
}

} // namespace

std::string EncodeQuotedPrintable(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  size_t i = 0;
  while (i <= bytes.size()) {
    // One hard line: up to the next CR, LF or the end.
    size_t end = i;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
      end++;
    std::vector<std::string> tokens;
    for (size_t k = i; k < end; k++) {
      const auto c = static_cast<unsigned char>(bytes[k]);
      const bool last = k + 1 == end;
      if ((c == ' ' || c == '\t') && !last)
        tokens.emplace_back(1, static_cast<char>(c));
      else if (c >= 33 && c <= 126 && c != '=')
        tokens.emplace_back(1, static_cast<char>(c));
      else
        tokens.push_back(HexByte(c));
    }
    size_t lineLength = 0;
    for (size_t t = 0; t < tokens.size(); t++) {
      // A line that goes on needs one place for its soft break.
      const size_t limit = t + 1 == tokens.size() ? kQpLine : kQpLine - 1;
      if (lineLength + tokens[t].size() > limit) {
        out += "=\r\n";
        lineLength = 0;
      }
      out += tokens[t];
      lineLength += tokens[t].size();
    }
    if (end == bytes.size())
      break;
    out += "\r\n";
    i = end + (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n' ? 2 : 1);
    if (i == bytes.size())
      break;
  }
  return out;
}

std::string EncodeBase64Lines(std::string_view bytes) {
  const std::string flat = Base64(bytes);
  std::string out;
  for (size_t i = 0; i < flat.size(); i += kQpLine) {
    if (i > 0)
      out += "\r\n";
    out.append(flat, i, kQpLine);
  }
  return out;
}

std::string UnstructuredHeader(std::string_view name, std::string_view utf8) {
  const std::string value = OneLine(utf8);
  THeaderFolder folder(name);
  if (IsPlainAscii(value)) {
    // Folding may only turn an existing blank into a line break; a run of blanks stays.
    size_t start = 0;
    while (start <= value.size()) {
      size_t blank = value.find(' ', start);
      if (blank == std::string::npos)
        blank = value.size();
      folder.Add(std::string_view(value).substr(start, blank - start));
      start = blank + 1;
    }
    return folder.Finish();
  }
  AddEncoded(folder, value);
  return folder.Finish();
}

std::string AddressHeader(std::string_view name, std::string_view utf8) {
  const std::string value = OneLine(utf8);
  THeaderFolder folder(name);
  std::vector<std::string> entries;
  for (std::string& entry : SplitAtCommasOutsideQuotes(value)) {
    if (!entry.empty())
      entries.push_back(std::move(entry));
  }
  if (entries.empty())
    folder.Add("");
  for (size_t e = 0; e < entries.size(); e++) {
    const std::string comma = e + 1 < entries.size() ? "," : "";
    const std::string& entry = entries[e];
    const size_t open = entry.rfind('<');
    if (IsPlainAscii(entry) || open == std::string::npos) {
      folder.Add(entry + comma);
      continue;
    }
    // The name without its quoting: the encoded word carries the characters themselves.
    std::string display;
    const std::string quotedName = TrimText(std::string_view(entry).substr(0, open));
    for (size_t i = 0; i < quotedName.size(); i++) {
      if (quotedName[i] == '\\' && i + 1 < quotedName.size())
        display += quotedName[++i];
      else if (quotedName[i] != '"')
        display += quotedName[i];
    }
    if (!display.empty())
      AddEncoded(folder, display);
    folder.Add(entry.substr(open) + comma);
  }
  return folder.Finish();
}

TMimeStamp TMimeStamp::Now() {
  TMimeStamp stamp;
  stamp.UnixTime = std::time(nullptr);
  const std::time_t now = static_cast<std::time_t>(stamp.UnixTime);
  std::tm local{};
  if (localtime_r(&now, &local))
    stamp.UtcOffsetMinutes = static_cast<int>(local.tm_gmtoff / 60);
  stamp.Boundary = "=_Objednavky_" + RandomHex(24);
  stamp.MessageToken = RandomHex(24) + "." + std::to_string(stamp.UnixTime);
  return stamp;
}

std::string MailDate(std::int64_t unixTime, int utcOffsetMinutes) {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::time_t shifted = static_cast<std::time_t>(unixTime + std::int64_t{utcOffsetMinutes} * 60);
  std::tm t{};
  gmtime_r(&shifted, &t);
  const int offset = utcOffsetMinutes < 0 ? -utcOffsetMinutes : utcOffsetMinutes;
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02d%02d", kDays[t.tm_wday], t.tm_mday,
                kMonths[t.tm_mon], t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec, utcOffsetMinutes < 0 ? '-' : '+',
                offset / 60, offset % 60);
  return text;
}

std::string MailFromText(std::string_view person, std::string_view sender) {
  const std::string name = TrimText(person);
  if (name.empty())
    return std::string(sender);
  std::string quoted;
  for (char c : name) {
    if (c == '"' || c == '\\')
      quoted += '\\';
    quoted += c;
  }
  return "\"" + quoted + "\" <" + std::string(sender) + ">";
}

std::string AttachmentName(std::string_view path) {
  const size_t slash = path.find_last_of("\\/");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string BuildOrderMessage(const TOrderMailContent& content, const TMimeStamp& stamp) {
  // The attachment first: a file that cannot be read stops everything before anything else.
  std::string attachment;
  if (!content.AttachmentPath.empty())
    attachment = ReadWholeFile(content.AttachmentPath);

  std::string m;
  if (!content.DispositionNotificationTo.empty())
    m += AddressHeader("Disposition-Notification-To", Cp1250ToUtf8(content.DispositionNotificationTo));
  m += AddressHeader("From", Cp1250ToUtf8(content.From));
  if (!TrimText(content.Organization).empty())
    m += UnstructuredHeader("Organization", Cp1250ToUtf8(content.Organization));
  m += AddressHeader("To", Cp1250ToUtf8(content.To));
  m += UnstructuredHeader("Subject", Cp1250ToUtf8(content.Subject));
  m += "Date: " + MailDate(stamp.UnixTime, stamp.UtcOffsetMinutes) + "\r\n";
  m += "Message-ID: <" + stamp.MessageToken + "@" + MessageIdDomain(content.From) + ">\r\n";
  m += "MIME-Version: 1.0\r\n";
  m += "X-Mailer: Objednavky\r\n";
  m += "Content-Type: multipart/mixed;\r\n boundary=\"" + stamp.Boundary + "\"\r\n";
  m += "\r\n";
  m += "This is a multi-part message in MIME format.\r\n";

  std::string text;
  for (const std::string& line : content.TextLines)
    text += line + "\r\n";
  m += "\r\n--" + stamp.Boundary + "\r\n";
  m += "Content-Type: text/plain; charset=UTF-8\r\n";
  m += "Content-Transfer-Encoding: quoted-printable\r\n";
  m += "Content-Disposition: inline\r\n";
  m += "\r\n";
  m += EncodeQuotedPrintable(Cp1250ToUtf8(text));

  if (!content.AttachmentPath.empty()) {
    const std::string name = Cp1250ToUtf8(AttachmentName(content.AttachmentPath));
    m += "\r\n--" + stamp.Boundary + "\r\n";
    if (IsPlainAscii(name)) {
      m += "Content-Type: application/octet-stream;\r\n name=" + QuotedParameter(name) + "\r\n";
      m += "Content-Transfer-Encoding: base64\r\n";
      m += "Content-Disposition: attachment;\r\n filename=" + QuotedParameter(name) + "\r\n";
    } else {
      // RFC 2231 for the disposition; the encoded word in the type's name is what older mail
      // programs read.
      m += "Content-Type: application/octet-stream;\r\n name=\"=?UTF-8?B?" + Base64(name) + "?=\"\r\n";
      m += "Content-Transfer-Encoding: base64\r\n";
      m += "Content-Disposition: attachment;\r\n filename*=UTF-8''" + PercentEncoded(name) + "\r\n";
    }
    m += "\r\n";
    m += EncodeBase64Lines(attachment);
  }
  m += "\r\n--" + stamp.Boundary + "--\r\n";
  return m;
}
