#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <vector>

#include "catalogue/CenikIni.h"
#include "catalogue/PackageImport.h"
#include "core/DateFormat.h"
#include "core/DateTime.h"
#include "core/Errors.h"
#include "core/Format.h"
#include "core/Paths.h"
#include "core/ReportMessage.h"
#include "core/SettingsStore.h"
#include "formats/Cp1250Utf8.h"
#include "formats/DBFFile.h"
#include "formats/LzhEntry.h"
#include "core/FileIo.h"

namespace {

enum class TTableKind { Cards, Groups };

TTableKind DetectTable(const std::string& fileName) {
  TDBFFile table(fileName);
  table.Open(TDBFAccess::ReadOnly);
  // FindField compares upper-cased, so "KOD" and "Kod" are alike.
  if (table.FindField("Kod") && table.FindField("Nazev"))
    return TTableKind::Cards;
  if (table.FindField("Okruh") && table.FindField("Podokruh") && table.FindField("Popis"))
    return TTableKind::Groups;
  throw Exception(BadPackageMessage(fileName));
}

// Whether the two names reach the same file: equal as typed, equal as full paths, or (both
// existing) the same file through links.
bool SameFile(const std::string& source, const std::string& destination) {
  if (source == destination)
    return true;
  namespace fs = std::filesystem;
  const fs::path a = NativeFileName(source), b = NativeFileName(destination);
  std::error_code ec1, ec2;
  const fs::path fullA = fs::weakly_canonical(fs::absolute(a, ec1), ec1);
  const fs::path fullB = fs::weakly_canonical(fs::absolute(b, ec2), ec2);
  if (!ec1 && !ec2 && fullA == fullB)
    return true;
  std::error_code ec;
  return fs::equivalent(a, b, ec) && !ec;
}

bool FileExists(const std::string& fileName) {
  struct stat info {};
  return ::stat(NativeFileName(fileName).c_str(), &info) == 0;
}

// Copies source over destination after asking when the destination exists; the copy goes to
// a temporary file beside the destination, renamed over it when complete. Returns the
// source's modification time, or false when the user declined.
bool CopyAskingOverwrite(const std::string& source, const std::string& destination, std::time_t& sourceTime) {
  if (FileExists(destination) &&
      ReportMessage(Format(Cz("Soubor %s již existuje.\r\nPřejete si jej přepsat?"), {destination}),
                    {TMsgButtons::OKCancel, TMsgIcon::Question}) != TMsgResult::OK)
    return false;
  const fileio::TFd in = fileio::OpenForReading(source);
  sourceTime = static_cast<std::time_t>(fileio::ModificationTime(in, source));
  fileio::TAtomicFile out(destination);
  std::vector<unsigned char> buffer(256 * 1024);
  for (;;) {
    const std::size_t read = fileio::ReadSome(in, buffer.data(), buffer.size(), source);
    if (read == 0)
      break;
    fileio::WriteAll(out.Fd(), buffer.data(), read, destination);
  }
  out.SetModificationTime(sourceTime);
  out.Commit();
  return true;
}

TDateTime LocalDateTime(std::time_t moment) {
  std::tm parts{};
  localtime_r(&moment, &parts);
  TDateTime date = 0, time = 0;
  if (!TryEncodeDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, date) ||
      !TryEncodeTime(parts.tm_hour, parts.tm_min, std::min(parts.tm_sec, 59), 0, time))
    return 0;
  return date + time;
}

} // namespace

void ForgetPriceListID(TPackageImportContext& ctx) {
  ctx.Settings.PriceListVerified = false;
  ctx.Settings.ID2 = 0;
  ctx.Store.DeleteValue("Others", "ID2");
  ctx.Store.Save();
}

TImportResult ImportPriceListFile(TPackageImportContext& ctx, const std::string& fileName, bool takeCompanyData) {
  IPackageImportHost* host = ctx.Host;
  if (IsPackedFile(fileName)) {
    if (ReportMessage(Format(Cz("Přejete si aktualizovat ceník\r\nsouborem %s ?"), {fileName}),
                      {TMsgButtons::OKCancel, TMsgIcon::Question}) != TMsgResult::OK)
      return TImportResult::Cancelled;
    ForgetPriceListID(ctx);
    InstallPackage(ctx, fileName, takeCompanyData);
    if (host) {
      host->RebuildInfoTabs();
      host->ReloadPriceList();
      host->ReloadGroups();
      host->RefreshProgramUpdate();
      host->ImportFinished();
    }
    return TImportResult::PackageInstalled;
  }

  ForgetPriceListID(ctx);
  const TTableKind kind = DetectTable(fileName);
  const std::string destination = kind == TTableKind::Cards
                                      ? FilePathSetting(ctx.Store, "PriceList", "KARTY.DBF", ctx.Environment)
                                      : FilePathSetting(ctx.Store, "Groups", "OKRUHY.DBF", ctx.Environment);
  if (SameFile(fileName, destination))
    throw Exception(Cz("Zdrojový a cílový soubor musí být různý"));
  std::time_t sourceTime = 0;
  if (!CopyAskingOverwrite(fileName, destination, sourceTime))
    return TImportResult::Cancelled;
  WriteImportLog(ctx, Format(Cz("Import ceníku. Soubor: %s"), {destination}));
  if (kind == TTableKind::Cards) {
    if (host)
      host->ReloadPriceList();
    const TDateTime when = LocalDateTime(sourceTime);
    ctx.Settings.LastImportDate = FormatDateTime("dd.mm.yyyy", when) + " " + FormatDateTime("t", when);
    ctx.Settings.LastImportFileName = fileName;
  } else if (host) {
    host->ReloadGroups();
  }
  if (host)
    host->ImportFinished();
  return kind == TTableKind::Cards ? TImportResult::PriceListCopied : TImportResult::GroupsCopied;
}
