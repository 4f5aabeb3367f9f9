#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>

#include "core/DateTime.h"
#include "core/Log.h"
#include "formats/Cp1250Utf8.h"
#include "formats/DBFFile.h"
#include "pictures/HttpTestServer.h"
#include "pictures/LoadPicture.h"
#include "pictures/PictureNames.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TDateTime FixedMoment() {
  TDateTime time = 0;
  TryEncodeTime(15, 4, 5, 123, time);
  return EncodeDate(2026, 12, 11) + time;
}

// What the workers hand to the user-interface side, in order of arrival.
class TRecordingReports : public IPictureReports {
public:
  void Progress(const TLoadPicture&, const std::string& text) override { Push("progress " + Cp1250ToUtf8(text)); }
  void Done(const TLoadPicture&, const std::string& text) override {
    std::lock_guard lock(FLock);
    FEvents.push_back("done " + Cp1250ToUtf8(text));
    ++FDone;
    FChanged.notify_all();
  }
  void Display(const TLoadPicture&, TImageTarget target, const std::string& file) override {
    Push(std::string(target == TImageTarget::Viewer ? "viewer " : "small ") + file);
  }

  bool WaitDone(int count) {
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, 20s, [&] { return FDone >= count; });
  }
  std::vector<std::string> Events() const {
    std::lock_guard lock(FLock);
    return FEvents;
  }

private:
  void Push(std::string event) {
    std::lock_guard lock(FLock);
    FEvents.push_back(std::move(event));
  }

  mutable std::mutex FLock;
  std::condition_variable FChanged;
  std::vector<std::string> FEvents;
  int FDone = 0;
};

// The log goes to a file of the test while it runs.
class TTestLog {
public:
  explicit TTestLog(std::string fileName) : FFileName(std::move(fileName)), FOld(ProgramLog().FileName()) {
    ProgramLog().SetFileName(FFileName);
  }
  ~TTestLog() { ProgramLog().SetFileName(FOld); }
  std::string Text() const { return fs::exists(FFileName) ? Cp1250ToUtf8(ReadFileBytes(FFileName)) : ""; }

private:
  std::string FFileName;
  std::string FOld;
};

class LoadPictureTest : public ::testing::Test {
protected:
  LoadPictureTest() {
    Options.Folder = Dir.File("obr");
    Options.WebFolder = Server.Url() + "/web";
    List.SetClock(FixedMoment);
    THttpOptions limits;
    limits.ConnectTimeoutMs = 2000;
    limits.TotalTimeoutMs = 5000;
    limits.MaxBodyBytes = 4096;
    Http = std::make_shared<TCurlHttpClient>(limits);
  }

  void Download(const TObrazekRef& entry, bool force = false) {
    TLoadPicture::DownloadEntry(List, Options, *Http, entry, true, force);
  }
  std::string File(const std::string& local) const { return Options.Folder + "/" + local; }
  // Every file under the pictures folder, relative to it.
  std::vector<std::string> Files() const {
    std::vector<std::string> files;
    if (fs::exists(Options.Folder))
      for (const auto& f : fs::recursive_directory_iterator(Options.Folder))
        if (f.is_regular_file())
          files.push_back(fs::relative(f.path(), Options.Folder).string());
    std::sort(files.begin(), files.end());
    return files;
  }

  // Declared so that the server stops before the list waits for its workers.
  TempDir Dir;
  TTestLog Log{Dir.File("test.log")};
  TImgList List;
  THttpTestServer Server;
  TPictureOptions Options;
  std::shared_ptr<TCurlHttpClient> Http;
};

