#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "comm/MailMime.h"
#include "core/Errors.h"
#include "formats/Cp1250Utf8.h"
#include "support/TestSupport.h"

namespace {

using ::testing::HasSubstr;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  if (start < text.size())
    lines.push_back(text.substr(start));
  return lines;
}

int HexValue(char c) { return c <= '9' ? c - '0' : c - 'A' + 10; }

// The reader's side of quoted-printable: soft breaks vanish, =XX is a byte.
std::string DecodeQuotedPrintable(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); i++) {
    if (text[i] != '=') {
      out += text[i];
    } else if (text.compare(i + 1, 2, "\r\n") == 0) {
      i += 2;
    } else {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    }
  }
  return out;
}

// The reader's side of a header of encoded words: unfold, drop the blanks between words,
// decode each word.
std::string DecodeEncodedWords(const std::string& value) {
  std::string out;
  size_t pos = 0;
  while ((pos = value.find("=?UTF-8?Q?", pos)) != std::string::npos) {
    const size_t end = value.find("?=", pos + 10);
    const std::string q = value.substr(pos + 10, end - pos - 10);
    for (size_t i = 0; i < q.size(); i++) {
      if (q[i] == '_')
        out += ' ';
      else if (q[i] == '=') {
        out += static_cast<char>(HexValue(q[i + 1]) * 16 + HexValue(q[i + 2]));
        i += 2;
      } else
        out += q[i];
    }
    pos = end + 2;
  }
  return out;
}

struct TQpCase {
  const char* Name;
  std::string Input;
  std::string Encoded;
};

const TQpCase kQpCases[] = {
    {"Plain", "Objednavka", "Objednavka"},
    {"EqualsSign", "a=b", "a=3Db"},
    {"CzechLettersAsUtf8", "\xC4\x8D", "=C4=8D"},
    {"TrailingSpaceBeforeBreak", "a \r\nb", "a=20\r\nb"},
    {"TrailingTabAtEnd", "a\t", "a=09"},
    {"InnerBlanksStay", "a b\tc", "a b\tc"},
    {"BlankLinesKept", "a\r\n\r\nb\r\n", "a\r\n\r\nb\r\n"},
    {"LoneLineFeedAndCarriageReturn", "a\nb\rc", "a\r\nb\r\nc"},
    {"ControlByte", std::string("a\0b", 3), "a=00b"},
    {"Exactly76", std::string(76, 'x'), std::string(76, 'x')},
    {"SoftBreakAt77", std::string(77, 'x'), std::string(75, 'x') + "=\r\nxx"},
    {"EscapeNotSplit", std::string(74, 'x') + "=", std::string(74, 'x') + "=\r\n=3D"},
    {"EscapeEndsLineAt76", std::string(73, 'x') + "=", std::string(73, 'x') + "=3D"},
};

class QuotedPrintable : public ::testing::TestWithParam<TQpCase> {};

TEST_P(QuotedPrintable, Encodes) {
  const TQpCase& c = GetParam();
  const std::string encoded = EncodeQuotedPrintable(c.Input);
  EXPECT_EQ(encoded, c.Encoded);
  for (const std::string& line : Lines(encoded))
    EXPECT_LE(line.size(), 76u);
}

INSTANTIATE_TEST_SUITE_P(Table, QuotedPrintable, ::testing::ValuesIn(kQpCases),
                         [](const auto& p) { return std::string(p.param.Name); });

TEST(QuotedPrintable, LongCzechTextSurvivesTheRoundTrip) {
  std::string text;
  for (int i = 0; i < 40; i++)
    text += Cp1250ToUtf8(Cz("Příliš žluťoučký kůň úpěl ďábelské ódy = ")) + (i % 7 == 0 ? " \r\n" : "");
  const std::string encoded = EncodeQuotedPrintable(text);
  for (const std::string& line : Lines(encoded)) {
    EXPECT_LE(line.size(), 76u);
    ASSERT_FALSE(!line.empty() && (line.back() == ' ' || line.back() == '\t')) << line;
  }
  std::string expected = text;
  // Trailing blanks before a hard break are kept as =20, so the text comes back whole.
  EXPECT_EQ(DecodeQuotedPrintable(encoded), expected);
}

TEST(Base64, KnownVectorsAndLineLength) {
  EXPECT_EQ(EncodeBase64Lines(""), "");
  EXPECT_EQ(EncodeBase64Lines("f"), "Zg==");
  EXPECT_EQ(EncodeBase64Lines("fo"), "Zm8=");
  EXPECT_EQ(EncodeBase64Lines("foobar"), "Zm9vYmFy");
  EXPECT_EQ(EncodeBase64Lines(std::string("\xFF\xFE\x00", 3)), "//4A");
  // 57 bytes fill exactly one line of 76 characters; one more byte starts a second line.
  EXPECT_EQ(EncodeBase64Lines(std::string(57, 'a')).size(), 76u);
  const std::vector<std::string> two = Lines(EncodeBase64Lines(std::string(58, 'a')));
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[0].size(), 76u);
  EXPECT_EQ(two[1], "YQ==");
}

