#pragma once

// Shared by the sources of the LZH codec only: the state behind _LZH, the fixed position
// code and a few byte helpers.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "formats/LzhCodec.h"

namespace lzhcodec {

inline constexpr int NIL = _LZH::N; // leaf of the search tree

// Deepest possible Huffman code: the counts stay below 0x8000, and a tree whose leaves keep
// the sibling order is no deeper than a Fibonacci chain of that weight (21 levels).
inline constexpr int MaxDepth = 40;

// Fixed code of the upper 6 bits of a match position: lengths and codes (left-aligned in a
// byte); and for decoding, indexed by the next 8 input bits, the upper bits and code length.
inline constexpr unsigned char p_len[64] = {3, 4, 4, 4, 5, 5, 5, 5, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6,
                                            6, 6, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,
                                            7, 7, 7, 7, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8};

inline constexpr unsigned char p_code[64] = {
    0x00, 0x20, 0x30, 0x40, 0x50, 0x58, 0x60, 0x68, 0x70, 0x78, 0x80, 0x88, 0x90, 0x94, 0x98, 0x9C,
    0xA0, 0xA4, 0xA8, 0xAC, 0xB0, 0xB4, 0xB8, 0xBC, 0xC0, 0xC2, 0xC4, 0xC6, 0xC8, 0xCA, 0xCC, 0xCE,
    0xD0, 0xD2, 0xD4, 0xD6, 0xD8, 0xDA, 0xDC, 0xDE, 0xE0, 0xE2, 0xE4, 0xE6, 0xE8, 0xEA, 0xEC, 0xEE,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF};

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
inline constexpr TPositionTables PositionTables;
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

} // namespace lzhcodec

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

  // While the Huffman coder runs beside the match finder, full output buffers go here
  // instead of to FlushOutput (the hooks stay on the caller's thread).
  std::vector<unsigned char>* codedSink = nullptr;
};
