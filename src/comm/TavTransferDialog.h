#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "comm/TavClient.h"

// The logic of the transfer dialog "Přenos dat" (`TTAVPrenosForm`): it holds the request,
// starts the worker TTAVPrenosObj on a thread of its own, collects the progress lines, passes
// the user's abort on and decides the result. The window shows what this class says (state,
// buttons, animation, lines) and calls its events; the command-line companion drives it
// without a window (RunTransfer).
//
// Threads: the events and the accessors belong to one thread (the user-interface thread).
// The worker appends lines from its own thread; Lines() takes a copy under a lock, and
// OnMessage runs on the worker's thread.

enum class TTavDialogState {
  Idle,     // both buttons enabled, no lines
  Running,  // Start pressed: Start disabled, animation playing
  Aborting, // Konec pressed during the transfer: Konec disabled too
  Finished  // the worker has ended; the dialog closed itself
};

enum class TTavDialogResult { None, OK, Cancel };

class TTAVPrenosForm {
public:
  explicit TTAVPrenosForm(TTavTimeouts timeouts = {});
  // Requests the abort and waits for a worker that still runs.
  ~TTAVPrenosForm();
  TTAVPrenosForm(const TTAVPrenosForm&) = delete;
  TTAVPrenosForm& operator=(const TTAVPrenosForm&) = delete;

  // The title line (Label1) and the request, set by the caller before the dialog is shown.
  std::string Title;
  TTavTransferRequest Request;
  // Each progress message as the worker reports it (without the time), on the worker's
  // thread. Optional; must not throw.
  std::function<void(const std::string& message)> OnMessage;

  // FormShow: clears the succeeded flag and the lines.
  void FormShow();
  // btnStartClick, first half: clears the lines and the flags, raises Running and starts the
  // worker. Ignored unless the dialog is idle.
  void StartTransfer();
  // The dialog's wait loop calls this every 10 ms. Once the worker has lowered Running it
  // joins it, enables the buttons, reports "Chyba při přenosu dat přes internet (TAV)" (an
  // error, through ReportMessage) unless the transfer succeeded, and closes the dialog: the
  // result is OK exactly when the transfer succeeded. Returns true when finished.
  bool Poll();
  // btnStartClick whole, for callers without a window: StartTransfer, then Poll every 10 ms
  // until the worker has ended. Returns the result.
  TTavDialogResult RunTransfer();
  // btnKonecClick: while no transfer runs it closes the dialog with Cancel; during a transfer it
  // disables itself and requests the abort (the dialog closes by itself when the worker ends).
  void btnKonecClick();

  TTavDialogState State() const { return FState; }
  bool AnimationVisible() const { return FState == TTavDialogState::Running || FState == TTavDialogState::Aborting; }
  TTavDialogResult Result() const { return FResult; }
  bool Closed() const { return FResult != TTavDialogResult::None; }
  // Both buttons are enabled again once the worker has ended.
  bool StartEnabled() const { return !AnimationVisible(); }
  bool KonecEnabled() const { return FState != TTavDialogState::Aborting; }
  bool Succeeded() const { return FFlags.Succeeded; }
  // The lines of the memo: "hh:nn:ss - " and the message.
  std::vector<std::string> Lines() const;

private:
  class TProgress;

  TTavTimeouts FTimeouts;
  TTavFlags FFlags;
  TTavDialogState FState = TTavDialogState::Idle;
  TTavDialogResult FResult = TTavDialogResult::None;
  mutable std::mutex FLinesLock;
  std::vector<std::string> FLines;
  std::unique_ptr<TProgress> FProgress;
  std::thread FWorker;
};

// The whole dialog without a window: FormShow and RunTransfer with title and request, each
// progress message handed to onMessage (on the worker's thread; may be empty). True when the
// transfer succeeded; a failure has been reported through ReportMessage.
bool RunTavTransfer(const std::string& title, TTavTransferRequest request,
                    std::function<void(const std::string& message)> onMessage, TTavTimeouts timeouts = {});
