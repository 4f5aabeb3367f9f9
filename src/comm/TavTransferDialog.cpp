#include "comm/TavTransferDialog.h"

#include <chrono>

#include "core/DateFormat.h"
#include "core/DateTime.h"
#include "core/ReportMessage.h"
#include "formats/Cp1250Utf8.h"

class TTAVPrenosForm::TProgress : public ITavProgress {
public:
  explicit TProgress(TTAVPrenosForm& form) : FForm(form) {}

  void Progress(const std::string& text) override {
    try {
      const std::string line = FormatDateTime("hh:nn:ss", Now()) + " - " + text;
      {
        const std::lock_guard<std::mutex> lock(FForm.FLinesLock);
        FForm.FLines.push_back(line);
      }
      if (FForm.OnMessage)
        FForm.OnMessage(text);
    } catch (...) {
      // a line that cannot be shown must not end the transfer
    }
  }

private:
  TTAVPrenosForm& FForm;
};

TTAVPrenosForm::TTAVPrenosForm(TTavTimeouts timeouts)
    : Title(Cz("Odeslání objednávky")), FTimeouts(timeouts), FProgress(std::make_unique<TProgress>(*this)) {}

TTAVPrenosForm::~TTAVPrenosForm() {
  if (FWorker.joinable()) {
    FFlags.AbortRequested = true;
    FWorker.join();
  }
}

void TTAVPrenosForm::FormShow() {
  FFlags.Succeeded = false;
  const std::lock_guard<std::mutex> lock(FLinesLock);
  FLines.clear();
}

void TTAVPrenosForm::StartTransfer() {
  if (FState != TTavDialogState::Idle || Closed())
    return;
  {
    const std::lock_guard<std::mutex> lock(FLinesLock);
    FLines.clear();
  }
  FFlags.Succeeded = false;
  FFlags.AbortRequested = false;
  FFlags.Running = true;
  FState = TTavDialogState::Running;
  auto worker = std::make_unique<TTAVPrenosObj>(Request, &FFlags, FProgress.get(), FTimeouts);
  // The worker object lives exactly as long as its thread.
  FWorker = std::thread([w = std::move(worker)] { w->Execute(); });
}

bool TTAVPrenosForm::Poll() {
  if (FState == TTavDialogState::Finished)
    return true;
  if (FState == TTavDialogState::Idle || FFlags.Running)
    return false;
  FWorker.join();
  FState = TTavDialogState::Finished;
  if (!FFlags.Succeeded)
    ReportMessage(Cz("Chyba při přenosu dat přes internet (TAV)"), {TMsgButtons::OK, TMsgIcon::Error});
  FResult = FFlags.Succeeded ? TTavDialogResult::OK : TTavDialogResult::Cancel;
  return true;
}

TTavDialogResult TTAVPrenosForm::RunTransfer() {
  StartTransfer();
  while (!Poll() && FState != TTavDialogState::Idle)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return FResult;
}

void TTAVPrenosForm::btnKonecClick() {
  if (FState == TTavDialogState::Idle) {
    FResult = TTavDialogResult::Cancel;
  } else if (FState == TTavDialogState::Running) {
    FState = TTavDialogState::Aborting;
    FFlags.AbortRequested = true;
  }
}

std::vector<std::string> TTAVPrenosForm::Lines() const {
  const std::lock_guard<std::mutex> lock(FLinesLock);
  return FLines;
}

bool RunTavTransfer(const std::string& title, TTavTransferRequest request,
                    std::function<void(const std::string& message)> onMessage, TTavTimeouts timeouts) {
  TTAVPrenosForm dialog(timeouts);
  dialog.Title = title;
  dialog.Request = std::move(request);
  dialog.OnMessage = std::move(onMessage);
  dialog.FormShow();
  return dialog.RunTransfer() == TTavDialogResult::OK;
}
