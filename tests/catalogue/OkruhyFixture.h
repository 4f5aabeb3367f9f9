#pragma once

// Small OKRUHY.DBF tables written with the table class in the code page suppliers use (852).

#include <string>
#include <vector>

#include "formats/Cp1250Utf8.h"
#include "formats/DBFFile.h"

// One record (UTF-8).
struct TGroupRow {
  const char* Okruh;
  const char* Podokruh;
  const char* Popis;
  const char* Vyraz = "";
  const char* GenZalozka = "0";
};

inline const std::vector<std::string>& OkruhyAllFields() {
  static const std::vector<std::string> fields = {"Okruh", "Podokruh", "Popis", "Vyraz", "GenZalozka"};
  return fields;
}

// Writes the table with the fields named (a subset of OkruhyAllFields, in any order).
inline void WriteOkruhy(const std::string& fileName, const std::vector<TGroupRow>& rows,
                        const std::vector<std::string>& fields = OkruhyAllFields()) {
  TDBFFile table(fileName, TDBFConversion::Cp852);
  for (const std::string& f : fields)
    table.AddField(f, f == "GenZalozka" ? 'N' : 'C', f == "GenZalozka" ? 2 : f == "Vyraz" ? 100 : 30);
  table.CreateNew();
  const std::vector<std::string>& all = OkruhyAllFields();
  for (const TGroupRow& row : rows) {
    table.Append();
    const char* values[] = {row.Okruh, row.Podokruh, row.Popis, row.Vyraz, row.GenZalozka};
    for (size_t i = 0; i < all.size(); ++i)
      if (TDBFField* field = table.FindField(all[i]))
        field->SetAsString(Utf8ToCp1250(values[i]));
    table.Post();
  }
  table.Close();
}
