#pragma once

#include <functional>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/CliSupport.h"
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

// The price list of one command run: the lookup by card code and whatever keeps its cards
// alive for as long as the lookup is used.
struct TCommandCards {
  TCardLookup Lookup;
  std::shared_ptr<const void> Owner;
};

// Loads the price list for a command: kartyFile (code page 1250) when not empty, otherwise
// the settings' "PriceList" path. Throws Exception with the loader's message on failure.
using TCommandCardSource = std::function<TCommandCards(const std::string& kartyFile, const TAppSettings& settings)>;

// Registers "order enter [--program NAME] [--karty FILE]", reading its entries from in. The
// price list comes from source; the settings ("MaxAmount", "EnableWholePackage", the
// no-packages mode) are loaded as the desktop program loads them.
void AddOrderCommands(std::vector<CliCommand>& commands, TCommandCardSource source, std::istream& in);
