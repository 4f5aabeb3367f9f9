#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/AppSettings.h"
#include "core/DateTime.h"

class TPriceList;

// The picture cache: the pictures of the price list's cards as files in the local pictures
// folder, the table OBRAZKY.DBF there that remembers downloads stored under generated names,
// and the list of entries the download workers (TLoadPicture) and the user-interface thread
// share. Texts are code page 1250.

// The states of an entry. During a run an entry moves only 0 -> 2 -> 1 or 3, and back to 0 when
// its file is deleted.
enum TObrazekStav : int {
  kObrNotLookedAt = 0,
  kObrStored = 1,
  kObrDownloading = 2,
  kObrNotAvailable = 3,
};

// One picture. Owned by the list through shared pointers, so a worker still holding an entry
// that the list has dropped works on a live object. Stav and TempJmeno change while workers
// run: read them through TImgList (Snapshot, Entries), which takes the list's lock.
struct TObrazekInfo {
  std::string JmenoObr;  // the picture name: the key, compared without regard to case
  std::string TempJmeno; // the local name, relative to the pictures folder
  int Stav = kObrNotAvailable;
  TDateTime Datum = 0; // the day the entry was made or read
  std::string Cas;     // "hh:nn:ss", when the entry was made or read
};
using TObrazekRef = std::shared_ptr<TObrazekInfo>;

// The settings the cache and its workers work with, copied so that workers never read the
// settings record the user-interface thread may change.
struct TPictureOptions {
  std::string Folder;    // "Pictures": the pictures folder
  std::string WebFolder; // "WebPictures", trimmed: empty means no downloads
  std::string Prefix = "TMP$$$";
  bool Download = true; // "ImgDownload"
  int MaxWorkers = 5;   // "MaxThreadPictureLimit"
  int DaysOld = 9999;   // "DaysOldPictures"

  static TPictureOptions FromSettings(const TAppSettings& settings);
};

// The table's name in the pictures folder.
inline constexpr char kPictureTableName[] = "OBRAZKY.DBF";

// The list of picture entries. One lock guards the list, every entry's Stav and TempJmeno, the
// current card index and the worker count; it is held only for short reads and changes, never
// across a download or a handler call.
//
// The table operations (LoadTable, SaveTable, DeleteFiles, Rebuild) belong to the
// user-interface thread; lookups, FindOrAdd and the snapshots may be called from any thread.
class TImgList {
public:
  using TClock = std::function<TDateTime()>;

  TImgList();
  // Waits until every worker started on the list has ended.
  ~TImgList();
  TImgList(const TImgList&) = delete;
  TImgList& operator=(const TImgList&) = delete;

  // The moment new entries and generated names take; empty for the system's local time.
  void SetClock(TClock clock);
  TDateTime Now() const;

  int Count() const;
  // The index of the entry with this picture name (any letter case), or -1.
  int IndexOf(std::string_view pictureName) const;
  bool Contains(std::string_view pictureName) const;
  TObrazekRef Item(int index) const;
  // The entry for a card's picture text (normalised as NormalisePictureName does), added in
  // state 0 with today's date and the time when missing; null for an empty name.
  TObrazekRef FindOrAdd(std::string_view cardPictureName);
  // Adds an entry as the text makes it (state 3, today, now); the caller sets Stav.
  TObrazekRef Add(std::string_view cardPictureName);
  void Clear();

  // Copies taken under the lock.
  TObrazekInfo Snapshot(const TObrazekInfo& entry) const;
  std::vector<TObrazekInfo> Entries() const;

  // Fills the list from OBRAZKY.DBF in options.Folder (a missing table leaves it empty). Records
  // with a picture name made less than options.DaysOld days before `today` become entries with
  // the record's values (a Stav outside 0..3 reads as 3); the temporary file of every other
  // record is deleted. Raises Exception "Chyba při načítání tabulky s obrázky\r%s"; the list
  // then holds what was read before the failure.
  void LoadTableOrThrow(const TPictureOptions& options, TDateTime today);
  // The same with a failure logged and shown (ReportMessage, error icon); false then.
  bool LoadTable(const TPictureOptions& options, TDateTime today);

  // Writes OBRAZKY.DBF anew with the entries in state 1 whose local name is not their picture
  // name (the pictures folder is created when missing). The table is written under a temporary name beside it and put
  // in place only when complete. Raises Exception "Chyba při ukládání tabulky s obrázky\r%s"; an earlier table then
  // stays as it was.
  void SaveTableOrThrow(const TPictureOptions& options) const;
  bool SaveTable(const TPictureOptions& options) const;

  // Deletes the file of every entry (all) or of every entry with a temporary local name, and
  // sets their state to 0; after deleting all, the list is emptied. Names that would lead
  // outside the pictures folder are skipped. Never throws for a file that cannot be deleted.
  void DeleteFiles(const TPictureOptions& options, bool all);

  // Prepares a batch run: mode 0 (load all) and 2 (delete) first delete the temporary files and
  // empty the list; every card with a picture name not yet in the list then gets an entry in
  // state 0; mode 2 finally deletes the files of all entries and empties the list. Raises
  // Exception for a mode outside 0..2.
  void Rebuild(int mode, const TPriceList& priceList, const TPictureOptions& options);

  // The card whose picture is requested (-1 for none).
  int CurrentIndex() const;
  void SetCurrentIndex(int index);

  // The download workers alive (started and not yet ended).
  int WorkerCount() const;
  // Waits until every worker started on the list has ended (handlers included); false when the
  // time-out passed first. Must not be called on the thread the workers' handlers wait for.
  bool WaitForWorkers(std::chrono::milliseconds timeout);

private:
  friend class TLoadPicture;

  int IndexOfLocked(std::string_view pictureName) const;
  TObrazekRef MakeEntry(std::string_view cardPictureName, int stav) const;
  void DeleteFilesLocked(const TPictureOptions& options, bool all);
  // A generated name's time stamp, made unique within the run: never the moment of an earlier
  // one, so two workers never choose the same file.
  TDateTime UniqueMoment();

  // Worker bookkeeping for TLoadPicture.
  void WorkerStarted();
  void WorkerEnded();
  void ThreadEnded();

  mutable std::mutex FLock;
  std::condition_variable FThreadsDone;
  std::vector<TObrazekRef> FItems;
  int FCurrentIndex = -1;
  int FWorkerCount = 0;
  // Threads that still run, including those past their worker's end running the done handler.
  int FThreadCount = 0;
  long long FLastStampMs = 0;
  TClock FClock;
};
