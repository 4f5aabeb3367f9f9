#include "pictures/ImgList.h"

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <unordered_set>

#include "catalogue/PriceList.h"
#include "core/DateFormat.h"
#include "core/FileIo.h"
#include "core/Format.h"
#include "core/Paths.h"
#include "core/ReportMessage.h"
#include "formats/CodePages.h"
#include "formats/Cp1250Utf8.h"
#include "formats/DBFFile.h"
#include "pictures/PictureNames.h"

namespace {

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos)
    return {};
  const size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

void DeletePictureFile(const std::string& folder, const std::string& localName) {
  const std::string path = PictureFilePath(folder, localName);
  if (!path.empty())
    ::unlink(path.c_str());
}

std::string TableFile(const TPictureOptions& options) { return JoinPath(options.Folder, kPictureTableName); }

} // namespace

TPictureOptions TPictureOptions::FromSettings(const TAppSettings& settings) {
  TPictureOptions options;
  options.Folder = settings.Pictures;
  options.WebFolder = Trimmed(settings.WebPictures);
  options.Prefix = settings.PrefixTmpPictures;
  options.Download = settings.ImgDownload;
  options.MaxWorkers = settings.MaxThreadPictureLimit;
  options.DaysOld = settings.DaysOldPictures;
  return options;
}

TImgList::TImgList() = default;

TImgList::~TImgList() { WaitForWorkers(std::chrono::milliseconds::max()); }

void TImgList::SetClock(TClock clock) {
  std::lock_guard lock(FLock);
  FClock = std::move(clock);
}

TDateTime TImgList::Now() const {
  TClock clock;
  {
    std::lock_guard lock(FLock);
    clock = FClock;
  }
  return clock ? clock() : ::Now();
}

int TImgList::Count() const {
  std::lock_guard lock(FLock);
  return static_cast<int>(FItems.size());
}

int TImgList::IndexOfLocked(std::string_view pictureName) const {
  for (size_t i = 0; i < FItems.size(); ++i)
    if (SameName(FItems[i]->JmenoObr, pictureName))
      return static_cast<int>(i);
  return -1;
}

int TImgList::IndexOf(std::string_view pictureName) const {
  std::lock_guard lock(FLock);
  return IndexOfLocked(pictureName);
}

bool TImgList::Contains(std::string_view pictureName) const { return IndexOf(pictureName) >= 0; }

TObrazekRef TImgList::Item(int index) const {
  std::lock_guard lock(FLock);
  return index >= 0 && index < static_cast<int>(FItems.size()) ? FItems[static_cast<size_t>(index)] : nullptr;
}

TObrazekRef TImgList::MakeEntry(std::string_view cardPictureName, int stav) const {
  auto entry = std::make_shared<TObrazekInfo>();
  entry->JmenoObr = NormalisePictureName(cardPictureName);
  entry->TempJmeno = entry->JmenoObr;
  entry->Stav = stav;
  const TDateTime now = Now();
  entry->Datum = std::floor(now);
  entry->Cas = FormatDateTime("hh:nn:ss", now);
  return entry;
}

TObrazekRef TImgList::FindOrAdd(std::string_view cardPictureName) {
  const std::string name = NormalisePictureName(cardPictureName);
  if (name.empty())
    return nullptr;
  TObrazekRef entry = MakeEntry(name, kObrNotLookedAt);
  std::lock_guard lock(FLock);
  if (const int index = IndexOfLocked(name); index >= 0)
    return FItems[static_cast<size_t>(index)];
  FItems.push_back(entry);
  return entry;
}

TObrazekRef TImgList::Add(std::string_view cardPictureName) {
  TObrazekRef entry = MakeEntry(cardPictureName, kObrNotAvailable);
  std::lock_guard lock(FLock);
  FItems.push_back(entry);
  return entry;
}

void TImgList::Clear() {
  std::lock_guard lock(FLock);
  FItems.clear();
}