TEST(MailHeaders, AsciiStaysReadableAndFoldsAtBlanks) {
  EXPECT_EQ(UnstructuredHeader("Subject", "Objednavka zbozi na: pondeli 5.1.2009"),
            "Subject: Objednavka zbozi na: pondeli 5.1.2009\r\n");
  EXPECT_EQ(UnstructuredHeader("Subject", ""), "Subject: \r\n");
  std::string longText;
  for (int i = 0; i < 30; i++)
    longText += "word" + std::to_string(i) + " ";
  const std::string header = UnstructuredHeader("Subject", longText);
  std::string unfolded = header.substr(0, header.size() - 2);
  for (size_t p; (p = unfolded.find("\r\n")) != std::string::npos;)
    unfolded.erase(p, 2);
  EXPECT_EQ(unfolded, "Subject: " + longText);
  for (const std::string& line : Lines(header))
    EXPECT_LE(line.size(), 76u);
}

TEST(MailHeaders, CzechTextBecomesEncodedWords) {
  const std::string czech = Cp1250ToUtf8(Cz("Objednávka zboží"));
  EXPECT_EQ(UnstructuredHeader("Subject", czech), "Subject: =?UTF-8?Q?Objedn=C3=A1vka_zbo=C5=BE=C3=AD?=\r\n");

  std::string longCzech;
  for (int i = 0; i < 6; i++)
    longCzech += Cp1250ToUtf8(Cz("Čtvrtek, žluťoučký kůň; "));
  const std::string header = UnstructuredHeader("Organization", longCzech);
  const std::vector<std::string> lines = Lines(header);
  ASSERT_GT(lines.size(), 2u);
  for (const std::string& line : lines) {
    EXPECT_LE(line.size(), 76u) << line;
    const size_t word = line.find("=?");
    ASSERT_NE(word, std::string::npos) << line;
    EXPECT_LE(line.size() - word, 75u) << "encoded word too long: " << line;
  }
  EXPECT_EQ(DecodeEncodedWords(header), longCzech);
}

TEST(MailHeaders, LineBreaksInAValueCannotStartAHeader) {
  EXPECT_EQ(UnstructuredHeader("Subject", "x\r\nBcc: spy@test.cz"), "Subject: x  Bcc: spy@test.cz\r\n");
  EXPECT_EQ(AddressHeader("To", "a@test.cz\nBcc: spy@test.cz"), "To: a@test.cz Bcc: spy@test.cz\r\n");
}

TEST(MailHeaders, AddressesKeepTheirAddressAndEncodeOnlyTheName) {
  EXPECT_EQ(AddressHeader("To", "\"Dodavatel, s.r.o.\" <obj@dodavatel.cz>, sklad@dodavatel.cz"),
            "To: \"Dodavatel, s.r.o.\" <obj@dodavatel.cz>, sklad@dodavatel.cz\r\n");
  EXPECT_EQ(AddressHeader("From", Cp1250ToUtf8(Cz("\"Jan Novák\" <jan@firma.cz>"))),
            "From: =?UTF-8?Q?Jan_Nov=C3=A1k?= <jan@firma.cz>\r\n");
  EXPECT_EQ(MailFromText("  Jan Novak ", "jan@firma.cz"), "\"Jan Novak\" <jan@firma.cz>");
  EXPECT_EQ(MailFromText("   ", "jan@firma.cz"), "jan@firma.cz");
  EXPECT_EQ(MailFromText("Jan \"J\" Novak", "j@f.cz"), "\"Jan \\\"J\\\" Novak\" <j@f.cz>");
  // Escaped quotes of a name that needs encoding end up as characters of the encoded word.
  EXPECT_EQ(AddressHeader("From", Cp1250ToUtf8(MailFromText(Cz("Jan \"J\" Novák"), "j@f.cz"))),
            "From: =?UTF-8?Q?Jan_=22J=22_Nov=C3=A1k?= <j@f.cz>\r\n");
}

TEST(MailHeaders, DateHasTheLocalOffset) {
  EXPECT_EQ(MailDate(1231140600, 60), "Mon, 05 Jan 2009 08:30:00 +0100");
  EXPECT_EQ(MailDate(1231140600, -270), "Mon, 05 Jan 2009 03:00:00 -0430");
}

TEST(MailHeaders, AttachmentNameHasNoFolders) {
  EXPECT_EQ(AttachmentName("C:\\Objednavky\\OB090105.obx"), "OB090105.obx");
  EXPECT_EQ(AttachmentName("/tmp/x/OB090105.obx"), "OB090105.obx");
  EXPECT_EQ(AttachmentName("OB090105.obx"), "OB090105.obx");
}

TMimeStamp FixedStamp() {
  TMimeStamp stamp;
  stamp.UnixTime = 1231140600; // 5 January 2009 08:30 in Prague
  stamp.UtcOffsetMinutes = 60;
  stamp.Boundary = "=_Objednavky_test";
  stamp.MessageToken = "token";
  return stamp;
}

