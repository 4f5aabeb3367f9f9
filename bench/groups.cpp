// Choosing a goods group over a price list of 200 000 cards: the group's expression is
// evaluated once per card (target under 50 ms per choice), or the codes are matched against
// the group's prefixes. Also the load of a table of 1 000 groups, each expression compiled and
// each prefix looked up among the card codes.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <random>
#include <string>
#include <vector>

#include "catalogue/Groups.h"
#include "catalogue/PriceList.h"
#include "core/AppSettings.h"
#include "formats/Cp1250Utf8.h"
#include "formats/DBFFile.h"
#include "ui/CellText.h"

namespace {

constexpr int kCards = 200000;
constexpr int kGroups = 1000;

const FieldSpec kKartyFields[] = {{"Kod", 'C', 10, 0},      {"Nazev", 'C', 40, 0},    {"Cena", 'N', 12, 2},
                                  {"CenaSDPH", 'N', 12, 2}, {"Baleni", 'N', 10, 3},   {"SazbaDPH", 'N', 5, 1},
                                  {"EAN", 'C', 13, 0},      {"SKUPINA1", 'C', 10, 0}, {"SKUPINA2", 'C', 10, 0},
                                  {"ZASOBA", 'N', 12, 3},   {"POZNAMKA", 'C', 50, 0}};

// The groups: three that the benchmarks choose, then prefix groups of two and three digits
// (each two-digit group holding its three-digit ones) and expression groups over the group
// codes, up to kGroups records.
enum : int { kNodeSkupina = 1, kNodePriceStock = 2, kNodePrefix = 3 };

class Tables {
public:
  Tables() : FKarty(FFolder.File("KARTY.DBF")), FOkruhy(FFolder.File("OKRUHY.DBF")) {
    GenerateKarty();
    GenerateOkruhy();
  }
  const std::string& Karty() const { return FKarty; }
  const std::string& Okruhy() const { return FOkruhy; }

private:
  // Deterministic, as in the price-list benchmark.
  void GenerateKarty() {
    TDBFFile table(FKarty, TDBFConversion::Cp852);
    for (const FieldSpec& f : kKartyFields)
      table.AddField(f.Name, f.Type, f.Length, f.Decimals);
    table.CreateNew();
    std::mt19937 random(20261211);
    const auto pick = [&random](auto& list) { return Cz(list[random() % std::size(list)]); };
    std::vector<TDBFField*> fields;
    for (const FieldSpec& f : kKartyFields)
      fields.push_back(&table.FieldByName(f.Name));
    for (int i = 0; i < kCards; ++i) {
      table.Append();
      const std::string price = std::to_string(random() % 30000 / 100.0);
      size_t f = 0;
      fields[f++]->SetAsString(std::to_string(100000 + (static_cast<long long>(i) * 7919) % kCards));
      fields[f++]->SetAsString(pick(kBenchWords) + " " + pick(kBenchWords) + " " + std::to_string(random() % 1000));
      fields[f++]->SetAsString(price);
      fields[f++]->SetAsString(price);
      fields[f++]->SetAsString(std::to_string(1 + random() % 24));
      fields[f++]->SetAsString("21");
      fields[f++]->SetAsString(std::to_string(8590000000000LL + i));
      fields[f++]->SetAsString("0" + std::to_string(100 + random() % 50)); // 0100 to 0149
      fields[f++]->SetAsString("G" + std::to_string(random() % 50));
      fields[f++]->SetAsString(std::to_string(random() % 4 == 0 ? 0 : random() % 500));
      fields[f++]->SetAsString(pick(kBenchWords));
      table.Post();
    }
    table.Close();
  }