TObrazekInfo TImgList::Snapshot(const TObrazekInfo& entry) const {
  std::lock_guard lock(FLock);
  return entry;
}

std::vector<TObrazekInfo> TImgList::Entries() const {
  std::lock_guard lock(FLock);
  std::vector<TObrazekInfo> result;
  result.reserve(FItems.size());
  for (const TObrazekRef& entry : FItems)
    result.push_back(*entry);
  return result;
}

void TImgList::LoadTableOrThrow(const TPictureOptions& options, TDateTime today) {
  Clear();
  const std::string fileName = TableFile(options);
  if (::access(NativeFileName(fileName).c_str(), F_OK) != 0)
    return;
  std::vector<TObrazekRef> loaded;
  const double day = std::floor(today);
  try {
    TDBFFile table(fileName, TDBFConversion::Cp852);
    table.Open(TDBFAccess::ReadOnly);
    const TDBFField& jmeno = table.FieldByName("JmenoObr");
    const TDBFField& tempJmeno = table.FieldByName("TempJmeno");
    const TDBFField& stav = table.FieldByName("Stav");
    const TDBFField& datum = table.FieldByName("Datum");
    const TDBFField& cas = table.FieldByName("Cas");
    for (table.First(); !table.Eof(); table.Next()) {
      if (table.IsDeleted())
        continue;
      auto entry = std::make_shared<TObrazekInfo>();
      entry->JmenoObr = jmeno.AsString();
      entry->TempJmeno = tempJmeno.AsString();
      entry->Datum = datum.AsDate();
      entry->Cas = cas.AsString();
      const int state = stav.AsInteger();
      entry->Stav = state >= 0 && state <= 3 ? state : kObrNotAvailable;
      if (!entry->JmenoObr.empty() && day - entry->Datum < options.DaysOld)
        loaded.push_back(std::move(entry));
      else if (IsTemporaryName(entry->TempJmeno, entry->JmenoObr, options.Prefix))
        DeletePictureFile(options.Folder, entry->TempJmeno);
    }
    table.Close();
  } catch (const std::exception& e) {
    {
      std::lock_guard lock(FLock);
      FItems.insert(FItems.end(), loaded.begin(), loaded.end());
    }
    throw Exception(Format(Cz("Chyba při načítání tabulky s obrázky\r%s"), {e.what()}));
  }
  std::lock_guard lock(FLock);
  FItems.insert(FItems.end(), loaded.begin(), loaded.end());
}

bool TImgList::LoadTable(const TPictureOptions& options, TDateTime today) {
  try {
    LoadTableOrThrow(options, today);
    return true;
  } catch (const Exception& e) {
    ReportMessage(e.what(), {TMsgButtons::OK, TMsgIcon::Error});
    return false;
  }
}

void TImgList::SaveTableOrThrow(const TPictureOptions& options) const {
  std::vector<TObrazekInfo> records;
  {
    std::lock_guard lock(FLock);
    for (const TObrazekRef& entry : FItems)
      if (entry->Stav == kObrStored && !SameName(entry->TempJmeno, entry->JmenoObr))
        records.push_back(*entry);
  }
  try {
    // A pictures folder that no download has needed yet is made now rather than reported.
    if (!options.Folder.empty())
      std::filesystem::create_directories(NativeFileName(options.Folder));
    // The whole table is written under a temporary name, so a failure leaves the old one.
    fileio::TAtomicFile file(TableFile(options));
    TDBFFile table(Utf8ToCp1250(file.TempPath()), TDBFConversion::Cp852);
    table.AddField("JmenoObr", 'C', 128);
    table.AddField("TempJmeno", 'C', 128);
    table.AddField("Stav", 'N', 3, 0);
    table.AddField("Datum", 'D', 8);
    table.AddField("Cas", 'C', 8);
    table.CreateNew();
    for (const TObrazekInfo& record : records) {
      table.Append();
      table.FieldByName("JmenoObr").SetAsString(record.JmenoObr);
      table.FieldByName("TempJmeno").SetAsString(record.TempJmeno);
      table.FieldByName("Stav").SetAsInteger(record.Stav);
      table.FieldByName("Datum").SetAsDate(record.Datum);
      table.FieldByName("Cas").SetAsString(record.Cas);
      table.Post();
    }
    table.Close();
    file.Commit();
  } catch (const std::exception& e) {
    throw Exception(Format(Cz("Chyba při ukládání tabulky s obrázky\r%s"), {e.what()}));
  }
}

