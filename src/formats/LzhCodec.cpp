#include "formats/LzhCodec.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/Format.h"
#include "formats/Cp1250Utf8.h"

namespace {

constexpr int NIL = _LZH::N; // leaf of the search tree

// Deepest possible Huffman code: the counts stay below 0x8000, and a tree whose leaves keep
// the sibling order is no deeper than a Fibonacci chain of that weight (21 levels).
constexpr int MaxDepth = 40;

// Fixed code of the upper 6 bits of a match position: lengths and codes (left-aligned in a
// byte); and for decoding, indexed by the next 8 input bits, the upper bits and code length.
constexpr unsigned char p_len[64] = {3, 4, 4, 4, 5, 5, 5, 5, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6,
                                     6, 6, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,
                                     7, 7, 7, 7, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8};

constexpr unsigned char p_code[64] = {0x00, 0x20, 0x30, 0x40, 0x50, 0x58, 0x60, 0x68, 0x70, 0x78, 0x80, 0x88, 0x90,
                                      0x94, 0x98, 0x9C, 0xA0, 0xA4, 0xA8, 0xAC, 0xB0, 0xB4, 0xB8, 0xBC, 0xC0, 0xC2,
                                      0xC4, 0xC6, 0xC8, 0xCA, 0xCC, 0xCE, 0xD0, 0xD2, 0xD4, 0xD6, 0xD8, 0xDA, 0xDC,
                                      0xDE, 0xE0, 0xE2, 0xE4, 0xE6, 0xE8, 0xEA, 0xEC, 0xEE, 0xF0, 0xF1, 0xF2, 0xF3,
                                      0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF};

struct TPositionTables {
  unsigned char Code[256];
  unsigned char Length[256];
  constexpr TPositionTables() : Code{}, Length{} {
    for (int i = 0; i < 64; ++i)
      for (int b = p_code[i]; b < p_code[i] + (1 << (8 - p_len[i])); ++b) {
        Code[b] = static_cast<unsigned char>(i);
        Length[b] = p_len[i];
      }
  }
};
constexpr TPositionTables PositionTables;
static_assert(PositionTables.Code[0x88] == 11 && PositionTables.Length[0xff] == 8);

inline std::uint64_t LoadBigEndian64(const unsigned char* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return __builtin_bswap64(v);
}

inline std::uint64_t LoadLittleEndian64(const unsigned char* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// Where two strings that agree on bytes 1 to 8 part, looking no further than F (returns F
// when they agree up to there). Reads up to byte 72 of both.
inline int MatchRest(const unsigned char* key, const unsigned char* other) {
#if defined(__SSE2__)
  std::uint64_t equal = 0;
  for (int k = 0; k < 4; k++) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key + 9 + 16 * k));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(other + 9 + 16 * k));
    equal |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, y)))) << (16 * k);
  }
  if (equal == ~std::uint64_t{0})
    return _LZH::F;
  return std::min(9 + __builtin_ctzll(~equal), _LZH::F);
#else
  for (int i = 9; i < _LZH::F; i += 8) {
    const std::uint64_t diff = LoadLittleEndian64(key + i) ^ LoadLittleEndian64(other + i);
    if (diff != 0)
      return std::min(i + (__builtin_ctzll(diff) >> 3), _LZH::F);
  }
  return _LZH::F;
#endif
}

} // namespace

struct _LZH::TState {
  // Ring buffer with the first F - 1 bytes mirrored past its end, so a string never wraps;
  // a few more bytes let the match finder compare eight bytes at a time.
  unsigned char text_buf[N + F - 1 + 16];
  // Search tree: roots N + 1 .. N + 256 by first byte, NIL = N.
  std::int16_t lson[N + 1];
  std::int16_t rson[N + 257];
  std::int16_t dad[N + 1];
  int match_position = 0;
  int match_length = 0;

  // Huffman tree: freq[T] is a sentinel above every count, prnt[T + c] is the leaf of symbol c.
  std::uint16_t freq[T + 1];
  std::int16_t prnt[T + N_CHAR];
  std::int16_t son[T];