  void GenerateOkruhy() {
    TDBFFile table(FOkruhy, TDBFConversion::Cp852);
    table.AddField("Okruh", 'C', 10);
    table.AddField("Podokruh", 'C', 10);
    table.AddField("Popis", 'C', 40);
    table.AddField("Vyraz", 'C', 100);
    table.AddField("GenZalozka", 'N', 2);
    table.CreateNew();
    int records = 0;
    const auto add = [&](const std::string& parent, const std::string& code, const std::string& caption,
                         const std::string& expression) {
      table.Append();
      table.FieldByName("Okruh").SetAsString(parent);
      table.FieldByName("Podokruh").SetAsString(code);
      table.FieldByName("Popis").SetAsString(caption);
      table.FieldByName("Vyraz").SetAsString(expression);
      table.Post();
      ++records;
    };
    add("", "S", "Skupiny 0120 a 0121", "SKUPINA1='0120' OR SKUPINA1='0121'");
    add("", "C", Cz("Drahé skladem"), "Cena>100 AND ZASOBA>0");
    add("", "10", Cz("Kódy 10"), "");
    for (int two = 11; two <= 29 && records < kGroups; ++two) {
      add("", std::to_string(two), Cz("Kódy ") + std::to_string(two), "");
      for (int three = 0; three < 10 && records < kGroups; ++three)
        add(std::to_string(two), std::to_string(two * 10 + three), Cz("Kódy ") + std::to_string(two * 10 + three), "");
    }
    for (int group = 100; records < kGroups; ++group)
      add("", "E" + std::to_string(group), "Skupina " + std::to_string(group),
          "SKUPINA1='0" + std::to_string(group) + "' AND Cena>" + std::to_string(group % 7));
    table.Close();
  }

  TBenchFolder FFolder{"bench-groups"};
  std::string FKarty, FOkruhy;
};

const Tables& SharedTables() {
  static const Tables tables;
  return tables;
}

struct Loaded {
  TAppSettings Settings;
  TPriceList List;
  TCellEnvironment Env;
  TGoodsGroups Groups;

  Loaded() {
    Settings.PriceList = SharedTables().Karty();
    Settings.Groups = SharedTables().Okruhy();
    IPriceListHost host;
    List.LoadPriceListOrThrow(Settings, host);
    Groups.LoadOrThrow(Settings, List, Env);
  }
};

Loaded& Shared() {
  static Loaded loaded;
  return loaded;
}

void Choose(benchmark::State& state, int node) {
  Loaded& loaded = Shared();
  int shown = 0;
  for (auto _ : state) {
    loaded.Groups.ChooseNode(node, loaded.List);
    shown = loaded.List.VisibleCount();
  }
  loaded.List.ClearFilter();
  state.counters["shown"] = shown;
}

void BM_ChooseGroupSkupina1(benchmark::State& state) { Choose(state, kNodeSkupina); }
BENCHMARK(BM_ChooseGroupSkupina1)->Unit(benchmark::kMillisecond);

void BM_ChooseGroupPriceAndStock(benchmark::State& state) { Choose(state, kNodePriceStock); }
BENCHMARK(BM_ChooseGroupPriceAndStock)->Unit(benchmark::kMillisecond);

void BM_ChooseGroupCodePrefix(benchmark::State& state) { Choose(state, kNodePrefix); }
BENCHMARK(BM_ChooseGroupCodePrefix)->Unit(benchmark::kMillisecond);

// The floor under the expression groups: one pass over the cards in list order reading the
// fields of Cena>100 AND ZASOBA>0, without any evaluation.
void BM_ReadPriceAndStockOfEveryCard(benchmark::State& state) {
  const TPriceList& list = Shared().List;
  int count = 0;
  for (auto _ : state) {
    count = 0;
    for (int i = 0; i < list.Count(); ++i)
      count += list.Items(i).Cena > 100 && list.Items(i).ZASOBA > 0;
    benchmark::DoNotOptimize(count);
  }
  state.counters["shown"] = count;
}
BENCHMARK(BM_ReadPriceAndStockOfEveryCard)->Unit(benchmark::kMillisecond);

// The filter's own pass with the same test written in C++ instead of an expression.
void BM_FilterPriceAndStockWithoutExpression(benchmark::State& state) {
  TPriceList& list = Shared().List;
  TFilterOptions options;
  options.StoreSubset = true;
  options.CodeListMode = true;
  options.Evaluator = [](const TPriceListItem& card, int) { return card.Cena > 100 && card.ZASOBA > 0; };
  for (auto _ : state)
    list.Filter("C", options);
  state.counters["shown"] = list.VisibleCount();
  list.ClearFilter();
}
BENCHMARK(BM_FilterPriceAndStockWithoutExpression)->Unit(benchmark::kMillisecond);

void BM_LoadGroups(benchmark::State& state) {
  Loaded& loaded = Shared();
  TGoodsGroups groups;
  for (auto _ : state)
    groups.LoadOrThrow(loaded.Settings, loaded.List, loaded.Env);
  state.counters["nodes"] = static_cast<double>(groups.TreeOrder().size());
}
BENCHMARK(BM_LoadGroups)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
