#pragma once

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "comm/TavBin.h"
#include "comm/TavClient.h"
#include "comm/TavSocket.h"
#include "formats/Cp1250Utf8.h"

namespace tavtest {

// Waits far longer than any test should take; a peer that stays silent ends a test this late
// at worst instead of hanging it.
constexpr int kSafetyMs = 5000;

// Collects the progress messages, converted to UTF-8 so expectations read naturally.
class TRecorder : public ITavProgress {
public:
  void Progress(const std::string& text) override { Messages.push_back(Cp1250ToUtf8(text)); }
  void BeginBusy() override { ++Busy; }
  void EndBusy() override { --Busy; }
  std::vector<std::string> Messages;
  int Busy = 0;
};

struct TRun {
  std::vector<std::string> Messages;
  bool Succeeded = false;
  bool Running = true;
};

// Short waits, so a failing case ends quickly.
inline TTavTimeouts TestTimeouts(int replyWaitMs = kSafetyMs) {
  TTavTimeouts t;
  t.ReplyWaitMs = replyWaitMs;
  t.UnlimitedWaitMs = kSafetyMs;
  t.PollMs = 10;
  return t;
}

// Runs one transfer on this thread.
inline TRun RunWorker(const TTavTransferRequest& request, TTavFlags& flags, TTavTimeouts timeouts = TestTimeouts()) {
  TRecorder recorder;
  flags.Running = true;
  TTAVPrenosObj(request, &flags, &recorder, timeouts).Execute();
  return {recorder.Messages, flags.Succeeded, flags.Running};
}

inline void WriteConnection(const std::string& file, int port, const std::string& user, const std::string& password,
                            bool challenge) {
  TTavConnection c;
  c.Host = "127.0.0.1";
  c.Port = port;
  c.User = user;
  c.Password = password;
  c.Challenge = challenge;
  WriteTavBin(file, c);
}

// A one-connection peer on loopback that plays a script: for the replies the companion server
// never gives (wrong verdicts, odd sizes, silence, early close).
class TScriptedPeer {
public:
  explicit TScriptedPeer(std::function<void(TTavSocket&)> script) : FListener("127.0.0.1", 0) {
    FThread = std::thread([this, script = std::move(script)] {
      TTavSocket socket = FListener.Accept(kSafetyMs);
      if (!socket.IsOpen())
        return;
      try {
        script(socket);
      } catch (...) {
        // the client hung up first
      }
    });
  }
  ~TScriptedPeer() { FThread.join(); }
  TScriptedPeer(const TScriptedPeer&) = delete;
  TScriptedPeer& operator=(const TScriptedPeer&) = delete;

  int Port() const { return FListener.Port(); }

private:
  TTavListener FListener;
  std::thread FThread;
};

// One message from the client (empty when it closed or said nothing for kSafetyMs).
inline std::string Receive(TTavSocket& socket) {
  std::string bytes;
  socket.Read(bytes, 1 << 16, kSafetyMs);
  return bytes;
}

// Waits until the client closes the connection (or kSafetyMs); returns what it sent meanwhile.
inline std::string ReceiveUntilClosed(TTavSocket& socket) {
  std::string all, piece;
  while (socket.Read(piece, 1 << 16, kSafetyMs) == TTavSocket::TReadResult::Data)
    all += piece;
  return all;
}

// The plain login a scripted peer accepts: any user, any password.
inline void AcceptPlainLogin(TTavSocket& socket) {
  Receive(socket);
  socket.SendAll(std::string("OK\0", 3));
  Receive(socket);
  socket.SendAll(std::string("0\0", 2));
}

} // namespace tavtest