  unsigned char in[BufferSize + 8];
  std::size_t inPos = 0;
  std::size_t inLen = 0;
  std::uint64_t inRemaining = 0; // bytes Encode may still ask for
  bool inLimited = false;
  bool inEnded = false;

  unsigned char out[BufferSize + 64];
  std::size_t outLen = 0;

  // Bit writer: the low bitCount bits of bitBuf are pending, oldest highest.
  // Bit reader: the high bitCount bits of bitBuf are the next bits; the last padBits of them
  // were made up past the end of the input.
  std::uint64_t bitBuf = 0;
  int bitCount = 0;
  int padBits = 0;

  std::uint64_t done = 0;
  std::uint64_t total = 0;
};

_LZH::_LZH(std::string errorFileName) : FErrorFileName(std::move(errorFileName)), FState(std::make_unique<TState>()) {}

_LZH::~_LZH() = default;

void _LZH::StatusText(const std::string& /*text*/) {}

void _LZH::Progress(std::uint64_t /*done*/, std::uint64_t /*total*/) {}

void _LZH::RaiseFormatError() const {
  throw ELZHException(Format(Cz("Soubor %s nemá správný formát dat"), {FErrorFileName}));
}

// ---------------------------------------------------------------------------------------
// Search tree. The classic finder, node for node: the result (the longest match and, among
// equally long ones, the nearest) depends on which strings are in the tree and on its shape,
// so every rule here shows in the output.

void _LZH::InitTree() {
  TState& st = *FState;
  for (int i = N + 1; i <= N + 256; i++)
    st.rson[i] = NIL;
  for (int i = 0; i < N; i++)
    st.dad[i] = NIL;
}

void _LZH::InsertNode(int r) {
  TState& st = *FState;
  unsigned char* const tb = st.text_buf;
  const unsigned char* const key = tb + r;
  std::int16_t* const lson = st.lson;
  std::int16_t* const rson = st.rson;
  int cmp = 1;
  int p = N + 1 + key[0];
  rson[r] = lson[r] = NIL;
  int matchLength = 0;
  int matchPosition = st.match_position;
  for (;;) {
    if (cmp >= 0) {
      if (rson[p] != NIL)
        p = rson[p];
      else {
        rson[p] = static_cast<std::int16_t>(r);
        st.dad[r] = static_cast<std::int16_t>(p);
        st.match_length = matchLength;
        st.match_position = matchPosition;
        return;
      }
    } else {
      if (lson[p] != NIL)
        p = lson[p];
      else {
        lson[p] = static_cast<std::int16_t>(r);
        st.dad[r] = static_cast<std::int16_t>(p);
        st.match_length = matchLength;
        st.match_position = matchPosition;
        return;
      }
    }
    // Length of the common prefix from the second byte on (the first is equal by the root)
    // and the order of the first differing byte; past F the bytes do not count.
    const unsigned char* const other = tb + p;
    int i;
    i = 1;
    for (;;) {
      const std::uint64_t diff = LoadLittleEndian64(key + i) ^ LoadLittleEndian64(other + i);
      if (diff != 0) {
        i += __builtin_ctzll(diff) >> 3;
        break;
      }
      i += 8;
      if (i >= F)
        break;
    }
    if (i >= F) {
      i = F;
      cmp = 0;
    } else {
      cmp = key[i] - other[i];
    }
    if (i > THRESHOLD) {
      const int position = ((r - p) & (N - 1)) - 1;
      if (i > matchLength) {
        matchPosition = position;
        if ((matchLength = i) >= F)
          break;
      } else if (i == matchLength && position < matchPosition) {
        matchPosition = position;
      }
    }
  }
  // A string equal to the new one on all F bytes: the new one takes its place, the nearer
  // match wins from now on.
  std::int16_t* const dad = st.dad;
  dad[r] = dad[p];
  lson[r] = lson[p];
  rson[r] = rson[p];
  dad[lson[p]] = static_cast<std::int16_t>(r);
  dad[rson[p]] = static_cast<std::int16_t>(r);
  if (rson[dad[p]] == p)
    rson[dad[p]] = static_cast<std::int16_t>(r);
  else
    lson[dad[p]] = static_cast<std::int16_t>(r);
  dad[p] = NIL;
  st.match_length = matchLength;
  st.match_position = matchPosition;
}

