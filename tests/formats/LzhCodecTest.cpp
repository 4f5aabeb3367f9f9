#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "formats/Cp1250Utf8.h"
#include "formats/LzhCodec.h"
#include "formats/LzhTestSupport.h"
#include "support/LzhSamples.h"

namespace {

using lzhsamples::DbaseLikeText;
using lzhsamples::PseudoRandomBytes;
using lzhtest::RunClassic;

struct TStreamCase {
  const char* Name;
  std::string Input;
};

void PrintTo(const TStreamCase& c, std::ostream* os) { *os << c.Name; }

template <std::size_t Size> std::string Bytes(const char (&text)[Size]) { return std::string(text, Size - 1); }

std::string Repeat(const std::string& piece, std::size_t size) {
  std::string s;
  while (s.size() < size)
    s += piece;
  s.resize(size);
  return s;
}

std::vector<TStreamCase> StreamCases() {
  std::string mixed = DbaseLikeText(60000, 3) + PseudoRandomBytes(30000, 4) + std::string(5000, '\0') +
                      Repeat("Objednávka č. 17\r\n", 20000) + DbaseLikeText(20000, 5);
  return {
      {"Empty", ""},
      {"OneByte", "x"},
      {"ShortText", "Ceník zboží platný od 1. 1. 2024\r\n"},
      {"Identical4096", std::string(4096, 'A')},
      {"Spaces", std::string(300, ' ')},
      // Short inputs whose matches run into the untouched end of the ring and its zero
      // mirror: here the tie-breaks of the search tree decide the bytes.
      {"TiesAaaa", "aaaa"},
      {"TiesAbab", "abababab"},
      {"TiesSpaces", "  x  x  x "},
      {"TiesZeros", std::string("\0\0\0a\0\0\0a\0\0\0", 11)},
      {"Ties59", Repeat("abc", 59)},
      {"Ties60", Repeat("abc", 60)},
      {"Ties61", Repeat("ab ", 61)},
      {"Ties4100", Repeat("xyz", 4100)},
      // The untouched end of the ring and the mirror past it start as zeros, not spaces.
      {"TiesRingEnd", Bytes("\0aa   ")},
      {"TiesMirror", Bytes("baa \0ababab bbbb bb\0\0ab \0\0\0abbb\0aaabaa\0\0\0  baa a\0b \0\0aa aa a")},
      {"DbaseLike", DbaseLikeText(70000, 1)},
      {"RandomBytes", PseudoRandomBytes(20000, 2)},
      {"Mixed", mixed},
  };
}

class LzhStreamTest : public ::testing::TestWithParam<TStreamCase> {};

TEST_P(LzhStreamTest, MatchesTheClassicProgramBothWays) {
  const std::string& input = GetParam().Input;
  const std::string ours = LzhEncodeBytes(input);
  const std::string classic = RunClassic("e", input);
  ASSERT_EQ(ours.size(), classic.size());
  EXPECT_TRUE(ours == classic) << "first difference at byte "
                               << std::mismatch(ours.begin(), ours.end(), classic.begin()).first - ours.begin();
  EXPECT_TRUE(LzhDecodeBytes(classic, "x.lzh") == input);
  EXPECT_TRUE(RunClassic("d", ours) == input);
}

INSTANTIATE_TEST_SUITE_P(Inputs, LzhStreamTest, ::testing::ValuesIn(StreamCases()),
                         [](const ::testing::TestParamInfo<TStreamCase>& param) { return param.param.Name; });

// Many small inputs over a tiny alphabet (with spaces and zeros, the ring's two fillers):
// full of equal-length matches at different distances, where a finder that is merely
// "nearest longest" would differ from the classic.
TEST(LzhStream, SmallInputsMatchTheClassicProgram) {
  lzhsamples::TSampleRandom random(11);
  const char alphabet[] = {' ', '\0', 'a', 'b'};
  for (int round = 0; round < 40; round++) {
    std::string input(random.Below(400), ' ');
    for (char& c : input)
      c = alphabet[random.Below(4)];
    SCOPED_TRACE("round " + std::to_string(round) + ", size " + std::to_string(input.size()));
    ASSERT_TRUE(LzhEncodeBytes(input) == RunClassic("e", input));
  }
}

TEST(LzhStream, EmptyInputIsFourZeroBytes) {
  EXPECT_EQ(LzhEncodeBytes(""), std::string(4, '\0'));
  EXPECT_EQ(LzhDecodeBytes(std::string(4, '\0'), "x"), "");
}

TEST(LzhStream, IdenticalBytesPackTightly) {
  const std::string input(4096, 'Q');
  const std::string packed = LzhEncodeBytes(input);
  EXPECT_LT(packed.size(), 150u);
  EXPECT_EQ(LzhDecodeBytes(packed, "x"), input);
}

// The classic encoder keeps a code in 16 bits; this input needs 17. We write the whole code:
// our stream reads back, also with the classic decoder, while the classic's own stream is
// different and does not.
TEST(LzhStream, CodeLongerThan16BitsIsWrittenInFull) {
  const std::string input = lzhtest::DeepTreeInput();
  const std::string ours = LzhEncodeBytes(input);
  EXPECT_TRUE(LzhDecodeBytes(ours, "x") == input);
  EXPECT_TRUE(RunClassic("d", ours) == input);
  const std::string classic = RunClassic("e", input);
  EXPECT_FALSE(classic == ours) << "the input no longer reaches a 17-bit code";
  EXPECT_FALSE(RunClassic("d", classic) == input);
}

void ExpectFormatError(const std::string& stream) {
  try {
    LzhDecodeBytes(stream, "CENIK.LZH");
    FAIL() << "no error";
  } catch (const ELZHException& e) {
    EXPECT_EQ(Cp1250ToUtf8(e.what()), "Soubor CENIK.LZH nemá správný formát dat");
  }
}

// Every cut, also inside the count, leaves bits the decoder needs: the last byte always
// holds a bit of the last symbol.
TEST(LzhStream, TruncatedStreamIsFormatError) {
  const std::string input = DbaseLikeText(3000, 9);
  const std::string packed = LzhEncodeBytes(input);
  for (std::size_t cut = 0; cut < packed.size(); cut++) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    ExpectFormatError(packed.substr(0, cut));
  }
}

