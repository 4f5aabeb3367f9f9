#include "orders/OrderImport.h"

#include <algorithm>
#include <cstring>

#include "catalogue/PriceList.h"
#include "core/AppContext.h"
#include "core/Errors.h"
#include "core/Format.h"
#include "core/Log.h"
#include "core/Numbers.h"
#include "core/SettingsStore.h"
#include "formats/CodePages.h"
#include "formats/Cp1250Utf8.h"
#include "formats/DBFFile.h"
#include "formats/LzhIo.h"
#include "orders/Order.h"

namespace {

constexpr std::string_view kImportsSection = "Imports";

Exception ReadError(const std::string& name) { return Exception(Format(Cz("Chyba při čtení souboru \"%s\""), {name})); }

// Hands out the lines of a byte stream: a line ends at CR LF, LF or a lone CR, and the text
// after the last line end is a line when it is not empty.
class TLineReader {
public:
  // Fills up to size bytes and returns how many; 0 at the end.
  using TSource = std::function<std::size_t(char* data, std::size_t size)>;

  TLineReader(TSource source, std::string name) : FSource(std::move(source)), FName(std::move(name)) {}

  bool Next(std::string& line) {
    line.clear();
    for (;;) {
      if (FPos == FLen && !Fill())
        return !line.empty();
      const char c = FBuffer[FPos++];
      if (FSkipLf) {
        FSkipLf = false;
        if (c == '\n')
          continue;
      }
      if (c == '\r' || c == '\n') {
        FSkipLf = c == '\r';
        return true;
      }
      if (line.size() >= kMaxImportLineLength)
        throw ReadError(FName);
      line += c;
    }
  }

private:
  bool Fill() {
    FPos = 0;
    FLen = FEnd ? 0 : FSource(FBuffer, sizeof FBuffer);
    FEnd = FLen == 0;
    return FLen > 0;
  }

  TSource FSource;
  std::string FName;
  char FBuffer[16 * 1024];
  std::size_t FPos = 0, FLen = 0;
  bool FEnd = false;
  bool FSkipLf = false;
};

// The rows of a delimited text: the first line decides the delimiter and names the columns.
class TTextRows : public IImportRows {
public:
  TTextRows(TLineReader::TSource source, std::string name) : FLines(std::move(source), name), FName(std::move(name)) {}

  bool Next(std::vector<std::string>& row) override {
    if (!FLines.Next(FLine))
      return false;
    if (FFirst) {
      FFirst = false;
      const auto commas = std::count(FLine.begin(), FLine.end(), ',');
      const auto tabs = std::count(FLine.begin(), FLine.end(), '\t');
      FDelimiter = commas > tabs ? ',' : '\t';
    }
    bool tooMany = false;
    row = SplitImportLine(FLine, FDelimiter, &tooMany);
    if (tooMany)
      throw ReadError(FName);
    return true;
  }

private:
  TLineReader FLines;
  std::string FName;
  std::string FLine;
  bool FFirst = true;
  char FDelimiter = '\t';
};

// The rows of an open dBase table: the field names (the deletion flag first), then every
// record as text, deleted ones included.
class TDBaseRows : public IImportRows {
public:
  TDBaseRows(TDBFFile& table, std::string name) : FTable(table), FName(std::move(name)) {}

