#pragma once

#include <functional>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/CliSupport.h"
#include "cli/CommandSettings.h"
#include "orders/Order.h"

// Applies the quantity entries read from in to the order, as the price-list grid does, and
// writes the results to out (UTF-8):
//   input   one entry per line, CODE<TAB>COLUMN<TAB>TEXT (UTF-8; COLUMN 0 = "Objednáno",
//           1 = "Obj.balení"; a CR before the line feed is dropped)
//   output  for each entry the returned message with CR and LF written as \r and \n (an
//           empty line when there is none); after the input, line<TAB>CODE<TAB>QUANTITY<TAB>
//           PACKAGES for every order line in order (shortest general form, "." as decimal
//           separator), then totals<TAB>NOVAT<TAB>WITHVAT<TAB>PACKAGING with two decimals.
// Throws std::runtime_error naming the input line for a line that is not of that form or
// names a code the lookup does not know; the entries before it stay applied.
void RunOrderEnter(TOrder& order, const TCardLookup& cards, const TQuantityRules& rules, std::istream& in,
                   std::ostream& out);

// line<TAB>CODE<TAB>QUANTITY<TAB>PACKAGES for every order line in order (UTF-8, the code
// escaped by EscapeField, numbers in the shortest general form with "." as decimal point).
void PrintOrderLines(const TOrder& order, std::ostream& out);

// The price list of one command run: the lookup by card code, whatever keeps its cards
// alive for as long as the lookup is used, and whether the load verified the table.
struct TCommandCards {
  TCardLookup Lookup;
  std::shared_ptr<const void> Owner;
  bool PriceListVerified = false;
};

// Loads the price list for a command: kartyFile (code page 1250) when not empty, otherwise
// the settings' "PriceList" path. Throws Exception with the loader's message on failure.
using TCommandCardSource = std::function<TCommandCards(const std::string& kartyFile, const TAppSettings& settings)>;

// The source the commands use: LoadCommandPriceList, cards found by code.
TCommandCards CommandCards(const std::string& kartyFile, const TAppSettings& settings);

// Reads the order file path (code page 1250) as Open does: lines linked to the cards of
// kartyFile, or of the settings' price list when that file exists, and sorted by the stored
// order grid; questions and the problem message go to err. Returns whether the reader
// reported a problem; a file that cannot be read raises the reader's error.
bool ReadCommandOrder(TOrder& order, const std::string& path, const std::string& kartyFile, TCommandSettings& loaded,
                      const TCommandCardSource& source, std::ostream& err);

// Registers, with the price list from source and the settings loaded as the desktop program
// loads them:
//   order enter [--karty FILE] [--delivery DATE] [--latest DATE] [--memo TEXT]...
//               [--save FILE [--for-sending]] [--no]
//     the entries read from in (RunOrderEnter); then the header takes the dates (dd.mm.yyyy)
//     and the note lines, and --save writes the order file as Save does (without the
//     delivery-date check; --for-sending: the copy for sending, the order's file name kept).
//     Questions are shown on stderr and answered Yes/OK, or No/Cancel with --no; a refusal
//     exits 1 with nothing written.
//   order show FILE [--karty FILE]
//     reads the order file as Open does (lines linked to the cards of --karty, or of the
//     settings' price list when that file exists, and sorted by the stored order grid) and
//     prints Created, Changed, DeliveryDate, LatestDeliveryDate, Sent and OrderID as
//     NAME<TAB>VALUE (stamps dd.mm.yyyy hh:nn, dates dd.mm.yyyy, empty for 0), the lines
//     (PrintOrderLines), memo<TAB>TEXT per note line and problem<TAB>0|1.
void AddOrderCommands(std::vector<CliCommand>& commands, TCommandCardSource source, std::istream& in);
