#include <gtest/gtest.h>

#include "comm/TavProtocol.h"

using namespace std::string_literals;

namespace {

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char ch : bytes) {
    text += kDigits[ch >> 4];
    text += kDigits[ch & 15];
  }
  return text;
}

TEST(TavProtocol, ChallengeAnswerText) {
  const struct {
    const char* Challenge;
    const char* Expected;
  } kCases[] = {
      // password before the last five bytes, then the user after the first four
      {"ABCDEFGHIJ", "ABCDuserEpwFGHIJ"},
      {"ABCDE", "pwABuserCDE"},
      // shorter than five: the password at the start
      {"ABC", "pwABuserC"},
      // the result shorter than four: the user at the end
      {"", "pwuser"},
  };
  for (const auto& k : kCases) {
    SCOPED_TRACE(k.Challenge);
    EXPECT_EQ(TavChallengeText(k.Challenge, "user", "pw"), k.Expected);
  }
  EXPECT_EQ(TavChallengeText("A", "u", ""), "Au");
}

TEST(TavProtocol, Md5IsRfc1321) {
  EXPECT_EQ(Hex(Md5Digest("")), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Hex(Md5Digest("abc")), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(TavProtocol, SizeReply) {
  const struct {
    std::string Reply;
    std::int64_t Size;
  } kCases[] = {
      {"1234", 1234},
      {"1234\0garbage"s, 1234},
      {"  +77", 77},
      {"0", 0},
      {"-5", -5},
      {"abc", -1},
      {"12ab", -1},
      {"", -1},
      {"\0"s, -1},
      {"12 ", -1},
      {"9223372036854775807", INT64_MAX},
      {"9223372036854775808", -1},
      {"99999999999999999999999", -1},
  };
  for (const auto& k : kCases) {
    SCOPED_TRACE(k.Reply);
    EXPECT_EQ(ParseTavSize(k.Reply), k.Size);
  }
}

TEST(TavProtocol, RequestsAndChecksum) {
  EXPECT_EQ(TavGetFileRequest("Cenik", "CENIK.dbc"), "GETFILE: \tCenik\tCENIK.dbc\t0");
  EXPECT_EQ(TavSendFileHeader(3, "OB.obx", 294), "SENDFILE: \t3\tOB.obx\t294\t\0"s);
  EXPECT_EQ(TavChecksumAdd(0, "abc", 3), 294u);
  EXPECT_EQ(TavChecksumAdd(0, "\xFF\xFF", 2), 510u); // bytes count unsigned
  EXPECT_EQ(TavBareFileName("C:\\objednavky\\OB090105.obx"), "OB090105.obx");
  EXPECT_EQ(TavBareFileName("/tmp/x/OB.obx"), "OB.obx");
}

TEST(TavProtocol, ServerReadsOnlyWellFormedRequests) {
  std::string alias, name;
  EXPECT_TRUE(ParseTavGetFileRequest("GETFILE: \tCenik\tCENIK.dbc\t0", alias, name));
  EXPECT_EQ(alias, "Cenik");
  EXPECT_EQ(name, "CENIK.dbc");
  for (const char* bad : {"GETFILE: \tCenik\tCENIK.dbc", "GETFILE:\tA\tB\t0", "GETFILE: \tA\tB\t0\textra", ""})
    EXPECT_FALSE(ParseTavGetFileRequest(bad, alias, name)) << bad;

  std::uint64_t size = 0, sum = 0;
  EXPECT_TRUE(ParseTavSendFileHeader(TavSendFileHeader(3, "a.obx", 294), size, name, sum));
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(sum, 294u);
  EXPECT_EQ(name, "a.obx");
  const std::string kBad[] = {
      "SENDFILE: \t3\ta.obx\t294\t",                    // no NUL
      "SENDFILE: \t-3\ta.obx\t294\t\0"s,                // negative size
      "SENDFILE: \t99999999999999999999999\ta\t1\t\0"s, // beyond 64 bits
      "SENDFILE: \t3\ta.obx\t\t\0"s,                    // no checksum
  };
  for (const std::string& bad : kBad)
    EXPECT_FALSE(ParseTavSendFileHeader(bad, size, name, sum)) << bad;
}

} // namespace