TEST_F(LoadPictureTest, OnlyACompleteReplyWithABodyIsStored) {
  const struct {
    const char* Name;
    THttpTestServer::TReply Reply;
    int State;
    bool Logged; // the failure names the picture in the log
  } cases[] = {
      {"ok.jpg", {200, "JPEG"}, kObrStored, false},
      {"until-close.jpg", {200, "JPEG", false, false, true}, kObrStored, false},
      {"missing.jpg", {404, "nic"}, kObrNotAvailable, false},
      {"empty.jpg", {200, ""}, kObrNotAvailable, false},
      {"error.jpg", {500, "JPEG"}, kObrNotAvailable, false},
      // Larger than the client allows, declared and undeclared.
      {"big.jpg", {200, std::string(5000, 'x')}, kObrNotAvailable, true},
      {"big-stream.jpg", {200, std::string(100000, 'x'), false, false, true}, kObrNotAvailable, true},
      // A dead server is given up after the total time-out.
      {"slow.jpg", {200, "JPEG", true}, kObrNotAvailable, true},
  };
  Http = std::make_shared<TCurlHttpClient>([] {
    THttpOptions options;
    options.ConnectTimeoutMs = 2000;
    options.TotalTimeoutMs = 300;
    options.MaxBodyBytes = 4096;
    return options;
  }());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Server.Set(std::string("/web/") + c.Name, c.Reply);
    const TObrazekRef entry = List.FindOrAdd(c.Name);
    Download(entry);
    EXPECT_EQ(entry->Stav, c.State);
    EXPECT_EQ(fs::exists(File(c.Name)), c.State == kObrStored);
    if (c.State == kObrStored) {
      EXPECT_EQ(ReadFileBytes(File(c.Name)), c.Reply.Body);
    }
    const bool logged = Log.Text().find(std::string("obrázku ") + c.Name + "\r") != std::string::npos;
    EXPECT_EQ(logged, c.Logged) << Log.Text();
    // Failed or not, the picture is asked for once in the run.
    Download(entry);
    EXPECT_EQ(Server.RequestCount(std::string("/web/") + c.Name), 1);
  }
  // Nothing half-written was left behind.
  EXPECT_EQ(Files(), (std::vector<std::string>{"ok.jpg", "until-close.jpg"}));
}

TEST_F(LoadPictureTest, ADriveAndFoldersInTheCardsNameBecomeSubfoldersHere) {
  Server.Set("/web/foto/123.jpg", {200, "JPEG"});
  const TObrazekRef entry = List.FindOrAdd("C:\\foto\\123.jpg");
  Download(entry);
  EXPECT_EQ(entry->Stav, kObrStored);
  EXPECT_EQ(entry->TempJmeno, "foto\\123.jpg");
  EXPECT_EQ(Server.Requests(), (std::vector<std::string>{"/web/foto/123.jpg"}));
  EXPECT_EQ(Files(), (std::vector<std::string>{"foto/123.jpg"}));
}

TEST_F(LoadPictureTest, ANameThatClimbsOutOfTheFolderIsRefused) {
  WriteFileBytes(Dir.File("secret.jpg"), "mine");
  for (const char* name : {"..\\secret.jpg", "foto/../../secret.jpg"}) {
    SCOPED_TRACE(name);
    Server.Set(WebAddress("/web", name), {200, "evil"});
    const TObrazekRef entry = List.FindOrAdd(name);
    Download(entry);
    EXPECT_EQ(entry->Stav, kObrNotAvailable);
  }
  EXPECT_EQ(ReadFileBytes(Dir.File("secret.jpg")), "mine");
  EXPECT_TRUE(Files().empty());
  // Refused before anything was fetched; the log says why.
  EXPECT_TRUE(Server.Requests().empty());
  EXPECT_NE(Log.Text().find("Chyba při přípravě nebo stahování obrázku ..\\secret.jpg\r"), std::string::npos)
      << Log.Text();
}

