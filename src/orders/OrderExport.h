#pragma once

#include <string>

#include "ui/CellText.h"

struct TAppSettings;
struct TColumnList;
class TOrder;

// The order written as delimited text for other programs: "Textový soubor" (file type 2) and
// "Microsoft Excel" (file type 4, the same kind of text with its own delimiter and decimal
// separator). Lines end in CR LF; text is code page 1250. The order itself is not changed
// (neither its file name nor its modified flag).

// What the export reads besides the order.
struct TExportEnvironment {
  // The "Export" section (labels, what to write), the company data. Must outlive the call.
  const TAppSettings* Settings = nullptr;
  // The order grid's columns in their displayed order; read only with "ExportColumnsInView".
  // nullptr there: the default layout of the settings' modes.
  const TColumnList* OrderColumns = nullptr;
  // The cells' decimal separator, date format and currency (the user's conventions).
  TCellEnvironment Cells;
};

// The delimiter and decimal separator of a save file type: 2 the text settings
// ("TXT_Delimiter", "TXT_DecimalSeparator"), 4 the spreadsheet settings ("XLS_..."). Any
// other type gives the text settings.
struct TExportFormat {
  char Delimiter = ',';
  std::string DecimalSeparator = "."; // empty: numbers keep the user's separator
};
TExportFormat ExportFormatFor(const TAppSettings& settings, int fileType);

// The whole text of the export (see Export). Never throws.
std::string ExportText(const TOrder& order, char delimiter, const std::string& decimalSeparator,
                       const TExportEnvironment& env);

// Writes the export to path (code page 1250 name) through a temporary file in the same
// folder renamed over the target, so a failure leaves an earlier file as it was. Throws
// EInOutError (with the file name) when the file cannot be written.
void Export(const TOrder& order, const std::string& path, char delimiter, const std::string& decimalSeparator,
            const TExportEnvironment& env);

// The same with the application context's settings, order grid columns and cell environment
// (App()): what Save as calls for the file types 2 and 4.
void Export(const TOrder& order, const std::string& path, char delimiter, const std::string& decimalSeparator);