void _LZH::DeleteNode(int p) {
  TState& st = *FState;
  std::int16_t* const lson = st.lson;
  std::int16_t* const rson = st.rson;
  std::int16_t* const dad = st.dad;
  if (dad[p] == NIL)
    return;
  int q;
  if (rson[p] == NIL)
    q = lson[p];
  else if (lson[p] == NIL)
    q = rson[p];
  else {
    // Two children: the in-order predecessor takes the node's place.
    q = lson[p];
    if (rson[q] != NIL) {
      do {
        q = rson[q];
      } while (rson[q] != NIL);
      rson[dad[q]] = lson[q];
      dad[lson[q]] = dad[q];
      lson[q] = lson[p];
      dad[lson[p]] = static_cast<std::int16_t>(q);
    }
    rson[q] = rson[p];
    dad[rson[p]] = static_cast<std::int16_t>(q);
  }
  dad[q] = dad[p];
  if (rson[dad[p]] == p)
    rson[dad[p]] = static_cast<std::int16_t>(q);
  else
    lson[dad[p]] = static_cast<std::int16_t>(q);
  dad[p] = NIL;
}

// ---------------------------------------------------------------------------------------
// Adaptive Huffman tree: nodes kept in order of frequency, the two children of a node are
// son[n] and son[n] + 1; leaves point at T + symbol.

void _LZH::StartHuff() {
  TState& st = *FState;
  for (int i = 0; i < N_CHAR; i++) {
    st.freq[i] = 1;
    st.son[i] = static_cast<std::int16_t>(i + T);
    st.prnt[i + T] = static_cast<std::int16_t>(i);
  }
  for (int i = 0, j = N_CHAR; j <= R; i += 2, j++) {
    st.freq[j] = static_cast<std::uint16_t>(st.freq[i] + st.freq[i + 1]);
    st.son[j] = static_cast<std::int16_t>(i);
    st.prnt[i] = st.prnt[i + 1] = static_cast<std::int16_t>(j);
  }
  st.freq[T] = 0xffff;
  st.prnt[R] = 0;
}

void _LZH::Reconst() {
  TState& st = *FState;
  // Leaves to the front with halved counts (rounded up), then pair them again; each new
  // inner node is placed after every node of no greater count.
  int j = 0;
  for (int i = 0; i < T; i++) {
    if (st.son[i] >= T) {
      st.freq[j] = static_cast<std::uint16_t>((st.freq[i] + 1) / 2);
      st.son[j] = st.son[i];
      j++;
    }
  }
  for (int i = 0, n = N_CHAR; n < T; i += 2, n++) {
    const unsigned f = static_cast<unsigned>(st.freq[i]) + st.freq[i + 1];
    st.freq[n] = static_cast<std::uint16_t>(f);
    int k = n - 1;
    while (f < st.freq[k])
      k--;
    k++;
    std::memmove(&st.freq[k + 1], &st.freq[k], static_cast<std::size_t>(n - k) * sizeof st.freq[0]);
    st.freq[k] = static_cast<std::uint16_t>(f);
    std::memmove(&st.son[k + 1], &st.son[k], static_cast<std::size_t>(n - k) * sizeof st.son[0]);
    st.son[k] = static_cast<std::int16_t>(i);
  }
  for (int i = 0; i < T; i++) {
    const int k = st.son[i];
    if (k >= T)
      st.prnt[k] = static_cast<std::int16_t>(i);
    else
      st.prnt[k] = st.prnt[k + 1] = static_cast<std::int16_t>(i);
  }
}