TEST_F(LoadPictureTest, ANameWithAQuestionMarkIsStoredUnderAGeneratedNameAndRemembered) {
  Server.Set("/web/show.php?id=5", {200, "PNG"});
  Server.Set("/web/show.php?id=6", {200, "PNG6"});
  const TObrazekRef first = List.FindOrAdd("show.php?id=5");
  const TObrazekRef second = List.FindOrAdd("show.php?id=6");
  Download(first);
  Download(second);
  EXPECT_EQ(first->Stav, kObrStored);
  EXPECT_EQ(first->TempJmeno, "TMP$$$20261211-150405123.php");
  // Two downloads in the same millisecond never share a file.
  EXPECT_EQ(second->TempJmeno, "TMP$$$20261211-150405124.php");
  EXPECT_EQ(ReadFileBytes(File(first->TempJmeno)), "PNG");
  EXPECT_EQ(ReadFileBytes(File(second->TempJmeno)), "PNG6");

  List.SaveTableOrThrow(Options);
  TDBFFile table(File("OBRAZKY.DBF"), TDBFConversion::Cp852);
  table.Open(TDBFAccess::ReadOnly);
  ASSERT_EQ(table.RecordCount(), 2);
  table.First();
  EXPECT_EQ(table.FieldByName("JmenoObr").AsString(), "show.php?id=5");
  EXPECT_EQ(table.FieldByName("TempJmeno").AsString(), "TMP$$$20261211-150405123.php");
  EXPECT_EQ(table.FieldByName("Stav").AsInteger(), 1);
  EXPECT_EQ(table.FieldByName("Datum").AsDate(), EncodeDate(2026, 12, 11));
  EXPECT_EQ(table.FieldByName("Cas").AsString(), "15:04:05");
  table.Close();

  // The next run finds it through the table and fetches nothing.
  TImgList next;
  next.LoadTableOrThrow(Options, FixedMoment());
  const TObrazekRef remembered = next.FindOrAdd("SHOW.PHP?ID=5");
  TLoadPicture::DownloadEntry(next, Options, *Http, remembered, true, false);
  EXPECT_EQ(TLoadPicture::DisplayFile(next, Options, remembered), File("TMP$$$20261211-150405123.php"));
  EXPECT_EQ(Server.Requests().size(), 2u);
}

TEST_F(LoadPictureTest, WhatIsPresentIsFetchedOnlyWhenForcedAndNothingWithoutPermission) {
  Server.Set("/web/a.jpg", {200, "NEW"});
  fs::create_directories(Options.Folder);
  WriteFileBytes(File("a.jpg"), "OLD");
  const TObrazekRef entry = List.FindOrAdd("a.jpg");
  Download(entry);
  EXPECT_EQ(entry->Stav, kObrNotLookedAt);
  EXPECT_EQ(TLoadPicture::DisplayFile(List, Options, entry), File("a.jpg"));

  TPictureOptions noWeb = Options;
  noWeb.WebFolder = "";
  TPictureOptions off = Options;
  off.Download = false;
  TLoadPicture::DownloadEntry(List, noWeb, *Http, entry, true, true);
  TLoadPicture::DownloadEntry(List, off, *Http, entry, true, true);
  TLoadPicture::DownloadEntry(List, Options, *Http, entry, false, true);
  EXPECT_TRUE(Server.Requests().empty());

  Download(entry, true);
  EXPECT_EQ(entry->Stav, kObrStored);
  EXPECT_EQ(ReadFileBytes(File("a.jpg")), "NEW");
}

TEST_F(LoadPictureTest, DisplayShowsOnlyStoredOrPresentPictures) {
  fs::create_directories(Options.Folder);
  WriteFileBytes(File("here.jpg"), "x");
  const TObrazekRef here = List.FindOrAdd("here.jpg");
  const TObrazekRef gone = List.FindOrAdd("gone.jpg");
  EXPECT_EQ(TLoadPicture::DisplayFile(List, Options, here), File("here.jpg"));
  EXPECT_EQ(TLoadPicture::DisplayFile(List, Options, gone), "");
  EXPECT_EQ(TLoadPicture::DisplayFile(List, Options, nullptr), "");
  for (int state : {kObrDownloading, kObrNotAvailable}) {
    here->Stav = state;
    EXPECT_EQ(TLoadPicture::DisplayFile(List, Options, here), "");
  }
}

