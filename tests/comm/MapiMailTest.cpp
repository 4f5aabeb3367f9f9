#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "comm/MapiMail.h"
#include "formats/Cp1250Utf8.h"
#include "support/TestSupport.h"

namespace {

using ::testing::ElementsAre;

struct TRecipCase {
  const char* Name;
  const char* Text; // UTF-8
  std::vector<TEmailRecip> Expected;
};

TEmailRecip R(int kind, const char* name, const char* address) { return {address, "", Cz(name), kind}; }

const TRecipCase kRecipients[] = {
    {"BareAddress", "  obj@dodavatel.cz ", {R(1, "", "obj@dodavatel.cz")}},
    {"NameAndAddress", "Jan Novák <jan@x.cz>", {R(1, "Jan Novák", "jan@x.cz")}},
    {"QuotedCommaDoesNotSplit",
     "\"Novák, Jan\" <jan@x.cz>, b@y.cz",
     {R(1, "Novák, Jan", "jan@x.cz"), R(1, "", "b@y.cz")}},
    {"CommaInBracketsDoesNotSplit", "<a,b@x.cz>,c@y.cz", {R(1, "", "a,b@x.cz"), R(1, "", "c@y.cz")}},
    {"SemicolonBeatsComma", "a@x.cz; Novák, Jan <j@y.cz>", {R(1, "", "a@x.cz"), R(1, "Novák, Jan", "j@y.cz")}},
    {"TabBeatsSemicolon", "a@x.cz\tb@y.cz;c@z.cz", {R(1, "", "a@x.cz"), R(1, "", "b@y.cz;c@z.cz")}},
    {"Prefixes",
     "To: a@x.cz; cc: b@y.cz;BCC:c@z.cz; to:CC: d@w.cz",
     {R(1, "", "a@x.cz"), R(2, "", "b@y.cz"), R(3, "", "c@z.cz"), R(2, "", "d@w.cz")}},
    {"EmptyText", "", {R(1, "", "")}},
    {"TrailingSeparatorGivesAnEmptyPiece", "a@x.cz;", {R(1, "", "a@x.cz"), R(1, "", "")}},
    {"AddressRunsToTheLastCharacter", "Jan <jan@x.cz> ", {R(1, "Jan", "jan@x.cz")}},
    {"NoClosingBracket", "Jan <jan@x.cz", {R(1, "", "Jan <jan@x.cz")}},
};

class MapiRecipients : public ::testing::TestWithParam<TRecipCase> {};

TEST_P(MapiRecipients, Parse) {
  const TRecipCase& c = GetParam();
  TEmailRecips recips;
  recips.AddFromText(Cz(c.Text));
  ASSERT_EQ(recips.Count(), static_cast<int>(c.Expected.size()));
  for (size_t i = 0; i < c.Expected.size(); i++) {
    SCOPED_TRACE(i);
    EXPECT_EQ(recips.Items[i].Kind, c.Expected[i].Kind);
    EXPECT_EQ(recips.Items[i].Name, c.Expected[i].Name);
    EXPECT_EQ(recips.Items[i].Address, c.Expected[i].Address);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, MapiRecipients, ::testing::ValuesIn(kRecipients),
                         [](const auto& p) { return std::string(p.param.Name); });

TEST(MapiErrors, MessageTableAndCode) {
  EXPECT_EQ(MapiErrorText(1), "User abort");
  EXPECT_EQ(MapiErrorText(11), "A specified attachment was not found");
  EXPECT_EQ(MapiErrorText(26), "Not supported");
  EXPECT_EQ(MapiErrorText(7), "");
  EXPECT_EQ(MapiErrorText(27), "");
  EXPECT_EQ(MapiErrorText(-1), "");
  const EMapiError seven = MapiResultError(7);
  EXPECT_STREQ(seven.what(), "MAPI Error: (7) \"\"");
  EXPECT_EQ(seven.ErrorCode, 7);
  EXPECT_STREQ(MapiResultError(25).what(), "MAPI Error: (25) \"Invalid recipients\"");
  TEmailRecip recip{"a@x.cz", "", "", 1};
  EXPECT_EQ(MapiRecipientAddress(recip, "SMTP"), "SMTP:a@x.cz");
  recip.AddressType = "EX";
  EXPECT_EQ(MapiRecipientAddress(recip, "SMTP"), "EX:a@x.cz");
  recip.Address = "";
  EXPECT_EQ(MapiRecipientAddress(recip, "SMTP"), "");
}

const char* const kNoClient = "No Simple MAPI client installed, cannot send the message";

// A stand-in for xdg-email that records its arguments (NUL-separated) and exits with a code.
class MapiHandOver : public ::testing::Test {
protected:
  void WriteTool(int exitCode) {
    WriteFileBytes(Tool(), "#!/bin/sh\nprintf '%s\\0' \"$@\" > '" + Dir.File("args") + "'\nexit " +
                               std::to_string(exitCode) + "\n");
    chmod(Tool().c_str(), 0755);
  }
  std::string Tool() const { return Dir.File("xdg-email"); }
  TMapiEnvironment Env() const { return {Tool()}; }
  bool ToolRan() const { return std::filesystem::exists(Dir.File("args")); }
  std::vector<std::string> Arguments() const {
    std::vector<std::string> args;
    const std::string bytes = ReadFileBytes(Dir.File("args"));
    size_t start = 0;
    for (size_t end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1)
      args.push_back(bytes.substr(start, end - start));
    return args;
  }
  std::string Attachment(const std::string& name) {
    WriteFileBytes(Dir.File(name), "order");
    return Dir.File(name);
  }

  TempDir Dir;
};

TEST_F(MapiHandOver, ArgumentsReachTheToolVerbatim) {
  WriteTool(0);
  const std::string file = Attachment("OB090105.obx");
  // Shell syntax in any text must arrive as plain text.
  ASSERT_TRUE(SimpleMapiSendMail(Cz("\"Novák, Jan\" <jan@x.cz>; cc: b@y.cz"), Cz("Předmět $(touch x) 'a'"), true, file,
                                 "abc", Env()));
  EXPECT_THAT(Arguments(), ElementsAre("--utf8", "--to", "\"Novák, Jan\" <jan@x.cz>", "--cc", "b@y.cz", "--subject",
                                       "Předmět $(touch x) 'a'", "--body", "abc\r\n", "--attach", file));
  EXPECT_FALSE(std::filesystem::exists(Dir.File("x")));
}

TEST_F(MapiHandOver, BodyEndingInCrLfAndAttachmentLists) {
  WriteTool(0);
  const std::string a = Attachment("a.obx");
  const std::string b = Attachment("b.obx");
  struct TCase {
    std::string Attachments;
    std::vector<std::string> Expected;
  };
  const TCase kCases[] = {
      {a + "\t" + b, {a, b}},
      {a + "\r\n" + b + "\r\n", {a, b}},
      {a + "\r\r", {a}},
      {"", {}},
  };
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.Attachments);
    ASSERT_TRUE(SimpleMapiSendMail("a@x.cz", "", true, c.Attachments, "abc\r\n", Env()));
    const std::vector<std::string> args = Arguments();
    std::vector<std::string> attached;
    for (size_t i = 0; i + 1 < args.size(); i++) {
      if (args[i] == "--attach")
        attached.push_back(args[i + 1]);
    }
    EXPECT_EQ(attached, c.Expected);
    // The body already ends with CR LF; an empty subject is left out.
    ASSERT_GE(args.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(args.begin(), args.begin() + 5),
              (std::vector<std::string>{"--utf8", "--to", "a@x.cz", "--body", "abc\r\n"}));
  }
}

