#pragma once

#include <functional>
#include <string>

#include "core/Locale.h"
#include "orders/Order.h"
#include "orders/OrderFileFormat.h"

struct TAppSettings;
class IMessageSink;

// The order file: a sectioned text in code page 1250 with CR LF line ends,
//   [General]      Created, Changed, DeliveryDate, LatestDeliveryDate, Sent, FileName, OrderID,
//                  PriceListCreatedDate, PriceListCreatedTime, OBXApp, OBXAppBuild,
//                  PriceEnabled*, PriceListID1*, PriceListID2, Currency**, ExRate**
//   [Company]      Name1 ... e-mail, ContactEmail (only when set)
//   [OrderItems]   n=Code|Quantity|Packages|Baleni|Nazev|Jednotka[||Cena]
//   [OrderMemo]    n=note line
// (* only with "OrderEncrypt", ** only with a currency code; an empty line after every section
// but the last). With "OrderEncrypt" the file is one packed-file entry holding that text.

// The order file's type number in the Open and Save as dispatch.
constexpr int kOrderFileType = 1;

// What writing and reading an order file depend on besides the order and the settings.
struct TOrderFileOptions {
  // Links the lines read from a file to their cards; empty: no line gets a card.
  TCardLookup Cards;
  // Puts the lines read from a file into the order grid's sort order; empty: file order.
  std::function<void(TOrder&)> SortLines;
  // Where the questions and the problem message go; nullptr: MessageSink().
  IMessageSink* Messages = nullptr;
  // Number, date and time conventions of the file; nullptr: CurrentLocale().
  const Locale* Conventions = nullptr;
  // The folder in front of a bare file name when reading; empty: the running program's folder.
  std::string ProgramFolder;

  const Locale& Loc() const { return Conventions ? *Conventions : CurrentLocale(); }
  IMessageSink& Sink() const;
};

// Writes the order to path (code page 1250). The item lines carry prices only for a copy for
// sending, with "PriceEnabled" and "OrderEncrypt" on, a verified price list
// (settings.PriceListVerified) younger than "PriceListActualH" hours; when a copy for sending
// could carry prices but may not, the freshness warning is logged and asked (OK, Cancel).
// A line without a card asks whether to go on (Yes skips the line). Assigns OrderID
// (EnsureOrderID) once the warning is passed. Without keepName, FileName becomes path and the
// modified flag is cleared.
//
// The file is written beside path and renamed over it only when complete: a refusal, a
// failure or a crash leaves an earlier file of that name exactly as it was.
// Returns false when the user refused (nothing written, nothing but OrderID changed). Throws
// Exception "Chyba při ukládání souboru \"%s\"" (path) when the file cannot be written.
bool WriteOrderFile(TOrder& order, const std::string& path, bool keepName, bool forSending,
                    const TAppSettings& settings, const TOrderFileOptions& options = {});

// Replaces the order's lines, note, dates, stamps and OrderID by those of the file (plain or
// packed; a bare name lies in the program folder), links the lines to their cards, sorts
// them, recomputes the totals and clears the modified flag; FileName stays. Quantities that
// do not read as numbers become 0 and the problem message is shown ("Objednávky", error
// icon); the return value tells whether that happened. Writes "Otevřena objednávka %s, %d"
// and "Načteno %d položek objednávky" to the log.
// Throws, with the order untouched: EFOpenError when the file cannot be opened, EInOutError
// when it cannot be read, Exception "Soubor %s nemá správný formát dat" for a file larger
// than kMaxOrderFileSize and ELZHException for a packed file that is damaged or claims more.
bool ReadOrderFile(TOrder& order, const std::string& path, const TOrderFileOptions& options = {});

// The common part of saving in every format: logs "Ukládání objednávky %s, %d" (path, type),
// removes the empty lines, runs write and, when it returns true, logs "Uloženo %d položek
// objednávky". Returns what write returned; what write throws propagates.
bool SaveOrder(TOrder& order, const std::string& path, int type, const std::function<bool()>& write);

// Saving as an order file: SaveOrder with type 1 around WriteOrderFile. Returns false when
// the user refused.
bool SaveOrderFile(TOrder& order, const std::string& path, bool keepName, bool forSending, const TAppSettings& settings,
                   const TOrderFileOptions& options = {});
