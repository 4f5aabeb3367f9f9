// Reading a price list the size suppliers send: 200 000 cards of about 40 fields, every
// field read as text, beside the time it takes just to read the file's bytes.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "formats/Cp1250Utf8.h"
#include "formats/DBFFile.h"

namespace {

constexpr int kRecords = 200000;

// A card of the supplier's price list: codes, Czech names, prices, packaging, dates, flags.
const FieldSpec kFields[] = {
    {"KOD", 'C', 10, 0},       {"NAZEV", 'C', 40, 0},     {"NAZEV2", 'C', 40, 0},   {"POPIS", 'C', 60, 0},
    {"CENA", 'N', 12, 2},      {"CENASDPH", 'N', 12, 2},  {"CENA2", 'N', 12, 2},    {"CENA3", 'N', 12, 2},
    {"DPH", 'N', 5, 2},        {"BALENI", 'N', 8, 3},     {"BALENI2", 'N', 8, 3},   {"MJ", 'C', 5, 0},
    {"EAN", 'C', 13, 0},       {"SKUPINA", 'C', 10, 0},   {"OKRUH", 'N', 4, 0},     {"PODOKRUH", 'N', 4, 0},
    {"VYROBCE", 'C', 30, 0},   {"DODAVATEL", 'C', 30, 0}, {"PLATNOST", 'D', 8, 0},  {"ZMENA", 'D', 8, 0},
    {"AKCE", 'L', 1, 0},       {"NOVINKA", 'L', 1, 0},    {"VYPRODEJ", 'L', 1, 0},  {"SKLAD", 'N', 10, 3},
    {"OBJEDNANO", 'N', 10, 3}, {"MINIMUM", 'N', 8, 3},    {"HMOTNOST", 'N', 8, 3},  {"OBJEM", 'N', 8, 3},
    {"ZEME", 'C', 3, 0},       {"CELNI", 'C', 10, 0},     {"POZNAMKA", 'C', 50, 0}, {"OBRAZEK", 'C', 12, 0},
    {"ALTKOD", 'C', 10, 0},    {"NAHRADA", 'C', 10, 0},   {"SLEVA", 'N', 6, 2},     {"RABAT", 'N', 6, 2},
    {"ZARUKA", 'N', 3, 0},     {"TRIDA", 'C', 2, 0},      {"STAV", 'C', 1, 0},      {"POCET", 'N', 6, 0},
};

class Table {
public:
  Table() : FName(FFolder.File("karty.dbf")) { Generate(); }
  const std::string& Name() const { return FName; }

private:
  void Generate() {
    std::mt19937 random(20240229);
    std::vector<std::string> words;
    for (const char* w : kBenchWords)
      words.push_back(Utf8ToCp1250(w));
    TDBFFile table(FName, TDBFConversion::Cp852);
    for (const FieldSpec& f : kFields)
      table.AddField(f.Name, f.Type, f.Length, f.Decimals);
    table.CreateNew();
    for (int r = 0; r < kRecords; ++r) {
      table.Append();
      for (int i = 0; i < table.FieldCount(); ++i) {
        const FieldSpec& f = kFields[i];
        TDBFField& field = table.Fields(i + 1);
        switch (f.Type) {
        case 'C': {
          std::string text = std::to_string(r);
          while (static_cast<int>(text.size()) < f.Length)
            text += " " + words[random() % words.size()];
          field.SetAsString(text);
          break;
        }
        case 'N': {
          // Whole digits that leave room for the decimals.
          int limit = 1;
          for (int d = f.Length - f.Decimals - (f.Decimals ? 1 : 0) - 1; d > 0 && limit < 1000000; --d)
            limit *= 10;
          field.SetAsString(std::to_string(random() % limit) +
                            (f.Decimals ? "," + std::to_string(random() % 100) : ""));
          break;
        }
        case 'D':
          field.SetAsDate(40000 + random() % 8000);
          break;
        case 'L':
          field.SetAsString(random() % 2 ? "T" : "F");
          break;
        }
      }
      table.Post();
    }
    table.Close();
  }

  TBenchFolder FFolder{"bench-dbf"};
  std::string FName;
};

const Table& TheTable() {
  static const Table table;
  return table;
}

void BM_DbfReadEveryFieldAsString(benchmark::State& state) {
  const Table& t = TheTable();
  long long bytes = 0;
  for (auto _ : state) {
    TDBFFile table(t.Name(), TDBFConversion::Cp852);
    table.Open(TDBFAccess::ReadOnlyDenyWrite);
    std::vector<TDBFField*> fields;
    for (int i = 1; i <= table.FieldCount(); ++i)
      fields.push_back(&table.Fields(i));
    size_t total = 0;
    for (table.First(); !table.Eof(); table.Next()) {
      if (table.IsDeleted())
        continue;
      for (const TDBFField* f : fields) {
        const std::string value = f->AsString();
        total += value.size();
      }
    }
    benchmark::DoNotOptimize(total);
    bytes += table.HeaderLength() + table.RecordCount() * table.RecordLength();
    table.Close();
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_DbfReadEveryFieldAsString)->Unit(benchmark::kMillisecond);

// The same loop with the text written into one reused string.
void BM_DbfReadEveryFieldAsStringReused(benchmark::State& state) {
  const Table& t = TheTable();
  long long bytes = 0;
  for (auto _ : state) {
    TDBFFile table(t.Name(), TDBFConversion::Cp852);
    table.Open(TDBFAccess::ReadOnlyDenyWrite);
    std::string value;
    size_t total = 0;
    for (table.First(); !table.Eof(); table.Next())
      for (int i = 1; i <= table.FieldCount(); ++i) {
        table.Fields(i).AsString(value);
        total += value.size();
      }
    benchmark::DoNotOptimize(total);
    bytes += table.HeaderLength() + table.RecordCount() * table.RecordLength();
    table.Close();
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_DbfReadEveryFieldAsStringReused)->Unit(benchmark::kMillisecond);

// The floor: the file's bytes read in 1 MB blocks, nothing interpreted.
void BM_DbfReadFileBytes(benchmark::State& state) {
  const Table& t = TheTable();
  std::vector<char> block(1 << 20);
  long long bytes = 0;
  for (auto _ : state) {
    std::FILE* f = std::fopen(t.Name().c_str(), "rb");
    size_t n;
    while ((n = std::fread(block.data(), 1, block.size(), f)) > 0)
      bytes += static_cast<long long>(n);
    std::fclose(f);
    benchmark::DoNotOptimize(block.data());
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_DbfReadFileBytes)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
