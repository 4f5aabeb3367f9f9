#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>

#include "TavTestSupport.h"
#include "comm/TavServer.h"
#include "comm/TavTransferDialog.h"
#include "core/ReportMessage.h"
#include "support/TestSupport.h"

using namespace tavtest;

namespace {

class TRecordingSink : public IMessageSink {
public:
  TMsgResult Show(const std::string& text, const std::string&, TMsgFlags flags) override {
    Shown.push_back(Cp1250ToUtf8(text) + (flags.Icon == TMsgIcon::Error ? " (error)" : ""));
    return TMsgResult::OK;
  }
  std::vector<std::string> Shown;
};

class TavTransferDialogTest : public ::testing::Test {
protected:
  TavTransferDialogTest() : Scope(Sink) { Dialog.Request.ConnectionFile = Dir.File("TAV.BIN"); }

  // Polls the way the dialog's wait loop does, with a bound so a fault cannot hang the test.
  bool WaitForEnd() {
    for (int i = 0; i < kSafetyMs / 10; ++i) {
      if (Dialog.Poll())
        return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  TempDir Dir;
  TRecordingSink Sink;
  TMessageSinkScope Scope;
  TTAVPrenosForm Dialog{TestTimeouts()};
};

TEST_F(TavTransferDialogTest, KonecWithoutATransferCancels) {
  EXPECT_EQ(Cz("Odeslání objednávky"), Dialog.Title);
  Dialog.FormShow();
  EXPECT_EQ(Dialog.State(), TTavDialogState::Idle);
  EXPECT_TRUE(Dialog.StartEnabled());
  EXPECT_TRUE(Dialog.KonecEnabled());
  Dialog.btnKonecClick();
  EXPECT_EQ(Dialog.Result(), TTavDialogResult::Cancel);
  EXPECT_TRUE(Sink.Shown.empty());
}

TEST_F(TavTransferDialogTest, SuccessfulTransferClosesWithOK) {
  std::filesystem::create_directories(Dir.Path() / "root" / "Cenik");
  WriteFileBytes(Dir.File("root/Cenik/CENIK.dbc"), "cards");
  TTavServerOptions options;
  options.Root = Dir.File("root");
  options.User = "u";
  options.Password = "p";
  TTavServer server(options);
  server.Start();
  WriteConnection(Dir.File("TAV.BIN"), server.Port(), "u", "p", false);
  Dialog.Request.Alias = "Cenik";
  Dialog.Request.RemoteFile = "CENIK.dbc";
  Dialog.Request.LocalFile = Dir.File("CENIK");
  std::vector<std::string> messages;
  Dialog.OnMessage = [&](const std::string& m) { messages.push_back(Cp1250ToUtf8(m)); };

  Dialog.FormShow();
  EXPECT_EQ(Dialog.RunTransfer(), TTavDialogResult::OK);
  EXPECT_EQ(Dialog.State(), TTavDialogState::Finished);
  EXPECT_TRUE(Dialog.StartEnabled());
  EXPECT_FALSE(Dialog.AnimationVisible());
  EXPECT_TRUE(Sink.Shown.empty());
  EXPECT_EQ(ReadFileBytes(Dir.File("CENIK")), "cards");
  // Each memo line is the time, " - " and the message.
  const std::vector<std::string> lines = Dialog.Lines();
  ASSERT_EQ(lines.size(), messages.size());
  ASSERT_EQ(lines.size(), 6u);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_TRUE(std::regex_match(lines[i], std::regex("[0-2][0-9]:[0-5][0-9]:[0-5][0-9] - .*"))) << lines[i];
    EXPECT_EQ(Cp1250ToUtf8(lines[i].substr(11)), messages[i]);
  }
}

TEST_F(TavTransferDialogTest, FailedTransferReportsTheErrorAndCancels) {
  Dialog.FormShow();
  EXPECT_EQ(Dialog.RunTransfer(), TTavDialogResult::Cancel); // no connection file
  EXPECT_EQ(Sink.Shown, std::vector<std::string>{"Chyba při přenosu dat přes internet (TAV) (error)"});
  EXPECT_EQ(Dialog.Lines().size(), 1u);
}

TEST_F(TavTransferDialogTest, KonecDuringTheTransferAborts) {
  TScriptedPeer peer([](TTavSocket& s) {
    AcceptPlainLogin(s);
    ReceiveUntilClosed(s); // never answers the request
  });
  WriteConnection(Dir.File("TAV.BIN"), peer.Port(), "u", "p", false);
  Dialog.Request.Alias = "Cenik";
  Dialog.Request.RemoteFile = "CENIK.dbc";
  Dialog.Request.LocalFile = Dir.File("CENIK");
  Dialog.FormShow();
  Dialog.StartTransfer();
  EXPECT_EQ(Dialog.State(), TTavDialogState::Running);
  EXPECT_FALSE(Dialog.StartEnabled());
  EXPECT_TRUE(Dialog.AnimationVisible());
  // Wait until the request is out, so the abort meets the wait for its reply.
  for (int i = 0; i < kSafetyMs / 10 && Dialog.Lines().size() < 5; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  Dialog.btnKonecClick();
  EXPECT_EQ(Dialog.State(), TTavDialogState::Aborting);
  EXPECT_FALSE(Dialog.KonecEnabled());
  EXPECT_FALSE(Dialog.Closed());
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(Dialog.Result(), TTavDialogResult::Cancel);
  const std::vector<std::string> lines = Dialog.Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2].substr(11), "Operation aborted");
  EXPECT_FALSE(std::filesystem::exists(Dir.File("CENIK")));
}

TEST_F(TavTransferDialogTest, DialogGoingAwayEndsItsWorker) {
  TScriptedPeer peer([](TTavSocket& s) { ReceiveUntilClosed(s); });
  WriteConnection(Dir.File("TAV.BIN"), peer.Port(), "u", "p", true);
  {
    TTAVPrenosForm dialog(TestTimeouts());
    dialog.Request.ConnectionFile = Dir.File("TAV.BIN");
    dialog.StartTransfer();
  } // joins the worker after raising the abort, well before the reply wait would end
}

} // namespace