TEST_F(MapiHandOver, RefusalsBeforeTheToolRuns) {
  WriteTool(0);
  try {
    SimpleMapiSendMail("a@x.cz", "s", true, Dir.File("missing.obx"), "b", Env());
    FAIL() << "sent";
  } catch (const EMapiError& e) {
    EXPECT_EQ(e.ErrorCode, 11);
    EXPECT_STREQ(e.what(), "MAPI Error: (11) \"A specified attachment was not found\"");
  }
  for (const char* recipients : {"", "a@x.cz;", "a@x.cz, <>"}) {
    SCOPED_TRACE(recipients);
    try {
      SimpleMapiSendMail(recipients, "s", true, "", "b", Env());
      FAIL() << "sent";
    } catch (const EMapiError& e) {
      EXPECT_EQ(e.ErrorCode, 25);
    }
  }
  EXPECT_FALSE(ToolRan());
}

TEST_F(MapiHandOver, NoRecipientIsAllowedOnlyWithTheComposeWindow) {
  WriteTool(0);
  TEmail mail(Env());
  EXPECT_TRUE(mail.Send(true));
  EXPECT_THAT(Arguments(), ElementsAre("--utf8"));
  EXPECT_THROW(mail.Send(false), EMapiError);
}

TEST_F(MapiHandOver, MissingToolIsNoClient) {
  // Named but absent, not executable, and nowhere in PATH.
  WriteFileBytes(Dir.File("plain"), "#!/bin/sh\nexit 0\n");
  std::filesystem::create_directory(Dir.File("empty"));
  TEnvOverride path("PATH", Dir.File("empty").c_str());
  for (const std::string& program : {Dir.File("none"), Dir.File("plain"), std::string()}) {
    SCOPED_TRACE(program);
    try {
      SimpleMapiSendMail("a@x.cz", "s", true, "", "b", TMapiEnvironment{program});
      FAIL() << "sent";
    } catch (const EMapiError& e) {
      EXPECT_STREQ(e.what(), kNoClient);
    }
  }
}