TEST(LzhStream, ForgedCountEndsWithFormatError) {
  std::string stream = LzhEncodeBytes(DbaseLikeText(2000, 1));
  stream[0] = stream[1] = stream[2] = stream[3] = '\xff'; // count 4 GB - 1
  ExpectFormatError(stream);
}

// Whatever the bits say, decoding ends with the count or the format error.
TEST(LzhStream, HostileStreamsNeverFailOtherwise) {
  for (std::uint64_t seed = 1; seed <= 200; seed++) {
    std::string stream = PseudoRandomBytes(1 + seed % 97, seed);
    stream[2] = stream[3] = '\0'; // a count below 64 KB keeps the run short
    try {
      const std::string out = LzhDecodeBytes(stream, "x");
      EXPECT_EQ(out.size(), static_cast<unsigned char>(stream[0]) | static_cast<unsigned char>(stream[1]) << 8);
    } catch (const ELZHException&) {
    }
  }
}

// A codec whose input or output fails part way, as a vanishing file or a full disk would.
class TFailingLZH : public _LZH {
public:
  TFailingLZH(std::string input, std::size_t failInputAt, std::size_t failOutputAt)
      : _LZH("x"), FInput(std::move(input)), FFailInputAt(failInputAt), FFailOutputAt(failOutputAt) {}
  void Run() { Encode(static_cast<std::uint32_t>(FInput.size())); }

protected:
  void FlushOutput(const unsigned char*, std::size_t size) override {
    FWritten += size;
    if (FWritten > FFailOutputAt)
      throw EInOutError("disk full");
  }
  std::size_t FillInput(unsigned char* data, std::size_t capacity) override {
    if (FRead >= FFailInputAt)
      throw EInOutError("gone");
    const std::size_t n = std::min(capacity, FInput.size() - FRead);
    std::memcpy(data, FInput.data() + FRead, n);
    FRead += n;
    return n;
  }

private:
  std::string FInput;
  std::size_t FFailInputAt, FFailOutputAt;
  std::size_t FRead = 0, FWritten = 0;
};

// Large inputs are coded by two threads; a failure on either side ends the run with that
// failure, nothing hangs and nothing runs on.
TEST(LzhStream, FailuresPartWayThroughAreReported) {
  const std::string input = PseudoRandomBytes(400000, 6) + DbaseLikeText(400000, 6);
  for (std::size_t at : {std::size_t{1}, std::size_t{100000}, std::size_t{300000}}) {
    SCOPED_TRACE(at);
    TFailingLZH reading(input, at, SIZE_MAX);
    EXPECT_THROW(reading.Run(), EInOutError);
    TFailingLZH writing(input, SIZE_MAX, at);
    EXPECT_THROW(writing.Run(), EInOutError);
  }
}

} // namespace
