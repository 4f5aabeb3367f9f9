#include "pictures/PicturePreview.h"

#include "catalogue/PriceList.h"

TPicturePreview::TPicturePreview(TImgList& list, const TPriceList& priceList, IOneShotTimer& timer,
                                 const IPreviewView& view, TPictureWorkerStarter starter)
    : FList(list), FPriceList(priceList), FTimer(timer), FView(view), FStarter(std::move(starter)) {}

void TPicturePreview::Request(int cardIndex) {
  if (!FView.SmallPreviewOn() && !FView.ViewerOn())
    return;
  if (cardIndex == FList.CurrentIndex())
    return;
  FList.SetCurrentIndex(cardIndex);
  // Scrolling through the grid must not start a download for every row passed.
  if (!FTimer.Active())
    FTimer.Start();
}

void TPicturePreview::TimerFired() {
  FTimer.Stop();
  const int index = FList.CurrentIndex();
  if (index < 0 || index >= FPriceList.Count())
    return;
  const TPriceListItem& card = FPriceList.Items(index);
  TPictureRequest request;
  request.Entry = FList.FindOrAdd(card.OBRAZEK);
  request.ReportText = card.Nazev;
  request.CardIndex = index;
  if (FView.ViewerVisible())
    request.Targets.push_back(TImageTarget::Viewer);
  if (FView.LeftPanelShown() && FView.SmallPreviewOn())
    request.Targets.push_back(TImageTarget::SmallPreview);
  if (FStarter)
    FStarter(std::move(request));
}

void TPicturePreview::Restart(int selectedIndex) {
  FList.SetCurrentIndex(-1);
  Request(selectedIndex);
}

TPictureWorkerStarter SingleWorkerStarter(TImgList& list, std::function<TPictureOptions()> options,
                                          std::shared_ptr<IHttpClient> http, std::shared_ptr<IPictureReports> reports) {
  return [&list, options = std::move(options), http = std::move(http),
          reports = std::move(reports)](TPictureRequest request) {
    TLoadPicture::StartSingle(list, options(), http, reports, std::move(request));
  };
}
