#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "comm/TavBin.h"

// The client side of the TAV server: one transfer (download a price list or an installer, or
// upload a file) run by the worker TTAVPrenosObj. Texts and file names are code page 1250.

// What the worker is asked to do.
enum TTavTransferKind { kTavDownloadPriceList = 0, kTavUpload = 1, kTavDownloadInstaller = 2 };

struct TTavTransferRequest {
  // 0, 1 or 2 (TTavTransferKind); any other value logs in and transfers nothing.
  int Kind = kTavDownloadPriceList;
  // Downloads: the name asked for on the server. Upload: the path of the local file.
  std::string RemoteFile;
  // Downloads: where the bytes go. Empty for an upload.
  std::string LocalFile;
  // Downloads: the group of files on the server. Empty for an upload.
  std::string Alias;
  // The connection file (TAV.BIN), full path.
  std::string ConnectionFile;
};

// The flags the dialog and the worker share. Each has one writer at a time: Running is raised
// by the dialog before the worker starts and lowered by the worker as its very last step;
// Succeeded is written by the worker; AbortRequested by the dialog.
struct TTavFlags {
  std::atomic<bool> Running{false};
  std::atomic<bool> Succeeded{false};
  std::atomic<bool> AbortRequested{false};
};

// Where the worker's progress goes. Called on the worker's thread, in order, one message at
// a time; the implementation hands the text on to whoever shows it. Must not throw.
class ITavProgress {
public:
  virtual ~ITavProgress() = default;
  virtual void Progress(const std::string& text) = 0;
  // Around the part of the transfer that talks to the server (the busy cursor).
  virtual void BeginBusy() {}
  virtual void EndBusy() {}
};

// The waits of a transfer. Tests shorten them.
struct TTavTimeouts {
  // The time-limited waits for a reply, and the connection set-up.
  int ReplyWaitMs = 60000;
  // The waits the protocol leaves without limit (the upload's verdicts, the download loop);
  // negative: no limit (the user's abort and the connection's keep-alive end them).
  int UnlimitedWaitMs = -1;
  // How often a wait looks at the abort flag.
  int PollMs = 50;
};

// One transfer. Execute runs it on the calling thread; the dialog runs it on a thread of its
// own. The flags and the progress sink are the dialog's and must outlive Execute.
//
// A download is written to a temporary file beside the local file and put in its place only
// when the whole announced size arrived and no abort was requested: a failed or aborted
// download leaves an earlier file as it was.
class TTAVPrenosObj {
public:
  TTAVPrenosObj(TTavTransferRequest request, TTavFlags* flags, ITavProgress* progress, TTavTimeouts timeouts = {});

  // Never throws: every failure becomes a progress line. Lowers Running as its last step.
  void Execute();

private:
  class TSession;

  void Report(const std::string& text);

  TTavTransferRequest FRequest;
  TTavFlags* FFlags;
  ITavProgress* FProgress;
  TTavTimeouts FTimeouts;
};

// The checksum of a file as an upload sends it, read once from the start. Raises EFOpenError /
// EInOutError.
std::uint64_t TavFileChecksum(const std::string& fileName, std::uint64_t* size = nullptr);
