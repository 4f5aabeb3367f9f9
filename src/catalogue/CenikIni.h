#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "catalogue/PackageImport.h"

// The description file of a price-list package, CENIK.INI: text in code page 852, read as
// sections. A section starts at a line equal to its header ("[Company]", "[DBC]", "[INI]",
// case-sensitive, whole line) and ends before the next line beginning with "[". Inside, a
// line "key=value" gives the key (the text before the first "=") and the value (the text up
// to the next "=", if any); other lines are ignored.

// The lines of a text (CR LF, LF or CR ends a line; a last line without an end counts when
// it is not empty), each converted from code page 852 to 1250.
std::vector<std::string> Cp852TextLines(std::string_view text);

// The lines of every occurrence of the section with that header, in order.
std::vector<std::string> IniSectionLines(const std::vector<std::string>& lines, std::string_view header);

// Splits "key=value" as described above. False for a line without "=".
bool SplitIniLine(const std::string& line, std::string& key, std::string& value);

// "[Company]": NAME1, NAME2, ADDRESS, PSC, CITY, ICO (only a non-empty value), DIC,
// RESPPERSON, PHONE, FAX, MOBILE (keys upper-cased) set the settings record's company data
// only; they reach the store with the next save of the settings.
void ApplyCompanySection(TAppSettings& settings, const std::vector<std::string>& lines);

// "[DBC]": the price list's identity, written both to the store and the record:
// CREATED, CREATEDTIME ("Others", up to 30 characters, hashes follow), ID2 ("Others", the
// record takes it as a number, 0 when not one), OBJVERSION ("Others"/"InstObjVersion"),
// TAVALIAS ("TAVInstAlias"), TAVNAME ("TAVInstName"), CURRENCY ("Company", up to 3
// characters), EXRATE ("Company", 0 when not a number).
void ApplyDbcSection(TPackageImportContext& ctx, const std::vector<std::string>& lines);

// "[INI]": each "Section/Key=Value" line with both parts not empty writes Value as text to
// the store (keys as given; Key ends at a second "/"). Before the first write the settings
// are saved (SaveSettings); after the section, when anything was written, they are loaded
// again without the column layouts and the window placement. Every key set is logged
// ("Import ceníku. Nastavení: Section/Key=Value"), as the package can change any setting.
// Returns the number of keys written.
int ApplyIniSection(TPackageImportContext& ctx, const std::vector<std::string>& lines);

// The whole description: its text (code page 852) applied in the order "[Company]" (only
// with takeCompanyData), "[DBC]", "[INI]".
void ApplyDescription(TPackageImportContext& ctx, std::string_view text, bool takeCompanyData);

// A log line of the import: ctx.Log, else the program log.
void WriteImportLog(const TPackageImportContext& ctx, const std::string& text);
