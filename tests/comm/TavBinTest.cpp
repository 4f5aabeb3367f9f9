#include <gtest/gtest.h>

#include <sys/stat.h>

#include "comm/TavBin.h"
#include "core/Errors.h"
#include "formats/Cp1250Utf8.h"
#include "support/TestSupport.h"

namespace {

// A connection file: key, length byte, filler of 2n+2 bytes, then the payload xor key.
std::string Scrambled(std::uint8_t key, std::uint8_t n, const std::string& payload) {
  std::string bytes;
  bytes += static_cast<char>(key);
  bytes += static_cast<char>(n ^ key);
  bytes += std::string(2 * n + 2, '\x5A');
  for (char ch : payload)
    bytes += static_cast<char>(static_cast<std::uint8_t>(ch) ^ key);
  return bytes;
}

TEST(TavBin, ReadsTheFourFields) {
  const TTavConnection c = ParseTavBin(Scrambled(0x37, 3, Cz("tav.example.cz:2100\tŽluťák\theslo\tTrue\t")));
  EXPECT_EQ(c.Host, "tav.example.cz");
  EXPECT_EQ(c.Port, 2100);
  EXPECT_EQ(c.User, Cz("Žluťák"));
  EXPECT_EQ(c.Password, "heslo");
  EXPECT_TRUE(c.Challenge);
}

TEST(TavBin, PayloadStartsAfterTwoNPlusFourBytes) {
  // n = 0: the payload is the fifth byte on; n = 255: byte 515 on.
  for (int n : {0, 1, 255}) {
    SCOPED_TRACE(n);
    const std::string payload = "h:1\tu\tp\t0\t";
    const std::string bytes = Scrambled(0xA5, static_cast<std::uint8_t>(n), payload);
    EXPECT_EQ(bytes.size() - payload.size(), static_cast<std::size_t>(2 * n + 4));
    const TTavConnection c = ParseTavBin(bytes);
    EXPECT_EQ(c.Host, "h");
    EXPECT_EQ(c.Port, 1);
    EXPECT_EQ(c.User, "u");
    EXPECT_EQ(c.Password, "p");
  }
}

TEST(TavBin, ShortAndOddFiles) {
  // One byte: four empty fields, port 0, plain login.
  TTavConnection c = ParseTavBin("\x11");
  EXPECT_EQ(c.Host, "");
  EXPECT_EQ(c.Port, 0);
  EXPECT_EQ(c.User, "");
  EXPECT_FALSE(c.Challenge);
  EXPECT_EQ(ParseTavBin("").Host, "");

  // Everything after the fourth TAB is never read.
  c = ParseTavBin(Scrambled(1, 2, "h:5\tu\tp\t1\tfifth\tmore"));
  EXPECT_TRUE(c.Challenge);
  EXPECT_EQ(c.Password, "p");

  // A server field without a colon: empty host, the whole field is the port.
  c = ParseTavBin(Scrambled(9, 0, "2100\tu\tp\t0\t"));
  EXPECT_EQ(c.Host, "");
  EXPECT_EQ(c.Port, 2100);

  // A port that is not a number is 0; the file ending inside a field keeps what was read.
  c = ParseTavBin(Scrambled(9, 0, "host:abc\tus"));
  EXPECT_EQ(c.Host, "host");
  EXPECT_EQ(c.Port, 0);
  EXPECT_EQ(c.User, "us");
  EXPECT_EQ(c.Password, "");
}

TEST(TavBin, LoginModeField) {
  const struct {
    const char* Text;
    bool Challenge;
  } kCases[] = {{"1", true},      {"-1", true},   {"0", false}, {"TRUE", true}, {"true", true},
                {"False", false}, {"ano", false}, {"", false},  {"12x", false}};
  for (const auto& k : kCases) {
    SCOPED_TRACE(k.Text);
    EXPECT_EQ(TavBoolField(k.Text), k.Challenge);
  }
}

TEST(TavBin, WrittenFileReadsBack) {
  TempDir dir;
  const std::string file = dir.File("TAV.BIN");
  TTavConnection c;
  c.Host = "10.1.2.3";
  c.Port = 65000;
  c.User = Cz("Dodavatel č. 1");
  c.Password = Cz("tajné");
  for (bool challenge : {false, true}) {
    c.Challenge = challenge;
    WriteTavBin(file, c);
    const TTavConnection back = ReadTavBin(file);
    EXPECT_EQ(back.Host, c.Host);
    EXPECT_EQ(back.Port, c.Port);
    EXPECT_EQ(back.User, c.User);
    EXPECT_EQ(back.Password, c.Password);
    EXPECT_EQ(back.Challenge, challenge);
  }
  // The password is not readable in the file, and only the owner may read it.
  EXPECT_EQ(ReadFileBytes(file).find(Cz("tajné\t")), std::string::npos);
  struct stat st {};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  c.Password = "a\tb";
  EXPECT_THROW(WriteTavBin(file, c), Exception);
  EXPECT_THROW(ReadTavBin(dir.File("missing.bin")), EInOutError);
}

} // namespace
