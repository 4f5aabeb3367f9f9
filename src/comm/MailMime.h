#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The order e-mail in its wire form (RFC 5322 with MIME): every line ends with CR LF and
// none is longer than 998 bytes; the text goes out as UTF-8, so any Czech text arrives
// readable whatever the mail program's own code page is.

// Quoted-printable of bytes (RFC 2045 6.7). CR LF, a lone CR and a lone LF are all hard
// line breaks (written CR LF); no line is longer than 76 characters (soft breaks "=");
// "=" and every byte outside printable ASCII are written as =XX; a space or TAB that would
// end a line is written as =20 or =09.
std::string EncodeQuotedPrintable(std::string_view bytes);

// Base64 (RFC 4648, with padding) in lines of 76 characters joined by CR LF, with no line
// break after the last line; empty for no bytes.
std::string EncodeBase64Lines(std::string_view bytes);

// One header field of unstructured text (Subject, Organization), text in UTF-8. Plain ASCII
// stays as it is, folded at blanks; anything else becomes RFC 2047 encoded words
// (=?UTF-8?Q?...?=) of at most 75 characters, one per folded line. Line breaks in the text
// become blanks, so a value can never start a header of its own. Ends with CR LF.
std::string UnstructuredHeader(std::string_view name, std::string_view utf8);

// One header field holding addresses (From, To), text in UTF-8: the entries (split at
// commas outside double quotes) stay as typed when they are ASCII; a display name with
// other characters becomes encoded words before its "<address>". Ends with CR LF.
std::string AddressHeader(std::string_view name, std::string_view utf8);

// What changes from one message to the next: the moment and the unique tokens.
struct TMimeStamp {
  std::int64_t UnixTime = 0;
  int UtcOffsetMinutes = 0; // of the local time the Date header shows
  std::string Boundary;     // must not occur in any part; "=_" at its start ensures that
  std::string MessageToken; // left part of the Message-ID

  // The current local time and fresh random tokens.
  static TMimeStamp Now();
};

// RFC 5322 date: "Mon, 05 Jan 2009 08:30:00 +0100".
std::string MailDate(std::int64_t unixTime, int utcOffsetMinutes);

// The order e-mail as the send dialog composes it. Texts are code page 1250.
struct TOrderMailContent {
  std::string From;         // the whole From entry, see MailFromText
  std::string Organization; // left out when empty
  std::string To;           // the recipient text as one entry
  std::string Subject;
  std::vector<std::string> TextLines;    // the covering text
  std::string AttachmentPath;            // empty: no attachment
  std::string DispositionNotificationTo; // empty: no read receipt asked for
};

// The From entry: "\"person\" <sender>" when the trimmed person is not empty, else the
// sender text alone. A double quote or backslash in the person is escaped.
std::string MailFromText(std::string_view person, std::string_view sender);

// The attachment's name without folders ("\" or "/"); code page 1250.
std::string AttachmentName(std::string_view path);

// The complete message: headers, then a multipart/mixed body of the text part
// (quoted-printable, inline) and the attachment (base64, attachment, the file's name without
// folders). The read-receipt header, when asked for, is the very first line. Throws the file
// error (EFOpenError, EInOutError) when the attachment cannot be read.
std::string BuildOrderMessage(const TOrderMailContent& content, const TMimeStamp& stamp);