bool TImgList::SaveTable(const TPictureOptions& options) const {
  try {
    SaveTableOrThrow(options);
    return true;
  } catch (const Exception& e) {
    ReportMessage(e.what(), {TMsgButtons::OK, TMsgIcon::Error});
    return false;
  }
}

void TImgList::DeleteFiles(const TPictureOptions& options, bool all) {
  std::vector<TObrazekRef> items;
  {
    std::lock_guard lock(FLock);
    items = FItems;
  }
  for (const TObrazekRef& entry : items) {
    const TObrazekInfo snapshot = Snapshot(*entry);
    if (!all && !IsTemporaryName(snapshot.TempJmeno, snapshot.JmenoObr, options.Prefix))
      continue;
    DeletePictureFile(options.Folder, snapshot.TempJmeno);
    std::lock_guard lock(FLock);
    entry->Stav = kObrNotLookedAt;
  }
  if (all)
    Clear();
}

void TImgList::Rebuild(int mode, const TPriceList& priceList, const TPictureOptions& options) {
  if (mode < 0 || mode > 2)
    throw Exception(Format(Cz("Neznámý režim načítání obrázků %d"), {mode}));
  if (mode != 1) {
    DeleteFiles(options, false);
    Clear();
  }
  std::unordered_set<std::string> present;
  {
    std::lock_guard lock(FLock);
    for (const TObrazekRef& entry : FItems)
      present.insert(AnsiUpperCase(entry->JmenoObr));
  }
  std::vector<TObrazekRef> added;
  for (int index = 0; index < priceList.Count(); ++index) {
    const std::string name = NormalisePictureName(priceList.Items(index).OBRAZEK);
    if (name.empty() || !present.insert(AnsiUpperCase(name)).second)
      continue;
    added.push_back(MakeEntry(name, kObrNotLookedAt));
  }
  {
    std::lock_guard lock(FLock);
    FItems.insert(FItems.end(), added.begin(), added.end());
  }
  if (mode == 2)
    DeleteFiles(options, true);
}

int TImgList::CurrentIndex() const {
  std::lock_guard lock(FLock);
  return FCurrentIndex;
}

void TImgList::SetCurrentIndex(int index) {
  std::lock_guard lock(FLock);
  FCurrentIndex = index;
}

int TImgList::WorkerCount() const {
  std::lock_guard lock(FLock);
  return FWorkerCount;
}

bool TImgList::WaitForWorkers(std::chrono::milliseconds timeout) {
  std::unique_lock lock(FLock);
  const auto done = [this] { return FThreadCount == 0; };
  if (timeout == std::chrono::milliseconds::max()) {
    FThreadsDone.wait(lock, done);
    return true;
  }
  return FThreadsDone.wait_for(lock, timeout, done);
}

TDateTime TImgList::UniqueMoment() {
  const TDateTime now = Now();
  std::lock_guard lock(FLock);
  long long ms = std::llround(now * 86400000.0);
  if (ms <= FLastStampMs)
    ms = FLastStampMs + 1;
  FLastStampMs = ms;
  return static_cast<double>(ms) / 86400000.0;
}

void TImgList::WorkerStarted() {
  std::lock_guard lock(FLock);
  ++FWorkerCount;
  ++FThreadCount;
}

void TImgList::WorkerEnded() {
  std::lock_guard lock(FLock);
  --FWorkerCount;
}

void TImgList::ThreadEnded() {
  std::lock_guard lock(FLock);
  --FThreadCount;
  FThreadsDone.notify_all();
}