TEST(OrderMessage, GoldenBytesOfASmallOrderMail) {
  TempDir dir;
  WriteFileBytes(dir.File("OB090105.obx"), std::string("ORDER\x00\x01\xFF", 8));
  TOrderMailContent content;
  content.DispositionNotificationTo = "jan@firma.cz";
  content.From = MailFromText("Jan Novak", "jan@firma.cz");
  content.Organization = "Firma s.r.o.";
  content.To = "obj@dodavatel.cz";
  content.Subject = "Objednavka zbozi na: pondeli 5.1.2009";
  content.TextLines = {Cz("Dobrý den,"), "", "x=1 "};
  content.AttachmentPath = dir.File("OB090105.obx");

  EXPECT_EQ(BuildOrderMessage(content, FixedStamp()), "Disposition-Notification-To: jan@firma.cz\r\n"
                                                      "From: \"Jan Novak\" <jan@firma.cz>\r\n"
                                                      "Organization: Firma s.r.o.\r\n"
                                                      "To: obj@dodavatel.cz\r\n"
                                                      "Subject: Objednavka zbozi na: pondeli 5.1.2009\r\n"
                                                      "Date: Mon, 05 Jan 2009 08:30:00 +0100\r\n"
                                                      "Message-ID: <token@firma.cz>\r\n"
                                                      "MIME-Version: 1.0\r\n"
                                                      "X-Mailer: Objednavky\r\n"
                                                      "Content-Type: multipart/mixed;\r\n"
                                                      " boundary=\"=_Objednavky_test\"\r\n"
                                                      "\r\n"
                                                      "This is a multi-part message in MIME format.\r\n"
                                                      "\r\n"
                                                      "--=_Objednavky_test\r\n"
                                                      "Content-Type: text/plain; charset=UTF-8\r\n"
                                                      "Content-Transfer-Encoding: quoted-printable\r\n"
                                                      "Content-Disposition: inline\r\n"
                                                      "\r\n"
                                                      "Dobr=C3=BD den,\r\n"
                                                      "\r\n"
                                                      "x=3D1=20\r\n"
                                                      "\r\n"
                                                      "--=_Objednavky_test\r\n"
                                                      "Content-Type: application/octet-stream;\r\n"
                                                      " name=\"OB090105.obx\"\r\n"
                                                      "Content-Transfer-Encoding: base64\r\n"
                                                      "Content-Disposition: attachment;\r\n"
                                                      " filename=\"OB090105.obx\"\r\n"
                                                      "\r\n"
                                                      "T1JERVIAAf8=\r\n"
                                                      "--=_Objednavky_test--\r\n");
}

TEST(OrderMessage, WithoutReceiptOrganizationOrAttachment) {
  TOrderMailContent content;
  content.From = "jan@firma.cz";
  content.To = "obj@dodavatel.cz";
  content.Subject = "S";
  content.TextLines = {"a"};
  const std::string message = BuildOrderMessage(content, FixedStamp());
  EXPECT_EQ(message.rfind("From: jan@firma.cz\r\nTo: obj@dodavatel.cz\r\n", 0), 0u) << message;
  EXPECT_THAT(message, ::testing::Not(HasSubstr("Organization:")));
  EXPECT_THAT(message, ::testing::Not(HasSubstr("attachment")));
  EXPECT_THAT(message, ::testing::EndsWith("\r\n\r\na\r\n\r\n--=_Objednavky_test--\r\n"));
}

TEST(OrderMessage, CzechAttachmentNameIsEncoded) {
  TempDir dir;
  const std::string name = Cz("Objednávka.obx");
  WriteFileBytes(dir.File(Cp1250ToUtf8(name)), "x");
  TOrderMailContent content;
  content.From = "a@b.cz";
  content.To = "c@d.cz";
  content.AttachmentPath = Utf8ToCp1250(dir.File(Cp1250ToUtf8(name)));
  const std::string message = BuildOrderMessage(content, FixedStamp());
  EXPECT_THAT(message, HasSubstr(" filename*=UTF-8''Objedn%C3%A1vka.obx\r\n"));
  EXPECT_THAT(message, HasSubstr(" name=\"=?UTF-8?B?T2JqZWRuw6F2a2Eub2J4?=\"\r\n"));
}

TEST(OrderMessage, UnreadableAttachmentIsTheFileError) {
  TempDir dir;
  TOrderMailContent content;
  content.From = "a@b.cz";
  content.To = "c@d.cz";
  content.AttachmentPath = dir.File("missing.obx");
  EXPECT_THROW(BuildOrderMessage(content, FixedStamp()), EInOutError);
}

TEST(OrderMessage, FreshStampsDiffer) {
  const TMimeStamp a = TMimeStamp::Now();
  const TMimeStamp b = TMimeStamp::Now();
  EXPECT_NE(a.Boundary, b.Boundary);
  EXPECT_EQ(a.Boundary.rfind("=_", 0), 0u);
  EXPECT_NE(a.MessageToken, b.MessageToken);
}

} // namespace
