// Opens arbitrary bytes as a dBase table and reads every field of every record, the way the
// price-list import does. Any outcome but the program's own error is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzScratchFile.h"
#include "core/Errors.h"
#include "formats/DBFFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ScratchFile scratch("dbf");
  scratch.Write(data, size);
  TDBFFile table(scratch.Name, TDBFConversion::Cp852, Locale::Czech());
  try {
    table.Open(TDBFAccess::ReadOnly);
    size_t sink = 0;
    std::string text;
    for (table.First(); !table.Eof(); table.Next()) {
      sink += table.IsDeleted();
      for (int i = 0; i <= table.FieldCount(); ++i) {
        const TDBFField& field = table.Fields(i);
        field.AsString(text);
        sink += text.size();
        sink += field.AsFloat() > 0;
        sink += field.AsDate() > 0;
        sink += field.AsInteger() > 0;
      }
    }
    table.Close();
    if (sink == 1)
      return 0;
  } catch (const Exception&) {
    // Invalid and truncated tables are expected to end here.
  }
  return 0;
}