TEST_F(LoadPictureTest, APreviewWorkerReportsOnlyWhileItsCardIsCurrent) {
  Server.Set("/web/a.jpg", {200, "A"});
  auto reports = std::make_shared<TRecordingReports>();
  List.SetCurrentIndex(7);
  TPictureRequest request{
      List.FindOrAdd("a.jpg"), Utf8ToCp1250("Káva"), {TImageTarget::Viewer, TImageTarget::SmallPreview}, 7};
  TLoadPicture::StartSingle(List, Options, Http, reports, request);
  ASSERT_TRUE(reports->WaitDone(1));
  EXPECT_EQ(reports->Events(),
            (std::vector<std::string>{"progress Káva", "viewer " + File("a.jpg"), "small " + File("a.jpg"), "done "}));
  EXPECT_EQ(List.WorkerCount(), 0);

  // The selection moved on while the picture was fetched: only the done handler runs.
  Server.Set("/web/b.jpg", {200, "B"});
  auto late = std::make_shared<TRecordingReports>();
  TPictureRequest old{List.FindOrAdd("b.jpg"), Utf8ToCp1250("Čaj"), {TImageTarget::Viewer}, 3};
  TLoadPicture::StartSingle(List, Options, Http, late, old);
  ASSERT_TRUE(late->WaitDone(1));
  EXPECT_EQ(late->Events(), (std::vector<std::string>{"done "}));
  EXPECT_EQ(List.Item(1)->Stav, kObrStored);
}

TEST_F(LoadPictureTest, WorkersAboveTheLimitOnlyShowWhatIsStored) {
  Options.MaxWorkers = 2;
  Server.Set("/web/a.jpg", {200, "A", false, true});
  Server.Set("/web/b.jpg", {200, "B", false, true});
  Server.Set("/web/c.jpg", {200, "C"});
  auto reports = std::make_shared<TRecordingReports>();
  List.SetCurrentIndex(0);
  for (const char* name : {"a.jpg", "b.jpg"})
    TLoadPicture::StartSingle(List, Options, Http, reports, {List.FindOrAdd(name), name, {}, 0});
  ASSERT_TRUE(Server.WaitForRequests(2));
  EXPECT_EQ(List.WorkerCount(), 2);

  const TObrazekRef c = List.FindOrAdd("c.jpg");
  TLoadPicture::StartSingle(List, Options, Http, reports, {c, "c", {TImageTarget::Viewer}, 0});
  ASSERT_TRUE(reports->WaitDone(1));
  EXPECT_EQ(c->Stav, kObrNotLookedAt);
  EXPECT_EQ(Server.RequestCount("/web/c.jpg"), 0);
  // It still did its display step: there is nothing to show yet.
  EXPECT_EQ(reports->Events(), (std::vector<std::string>{"progress c", "viewer ", "done "}));

  Server.OpenGate();
  ASSERT_TRUE(reports->WaitDone(3));
  EXPECT_EQ(List.WorkerCount(), 0);
  EXPECT_EQ(List.Item(0)->Stav, kObrStored);
  EXPECT_EQ(List.Item(1)->Stav, kObrStored);
  TLoadPicture::StartSingle(List, Options, Http, reports, {c, "c", {}, 0});
  ASSERT_TRUE(reports->WaitDone(4));
  EXPECT_EQ(c->Stav, kObrStored);
}

TEST_F(LoadPictureTest, ABatchWalksTheListAndReportsEveryPicture) {
  Server.Set("/web/a.jpg", {200, "A"});
  Server.Set("/web/sub/b.jpg", {200, "B"});
  for (const char* name : {"a.jpg", "sub\\b.jpg", "none.jpg"})
    List.FindOrAdd(name);
  auto reports = std::make_shared<TRecordingReports>();
  TLoadPicture::StartBatch(List, Options, false, Http, reports);
  ASSERT_TRUE(reports->WaitDone(1));
  const std::vector<std::string> run = {"progress a.jpg", "progress sub\\b.jpg", "progress none.jpg",
                                        "progress Hromadné načítání obrázků bylo ukončeno", "done "};
  EXPECT_EQ(reports->Events(), run);
  EXPECT_EQ(Files(), (std::vector<std::string>{"a.jpg", "sub/b.jpg"}));
  EXPECT_EQ(List.Item(2)->Stav, kObrNotAvailable);

  // Loading only what is missing after a complete run fetches nothing.
  auto again = std::make_shared<TRecordingReports>();
  TLoadPicture::StartBatch(List, Options, false, Http, again);
  ASSERT_TRUE(again->WaitDone(1));
  EXPECT_EQ(again->Events(), run);
  EXPECT_EQ(Server.Requests().size(), 3u);

  // Loading all fetches everything again.
  auto forced = std::make_shared<TRecordingReports>();
  TLoadPicture::StartBatch(List, Options, true, Http, forced);
  ASSERT_TRUE(forced->WaitDone(1));
  EXPECT_EQ(Server.Requests().size(), 6u);
}

