#pragma once

// Deterministic sample data for the LZH tests and benchmarks (header-only, so the
// benchmarks can use it without the test libraries).

#include <cstdint>
#include <cstdio>
#include <string>

#include "formats/Cp1250Utf8.h"

namespace lzhsamples {

// splitmix64: the same numbers on every machine and every run.
class TSampleRandom {
public:
  explicit TSampleRandom(std::uint64_t seed) : FState(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (FState += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. n - 1
  unsigned Below(unsigned n) { return static_cast<unsigned>(Next() % n); }

private:
  std::uint64_t FState;
};

inline std::string PseudoRandomBytes(std::size_t size, std::uint64_t seed) {
  TSampleRandom random(seed);
  std::string result(size, '\0');
  for (std::size_t i = 0; i < size; i += 8) {
    const std::uint64_t v = random.Next();
    for (std::size_t k = 0; k < 8 && i + k < size; k++)
      result[i + k] = static_cast<char>(v >> (8 * k));
  }
  return result;
}

// A price list the way a dBase table stores it: a header with field descriptors, then
// fixed-width records (deletion flag, code, Czech product name, price, pack size, unit, VAT
// rate), text padded with spaces, code page 1250. Cut to exactly `size` bytes.
inline std::string DbaseLikeText(std::size_t size, std::uint64_t seed) {
  static const char* const nouns[] = {"Šroub",     "Matice", "Podložka", "Hřebík",  "Vrut",    "Kolík",
                                      "Hmoždinka", "Pant",   "Zámek",    "Klika",   "Těsnění", "Trubka",
                                      "Koleno",    "Ventil", "Kohout",   "Žárovka", "Vypínač", "Zásuvka",
                                      "Kabel",     "Svorka", "Lepidlo",  "Barva",   "Štětec",  "Váleček"};
  static const char* const adjectives[] = {"pozinkovaný", "nerezový", "mosazný",     "ocelový", "plastový", "černý",
                                           "bílý",        "zesílený", "univerzální", "vnitřní", "venkovní", "žlutý"};
  static const char* const units[] = {"ks ", "bal", "m  ", "kg ", "l  "};
  TSampleRandom random(seed);
  std::string text;
  text.reserve(size + 256);
  // Header: version, date, record count, header and record length, then the descriptors.
  text += std::string("\x03\x7c\x0b\x0b", 4) + std::string(28, '\0');
  static const char* const fields[] = {"KOD", "NAZEV", "CENA", "BALENI", "JEDNOTKA", "DPH"};
  for (const char* f : fields) {
    std::string descriptor(f);
    descriptor.resize(32, '\0');
    text += descriptor;
  }
  text += '\r';
  while (text.size() < size) {
    std::string name = Cz(nouns[random.Below(24)]);
    name += ' ';
    name += Cz(adjectives[random.Below(12)]);
    char dims[32];
    std::snprintf(dims, sizeof dims, " %ux%u", 3 + random.Below(10), 10 * (1 + random.Below(12)));
    name += dims;
    name.resize(40, ' ');
    char record[128];
    std::snprintf(record, sizeof record, " %06u    %s%12.2f%6u%s%2u", random.Below(1000000), name.c_str(),
                  static_cast<double>(random.Below(9999900) + 100) / 100.0, 1u + random.Below(100),
                  units[random.Below(5)], random.Below(2) ? 21u : 12u);
    text += record;
  }
  text.resize(size);
  return text;
}

} // namespace lzhsamples