void _LZH::Update(int c) {
  TState& st = *FState;
  if (st.freq[R] == MAX_FREQ)
    Reconst();
  std::uint16_t* const freq = st.freq;
  std::int16_t* const prnt = st.prnt;
  std::int16_t* const son = st.son;
  c = prnt[c + T];
  do {
    const unsigned k = ++freq[c];
    // Order disturbed: swap the node with the last one of the old, lower count.
    if (k > freq[c + 1]) {
      int l = c + 1;
      while (k > freq[++l]) {
      }
      l--;
      freq[c] = freq[l];
      freq[l] = static_cast<std::uint16_t>(k);

      const int i = son[c];
      prnt[i] = static_cast<std::int16_t>(l);
      if (i < T)
        prnt[i + 1] = static_cast<std::int16_t>(l);

      const int j = son[l];
      son[l] = static_cast<std::int16_t>(i);

      prnt[j] = static_cast<std::int16_t>(c);
      if (j < T)
        prnt[j + 1] = static_cast<std::int16_t>(c);
      son[c] = static_cast<std::int16_t>(j);

      c = l;
    }
  } while ((c = prnt[c]) != 0);
}

// The same update when the path from the root to the symbol's leaf is known: path[0] is a
// child of the root, path[depth - 1] the leaf. Until the first exchange the parents come from
// the path instead of a chain of dependent loads; after it the walk goes on as in Update.
void _LZH::UpdatePath(const int* path, int depth, int c) {
  TState& st = *FState;
  if (st.freq[R] == MAX_FREQ) {
    Update(c);
    return;
  }
  std::uint16_t* const freq = st.freq;
  std::int16_t* const prnt = st.prnt;
  std::int16_t* const son = st.son;
  for (int level = depth - 1; level >= 0; level--) {
    int node = path[level];
    const unsigned k = ++freq[node];
    if (k > freq[node + 1]) {
      int l = node + 1;
      while (k > freq[l + 1])
        l++;
      freq[node] = freq[l];
      freq[l] = static_cast<std::uint16_t>(k);
      const int i = son[node];
      prnt[i] = static_cast<std::int16_t>(l);
      if (i < T)
        prnt[i + 1] = static_cast<std::int16_t>(l);
      const int j = son[l];
      son[l] = static_cast<std::int16_t>(i);
      prnt[j] = static_cast<std::int16_t>(node);
      if (j < T)
        prnt[j + 1] = static_cast<std::int16_t>(node);
      son[node] = static_cast<std::int16_t>(j);
      node = prnt[l];
      while (node != 0) {
        const unsigned kk = ++freq[node];
        if (kk > freq[node + 1]) {
          int ll = node + 1;
          while (kk > freq[ll + 1])
            ll++;
          freq[node] = freq[ll];
          freq[ll] = static_cast<std::uint16_t>(kk);
          const int ii = son[node];
          prnt[ii] = static_cast<std::int16_t>(ll);
          if (ii < T)
            prnt[ii + 1] = static_cast<std::int16_t>(ll);
          const int jj = son[ll];
          son[ll] = static_cast<std::int16_t>(ii);
          prnt[jj] = static_cast<std::int16_t>(node);
          if (jj < T)
            prnt[jj + 1] = static_cast<std::int16_t>(node);
          son[node] = static_cast<std::int16_t>(jj);
          node = ll;
        }
        node = prnt[node];
      }
      return;
    }
  }
  ++freq[R]; // never out of order: freq[T] is above every count
}

// ---------------------------------------------------------------------------------------
// Output.

void _LZH::FlushBuffer() {
  TState& st = *FState;
  if (st.outLen > 0) {
    const std::size_t n = st.outLen;
    st.outLen = 0;
    FlushOutput(st.out, n);
  }
}

void _LZH::PutByte(unsigned char b) {
  TState& st = *FState;
  st.out[st.outLen++] = b;
  if (st.outLen >= BufferSize)
    FlushBuffer();
}

