#include <string>

#include "cli/CliSupport.h"
#include "formats/Cp1250Utf8.h"
#include "formats/DBFFile.h"

namespace {

std::string TableFileName(const CliArgs& args) {
  if (args.Positional.size() != 1)
    throw UsageError("expected exactly one FILE");
  // Arguments arrive as UTF-8; file names inside the program are code page 1250.
  return Utf8ToCp1250(args.Positional[0]);
}

std::string Field(const std::string& cp1250) { return EscapeField(Cp1250ToUtf8(cp1250)); }

int Info(const CliArgs& args, std::ostream& out, std::ostream&) {
  TDBFFile table(TableFileName(args), TDBFConversion::Cp852, Locale::Czech());
  table.Open(TDBFAccess::ReadOnly);
  out << "records\t" << table.RecordCount() << "\theader\t" << table.HeaderLength() << "\trecord\t"
      << table.HeaderRecordLength() << "\n";
  for (int i = 1; i <= table.FieldCount(); ++i) {
    const TDBFField& f = table.Fields(i);
    out << Field(f.Name()) << '\t' << f.FieldType() << '\t' << f.Length() << '\t' << f.Decimals() << "\n";
  }
  table.Close();
  return 0;
}

int Dump(const CliArgs& args, std::ostream& out, std::ostream&) {
  TDBFFile table(TableFileName(args), TDBFConversion::Cp852, Locale::Czech());
  table.Open(TDBFAccess::ReadOnly);
  std::string line = "DELFLAG\t";
  for (int i = 1; i <= table.FieldCount(); ++i) {
    if (i > 1)
      line += '\t';
    line += Field(table.Fields(i).Name());
  }
  out << line << "\n";
  std::string value;
  for (table.First(); !table.Eof(); table.Next()) {
    line.assign(table.IsDeleted() ? "*\t" : "\t");
    for (int i = 1; i <= table.FieldCount(); ++i) {
      if (i > 1)
        line += '\t';
      table.Fields(i).AsString(value);
      line += Field(value);
    }
    out << line << "\n";
  }
  table.Close();
  return 0;
}

} // namespace

void AddDbfCommands(std::vector<CliCommand>& commands) {
  commands.push_back({{"dbf", "info"}, "dbf info FILE", {}, {}, Info});
  commands.push_back({{"dbf", "dump"}, "dbf dump FILE", {}, {}, Dump});
}
