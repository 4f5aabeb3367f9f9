// pictures batch: the batch picture loading of the program without its dialog.

#include <condition_variable>
#include <iostream>
#include <memory>
#include <mutex>

#include "catalogue/PriceList.h"
#include "cli/CliSupport.h"
#include "cli/CommandSettings.h"
#include "core/DateTime.h"
#include "formats/Cp1250Utf8.h"
#include "pictures/HttpClient.h"
#include "pictures/ImgList.h"
#include "pictures/LoadPicture.h"

namespace {

// Prints every progress report on its own line as it arrives from the worker and lets the
// command wait for the done handler.
class TPrintedReports : public IPictureReports {
public:
  explicit TPrintedReports(std::ostream& out) : FOut(out) {}

  void Progress(const TLoadPicture&, const std::string& text) override { Print(text); }
  void Done(const TLoadPicture&, const std::string& text) override {
    if (!text.empty())
      Print(text);
    std::lock_guard lock(FLock);
    FDone = true;
    FChanged.notify_all();
  }
  void Print(const std::string& text) {
    std::lock_guard lock(FLock);
    FOut << Cp1250ToUtf8(text) << '\n' << std::flush;
  }
  void WaitDone() {
    std::unique_lock lock(FLock);
    FChanged.wait(lock, [this] { return FDone; });
  }

private:
  std::ostream& FOut;
  std::mutex FLock;
  std::condition_variable FChanged;
  bool FDone = false;
};

int Mode(const CliArgs& args) {
  const std::string text = args.Option("mode");
  if (text.size() != 1 || text[0] < '0' || text[0] > '2')
    throw UsageError("--mode must be 0, 1 or 2");
  return text[0] - '0';
}

int Batch(const CliArgs& args, std::ostream& out, std::ostream& err) {
  RequirePositional(args, 0);
  if (!args.Has("mode"))
    throw UsageError("--mode is required");
  const int mode = Mode(args);

  TCommandSettings loaded = LoadCommandSettings(args, err, HeadlessLoadOptions());
  TAppSettings& settings = loaded.Settings;
  if (args.Has("karty"))
    settings.PriceList = Utf8ToCp1250(args.Option("karty"));
  if (args.Has("web"))
    settings.WebPictures = Utf8ToCp1250(args.Option("web"));
  if (args.Has("dir"))
    settings.Pictures = Utf8ToCp1250(args.Option("dir"));
  const TPictureOptions options = TPictureOptions::FromSettings(settings);

  // As at the program's start: the price list, then the picture table.
  TPriceList priceList;
  IPriceListHost host;
  priceList.LoadPriceListOrThrow(settings, host);
  TImgList list;
  list.LoadTableOrThrow(options, Now());

  list.Rebuild(mode, priceList, options);
  auto reports = std::make_shared<TPrintedReports>(out);
  if (mode == 2) {
    // The program asks before it deletes; the command was asked already.
    reports->Print(Cz("Hotovo"));
  } else {
    TLoadPicture::StartBatch(list, options, mode == 0, std::make_shared<TCurlHttpClient>(), reports);
    reports->WaitDone();
    list.WaitForWorkers(std::chrono::milliseconds::max());
  }
  // As at the program's end.
  list.SaveTableOrThrow(options);
  return 0;
}

} // namespace

void AddPictureCommands(std::vector<CliCommand>& commands) {
  commands.push_back({{"pictures", "batch"},
                      "pictures batch --mode 0|1|2 [--program NAME] [--karty FILE] [--web URL] [--dir FOLDER]",
                      {"program", "mode", "karty", "web", "dir"},
                      {},
                      Batch});
}
