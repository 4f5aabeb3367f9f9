#include <benchmark/benchmark.h>

#include <vector>

#include "core/DateFormat.h"
#include "core/Format.h"

namespace {

// Prices of 200 000 cards as the price-list grid shows them.
std::vector<double> Prices() {
  std::vector<double> prices;
  prices.reserve(200000);
  unsigned x = 12345;
  for (int i = 0; i < 200000; ++i) {
    x = x * 1103515245u + 12345u;
    prices.push_back(static_cast<double>(x % 10000000) / 100.0);
  }
  return prices;
}

void BM_FixedPriceCells(benchmark::State& state) {
  const std::vector<double> prices = Prices();
  const Locale locale = Locale::Czech();
  for (auto _ : state) {
    size_t total = 0;
    for (double p : prices)
      total += Format("%8.2f", {p}, locale).size();
    benchmark::DoNotOptimize(total);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(prices.size()));
}
BENCHMARK(BM_FixedPriceCells)->Unit(benchmark::kMillisecond);

void BM_GeneralQuantities(benchmark::State& state) {
  const std::vector<double> prices = Prices();
  const Locale locale = Locale::Czech();
  for (auto _ : state) {
    size_t total = 0;
    for (double p : prices)
      total += FloatToStrGeneral(p, locale).size();
    benchmark::DoNotOptimize(total);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(prices.size()));
}
BENCHMARK(BM_GeneralQuantities)->Unit(benchmark::kMillisecond);

void BM_DateCells(benchmark::State& state) {
  const Locale locale = Locale::Czech();
  for (auto _ : state) {
    size_t total = 0;
    for (int i = 0; i < 200000; ++i)
      total += DateToStr(40000 + i % 10000, locale).size();
    benchmark::DoNotOptimize(total);
  }
  state.SetItemsProcessed(state.iterations() * 200000);
}
BENCHMARK(BM_DateCells)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
