#include "ui/TextCompare.h"

#include <iterator>
#include <set>

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

// The weights of a single byte, "ch" aside.
TWeights ByteWeights(unsigned char c) {
  TWeights w;
  const unsigned char upper = static_cast<unsigned char>(AnsiUpperChar(static_cast<char>(c)));
  const unsigned char base =
      static_cast<unsigned char>(AnsiUpperChar(static_cast<char>(CZConv::Diacritics1250[upper])));
  w.Tertiary = upper != c ? 0 : (base >= 'A' && base <= 'Z' ? 1 : 0);
  if (c == '-' || c == '\'')
    return w; // passed over at the first level
  if (c >= '0' && c <= '9')
    w.Primary = kDigitBase + (c - '0');
  else if (const int rank = CzechLetterRank(upper))
    w.Primary = kLetterBase + rank;
  else if (base >= 'A' && base <= 'Z') {
    w.Primary = kLetterBase + base * 4;
    w.Secondary = upper == base ? 0 : upper;
  } else
    w.Primary = 1 + c; // spaces and signs, in byte order, before the digits
  return w;
}

// The weights of every byte and of "ch", each level replaced by its dense rank (0 stays 0),
// so that a sort key holds each in one byte.
struct TWeightTable {
  TWeights Of[256];
  TWeights Ch{kLetterBase + 'H' * 4 + 2, 0, 0};

  TWeightTable() {
    for (int c = 0; c < 256; ++c)
      Of[c] = ByteWeights(static_cast<unsigned char>(c));
    std::set<int> primary{0, Ch.Primary}, secondary{0};
    for (const TWeights& w : Of) {
      primary.insert(w.Primary);
      secondary.insert(w.Secondary);
    }
    auto rank = [](const std::set<int>& weights, int weight) {
      return weight == 0 ? 0 : static_cast<int>(std::distance(weights.begin(), weights.find(weight)));
    };
    for (TWeights& w : Of) {
      w.Primary = rank(primary, w.Primary);
      w.Secondary = rank(secondary, w.Secondary);
    }
    Ch.Primary = rank(primary, Ch.Primary);
  }
};

const TWeightTable& Weights() {
  static const TWeightTable table;
  return table;
}

// Reads the characters of a joined text one by one.
class TCursor {
public:
  TCursor(const TJoinedText& text, std::size_t start = 0) : FText(text), FIndex(start) {}

  bool AtEnd() const { return FIndex >= Length(); }

  // The weights of the next character (or "ch" pair), moving past it.
  TWeights Next() {
    const unsigned char c = At(FIndex++);
    if ((c == 'c' || c == 'C') && !AtEnd()) {
      const unsigned char next = At(FIndex);
      if (next == 'h' || next == 'H') {
        ++FIndex;
        // "CH" and "Ch" are capitals; "cH" counts as small.
        TWeights w = Weights().Ch;
        w.Tertiary = c == 'C' ? 1 : 0;
        return w;
      }
    }
    return Weights().Of[c];
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
template <typename Get>
int CompareLevel(const TJoinedText& a, const TJoinedText& b, std::size_t start, Get get, bool skipZero) {
  TCursor ca(a, start), cb(b, start);
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

void AppendLocaleSortKey(const TJoinedText& text, std::string& key) {
  // Ranks are below 256 (the table has fewer weights than bytes, plus "ch"); a level ends with
  // 0, which is below every rank written. One pass: the primary level goes straight into the
  // key, the other two wait in buffers reused across calls.
  thread_local std::string secondary, tertiary;
  secondary.clear();
  tertiary.clear();
  TCursor c(text);
  key.reserve(key.size() + 3 * c.Length() + 2);
  while (!c.AtEnd()) {
    const TWeights w = c.Next();
    if (w.Primary)
      key += static_cast<char>(w.Primary);
    secondary += static_cast<char>(w.Secondary + 1);
    tertiary += static_cast<char>(w.Tertiary + 1);
  }
  key += '\0';
  key += secondary;
  key += '\0';
  key += tertiary;
}

void AppendLocalePrimaryKey(const TJoinedText& text, std::string& key) {
  // The cursor's work without its per-character bookkeeping: a sort takes this key of every
  // card. A "c" is written at once and turned into "ch" when an "h" follows it, also across
  // the seam of the two pieces.
  const TWeightTable& weights = Weights();
  key.append(static_cast<std::size_t>(text.PadSpaces), static_cast<char>(weights.Of[' '].Primary));
  bool afterC = false;
  for (const std::string_view piece : {text.First, text.Second})
    for (const char byte : piece) {
      const auto c = static_cast<unsigned char>(byte);
      if (afterC && (c == 'h' || c == 'H')) {
        key.back() = static_cast<char>(weights.Ch.Primary);
        afterC = false;
        continue;
      }
      afterC = c == 'c' || c == 'C';
      if (const int primary = weights.Of[c].Primary)
        key += static_cast<char>(primary);
    }
}

int CompareLocaleText(const TJoinedText& a, const TJoinedText& b) {
  // An equal start weighs the same on both sides at every level, so every level starts after
  // it; a "c" at its end may begin a "ch" and stays in.
  const TCursor ca(a), cb(b);
  const std::size_t la = ca.Length(), lb = cb.Length();
  std::size_t start = 0;
  while (start < la && start < lb && ca.Byte(start) == cb.Byte(start))
    ++start;
  if (start == la && start == lb)
    return 0;
  const bool bytesFirst = start == la || (start < lb && ca.Byte(start) < cb.Byte(start));
  if (start > 0 && (ca.Byte(start - 1) == 'c' || ca.Byte(start - 1) == 'C'))
    --start;
  const auto primary = [](const TWeights& w) { return w.Primary; };
  const auto secondary = [](const TWeights& w) { return w.Secondary; };
  const auto tertiary = [](const TWeights& w) { return w.Tertiary; };
  if (int r = CompareLevel(a, b, start, primary, true))
    return r;
  if (int r = CompareLevel(a, b, start, secondary, false))
    return r;
  if (int r = CompareLevel(a, b, start, tertiary, false))
    return r;
  return bytesFirst ? -1 : 1;
}

int CompareLocaleText(std::string_view a, std::string_view b) {
  return CompareLocaleText(TJoinedText{0, a, {}}, TJoinedText{0, b, {}});
}
