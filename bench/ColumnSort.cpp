#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "catalogue/PriceListItem.h"
#include "formats/CodePages.h"
#include "formats/Cp1250Utf8.h"
#include "ui/CardCompare.h"

namespace {

// The cards are sorted by reference, as the price list keeps them. 200 000 cards with names of two or three Czech
// words, codes and prices, as a big price list has them.
std::vector<TPriceListItem> Cards() {
  const char* words[] = {"šroub", "matice", "podložka", "hřebík",  "čep",  "Chrom",     "žárovka", "kabel",
                         "Řetěz", "deska",  "lišta",    "úhelník", "vrut", "hmoždinka", "trubka",  "ventil"};
  std::vector<std::string> cpWords;
  for (const char* word : words)
    cpWords.push_back(Cz(word));
  std::vector<TPriceListItem> cards(200000);
  unsigned x = 12345;
  auto next = [&x] { return x = x * 1103515245u + 12345u, x >> 8; };
  for (size_t i = 0; i < cards.size(); ++i) {
    TPriceListItem& card = cards[i];
    card.Kod = std::to_string(next() % 1000000);
    card.Nazev = cpWords[next() % 16] + " " + cpWords[next() % 16] + " " + std::to_string(next() % 500);
    card.SearchName = AnsiUpperCase(RemoveDiacritics(card.Nazev));
    card.Cena = static_cast<double>(next() % 100000) / 100.0;
  }
  return cards;
}

void SortBy(benchmark::State& state, int id, std::uint8_t alignment) {
  const std::vector<TPriceListItem> cards = Cards();
  TColumnList columns;
  columns.Columns = {DefaultColumn(id)};
  columns.Columns[0].Alignment = alignment;
  const TCellEnvironment env;
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<const TPriceListItem*> sorted;
    for (const TPriceListItem& card : cards)
      sorted.push_back(&card);
    state.ResumeTiming();
    std::stable_sort(sorted.begin(), sorted.end(), [&](const TPriceListItem* a, const TPriceListItem* b) {
      return ComparePriceListCards(*a, *b, columns, env) < 0;
    });
    benchmark::DoNotOptimize(sorted.data());
  }
}

void KeyedSortBy(benchmark::State& state, int id, std::uint8_t alignment) {
  const std::vector<TPriceListItem> cards = Cards();
  TColumnList columns;
  columns.Columns = {DefaultColumn(id)};
  columns.Columns[0].Alignment = alignment;
  const TCellEnvironment env;
  for (auto _ : state) {
    std::vector<std::size_t> order = PriceListSortOrder(
        cards.size(), [&](std::size_t i) -> const TPriceListItem& { return cards[i]; }, columns, env);
    benchmark::DoNotOptimize(order.data());
  }
}

void BM_KeyedSortCardsByName(benchmark::State& state) { KeyedSortBy(state, 3, caLeft); }
void BM_KeyedSortCardsByPrice(benchmark::State& state) { KeyedSortBy(state, 4, caRight); }
void BM_KeyedSortCardsByRightAlignedCode(benchmark::State& state) { KeyedSortBy(state, 2, caRight); }

BENCHMARK(BM_KeyedSortCardsByName)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeyedSortCardsByPrice)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeyedSortCardsByRightAlignedCode)->Unit(benchmark::kMillisecond);

void BM_SortCardsByName(benchmark::State& state) { SortBy(state, 3, caLeft); }
void BM_SortCardsByPrice(benchmark::State& state) { SortBy(state, 4, caRight); }
void BM_SortCardsByRightAlignedCode(benchmark::State& state) { SortBy(state, 2, caRight); }

BENCHMARK(BM_SortCardsByName)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortCardsByPrice)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortCardsByRightAlignedCode)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
