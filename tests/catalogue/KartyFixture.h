#pragma once

// Small KARTY.DBF tables written with the table class in the price list's code page.

#include <map>
#include <string>
#include <vector>

#include "formats/Cp1250Utf8.h"
#include "formats/DBFFile.h"

struct TKartyField {
  std::string Name;
  char Type = 'C';
  int Length = 20;
  int Decimals = 0;
};

// One record: field name -> value as UTF-8 text (numbers as text with "."; dates dd.mm.yyyy).
using TKartyRow = std::map<std::string, std::string>;

inline std::vector<TKartyField> KartyCodeAndName() { return {{"Kod", 'C', 10}, {"Nazev", 'C', 40}}; }

// Every field the price list reads.
inline std::vector<TKartyField> KartyAllFields() {
  return {{"Kod", 'C', 10},          {"Nazev", 'C', 40},        {"Cena", 'N', 12, 2},      {"CenaSDPH", 'N', 12, 2},
          {"Baleni", 'N', 10, 3},    {"VeVrstve", 'N', 6},      {"NaPalete", 'N', 6},      {"SazbaDPH", 'N', 5, 1},
          {"Jednotka", 'C', 5},      {"TYPKARTY", 'N', 3},      {"EAN", 'C', 13},          {"SKUPINA1", 'C', 10},
          {"SKUPINA2", 'C', 10},     {"SKUPINA3", 'C', 10},     {"NSKUPINA2", 'C', 20},    {"POPISSKP1", 'C', 20},
          {"POPISSKP2", 'C', 20},    {"POPISSKP3", 'C', 20},    {"OBRAZEK", 'C', 20},      {"HMOTNOST", 'N', 10, 3},
          {"ZARUKA", 'N', 4},        {"KODLAHEV", 'C', 10},     {"CENALAHEV", 'N', 10, 2}, {"SAZBALAHEV", 'N', 5, 1},
          {"KODPREPR", 'C', 10},     {"CENAPREPR", 'N', 10, 2}, {"SAZBAPREPR", 'N', 5, 1}, {"DATUMZMENY", 'D', 8},
          {"ZASOBA", 'N', 12, 3},    {"POZNAMKA", 'C', 40},     {"CISLOSHODA", 'C', 10},   {"SKLMJ", 'C', 5},
          {"NAKUPCENA", 'N', 12, 2}, {"DOSTUPNOST", 'C', 10},   {"KLICSLOVA", 'C', 40},    {"DODAVATEL", 'C', 20},
          {"VYROBCE", 'C', 20},      {"PRIZNAKY", 'N', 6},      {"OBJPOCETB", 'N', 10, 3}, {"DopCena", 'N', 12, 2},
          {"DopCenaDPH", 'N', 12, 2}};
}

inline void WriteKarty(const std::string& fileName, const std::vector<TKartyField>& fields,
                       const std::vector<TKartyRow>& rows) {
  TDBFFile table(fileName, TDBFConversion::Cp852);
  for (const TKartyField& f : fields)
    table.AddField(f.Name, f.Type, f.Length, f.Decimals);
  table.CreateNew();
  for (const TKartyRow& row : rows) {
    table.Append();
    for (const auto& [name, value] : row)
      table.FieldByName(name).SetAsString(Utf8ToCp1250(value));
    table.Post();
  }
  table.Close();
}
