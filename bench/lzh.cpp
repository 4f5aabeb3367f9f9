// LZH throughput: our codec in memory and file to file (as a package is packed and unpacked),
// and the classic LZHUF program (built from tests/formats/reference, -O2) on the same files,
// so both sets of numbers come from one run. Inputs: a 10 MB dBase-like price list and 1 MB
// of pseudo-random bytes, both generated deterministically.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

#include "formats/LzhCodec.h"
#include "formats/LzhFile.h"
#include "support/LzhSamples.h"

namespace {

enum TInput { DbaseLike = 0, Random = 1 };

const std::string& Input(int which) {
  static const std::string dbase = lzhsamples::DbaseLikeText(10 * 1000 * 1000, 1);
  static const std::string random = lzhsamples::PseudoRandomBytes(1000 * 1000, 2);
  return which == DbaseLike ? dbase : random;
}

const std::string& Packed(int which) {
  static const std::string dbase = LzhEncodeBytes(Input(DbaseLike));
  static const std::string random = LzhEncodeBytes(Input(Random));
  return which == DbaseLike ? dbase : random;
}

// Files under the temporary folder holding the inputs and their streams, removed at exit.
class TBenchFiles {
public:
  TBenchFiles() {
    for (int which : {DbaseLike, Random}) {
      Write(Plain(which), Input(which));
      Write(Stream(which), Packed(which));
    }
  }
  std::string Plain(int which) const { return FFolder.File(which == DbaseLike ? "dbase.dbf" : "random.bin"); }
  std::string Stream(int which) const { return Plain(which) + ".lzh"; }
  std::string Output() const { return FFolder.File("out"); }

private:
  static void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  TBenchFolder FFolder{"objbench-lzh"};
};

const TBenchFiles& Files() {
  static const TBenchFiles files;
  return files;
}

// Generates the inputs (and their streams and files) before the first timed run.
void Prepare(int which) {
  Packed(which);
  Files();
}

void Finish(benchmark::State& state, int which) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Input(which).size()));
}

void BM_Encode(benchmark::State& state, int which) {
  Prepare(which);
  for (auto _ : state)
    benchmark::DoNotOptimize(LzhEncodeBytes(Input(which)));
  Finish(state, which);
}

void BM_Decode(benchmark::State& state, int which) {
  Prepare(which);
  for (auto _ : state)
    benchmark::DoNotOptimize(LzhDecodeBytes(Packed(which), "bench"));
  Finish(state, which);
}

void BM_FileEncode(benchmark::State& state, int which) {
  Prepare(which);
  for (auto _ : state)
    TFileLZH(Files().Plain(which), false, false, 0, Files().Output()).Compress();
  Finish(state, which);
}

void BM_FileDecode(benchmark::State& state, int which) {
  Prepare(which);
  for (auto _ : state)
    TFileLZH(Files().Stream(which), false, false, 0, Files().Output()).Decompress();
  Finish(state, which);
}

void RunClassic(const char* mode, const std::string& in, const std::string& out) {
  const std::string command = std::string("'") + LZHUF_CLASSIC_PATH + "' " + mode + " '" + in + "' '" + out + "'";
  if (std::system(command.c_str()) != 0)
    throw std::runtime_error("classic LZHUF failed");
}

void BM_ClassicEncode(benchmark::State& state, int which) {
  Prepare(which);
  for (auto _ : state)
    RunClassic("e", Files().Plain(which), Files().Output());
  Finish(state, which);
}

void BM_ClassicDecode(benchmark::State& state, int which) {
  Prepare(which);
  for (auto _ : state)
    RunClassic("d", Files().Stream(which), Files().Output());
  Finish(state, which);
}

// Real time, as the classic program runs in a process of its own.
#define OBJ_LZH_BENCH(function)                                                                                        \
  BENCHMARK_CAPTURE(function, dbase, DbaseLike)->Unit(benchmark::kMillisecond)->UseRealTime();                         \
  BENCHMARK_CAPTURE(function, random, Random)->Unit(benchmark::kMillisecond)->UseRealTime()

OBJ_LZH_BENCH(BM_Encode);
OBJ_LZH_BENCH(BM_Decode);
OBJ_LZH_BENCH(BM_FileEncode);
OBJ_LZH_BENCH(BM_FileDecode);
OBJ_LZH_BENCH(BM_ClassicEncode);
OBJ_LZH_BENCH(BM_ClassicDecode);

} // namespace

BENCHMARK_MAIN();
