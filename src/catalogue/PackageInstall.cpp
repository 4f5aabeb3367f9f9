#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <utility>

#include "catalogue/CenikIni.h"
#include "catalogue/PackageImport.h"
#include "core/AppContext.h"
#include "core/DateFormat.h"
#include "core/DateTime.h"
#include "core/Errors.h"
#include "core/Format.h"
#include "core/Paths.h"
#include "core/SettingsStore.h"
#include "formats/CodePages.h"
#include "formats/Cp1250Utf8.h"
#include "formats/LzhEntry.h"
#include "formats/LzhFile.h"
#include "core/FileIo.h"

namespace {

enum class TEntryKind { Cards, Description, Groups, Text1, Text2, Picture, Page, Skipped };

struct TPlannedEntry {
  std::uint64_t Offset = 0;
  TLZHHeader Header;
  TEntryKind Kind = TEntryKind::Skipped;
  std::string Destination; // file entries: where it is installed
  std::string Staging;     // file entries: the unpacked file waiting beside it
  std::string Text;        // description and texts: the unpacked bytes
};

bool StartsWith(const std::string& text, std::string_view prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

TEntryKind Classify(const std::string& fileName) {
  const std::string upper = AnsiUpperCase(fileName);
  if (StartsWith(upper, "KAR"))
    return TEntryKind::Cards;
  if (upper == "CENIK.INI")
    return TEntryKind::Description;
  if (StartsWith(upper, "OKR"))
    return TEntryKind::Groups;
  if (StartsWith(upper, "TXTEXA"))
    return TEntryKind::Text1;
  if (StartsWith(upper, "TXTEXB"))
    return TEntryKind::Text2;
  if (StartsWith(upper, "P$_"))
    return TEntryKind::Picture;
  if (EndsWith(upper, ".HTM") || EndsWith(upper, ".HTML"))
    return TEntryKind::Page;
  return TEntryKind::Skipped;
}

bool IsFileKind(TEntryKind kind) {
  return kind == TEntryKind::Cards || kind == TEntryKind::Groups || kind == TEntryKind::Picture ||
         kind == TEntryKind::Page;
}

bool IsPlainFileName(const std::string& name) { return !name.empty() && name != "." && name != ".."; }

// The entry's stored date and time in the user's default date-and-time format; empty when it
// is no date.
std::string EntryDateText(const TLZHHeader& header) {
  TDateTime date = 0, time = 0;
  const int d = header.DosDate, t = header.DosTime;
  if (!TryEncodeDate((d >> 9) + 1980, (d >> 5) & 15, d & 31, date) ||
      !TryEncodeTime(t >> 11, (t >> 5) & 63, (t & 31) * 2, 0, time))
    return {};
  return FormatDateTime("c", date + time);
}

// Removes the unpacked files that were not renamed into place.
class TStagedFiles {
public:
  ~TStagedFiles() {
    for (const std::string& name : FNames)
      if (!name.empty())
        ::unlink(NativeFileName(name).c_str());
  }
  void Add(const std::string& name) { FNames.push_back(name); }
  void Commit(const std::string& staging, const std::string& destination) {
    if (std::rename(NativeFileName(staging).c_str(), NativeFileName(destination).c_str()) != 0)
      throw SystemError(destination, errno);
    for (std::string& name : FNames)
      if (name == staging)
        name.clear();
  }

private:
  std::vector<std::string> FNames;
};

class TBusyScope {
public:
  explicit TBusyScope(IPackageImportHost* host) : FHost(host) {
    if (FHost)
      FHost->BeginBusy();
  }
  ~TBusyScope() {
    if (FHost)
      FHost->EndBusy();
  }
  TBusyScope(const TBusyScope&) = delete;
  TBusyScope& operator=(const TBusyScope&) = delete;

private:
  IPackageImportHost* FHost;
};

// Walks the whole package and decides where each entry goes; nothing is written.
std::vector<TPlannedEntry> PlanPackage(const TPackageImportContext& ctx, const std::string& packageFile) {
  std::uint64_t size = 0;
  {
    const fileio::TFd fd = fileio::OpenForReading(packageFile);
    size = fileio::FileSize(fd, packageFile);
  }
  const TAppSettings& s = ctx.Settings;
  std::vector<TPlannedEntry> plan;
  bool hasCards = false;
  int pages = 0;
  std::uint64_t offset = 0;
  while (offset < size) {
    TPlannedEntry entry;
    std::string storedName;
    if (!ReadEntryInfo(packageFile, offset, entry.Header, storedName))
      throw Exception(BadPackageMessage(packageFile));
    const std::string fileName = PackageEntryFileName(storedName);
    if (fileName.empty())
      throw Exception(BadPackageMessage(packageFile));
    entry.Offset = offset;
    entry.Kind = Classify(fileName);
    switch (entry.Kind) {
    case TEntryKind::Cards:
      hasCards = true;
      entry.Destination = InProgramFolder(s.PriceList, ctx.Environment);
      break;
    case TEntryKind::Groups:
      entry.Destination = InProgramFolder(s.Groups, ctx.Environment);
      break;
    case TEntryKind::Picture: {
      const std::string picture = fileName.substr(3);
      if (!IsPlainFileName(picture))
        throw Exception(BadPackageMessage(packageFile));
      entry.Destination = JoinPath(s.Pictures, picture);
      break;
    }
    case TEntryKind::Page:
      entry.Destination = JoinPath(s.Pictures, Format("_INFO_%d.HTM", {++pages}));
      break;
    default:
      break;
    }
    if (IsFileKind(entry.Kind))
      entry.Staging =
          entry.Destination + Format(".~%d-%d", {static_cast<int>(::getpid()), static_cast<int>(plan.size())});
    plan.push_back(std::move(entry));
    offset += plan.back().Header.EntrySize();
  }
  if (!hasCards)
    throw Exception(BadPackageMessage(packageFile));
  return plan;
}

void InstallText(TPackageImportContext& ctx, int box, const std::string& bytes) {
  const std::string section = box == 1 ? "InfoText1" : "InfoText2";
  std::vector<std::string> lines = Cp852TextLines(bytes);
  ctx.Store.EraseSection(section);
  for (size_t n = 0; n < lines.size(); ++n)
    ctx.Store.WriteString(section, "L" + std::to_string(n + 1), lines[n]);
  if (ctx.Host)
    ctx.Host->SetInfoText(box, lines);
  (box == 1 ? ctx.Settings.InfoText1 : ctx.Settings.InfoText2) = std::move(lines);
  WriteImportLog(ctx, Format(Cz("Import ceníku. Soubor: %s"), {section}));
}

} // namespace

std::string BadPackageMessage(const std::string& fileName) {
  return Format(Cz("Soubor %s nemá formát použitelný pro import ceníku"), {fileName});
}

std::string PackageEntryFileName(const std::string& storedName) {
  const size_t cut = storedName.find_last_of("\\/:");
  std::string name = cut == std::string::npos ? storedName : storedName.substr(cut + 1);
  for (const char c : name)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      return {};
  return IsPlainFileName(name) ? name : std::string();
}

TPackageImportContext PackageImportContext(AppContext& app, IPackageImportHost* host) {
  return TPackageImportContext{app.Settings, app.Store(), app.Environment(), app.Layouts(), host, {}};
}

void InstallPackage(TPackageImportContext& ctx, const std::string& packageFile, bool takeCompanyData) {
  TAppSettings& s = ctx.Settings;
  WriteImportLog(ctx, Format(Cz("Import ceníku ze souboru %s"), {packageFile}));
  s.PriceListVerified = false;
  const TBusyScope busy(ctx.Host);

  std::vector<TPlannedEntry> plan = PlanPackage(ctx, packageFile);

  // Everything is unpacked before anything is replaced, so a damaged stream leaves the
  // installed price list as it was.
  TStagedFiles staged;
  for (TPlannedEntry& entry : plan) {
    if (IsFileKind(entry.Kind)) {
      staged.Add(entry.Staging);
      TFileLZH(packageFile, true, false, entry.Offset, entry.Staging).Decompress();
    } else if (entry.Kind == TEntryKind::Description || entry.Kind == TEntryKind::Text1 ||
               entry.Kind == TEntryKind::Text2) {
      const std::vector<unsigned char> bytes = TMemoryLZH(packageFile, true, entry.Offset).DecompressToMemory();
      entry.Text.assign(bytes.begin(), bytes.end());
    }
  }

  int pages = 0;
  for (const TPlannedEntry& entry : plan) {
    if (IsFileKind(entry.Kind))
      staged.Commit(entry.Staging, entry.Destination);
    switch (entry.Kind) {
    case TEntryKind::Cards: {
      s.LastImportFileName = packageFile;
      s.LastImportDate = EntryDateText(entry.Header);
      WriteImportLog(ctx, Format(Cz("Import ceníku. Soubor: %s"), {entry.Destination + " " + s.LastImportDate}));
      break;
    }
    case TEntryKind::Description:
      WriteImportLog(ctx, Format(Cz("Import ceníku. Soubor: %s"), {"InfoCenikIni"}));
      ApplyDescription(ctx, entry.Text, takeCompanyData);
      break;
    case TEntryKind::Groups:
      WriteImportLog(ctx, Format(Cz("Import ceníku. Soubor: %s"), {entry.Destination}));
      break;
    case TEntryKind::Text1:
      InstallText(ctx, 1, entry.Text);
      break;
    case TEntryKind::Text2:
      InstallText(ctx, 2, entry.Text);
      break;
    case TEntryKind::Page:
      ++pages;
      break;
    default:
      break;
    }
    if (entry.Kind != TEntryKind::Cards && entry.Kind != TEntryKind::Description && entry.Kind != TEntryKind::Groups &&
        ctx.Host)
      ctx.Host->ShowOtherInformation(!s.InfoText2.empty());
  }

  ctx.Store.WriteInteger("InfoHTML", "InfoHTMLCount", pages);
  s.InfoHTMLCount = pages;
  ctx.Store.Save();
}
