#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct TPriceListItem;
class TPriceList;
class TOrder;
class TSettingsStore;

// Quantities read from foreign files: a delimited text file (file type 2) or a dBase table
// (file type 3) with a column of EAN codes and a column of amounts. Every row becomes a new
// order line for the card with that EAN; rows that cannot be used go to the problem dialog,
// which continues with the next row or ends the import.
//
// The file is read row by row and never held whole: a text line may hold at most
// kMaxImportLineLength bytes and kMaxImportColumns fields; a longer line or more fields is
// a damaged file ("Chyba při čtení souboru \"%s\""). Lines added before any error stay in the
// order; the order is never cleared by the import.

constexpr int kImportText = 2;  // file type of a delimited text file
constexpr int kImportDBase = 3; // file type of a dBase table
constexpr std::size_t kMaxImportLineLength = 64 * 1024;
constexpr std::size_t kMaxImportColumns = 1024;

// The column-name patterns of the section "Imports".
struct TImportPatterns {
  std::vector<std::string> EAN;    // "EANFields1" .. "EANFields99"
  std::vector<std::string> Amount; // "AmountFields1" .. "AmountFields99"
  // "*EAN*", "CAR*KOD"; "KUSY", "POCET", "*MJ*", "OBJ".
  static TImportPatterns Defaults();
};
// Reads the patterns in key order, skipping empty values; a list without any pattern takes
// its defaults. Never throws.
TImportPatterns ReadImportPatterns(const TSettingsStore& store);

// The name matches the pattern: both upper-cased (code page 1250); "*" any run (also empty),
// "?" exactly one character, anything else itself; the whole name must match.
bool WildcardMatch(std::string_view pattern, std::string_view text);

// One row the import could not use, as the problem dialog shows it.
struct TImportProblem {
  std::string Message; // the dialog's caption: why the row failed (code page 1250)
  // One entry per column of the import table: the column's name and this row's value.
  std::vector<std::pair<std::string, std::string>> Fields;
  int Selected = 0; // the entry of the EAN column (unknown EAN) or amount column (bad amount)
  int Row = 0;      // the row of the import table (1 = the first row below the names)
};

// The problem dialog (captions "Pole" and "Hodnota"; buttons "&Pokračovat" and "&Konec
// importu"). The GUI implements it; the command line answers from its options.
class IImportProblemDialog {
public:
  virtual ~IImportProblemDialog() = default;
  // True for "&Pokračovat"; false for "&Konec importu" or a closed dialog.
  virtual bool Continue(const TImportProblem& problem) = 0;
};

// The card of an EAN code: the first card of the price list whose EAN equals the text
// exactly, nullptr when there is none. The price list owns the card.
using TCardByEAN = std::function<TPriceListItem*(std::string_view ean)>;
TCardByEAN CardByEANIn(TPriceList& list);

// Splits one text line as the import does: with ',' as delimiter a field ends at ',', ';',
// '|' or TAB and a field beginning with '"' or '\'' runs to its matching quote (a doubled
// quote stands for one); with TAB as delimiter fields are separated by TABs only. Throws
// nothing; at most kMaxImportColumns fields are returned (the caller decides about more).
std::vector<std::string> SplitImportLine(std::string_view line, char delimiter, bool* tooManyFields = nullptr);

// The rows of the import table, handed out one by one: row 0 holds the column names.
class IImportRows {
public:
  virtual ~IImportRows() = default;
  // The next row into row; false at the end. Throws Exception for a damaged file.
  virtual bool Next(std::vector<std::string>& row) = 0;
};

// Imports the rows: finds the EAN and amount columns (Exception "Pole pro EAN nebylo
// nalezeno." / "Pole pro množství nebylo nalezeno." with nothing added), then appends a line
// per usable row. A row that fails asks problems; an answer to stop raises Exception "Import
// souboru byl přerušen uživatelem.". Returns the number of lines appended.
int ImportRows(TOrder& order, IImportRows& rows, const TCardByEAN& cards, const TImportPatterns& patterns,
               IImportProblemDialog& problems);

// The text rows of bytes already in memory (the fuzz target's and the tests' way in); name is
// the file name for the error message.
int ImportTextBytes(TOrder& order, std::string_view bytes, const std::string& name, const TCardByEAN& cards,
                    const TImportPatterns& patterns, IImportProblemDialog& problems);

// Imports path (code page 1250 name) of file type 2 or 3 (any other type raises Exception)
// into order: writes "Otevřena objednávka %s, %d" to the log when the file is open and
// "Načteno %d položek objednávky" (the order's line count) at the end. A file that cannot
// be opened raises EFOpenError/EInOutError, a dBase file that is not a table EDBFfileError,
// a record that cannot be read Exception "Chyba při čtení souboru \"%s\"".
void Import(TOrder& order, const std::string& path, int type, const TCardByEAN& cards, const TImportPatterns& patterns,
            IImportProblemDialog& problems);

// The same with the application context's price list and settings store (App()): what Open
// calls for the file types 2 and 3 after setting the order's FileName.
void Import(TOrder& order, const std::string& path, int type, IImportProblemDialog& problems);
