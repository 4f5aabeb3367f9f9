#pragma once

#include <functional>
#include <memory>

#include "pictures/LoadPicture.h"

class TPriceList;

// The main window's picture preview without the window: which card's picture is requested when
// the selection moves, when, and where it is shown. Runs on the user-interface thread.

// The preview timer: one shot, kPreviewDelayMs. The desktop program backs it with a window
// timer; the tests fire it by hand.
class IOneShotTimer {
public:
  virtual ~IOneShotTimer() = default;
  virtual void Start() = 0;
  virtual void Stop() = 0;
  virtual bool Active() const = 0;
};

inline constexpr int kPreviewDelayMs = 500;

// The window's switches the preview depends on.
class IPreviewView {
public:
  virtual ~IPreviewView() = default;
  // "SmallImg": the small preview is switched on.
  virtual bool SmallPreviewOn() const = 0;
  // "LargeImg": the viewer window is switched on.
  virtual bool ViewerOn() const = 0;
  virtual bool ViewerVisible() const = 0;
  // The left panel with the goods groups ("&Zobrazit okruhy") is shown.
  virtual bool LeftPanelShown() const = 0;
};

// Starts a single-mode worker for a request; the default starts TLoadPicture::StartSingle.
using TPictureWorkerStarter = std::function<void(TPictureRequest)>;

class TPicturePreview {
public:
  // None of the references is owned; all must outlive the preview.
  TPicturePreview(TImgList& list, const TPriceList& priceList, IOneShotTimer& timer, const IPreviewView& view,
                  TPictureWorkerStarter starter);

  // The selection moved to the card at this index: nothing when neither preview is on or the
  // card is already the current one; otherwise the card becomes current and the timer starts
  // (a running timer is not restarted, so the request follows the card current when it fires).
  void Request(int cardIndex);
  // The timer fired: it stops; for a valid current card its entry is found or added and a worker
  // is started with the card's name and the targets switched on (viewer first).
  void TimerFired();
  // A preview was switched on: forgets the current card and requests the selected one again.
  void Restart(int selectedIndex);

private:
  TImgList& FList;
  const TPriceList& FPriceList;
  IOneShotTimer& FTimer;
  const IPreviewView& FView;
  TPictureWorkerStarter FStarter;
};

// The starter the desktop program uses: single-mode workers on the list with the given options,
// client and reports.
TPictureWorkerStarter SingleWorkerStarter(TImgList& list, std::function<TPictureOptions()> options,
                                          std::shared_ptr<IHttpClient> http, std::shared_ptr<IPictureReports> reports);
