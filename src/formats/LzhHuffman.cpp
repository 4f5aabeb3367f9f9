#include <stdexcept>

#include "formats/LzhCodec.h"
#include "formats/LzhCodecState.h"

using namespace lzhcodec;

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

namespace {

// Node `node` has just got count k and is now above the next node: swap it with the last
// node of the old, lower count and return that node's index (where the count went).
inline int Exchange(std::uint16_t* freq, std::int16_t* son, std::int16_t* prnt, int node, unsigned k) {
  int l = node + 1;
  while (k > freq[l + 1])
    l++;
  freq[node] = freq[l];
  freq[l] = static_cast<std::uint16_t>(k);

  const int i = son[node];
  prnt[i] = static_cast<std::int16_t>(l);
  if (i < _LZH::T)
    prnt[i + 1] = static_cast<std::int16_t>(l);

  const int j = son[l];
  son[l] = static_cast<std::int16_t>(i);

  prnt[j] = static_cast<std::int16_t>(node);
  if (j < _LZH::T)
    prnt[j + 1] = static_cast<std::int16_t>(node);
  son[node] = static_cast<std::int16_t>(j);
  return l;
}

// From `node` up to the root along the parent links, one more count on every node.
inline void Climb(std::uint16_t* freq, std::int16_t* son, std::int16_t* prnt, int node) {
  do {
    const unsigned k = ++freq[node];
    if (k > freq[node + 1])
      node = Exchange(freq, son, prnt, node, k);
  } while ((node = prnt[node]) != 0);
}

} // namespace

void _LZH::Update(int c) {
  TState& st = *FState;
  if (st.freq[R] == MAX_FREQ)
    Reconst();
  Climb(st.freq, st.son, st.prnt, st.prnt[c + T]);
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
    const int node = path[level];
    const unsigned k = ++freq[node];
    if (k > freq[node + 1]) {
      const int parent = prnt[Exchange(freq, son, prnt, node, k)];
      if (parent != 0)
        Climb(freq, son, prnt, parent);
      return;
    }
  }
  ++freq[R]; // never out of order: freq[T] is above every count
}

void _LZH::EncodeChar(unsigned c) {
  TState& st = *FState;
  // The code is the path from the root: an odd node is the second child. The tree is no
  // deeper than MaxDepth, so 64 bits hold any code, also the ones the classic cuts to 16.
  // (Updating along a recorded path, as the decoder does, measured no faster here.)
  std::uint64_t code = 0;
  int length = 0;
  int k = st.prnt[c + T];
  do {
    code |= static_cast<std::uint64_t>(k & 1) << length;
    length++;
    k = st.prnt[k];
  } while (k != R && length < MaxDepth);
  if (k != R)
    throw std::logic_error("LZH tree deeper than its counts allow");
  PutBits(code, length);
  Update(static_cast<int>(c));
}

void _LZH::EncodePosition(unsigned c) {
  const unsigned upper = c >> 6;
  const int length = p_len[upper];
  PutBits((static_cast<unsigned>(p_code[upper] >> (8 - length)) << 6) | (c & 0x3f), length + 6);
}
