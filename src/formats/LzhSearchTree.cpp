#include "formats/LzhCodec.h"
#include "formats/LzhCodecState.h"

using namespace lzhcodec;

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
