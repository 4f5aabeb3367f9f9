#pragma once

#include <algorithm>
#include <array>
#include <cstdlib>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "support/TestSupport.h"

namespace lzhtest {

// Runs the classic LZHUF program ("e" or "d") on the bytes and returns what it wrote.
inline std::string RunClassic(const std::string& mode, const std::string& input) {
  TempDir dir;
  const std::string in = dir.File("in.bin");
  const std::string out = dir.File("out.bin");
  WriteFileBytes(in, input);
  const std::string command = std::string("'") + LZHUF_CLASSIC_PATH + "' " + mode + " '" + in + "' '" + out + "'";
  if (std::system(command.c_str()) != 0)
    throw std::runtime_error("classic LZHUF failed: " + command);
  return ReadFileBytes(out);
}

// An input that drives the adaptive Huffman tree 17 levels deep, then sends three symbols
// from the bottom: blocks "Z s a...a" where the index byte s names one of nine classes and
// the run length is fixed per class. Every block after the first few is one match (the same
// block seen earlier; no pair of neighbouring index bytes repeats inside the window, so a
// match never runs on). The classes are sent with Fibonacci-like counts, which stacks the
// match-length symbols into a chain above the block of never-used symbols; at the chosen
// length the root is just below the halving point. Three bytes never seen before close it.
inline std::string DeepTreeInput() {
  // Rarest class first.
  const int counts[9] = {330, 330, 660, 990, 1650, 2640, 4290, 6930, 11220};
  const int runLengths[9] = {18, 17, 16, 15, 14, 13, 12, 11, 10};
  const int values[9] = {2, 2, 4, 6, 10, 16, 26, 42, 60};
  std::vector<int> pool;
  for (int b = 1; b < 256; b++)
    if (b != 0x20 && b != 0x5A && b != 0x61 && b != 0xF0 && b != 0xF1 && b != 0xF2)
      pool.push_back(b);
  std::vector<std::vector<int>> classes(9);
  std::array<int, 256> runOf{};
  std::size_t next = 0;
  for (int c = 0; c < 9; c++) {
    for (int k = 0; k < values[c]; k++) {
      classes[c].push_back(pool[next]);
      runOf[static_cast<std::size_t>(pool[next++])] = runLengths[c];
    }
  }
  std::array<double, 9> passes{};
  std::array<long, 256> lastUse;
  lastUse.fill(-1);
  std::vector<int> pairCount(257 * 256, 0);
  std::deque<std::pair<int, std::size_t>> recent;
  std::size_t recentBytes = 0;
  std::string out;
  int prev = 256;
  for (int block = 0; block < 47500; block++) {
    int c = 0;
    for (int i = 1; i < 9; i++)
      if (passes[static_cast<std::size_t>(i)] < passes[static_cast<std::size_t>(c)])
        c = i;
    passes[static_cast<std::size_t>(c)] += 1.0 / counts[c];
    std::vector<int> candidates = classes[static_cast<std::size_t>(c)];
    std::stable_sort(candidates.begin(), candidates.end(), [&](int a, int b) {
      return lastUse[static_cast<std::size_t>(a)] < lastUse[static_cast<std::size_t>(b)];
    });
    int s = candidates[0];
    for (int v : candidates)
      if (pairCount[static_cast<std::size_t>(prev * 256 + v)] == 0) {
        s = v;
        break;
      }
    const std::size_t length = 2 + static_cast<std::size_t>(runOf[static_cast<std::size_t>(s)]);
    const int key = prev * 256 + s;
    recent.emplace_back(key, length);
    pairCount[static_cast<std::size_t>(key)]++;
    recentBytes += length;
    while (recentBytes > 4200 + length) {
      pairCount[static_cast<std::size_t>(recent.front().first)]--;
      recentBytes -= recent.front().second;
      recent.pop_front();
    }
    out += 'Z';
    out += static_cast<char>(s);
    out.append(length - 2, 'a');
    prev = s;
    lastUse[static_cast<std::size_t>(s)] = static_cast<long>(out.size());
  }
  out += "\xF0\xF1\xF2";
  return out;
}

} // namespace lzhtest
