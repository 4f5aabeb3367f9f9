#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "pictures/HttpClient.h"
#include "pictures/ImgList.h"

class TLoadPicture;

// Where a picture may be shown: the viewer window's image or the small preview of the main
// window's left panel.
enum class TImageTarget { Viewer, SmallPreview };

// The user-interface side of the download workers. Every call comes from the worker's own
// thread; the desktop program forwards each to its user-interface thread, the tests and the
// command-line companion handle or collect them where they arrive. Calls of one worker come one
// after another; calls of different workers may overlap. Implementations must not throw (a
// throw is swallowed) and must not wait for the worker's list (WaitForWorkers).
class IPictureReports {
public:
  virtual ~IPictureReports() = default;
  // The progress handler: the card's name (single mode), each picture name and at the end
  // "Hromadné načítání obrázků bylo ukončeno" (batch mode).
  virtual void Progress(const TLoadPicture& /*worker*/, const std::string& /*text*/) {}
  // The done handler, run once the worker has left the list's worker count, with its pending
  // message (empty unless the worker failed unexpectedly).
  virtual void Done(const TLoadPicture& /*worker*/, const std::string& /*text*/) {}
  // Shows a picture in one of the request's targets: the file to load (a native path), or
  // empty to clear the target (no entry, no picture yet, download failed, file missing).
  // A file that does not load as an image clears the target as well.
  virtual void Display(const TLoadPicture& /*worker*/, TImageTarget /*target*/, const std::string& /*file*/) {}
};

// A preview request of the main window.
struct TPictureRequest {
  TObrazekRef Entry;                 // null: nothing to fetch, the targets are cleared
  std::string ReportText;            // the card's name
  std::vector<TImageTarget> Targets; // at most two, viewer first
  int CardIndex = -1;                // the price-list index the request was made for
};

// A download worker: a thread that fetches one entry for the preview (single mode) or walks the
// whole list (batch mode). Created running by Start*; the worker counts in the list's worker
// count from its creation until its end, then runs the done handler. The returned pointer may be
// dropped at once (the thread keeps the worker alive) or kept to ask a batch worker to stop.
// The list must outlive the worker (TImgList's destructor waits for its workers).
class TLoadPicture {
  struct TKey {};

public:
  // Single mode: downloads the entry when the workers alive, this one included, are at most
  // options.MaxWorkers; then, when the request's card is still the list's current card, reports
  // the card's name and displays the entry in each target. Throws (leaving the count as it was)
  // when no thread can be started.
  static std::shared_ptr<TLoadPicture> StartSingle(TImgList& list, const TPictureOptions& options,
                                                   std::shared_ptr<IHttpClient> http,
                                                   std::shared_ptr<IPictureReports> reports, TPictureRequest request);
  // Batch mode: for every entry of the list in order, reports its picture name and downloads it
  // (always permitted; force: also what is already present), until asked to terminate; then
  // reports "Hromadné načítání obrázků bylo ukončeno".
  static std::shared_ptr<TLoadPicture> StartBatch(TImgList& list, const TPictureOptions& options, bool force,
                                                  std::shared_ptr<IHttpClient> http,
                                                  std::shared_ptr<IPictureReports> reports);

  TLoadPicture(TKey, TImgList& list, const TPictureOptions& options, std::shared_ptr<IHttpClient> http,
               std::shared_ptr<IPictureReports> reports);
  TLoadPicture(const TLoadPicture&) = delete;
  TLoadPicture& operator=(const TLoadPicture&) = delete;

  // Asks a batch worker to stop after the picture it is handling.
  void Terminate() { FTerminated = true; }
  bool Terminated() const { return FTerminated; }
  // The worker's work is over: it has left the worker count; its done handler runs next.
  bool Finished() const { return FFinished; }

  bool BatchMode() const { return FBatch; }
  int CardIndex() const { return FRequest.CardIndex; }
  const std::string& ReportText() const { return FRequest.ReportText; }

  // One entry's download as the workers run it (also for callers without a thread): only with
  // a picture name, a local name, a web folder, options.Download and the permission; only when
  // forced or in state 0 without a file. State 2 while fetching, then 1 with the file stored
  // (under a generated local name where the picture name needs one), or 3. A failure of the
  // address, the network or the disk is written to the log; nothing is ever thrown.
  static void DownloadEntry(TImgList& list, const TPictureOptions& options, IHttpClient& http, const TObrazekRef& entry,
                            bool permitted, bool force);

  // The file to show for an entry: its native path when the entry is in state 0 or 1 and its
  // file exists in the pictures folder; empty otherwise.
  static std::string DisplayFile(const TImgList& list, const TPictureOptions& options, const TObrazekRef& entry);

private:
  static void Launch(const std::shared_ptr<TLoadPicture>& worker);
  void Run() noexcept;
  void RunSingle();
  void RunBatch();

  TImgList& FList;
  TPictureOptions FOptions;
  std::shared_ptr<IHttpClient> FHttp;
  std::shared_ptr<IPictureReports> FReports;
  TPictureRequest FRequest;
  bool FBatch = false;
  bool FForce = false;
  std::string FPendingMessage;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
};