TEST_F(LoadPictureTest, ABatchAskedToStopEndsAfterThePictureItIsHandling) {
  Server.Set("/web/a.jpg", {200, "A", false, true});
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
    List.FindOrAdd(name);
  auto reports = std::make_shared<TRecordingReports>();
  const std::shared_ptr<TLoadPicture> worker = TLoadPicture::StartBatch(List, Options, false, Http, reports);
  ASSERT_TRUE(Server.WaitForRequests(1));
  worker->Terminate();
  EXPECT_FALSE(worker->Finished());
  Server.OpenGate();
  ASSERT_TRUE(reports->WaitDone(1));
  EXPECT_TRUE(worker->Finished());
  EXPECT_EQ(reports->Events(),
            (std::vector<std::string>{"progress a.jpg", "progress Hromadné načítání obrázků bylo ukončeno", "done "}));
  EXPECT_EQ(List.Item(0)->Stav, kObrStored);
  EXPECT_EQ(List.Item(1)->Stav, kObrNotLookedAt);
  EXPECT_EQ(Server.Requests().size(), 1u);
}

// Batch and preview workers on the same entries while the user-interface side keeps adding and
// reading: every picture ends stored exactly once in its file, and the count returns to 0.
TEST_F(LoadPictureTest, ManyWorkersRacingOnTheListLeaveItConsistent) {
  constexpr int kPictures = 24;
  Options.MaxWorkers = 100;
  for (int i = 0; i < kPictures; ++i)
    Server.Set("/web/p" + std::to_string(i) + ".jpg", {200, "picture " + std::to_string(i)});
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE(round);
    List.Clear();
    fs::remove_all(Options.Folder);
    auto reports = std::make_shared<TRecordingReports>();
    for (int i = 0; i < kPictures / 2; ++i)
      List.FindOrAdd("p" + std::to_string(i) + ".jpg");
    int started = 0;
    TLoadPicture::StartBatch(List, Options, false, Http, reports);
    ++started;
    TLoadPicture::StartBatch(List, Options, round % 2 == 1, Http, reports);
    ++started;
    for (int i = 0; i < kPictures; ++i) {
      // The first half exists already (found in other letters), the rest is new.
      const int number = kPictures - 1 - i;
      const TObrazekRef entry = List.FindOrAdd(number < kPictures / 2 ? "P" + std::to_string(number) + ".JPG"
                                                                      : "p" + std::to_string(number) + ".jpg");
      List.SetCurrentIndex(i);
      TLoadPicture::StartSingle(List, Options, Http, reports, {entry, "card", {TImageTarget::Viewer}, i});
      ++started;
      EXPECT_GE(List.IndexOf(entry->JmenoObr), 0);
      (void)List.Entries();
    }
    ASSERT_TRUE(reports->WaitDone(started));
    ASSERT_TRUE(List.WaitForWorkers(10s));
    EXPECT_EQ(List.WorkerCount(), 0);
    ASSERT_EQ(List.Count(), kPictures);
    for (const TObrazekInfo& e : List.Entries()) {
      SCOPED_TRACE(e.JmenoObr);
      EXPECT_EQ(e.Stav, kObrStored);
      const int number = std::stoi(e.JmenoObr.substr(1));
      EXPECT_EQ(ReadFileBytes(File(e.TempJmeno)), "picture " + std::to_string(number));
    }
    EXPECT_EQ(Files().size(), static_cast<size_t>(kPictures));
  }
}

} // namespace
