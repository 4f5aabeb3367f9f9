// The expression language alone, without the price list: one compiled expression evaluated
// once per card over 200 000 cards held in plain arrays, so the numbers show the evaluator's
// own cost (the variable reads here are as cheap as they can be).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "expr/Vyhodnocovac.h"

namespace {

class TBenchCards : public TVyhodnocovac {
public:
  TBenchCards() {
    unsigned x = 12345;
    for (int i = 0; i < 200000; ++i) {
      x = x * 1103515245u + 12345u;
      const unsigned group = 110 + (x >> 8) % 20;
      FGroups.push_back("0" + std::to_string(group));
      FPrices.push_back(static_cast<double>(x % 50000) / 100.0);
      FStock.push_back(static_cast<double>((x >> 4) % 7) - 2);
    }
  }
  int Card = 0;
  int Count() const { return static_cast<int>(FGroups.size()); }

protected:
  std::int32_t FindVariable(std::string_view name) override {
    if (name == "SKUPINA1")
      return 14;
    if (name == "CENA")
      return 5;
    if (name == "ZASOBA")
      return 24;
    return 0;
  }
  bool ReadVariable(std::int32_t id, std::uint8_t& type) override {
    if (id == 14) {
      type = kExprText;
      StrValue = FGroups[Card];
    } else {
      type = kExprNumber;
      NumValue = id == 5 ? FPrices[Card] : FStock[Card];
    }
    return true;
  }

private:
  std::vector<std::string> FGroups;
  std::vector<double> FPrices;
  std::vector<double> FStock;
};

void SelectCards(benchmark::State& state, const char* expression) {
  TBenchCards evaluator;
  if (evaluator.Compile(expression) != 0) {
    state.SkipWithError("compile failed");
    return;
  }
  for (auto _ : state) {
    int selected = 0;
    for (int i = 0; i < evaluator.Count(); ++i) {
      evaluator.Card = i;
      const TEvalResult result = evaluator.Evaluate();
      if (result.Code == 0 && result.Type == kExprNumber && evaluator.NumValue != 0)
        ++selected;
    }
    benchmark::DoNotOptimize(selected);
  }
  state.SetItemsProcessed(state.iterations() * evaluator.Count());
}

void BM_GroupCodes(benchmark::State& state) { SelectCards(state, "SKUPINA1='0120' OR SKUPINA1='0121'"); }
BENCHMARK(BM_GroupCodes)->Unit(benchmark::kMillisecond);

void BM_PriceAndStock(benchmark::State& state) { SelectCards(state, "Cena>100 AND ZASOBA>0"); }
BENCHMARK(BM_PriceAndStock)->Unit(benchmark::kMillisecond);

void BM_TextFunctions(benchmark::State& state) {
  SelectCards(state, "POS('2', LEFT(SKUPINA1, 3)) > 0 AND STRNUM(CENA, 10) <> ''");
}
BENCHMARK(BM_TextFunctions)->Unit(benchmark::kMillisecond);

} // namespace
BENCHMARK_MAIN();
