#include "ui/TextCompare.h"

#include "formats/CodePages.h"

namespace {

// Weights of one character at the three levels.
struct TWeights {
  int Primary = 0;   // 0: ignored at the first level
  int Secondary = 0; // 0: no accent
  int Tertiary = 0;  // 0: small letter or no case
};

constexpr int kDigitBase = 0x200;
constexpr int kLetterBase = 0x300;

// Letters of the Czech alphabet with a place of their own, after the base letter.
int CzechLetterRank(unsigned char upper) {
  switch (upper) {
  case 0xC8: // Č
    return 'C' * 4 + 2;
  case 0xD8: // Ř
    return 'R' * 4 + 2;
  case 0x8A: // Š
    return 'S' * 4 + 2;
  case 0x8E: // Ž
    return 'Z' * 4 + 2;
  default:
    return 0;
  }
}

// Reads the characters of a joined text one by one.
class TCursor {
public:
  explicit TCursor(const TJoinedText& text) : FText(text) {}

  bool AtEnd() const { return FIndex >= Length(); }

  // The weights of the next character (or "ch" pair), moving past it.
  TWeights Next() {
    const unsigned char c = At(FIndex++);
    TWeights w;
    const unsigned char upper = static_cast<unsigned char>(AnsiUpperChar(static_cast<char>(c)));
    const unsigned char base =
        static_cast<unsigned char>(AnsiUpperChar(static_cast<char>(CZConv::Diacritics1250[upper])));
    w.Tertiary = upper != c ? 0 : (base >= 'A' && base <= 'Z' ? 1 : 0);
    if (c == '-' || c == '\'')
      return w; // passed over at the first level
    if (c >= '0' && c <= '9') {
      w.Primary = kDigitBase + (c - '0');
      return w;
    }
    if (const int rank = CzechLetterRank(upper)) {
      w.Primary = kLetterBase + rank;
      return w;
    }
    if (base >= 'A' && base <= 'Z') {
      if (base == 'C' && upper == 'C' && !AtEnd()) {
        const unsigned char next = At(FIndex);
        if (next == 'h' || next == 'H') {
          ++FIndex;
          w.Primary = kLetterBase + 'H' * 4 + 2;
          // "CH" and "Ch" are capitals; "cH" counts as small.
          return w;
        }
      }
      w.Primary = kLetterBase + base * 4;
      w.Secondary = upper == base ? 0 : upper;
      return w;
    }
    w.Primary = 1 + c; // spaces and signs, in byte order, before the digits
    return w;
  }

  unsigned char Byte(std::size_t index) const { return At(index); }
  std::size_t Length() const {
    return static_cast<std::size_t>(FText.PadSpaces) + FText.First.size() + FText.Second.size();
  }

private:
  unsigned char At(std::size_t index) const {
    const std::size_t pad = static_cast<std::size_t>(FText.PadSpaces);
    if (index < pad)
      return ' ';
    index -= pad;
    if (index < FText.First.size())
      return static_cast<unsigned char>(FText.First[index]);
    return static_cast<unsigned char>(FText.Second[index - FText.First.size()]);
  }

  const TJoinedText& FText;
  std::size_t FIndex = 0;
};

int Sign(int d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); }

// Compares the weights of one level, skipping characters with weight 0 at that level only
// for the first one (the others count every character).
template <typename Get> int CompareLevel(const TJoinedText& a, const TJoinedText& b, Get get, bool skipZero) {
  TCursor ca(a), cb(b);
  for (;;) {
    int wa = 0, wb = 0;
    bool haveA = false, haveB = false;
    while (!haveA && !ca.AtEnd()) {
      wa = get(ca.Next());
      haveA = !skipZero || wa != 0;
    }
    while (!haveB && !cb.AtEnd()) {
      wb = get(cb.Next());
      haveB = !skipZero || wb != 0;
    }
    if (!haveA || !haveB)
      return haveA ? 1 : (haveB ? -1 : 0);
    if (wa != wb)
      return Sign(wa - wb);
  }
}

} // namespace

int CompareLocaleText(const TJoinedText& a, const TJoinedText& b) {
  if (int r = CompareLevel(
          a, b, [](const TWeights& w) { return w.Primary; }, true))
    return r;
  if (int r = CompareLevel(
          a, b, [](const TWeights& w) { return w.Secondary; }, false))
    return r;
  if (int r = CompareLevel(
          a, b, [](const TWeights& w) { return w.Tertiary; }, false))
    return r;
  TCursor ca(a), cb(b);
  const std::size_t la = ca.Length(), lb = cb.Length();
  for (std::size_t i = 0; i < la && i < lb; ++i)
    if (ca.Byte(i) != cb.Byte(i))
      return ca.Byte(i) < cb.Byte(i) ? -1 : 1;
  return la < lb ? -1 : (la > lb ? 1 : 0);
}

int CompareLocaleText(std::string_view a, std::string_view b) {
  return CompareLocaleText(TJoinedText{0, a, {}}, TJoinedText{0, b, {}});
}