void _LZH::PutBits(std::uint64_t code, int length) {
  TState& st = *FState;
  if (length > 32) {
    PutBits(code >> 32, length - 32);
    length = 32;
    code &= 0xffffffffu;
  }
  st.bitBuf = (st.bitBuf << length) | code;
  st.bitCount += length;
  if (st.bitCount >= 32) {
    st.bitCount -= 32;
    const auto word = static_cast<std::uint32_t>(st.bitBuf >> st.bitCount);
    unsigned char* o = st.out + st.outLen;
    o[0] = static_cast<unsigned char>(word >> 24);
    o[1] = static_cast<unsigned char>(word >> 16);
    o[2] = static_cast<unsigned char>(word >> 8);
    o[3] = static_cast<unsigned char>(word);
    st.outLen += 4;
    if (st.outLen >= BufferSize)
      FlushBuffer();
  }
}

void _LZH::FlushBits() {
  TState& st = *FState;
  while (st.bitCount >= 8) {
    st.bitCount -= 8;
    PutByte(static_cast<unsigned char>(st.bitBuf >> st.bitCount));
  }
  if (st.bitCount > 0)
    PutByte(static_cast<unsigned char>(st.bitBuf << (8 - st.bitCount)));
  st.bitCount = 0;
}

void _LZH::EncodeChar(unsigned c) {
  TState& st = *FState;
  // The code is the path from the root: an odd node is the second child. The tree is no
  // deeper than MaxDepth, so 64 bits hold any code, also the ones the classic cuts to 16.
  int up[MaxDepth];
  std::uint64_t code = 0;
  int length = 0;
  int k = st.prnt[c + T];
  do {
    if (length == MaxDepth)
      throw std::logic_error("LZH tree deeper than its counts allow");
    up[MaxDepth - 1 - length] = k;
    code |= static_cast<std::uint64_t>(k & 1) << length;
    length++;
    k = st.prnt[k];
  } while (k != R);
  PutBits(code, length);
  UpdatePath(up + MaxDepth - length, length, static_cast<int>(c));
}

void _LZH::EncodePosition(unsigned c) {
  const unsigned upper = c >> 6;
  const int length = p_len[upper];
  PutBits((static_cast<unsigned>(p_code[upper] >> (8 - length)) << 6) | (c & 0x3f), length + 6);
}

// ---------------------------------------------------------------------------------------
// Input.

bool _LZH::RefillInput() {
  TState& st = *FState;
  if (st.inEnded)
    return false;
  std::size_t want = BufferSize;
  if (st.inLimited)
    want = static_cast<std::size_t>(std::min<std::uint64_t>(BufferSize, st.inRemaining));
  st.inPos = 0;
  st.inLen = want > 0 ? FillInput(st.in, want) : 0;
  if (st.inLen > want)
    st.inLen = want;
  if (st.inLen == 0) {
    st.inEnded = true;
    return false;
  }
  st.inRemaining -= std::min<std::uint64_t>(st.inRemaining, st.inLen);
  return true;
}

void _LZH::RefillBits() {
  TState& st = *FState;
  if (st.inLen - st.inPos >= 8) {
    st.bitBuf |= LoadBigEndian64(st.in + st.inPos) >> st.bitCount;
    st.inPos += static_cast<std::size_t>((63 - st.bitCount) >> 3);
    st.bitCount |= 56;
    return;
  }
  while (st.bitCount <= 56) {
    if (st.inPos == st.inLen && !RefillInput()) {
      // Past the end: zeros that must never be used (checked after each symbol).
      st.bitCount += 8;
      st.padBits += 8;
      continue;
    }
    st.bitBuf |= static_cast<std::uint64_t>(st.in[st.inPos++]) << (56 - st.bitCount);
    st.bitCount += 8;
  }
}

// ---------------------------------------------------------------------------------------