  bool Next(std::vector<std::string>& row) override {
    row.clear();
    const int count = FTable.FieldCount();
    try {
      if (!FStarted) {
        FStarted = true;
        for (int i = 0; i <= count; ++i)
          row.push_back(FTable.Fields(i).Name());
        FTable.First();
        return true;
      }
      if (FTable.Eof())
        return false;
      for (int i = 0; i <= count; ++i)
        row.push_back(FTable.Fields(i).AsString());
      FTable.Next();
    } catch (const EDBFfileError&) {
      throw ReadError(FName);
    } catch (const EInOutError&) {
      throw ReadError(FName);
    }
    return true;
  }

private:
  TDBFFile& FTable;
  std::string FName;
  bool FStarted = false;
};

int FindColumn(const std::vector<std::string>& names, const std::vector<std::string>& patterns) {
  for (const std::string& pattern : patterns)
    for (size_t k = 0; k < names.size(); ++k)
      if (WildcardMatch(pattern, names[k]))
        return static_cast<int>(k);
  return -1;
}

const std::string& Cell(const std::vector<std::string>& row, int column) {
  static const std::string empty;
  return column >= 0 && size_t(column) < row.size() ? row[size_t(column)] : empty;
}

bool AllEmpty(const std::vector<std::string>& row) {
  return std::all_of(row.begin(), row.end(), [](const std::string& cell) { return cell.empty(); });
}

void LogOpened(const std::string& path, int type) { WriteLog(Format(Cz("Otevřena objednávka %s, %d"), {path, type})); }

} // namespace

TImportPatterns TImportPatterns::Defaults() {
  return TImportPatterns{{"*EAN*", "CAR*KOD"}, {"KUSY", "POCET", "*MJ*", "OBJ"}};
}

TImportPatterns ReadImportPatterns(const TSettingsStore& store) {
  const TImportPatterns defaults = TImportPatterns::Defaults();
  TImportPatterns patterns;
  for (int n = 1; n <= 99; ++n) {
    const std::string number = std::to_string(n);
    std::string value = store.ReadString(kImportsSection, "EANFields" + number);
    if (!value.empty())
      patterns.EAN.push_back(std::move(value));
    value = store.ReadString(kImportsSection, "AmountFields" + number);
    if (!value.empty())
      patterns.Amount.push_back(std::move(value));
  }
  if (patterns.EAN.empty())
    patterns.EAN = defaults.EAN;
  if (patterns.Amount.empty())
    patterns.Amount = defaults.Amount;
  return patterns;
}

bool WildcardMatch(std::string_view patternText, std::string_view textText) {
  if (patternText.empty() || textText.empty())
    return patternText == "*" || (patternText.empty() && textText.empty());
  const std::string pattern = AnsiUpperCase(patternText);
  const std::string text = AnsiUpperCase(textText);
  // Greedy with one back-track point: a later "*" supersedes an earlier one, so every "*"
  // is tried against each remaining length at most once (no exponential search).
  size_t p = 0, t = 0;
  size_t starP = std::string::npos, starT = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starT = t;
    } else if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
      ++p;
      ++t;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*')
    ++p;
  return p == pattern.size();
}

TCardByEAN CardByEANIn(TPriceList& list) {
  return [&list](std::string_view ean) -> TPriceListItem* {
    for (int i = 0; i < list.Count(); ++i)
      if (list.Items(i).EAN == ean)
        return &list.Items(i);
    return nullptr;
  };
}

