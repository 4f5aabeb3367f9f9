#pragma once

#include <ostream>
#include <string>

#include "core/DateTime.h"
#include "orders/DeliveryDates.h"
#include "orders/OrderImport.h"

struct TAppSettings;
class TOrder;
class TSettingsStore;

// The cores of "order export", "order import" and "delivery check", each on what the command
// has loaded, so that they run without a settings store or a price-list file.

// Exports order as Save as does for fileType 2 (the text settings) or 4 (the spreadsheet
// settings) to outPath (code page 1250): with "ExportColumnsInView" the order grid's columns
// are the layout stored in store's "OrderColumns" (the default layout when none is stored).
// The cells use the Czech conventions of the companion (decimal comma, dd.mm.yyyy).
void RunOrderExport(const TOrder& order, const TAppSettings& settings, const TSettingsStore& store,
                    const std::string& outPath, int fileType);

// The import file type of a source name: 3 for ".dbf" (any case), otherwise 2.
int ImportTypeOf(const std::string& source);

// Imports source (code page 1250 name) into order as Open does (the order's FileName becomes
// the source). Every failed row's message goes to err (UTF-8, one line); with stopOnError the
// first one ends the import. The order's lines are written to out in every case (see
// PrintOrderLines); an error that ended the import is raised afterwards.
void RunOrderImport(TOrder& order, const std::string& source, const TCardByEAN& cards, const TImportPatterns& patterns,
                    bool stopOnError, std::ostream& out, std::ostream& err);

// The check dialog's OK rules on date: "ok" or the error text, then quick<TAB>0|1 for the
// quick test (UTF-8).
void RunDeliveryCheck(TDateTime date, TDateTime today, const TDeliveryRules& rules, std::ostream& out);