void _LZH::Encode(std::uint32_t size) {
  TState& st = *FState;
  st.inPos = st.inLen = 0;
  st.inEnded = false;
  st.inRemaining = size;
  st.inLimited = true;
  st.outLen = 0;
  st.bitBuf = 0;
  st.bitCount = 0;
  st.done = 0;
  st.total = size;
  StatusText(FErrorFileName);
  for (int i = 0; i < 4; i++)
    PutByte(static_cast<unsigned char>(size >> (8 * i)));
  if (size == 0) {
    FlushBuffer();
    return;
  }

  auto nextByte = [&st, this]() -> int {
    if (st.inPos == st.inLen) {
      if (st.inRemaining == 0)
        return -1;
      if (!RefillInput())
        throw SystemError(FErrorFileName, EIO);
      st.done += st.inLen;
      Progress(st.done, st.total);
    }
    return st.in[st.inPos++];
  };

  StartHuff();
  InitTree();
  unsigned char* const tb = st.text_buf;
  // Only the first N - F bytes start as spaces; the rest of the ring and its mirror start as
  // zeros, and near the end of a short input those zeros decide between equal matches.
  std::memset(tb, 0, sizeof st.text_buf);
  std::memset(tb, ' ', N - F);
  int s = 0;
  int r = N - F;
  int len = 0;
  for (int c; len < F && (c = nextByte()) >= 0; len++)
    tb[r + len] = static_cast<unsigned char>(c);
  for (int i = 1; i <= F; i++)
    InsertNode(r - i);
  InsertNode(r);
  do {
    if (st.match_length > len)
      st.match_length = len;
    if (st.match_length <= THRESHOLD) {
      st.match_length = 1;
      EncodeChar(tb[r]);
    } else {
      EncodeChar(static_cast<unsigned>(255 - THRESHOLD + st.match_length));
      EncodePosition(static_cast<unsigned>(st.match_position));
    }
    const int lastMatchLength = st.match_length;
    int i = 0;
    for (int c; i < lastMatchLength && (c = nextByte()) >= 0; i++) {
      DeleteNode(s);
      tb[s] = static_cast<unsigned char>(c);
      if (s < F - 1)
        tb[s + N] = static_cast<unsigned char>(c);
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      InsertNode(r);
    }
    while (i++ < lastMatchLength) {
      DeleteNode(s);
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      if (--len)
        InsertNode(r);
    }
  } while (len > 0);
  FlushBits();
  FlushBuffer();
}