TEST_F(MapiHandOver, ToolInPathIsFound) {
  WriteTool(0);
  TEnvOverride path("PATH", (Dir.Path().string() + ":/usr/bin:/bin").c_str());
  TEmail mail;
  EXPECT_EQ(mail.ClientProgram(), Tool());
  EXPECT_TRUE(SimpleMapiSendMail("a@x.cz", "s", true, "", "b"));
  EXPECT_TRUE(ToolRan());
}

TEST_F(MapiHandOver, ExitStatusOfTheTool) {
  struct TCase {
    int Exit;
    int Code; // 0: no error code, the no-client text
  };
  const TCase kCases[] = {{1, 2}, {2, 11}, {3, 0}, {4, 2}, {5, 12}, {99, 2}};
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.Exit);
    WriteTool(c.Exit);
    try {
      SimpleMapiSendMail("a@x.cz", "s", true, "", "b", Env());
      FAIL() << "sent";
    } catch (const EMapiError& e) {
      EXPECT_EQ(e.ErrorCode, c.Code);
      if (c.Code == 0)
        EXPECT_STREQ(e.what(), kNoClient);
      else
        EXPECT_EQ(e.what(), std::string(MapiResultError(c.Code).what()));
    }
  }
}

TEST_F(MapiHandOver, ToolThatKeepsRunningCountsAsAccepted) {
  WriteFileBytes(Tool(), "#!/bin/sh\nexec sleep 3\n");
  chmod(Tool().c_str(), 0755);
  TMapiEnvironment env = Env();
  env.VerdictWaitMs = 100;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(SimpleMapiSendMail("a@x.cz", "s", true, "", "b", env));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(MapiHandOver, UnloadRunsTheHandlerOnce) {
  WriteTool(0);
  int unloads = 0;
  {
    TEmail mail(Env());
    mail.BeforeUnload = [&] { unloads++; };
    EXPECT_FALSE(mail.ClientLoaded());
    mail.Recips.AddFromText("a@x.cz");
    ASSERT_TRUE(mail.Send());
    EXPECT_TRUE(mail.ClientLoaded());
  }
  EXPECT_EQ(unloads, 1);
}

} // namespace
