#include "formats/CodePages.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "formats/Cp1250Utf8.h"

namespace {

struct Letter {
  const char* Utf8;
  unsigned char Byte; // position in the DOS code page
};

// Positions in code page 852 as published (checked against Python's cp852 codec).
const std::vector<Letter> k852Letters = {
    {"á", 0xA0}, {"ä", 0x84}, {"č", 0x9F}, {"ď", 0xD4}, {"é", 0x82}, {"ě", 0xD8}, {"í", 0xA1}, {"ĺ", 0x92}, {"ľ", 0x96},
    {"ň", 0xE5}, {"ó", 0xA2}, {"ô", 0x93}, {"ŕ", 0xEA}, {"ř", 0xFD}, {"š", 0xE7}, {"ť", 0x9C}, {"ú", 0xA3}, {"ů", 0x85},
    {"ý", 0xEC}, {"ž", 0xA7}, {"Á", 0xB5}, {"Ä", 0x8E}, {"Č", 0xAC}, {"Ď", 0xD2}, {"É", 0x90}, {"Ě", 0xB7}, {"Í", 0xD6},
    {"Ĺ", 0x91}, {"Ľ", 0x95}, {"Ň", 0xD5}, {"Ó", 0xE0}, {"Ô", 0xE2}, {"Ŕ", 0xE8}, {"Ř", 0xFC}, {"Š", 0xE6}, {"Ť", 0x9B},
    {"Ú", 0xE9}, {"Ů", 0xDE}, {"Ý", 0xED}, {"Ž", 0xA6}, {"ö", 0x94}, {"ü", 0x81}, {"ű", 0xFB}, {"Ö", 0x99}, {"Ü", 0x9A},
    {"§", 0xF5}, {"°", 0xF8}, {"«", 0xAE}, {"»", 0xAF},
};

// Positions in the Kamenický code page (KEYBCS2).
const std::vector<Letter> kKamenickyLetters = {
    {"Č", 0x80}, {"ü", 0x81}, {"é", 0x82}, {"ď", 0x83}, {"ä", 0x84}, {"Ď", 0x85}, {"Ť", 0x86}, {"č", 0x87}, {"ě", 0x88},
    {"Ě", 0x89}, {"Ĺ", 0x8A}, {"Í", 0x8B}, {"ľ", 0x8C}, {"ĺ", 0x8D}, {"Ä", 0x8E}, {"Á", 0x8F}, {"É", 0x90}, {"ž", 0x91},
    {"Ž", 0x92}, {"ô", 0x93}, {"ö", 0x94}, {"Ó", 0x95}, {"ů", 0x96}, {"Ú", 0x97}, {"ý", 0x98}, {"Ö", 0x99}, {"Ü", 0x9A},
    {"Š", 0x9B}, {"Ľ", 0x9C}, {"Ý", 0x9D}, {"Ř", 0x9E}, {"ť", 0x9F}, {"á", 0xA0}, {"í", 0xA1}, {"ó", 0xA2}, {"ú", 0xA3},
    {"ň", 0xA4}, {"Ň", 0xA5}, {"Ů", 0xA6}, {"Ô", 0xA7}, {"š", 0xA8}, {"ř", 0xA9}, {"ŕ", 0xAA}, {"Ŕ", 0xAB},
};

unsigned char Cp1250Byte(const char* utf8) {
  const std::string s = Cz(utf8);
  EXPECT_EQ(s.size(), 1u) << utf8;
  return static_cast<unsigned char>(s[0]);
}

std::string Byte(int b) { return std::string(1, static_cast<char>(b)); }

// Every byte: the listed letters move, everything else (ASCII included) stays.
void CheckWholeTable(const std::vector<Letter>& letters, const TCodeTable& toCp1250, const TCodeTable& fromCp1250,
                     std::map<int, int> extraFrom1250 = {}) {
  std::map<int, int> expectedTo1250, expectedFrom1250 = std::move(extraFrom1250);
  for (const Letter& l : letters) {
    expectedTo1250[l.Byte] = Cp1250Byte(l.Utf8);
    expectedFrom1250[Cp1250Byte(l.Utf8)] = l.Byte;
  }
  for (int b = 0; b < 256; ++b) {
    SCOPED_TRACE(b);
    const auto to = expectedTo1250.find(b);
    EXPECT_EQ(toCp1250[b], to == expectedTo1250.end() ? b : to->second);
    const auto from = expectedFrom1250.find(b);
    EXPECT_EQ(fromCp1250[b], from == expectedFrom1250.end() ? b : from->second);
  }
}

TEST(CodePages, Cp852TableMovesExactlyTheListedCharacters) {
  // The division sign goes to code page 852 on writing only.
  CheckWholeTable(k852Letters, CZConv::Cp852To1250, CZConv::Cp1250To852, {{0xF7, 0xF6}});
  EXPECT_EQ(Cp852ToCp1250(Byte(0xF6)), Byte(0xF6));
}

TEST(CodePages, KamenickyTableMovesExactlyTheListedLetters) {
  CheckWholeTable(kKamenickyLetters, CZConv::KamenickyTo1250, CZConv::Cp1250ToKamenicky);
}

TEST(CodePages, CzechTextSurvivesTheRoundTrip) {
  const std::string text = Cz("Příliš žluťoučký kůň úpěl ďábelské ódy ŤĎŇ § 12° «ok»");
  const std::string dos = Cp1250ToCp852(text);
  EXPECT_EQ(Cp852ToCp1250(dos), text);
  // Spot check of the stored bytes: "Př" is 'P', 0xFD in code page 852.
  EXPECT_EQ(dos.substr(0, 2), "P\xFD");
  // Kamenický carries the letters only; the signs would come back as other letters.
  const std::string letters = Cz("Příliš žluťoučký kůň úpěl ďábelské ódy ŤĎŇ Ĺĺ Ŕŕ Ľľ äöü ÄÖÜ");
  EXPECT_EQ(KamenickyToCp1250(Cp1250ToKamenicky(letters)), letters);
}

TEST(CodePages, RemoveDiacriticsFoldsTheListedLetters) {
  const struct {
    const char* From;
    const char* To;
  } rows[] = {
      {"ÁÂĂÄ", "AAAA"},
      {"ĆÇČ", "CCC"},
      {"ĎĐ", "DD"},
      {"ÉĘËĚ", "EEEE"},
      {"ÍÎ", "II"},
      {"ĹĽ", "LL"},
      {"ŃŇ", "NN"},
      {"ÓÔŐÖ", "OOOO"},
      {"ŔŘ", "RR"},
      {"ŠŚ", "SS"},
      {"ŤŢ", "TT"},
      {"ÚŮŰÜ", "UUUU"},
      {"Ý", "Y"},
      {"ŽŹ", "ZZ"},
      {"ß", "S"},
      {"áâăä", "aaaa"},
      {"ćçč", "ccc"},
      {"ďđ", "dd"},
      {"éęëě", "eeee"},
      {"íî", "ii"},
      {"ĺľ", "ll"},
      {"ńň", "nn"},
      {"óôőö", "oooo"},
      {"ŕř", "rr"},
      {"šśş", "sss"},
      {"ťţ", "tt"},
      {"úůűü", "uuuu"},
      {"ý", "y"},
      {"žźż", "zzz"},
      // Left as they are.
      {"ĄąŁłŞŻ", "ĄąŁłŞŻ"},
      {"×÷§°µ€", "×÷§°µ€"},
      {"Abc 123", "Abc 123"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.From);
    EXPECT_EQ(Cp1250ToUtf8(RemoveDiacritics(Cz(row.From))), row.To);
  }
}

TEST(CodePages, CaseMappingCoversLettersWithDiacritics) {
  // Every cased letter of code page 1250 outside ASCII, small and capital in the same order.
  const std::string small = Cz("šśťžźłąşľżŕáâăäĺćçčéęëěíîďđńňóôőöřůúűüýţ");
  const std::string capital = Cz("ŠŚŤŽŹŁĄŞĽŻŔÁÂĂÄĹĆÇČÉĘËĚÍÎĎĐŃŇÓÔŐÖŘŮÚŰÜÝŢ");
  EXPECT_EQ(AnsiUpperCase(small), capital);
  EXPECT_EQ(AnsiLowerCase(capital), small);
  EXPECT_EQ(AnsiUpperChar('\x9A'), '\x8A'); // š -> Š
  EXPECT_EQ(AnsiLowerChar('\xBC'), '\xBE'); // Ľ -> ľ
  EXPECT_EQ(AnsiUpperCase("abc xyz 09"), "ABC XYZ 09");
  EXPECT_EQ(AnsiLowerCase("ABC XYZ 09"), "abc xyz 09");
  // No single-byte counterpart: sharp s, micro sign, multiplication and division signs.
  const std::string caseless = Cz("ßµ×÷§");
  EXPECT_EQ(AnsiUpperCase(caseless), caseless);
  EXPECT_EQ(AnsiLowerCase(caseless), caseless);
  // Nothing else changes case.
  std::string all;
  for (int b = 0; b < 256; ++b)
    all += static_cast<char>(b);
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    const bool cased = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || small.find(c) != std::string::npos ||
                       capital.find(c) != std::string::npos;
    if (!cased) {
      SCOPED_TRACE(b);
      EXPECT_EQ(AnsiUpperChar(c), c);
      EXPECT_EQ(AnsiLowerChar(c), c);
    }
  }
}

} // namespace