void _LZH::Decode() {
  TState& st = *FState;
  st.inPos = st.inLen = 0;
  st.inEnded = false;
  st.inRemaining = 0;
  st.inLimited = false;
  st.outLen = 0;
  st.bitBuf = 0;
  st.bitCount = 0;
  st.padBits = 0;
  st.done = 0;
  st.total = 0;
  StatusText(FErrorFileName);

  std::uint32_t count = 0;
  for (int i = 0; i < 4; i++) {
    if (st.inPos == st.inLen && !RefillInput())
      RaiseFormatError();
    count |= static_cast<std::uint32_t>(st.in[st.inPos++]) << (8 * i);
  }
  if (count == 0)
    return;
  st.total = count;

  StartHuff();
  unsigned char* const tb = st.text_buf;
  std::memset(tb, ' ', N - F);

  // The hot loop keeps the bit reader in locals: byte stores into the ring and the output
  // could otherwise alias the state and force it through memory on every step.
  std::int16_t* const son = st.son;
  unsigned char* const out = st.out;
  const unsigned char* const in = st.in;
  std::size_t outLen = 0;
  std::uint64_t bitBuf = 0;
  int bitCount = 0;
  std::size_t inPos = st.inPos;
  std::size_t inLen = st.inLen;
  unsigned r = N - F;
  std::uint32_t remaining = count;
  while (remaining > 0) {
    // At least 56 bits from here: a code (at most 21 bits as the counts stay below 0x8000,
    // never more than MaxDepth) and a position (at most 14) always fit.
    if (bitCount < 40) {
      if (inLen - inPos >= 8) {
        bitBuf |= LoadBigEndian64(in + inPos) >> bitCount;
        inPos += static_cast<std::size_t>((63 - bitCount) >> 3);
        bitCount |= 56;
      } else {
        st.bitBuf = bitBuf;
        st.bitCount = bitCount;
        st.inPos = inPos;
        st.inLen = inLen;
        RefillBits();
        bitBuf = st.bitBuf;
        bitCount = st.bitCount;
        inPos = st.inPos;
        inLen = st.inLen;
      }
    }
    int path[MaxDepth];
    int depth = 0;
    unsigned c = static_cast<unsigned>(son[R]);
    do {
      const unsigned node = c + static_cast<unsigned>(bitBuf >> 63);
      bitBuf <<= 1;
      path[depth++] = static_cast<int>(node);
      c = static_cast<unsigned>(son[node]);
    } while (c < static_cast<unsigned>(T) && depth < MaxDepth);
    bitCount -= depth;
    if (c < static_cast<unsigned>(T)) // a deeper tree than the counts allow: cannot happen
      RaiseFormatError();
    c -= T;
    UpdatePath(path, depth, static_cast<int>(c));

    if (c < 256) {
      tb[r] = static_cast<unsigned char>(c);
      r = (r + 1) & (N - 1);
      out[outLen++] = static_cast<unsigned char>(c);
      remaining--;
    } else {
      const unsigned top = static_cast<unsigned>(bitBuf >> 56);
      const int bits = PositionTables.Length[top] + 6;
      const unsigned position = (static_cast<unsigned>(PositionTables.Code[top]) << 6) |
                                (static_cast<unsigned>(bitBuf >> (64 - bits)) & 0x3f);
      bitBuf <<= bits;
      bitCount -= bits;
      const unsigned from = (r - position - 1) & (N - 1);
      // A match running past the count (only a damaged stream has one) is cut there.
      const unsigned length = std::min<std::uint32_t>(c - 255 + THRESHOLD, remaining);
      unsigned char* o = out + outLen;
      if (from + length <= N && r + length <= N && position + 1 >= length) {
        // No wrap and no overlap with the bytes being written: plain copies.
        std::memcpy(o, tb + from, length);
        std::memcpy(tb + r, o, length);
        r = (r + length) & (N - 1);
      } else {
        for (unsigned k = 0; k < length; k++) {
          const unsigned char b = tb[(from + k) & (N - 1)];
          tb[r] = b;
          r = (r + 1) & (N - 1);
          o[k] = b;
        }
      }
      outLen += length;
      remaining -= length;
    }
    // Zeros made up past the end of the input may be looked at, never used.
    if (bitCount < st.padBits)
      RaiseFormatError();
    if (outLen >= BufferSize) {
      st.done += outLen;
      st.outLen = outLen;
      FlushBuffer();
      outLen = 0;
      Progress(st.done, st.total);
    }
  }
  st.outLen = outLen;
  FlushBuffer();
}

// ---------------------------------------------------------------------------------------

namespace {

class TBytesLZH : public _LZH {
public:
  TBytesLZH(std::string_view input, std::string errorFileName) : _LZH(std::move(errorFileName)), FInput(input) {}

  std::string Encoded() {
    if (FInput.size() > 0xffffffffu)
      RaiseFormatError();
    Encode(static_cast<std::uint32_t>(FInput.size()));
    return std::move(FOutput);
  }
  std::string Decoded() {
    Decode();
    return std::move(FOutput);
  }

protected:
  void FlushOutput(const unsigned char* data, std::size_t size) override {
    FOutput.append(reinterpret_cast<const char*>(data), size);
  }
  std::size_t FillInput(unsigned char* data, std::size_t capacity) override {
    const std::size_t n = std::min(capacity, FInput.size() - FPos);
    std::memcpy(data, FInput.data() + FPos, n);
    FPos += n;
    return n;
  }

private:
  std::string_view FInput;
  std::size_t FPos = 0;
  std::string FOutput;
};

} // namespace

std::string LzhEncodeBytes(std::string_view data) { return TBytesLZH(data, {}).Encoded(); }

std::string LzhDecodeBytes(std::string_view stream, const std::string& errorFileName) {
  return TBytesLZH(stream, errorFileName).Decoded();
}
