#pragma once

#include <string>
#include <vector>

#include "core/DateTime.h"

struct TAppSettings;
class TOrder;

// The subject and covering text of the order e-mail, shared by the SMTP dialog and the
// desktop mail program. All texts are code page 1250.

// The Czech name of the date's day of the week ("Pondělí"), with diacritics.
std::string CzechDayName(TDateTime date);

// "Objednavka zbozi na: pondeli 5.1.2009": the requested delivery date's day name without
// diacritics in lower case, then the date as d.m.yyyy.
std::string OrderSubject(const TOrder& order);

// The covering text as lines: the delivery-date paragraph (one item spanning several lines),
// the note's lines, one empty line and the signature block of the customer's company data.
// Empty company values leave their lines empty.
std::vector<std::string> OrderTextLines(const TOrder& order, const TAppSettings& settings);

// The same joined into one text, CR LF after every item.
std::string OrderText(const TOrder& order, const TAppSettings& settings);

// A text split into the lines a multi-line edit shows (at CR LF, CR or LF); a final line
// break does not start another line.
std::vector<std::string> SplitTextLines(const std::string& text);
