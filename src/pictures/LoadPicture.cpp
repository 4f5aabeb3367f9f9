#include "pictures/LoadPicture.h"

#include <sys/stat.h>

#include <filesystem>

#include "core/FileIo.h"
#include "core/Format.h"
#include "core/Log.h"
#include "formats/Cp1250Utf8.h"
#include "pictures/PictureNames.h"

namespace {

bool IsBlank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

bool RegularFileExists(const std::string& nativePath) {
  struct stat info {};
  return !nativePath.empty() && ::stat(nativePath.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

TLoadPicture::TLoadPicture(TKey, TImgList& list, const TPictureOptions& options, std::shared_ptr<IHttpClient> http,
                           std::shared_ptr<IPictureReports> reports)
    : FList(list), FOptions(options), FHttp(std::move(http)), FReports(std::move(reports)) {}

std::shared_ptr<TLoadPicture> TLoadPicture::StartSingle(TImgList& list, const TPictureOptions& options,
                                                        std::shared_ptr<IHttpClient> http,
                                                        std::shared_ptr<IPictureReports> reports,
                                                        TPictureRequest request) {
  auto worker = std::make_shared<TLoadPicture>(TKey{}, list, options, std::move(http), std::move(reports));
  worker->FRequest = std::move(request);
  Launch(worker);
  return worker;
}

std::shared_ptr<TLoadPicture> TLoadPicture::StartBatch(TImgList& list, const TPictureOptions& options, bool force,
                                                       std::shared_ptr<IHttpClient> http,
                                                       std::shared_ptr<IPictureReports> reports) {
  auto worker = std::make_shared<TLoadPicture>(TKey{}, list, options, std::move(http), std::move(reports));
  worker->FBatch = true;
  worker->FForce = force;
  Launch(worker);
  return worker;
}

void TLoadPicture::Launch(const std::shared_ptr<TLoadPicture>& worker) {
  TImgList& list = worker->FList;
  list.WorkerStarted();
  try {
    // The thread owns the worker; whoever started it may keep a pointer or drop it.
    std::thread([self = std::shared_ptr<TLoadPicture>(worker)]() mutable {
      TImgList& owner = self->FList;
      self->Run();
      self.reset();
      // The last touch of the list: its destructor may go ahead from here.
      owner.ThreadEnded();
    }).detach();
  } catch (...) {
    list.WorkerEnded();
    list.ThreadEnded();
    throw;
  }
}

void TLoadPicture::Run() noexcept {
  try {
    if (FBatch)
      RunBatch();
    else
      RunSingle();
  } catch (const std::exception& e) {
    FPendingMessage = e.what();
  } catch (...) {
    FPendingMessage = "?";
  }
  FList.WorkerEnded();
  FFinished = true;
  if (FReports) {
    try {
      FReports->Done(*this, FPendingMessage);
    } catch (...) {
    }
  }
}

void TLoadPicture::RunSingle() {
  // The count includes this worker; it was raised when the worker was made.
  const bool permitted = FList.WorkerCount() <= FOptions.MaxWorkers;
  if (FRequest.Entry)
    DownloadEntry(FList, FOptions, *FHttp, FRequest.Entry, permitted, false);
  if (FRequest.CardIndex != FList.CurrentIndex() || !FReports)
    return;
  try {
    FReports->Progress(*this, FRequest.ReportText);
    for (TImageTarget target : FRequest.Targets)
      FReports->Display(*this, target, DisplayFile(FList, FOptions, FRequest.Entry));
  } catch (...) {
  }
}

void TLoadPicture::RunBatch() {
  for (int index = 0;; ++index) {
    const TObrazekRef entry = FList.Item(index);
    if (!entry)
      break;
    if (FReports) {
      try {
        FReports->Progress(*this, FList.Snapshot(*entry).JmenoObr);
      } catch (...) {
      }
    }
    DownloadEntry(FList, FOptions, *FHttp, entry, true, FForce);
    if (FTerminated)
      break;
  }
  if (FReports) {
    try {
      FReports->Progress(*this, Cz("Hromadné načítání obrázků bylo ukončeno"));
    } catch (...) {
    }
  }
}

void TLoadPicture::DownloadEntry(TImgList& list, const TPictureOptions& options, IHttpClient& http,
                                 const TObrazekRef& entry, bool permitted, bool force) {
  if (!entry || options.WebFolder.empty() || !options.Download || !permitted)
    return;
  std::string pictureName;
  std::string localName;
  {
    // Deciding and marking the entry happen under one hold of the lock, so two workers never
    // fetch the same entry unless forced.
    std::lock_guard lock(list.FLock);
    if (entry->JmenoObr.empty() || IsBlank(entry->TempJmeno))
      return;
    if (!force &&
        (entry->Stav != kObrNotLookedAt || RegularFileExists(PictureFilePath(options.Folder, entry->TempJmeno))))
      return;
    entry->Stav = kObrDownloading;
    pictureName = entry->JmenoObr;
    localName = entry->TempJmeno;
  }
  try {
    const TDateTime moment = NeedsGeneratedName(pictureName) ? list.UniqueMoment() : 0;
    const std::string newName = NewLocalName(pictureName, options.Prefix, moment);
    const std::string path = PictureFilePath(options.Folder, newName);
    if (path.empty())
      throw Exception(Format(Cz("Jméno obrázku %s vede mimo složku s obrázky"), {newName}));

    // The lock is not held here: a download may take as long as the time-outs allow.
    const THttpReply reply = http.Get(WebAddress(options.WebFolder, pictureName));
    const bool success = reply.Status == 200 && !reply.Body.empty();
    if (success) {
      if (const std::filesystem::path folder = std::filesystem::path(path).parent_path(); !folder.empty())
        std::filesystem::create_directories(folder);
      // Written beside its place and renamed when complete: a failed write leaves nothing.
      fileio::WriteFileAtomically(fileio::TNativePath{path}, reply.Body.data(), reply.Body.size());
    }
    std::lock_guard lock(list.FLock);
    if (success)
      entry->TempJmeno = newName;
    entry->Stav = success ? kObrStored : kObrNotAvailable;
  } catch (const std::exception& e) {
    {
      std::lock_guard lock(list.FLock);
      entry->Stav = kObrNotAvailable;
    }
    WriteLog(Format(Cz("Chyba při přípravě nebo stahování obrázku %s\r%s"), {localName, e.what()}));
  }
}

std::string TLoadPicture::DisplayFile(const TImgList& list, const TPictureOptions& options, const TObrazekRef& entry) {
  if (!entry)
    return {};
  const TObrazekInfo snapshot = list.Snapshot(*entry);
  if (snapshot.Stav == kObrDownloading || snapshot.Stav == kObrNotAvailable)
    return {};
  const std::string path = PictureFilePath(options.Folder, snapshot.TempJmeno);
  return RegularFileExists(path) ? path : std::string();
}