std::vector<std::string> SplitImportLine(std::string_view line, char delimiter, bool* tooManyFields) {
  std::vector<std::string> fields;
  if (tooManyFields)
    *tooManyFields = false;
  auto add = [&](std::string field) {
    if (fields.size() >= kMaxImportColumns) {
      if (tooManyFields)
        *tooManyFields = true;
      return false;
    }
    fields.push_back(std::move(field));
    return true;
  };
  if (line.empty())
    return fields;
  if (delimiter != ',') {
    size_t start = 0;
    for (;;) {
      const size_t end = line.find(delimiter, start);
      if (!add(std::string(line.substr(start, end - start))) || end == std::string_view::npos)
        return fields;
      start = end + 1;
    }
  }
  auto separator = [](char c) { return c == ',' || c == ';' || c == '|' || c == '\t'; };
  size_t i = 0;
  for (;;) {
    std::string field;
    if (i < line.size() && (line[i] == '"' || line[i] == '\'')) {
      const char quote = line[i++];
      while (i < line.size()) {
        if (line[i] == quote) {
          if (i + 1 < line.size() && line[i + 1] == quote) {
            field += quote;
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field += line[i++];
      }
    }
    // Whatever follows the closing quote up to the separator belongs to the field.
    while (i < line.size() && !separator(line[i]))
      field += line[i++];
    if (!add(std::move(field)) || i >= line.size())
      return fields;
    ++i; // the separator; a separator at the end leaves an empty last field
  }
}

int ImportRows(TOrder& order, IImportRows& rows, const TCardByEAN& cards, const TImportPatterns& patterns,
               IImportProblemDialog& problems) {
  std::vector<std::string> names;
  if (!rows.Next(names))
    names.clear();
  const int eanColumn = FindColumn(names, patterns.EAN);
  if (eanColumn < 0)
    throw Exception(Cz("Pole pro EAN nebylo nalezeno."));
  const int amountColumn = FindColumn(names, patterns.Amount);
  if (amountColumn < 0)
    throw Exception(Cz("Pole pro množství nebylo nalezeno."));

  int added = 0;
  int rowNumber = 0;
  std::vector<std::string> row;
  while (rows.Next(row)) {
    ++rowNumber;
    // A blank line (or an empty record) carries nothing to import.
    if (AllEmpty(row))
      continue;
    TImportProblem problem;
    const std::string& ean = Cell(row, eanColumn);
    // An empty cell never names a card, though cards without an EAN have an empty one.
    TPriceListItem* card = ean.empty() || !cards ? nullptr : cards(ean);
    double amount = 0;
    if (!card) {
      problem.Message = Format(Cz("Kód EAN %s  nebyl v ceníku nalezen."), {ean});
      problem.Selected = eanColumn;
    } else if (!TextToNumber(Cell(row, amountColumn), amount)) {
      problem.Message = Format(Cz("Hodnotu %s není možné převést na číslo."), {Cell(row, amountColumn)});
      problem.Selected = amountColumn;
    } else {
      TOrderItem line;
      line.Code = card->Kod;
      line.Card = card;
      order.Append(std::move(line));
      order.SetQuantity(order.Count() - 1, amount);
      ++added;
      continue;
    }
    problem.Row = rowNumber;
    const size_t columns = std::max(names.size(), row.size());
    for (size_t k = 0; k < columns; ++k)
      problem.Fields.emplace_back(Cell(names, int(k)), Cell(row, int(k)));
    if (!problems.Continue(problem))
      throw Exception(Cz("Import souboru byl přerušen uživatelem."));
  }
  return added;
}

int ImportTextBytes(TOrder& order, std::string_view bytes, const std::string& name, const TCardByEAN& cards,
                    const TImportPatterns& patterns, IImportProblemDialog& problems) {
  size_t pos = 0;
  TTextRows rows(
      [bytes, &pos](char* data, std::size_t size) {
        const size_t n = std::min(size, bytes.size() - pos);
        std::memcpy(data, bytes.data() + pos, n);
        pos += n;
        return n;
      },
      name);
  return ImportRows(order, rows, cards, patterns, problems);
}

void Import(TOrder& order, const std::string& path, int type, const TCardByEAN& cards, const TImportPatterns& patterns,
            IImportProblemDialog& problems) {
  if (type == kImportDBase) {
    TDBFFile table(path, TDBFConversion::Cp852);
    table.Open(TDBFAccess::ReadOnly);
    LogOpened(path, type);
    TDBaseRows rows(table, path);
    ImportRows(order, rows, cards, patterns, problems);
  } else if (type == kImportText) {
    const lzhio::TFd fd = lzhio::OpenForReading(path);
    LogOpened(path, type);
    TTextRows rows([&fd, &path](char* data, std::size_t size) { return lzhio::ReadSome(fd, data, size, path); }, path);
    ImportRows(order, rows, cards, patterns, problems);
  } else {
    throw Exception(Cz("Chybně určený typ souboru."));
  }
  WriteLog(Format(Cz("Načteno %d položek objednávky"), {order.Count()}));
}

void Import(TOrder& order, const std::string& path, int type, IImportProblemDialog& problems) {
  AppContext& app = App();
  Import(order, path, type, CardByEANIn(app.PriceList()), ReadImportPatterns(app.Store()), problems);
}
