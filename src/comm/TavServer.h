#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "comm/TavSocket.h"

// The companion TAV server: what a supplier runs so that customers can download price lists
// and installers and upload their orders, and what the tests talk to.
//
//  - Logins as the client expects them: plain (user name, any reply, password, verdict) or,
//    in challenge mode, "$$$LOGIN$$$" answered with a random challenge, then the client's MD5
//    answer and the verdict. The verdict is "0" NUL for yes, "1" NUL for no.
//  - GETFILE serves Root/ALIAS/NAME (Root itself for an empty alias): the size in decimal, then
//    after the client's "OK" NUL the bytes. Size 0 when there is no such file, and for an alias
//    or a name that is not a plain file name (separators, "." or "..", control characters),
//    so no request reaches outside Root, and for the alias "incoming", so no customer reads
//    another's orders.
//  - SENDFILE stores the body in Root/incoming/NAME (NAME.1, NAME.2, ... when taken) after
//    checking the checksum: header verdict "1" NUL for a name that is not plain or a size above
//    MaxUploadSize; body verdict "1" NUL when the checksum differs (nothing is kept then).
//  - A thread per client, at most MaxClients at once; every wait for the client is limited by
//    WaitMs; one log line per request.
struct TTavServerOptions {
  std::string Host = "127.0.0.1"; // numeric address or name to listen on; empty: every address
  int Port = 0;                   // 0: a free port (see TTavServer::Port)
  std::string Root;               // the served folder, a path of this system (UTF-8)
  std::string User, Password;     // code page 1250, as the client sends them
  bool Challenge = false;
  int WaitMs = 60000;
  std::uint64_t MaxUploadSize = 256ull * 1024 * 1024;
  int MaxClients = 64;
  // Test hook: the server miscounts every upload's checksum, as a damaged transfer would.
  bool TamperChecksum = false;
  // Receives the log lines (UTF-8, no line end), one call at a time. Empty: no log.
  std::function<void(const std::string& line)> Log;
};

class TTavServer {
public:
  // Listens at once (so Port() is known) and creates Root/incoming; raises ETavSocketError or
  // EInOutError.
  explicit TTavServer(TTavServerOptions options);
  // Stop().
  ~TTavServer();
  TTavServer(const TTavServer&) = delete;
  TTavServer& operator=(const TTavServer&) = delete;

  int Port() const;
  // Starts accepting clients on a thread of its own.
  void Start();
  // Stops accepting, ends every session at its next wait and joins all threads. Idempotent.
  void Stop();

private:
  class TSession;
  struct TClient {
    std::thread Thread;
    std::shared_ptr<std::atomic<bool>> Done;
  };

  void AcceptLoop();
  void ReapClients(bool all);
  void Log(const std::string& line);
  // Reserves a free name in the incoming folder for an upload (native path); Release frees it
  // again once the upload ended either way.
  std::string ReserveIncoming(const std::string& name);
  void ReleaseIncoming(const std::string& path);

  TTavServerOptions FOptions;
  TTavListener FListener;
  std::atomic<bool> FStop{false};
  std::thread FAcceptThread;
  std::list<TClient> FClients; // accept thread only (and Stop after it ended)
  std::mutex FLogLock;
  std::mutex FIncomingLock;
  std::set<std::string> FReserved;
};

// True for a name that names a file directly in its folder: not empty, not "." or "..", no
// "/", "\" or control character.
bool IsPlainTavName(const std::string& name);
