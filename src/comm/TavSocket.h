#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "core/Errors.h"

// Plain POSIX TCP sockets for the TAV client and the companion server. Every wait has a limit
// or a way out (the stop callable), so neither side can hang on a silent peer.

// A failure of the connection; the message is the system's text behind a Czech lead-in.
class ETavSocketError : public Exception {
public:
  using Exception::Exception;
};

class TTavSocket {
public:
  TTavSocket() = default;
  explicit TTavSocket(int fd) : FFd(fd) {}
  TTavSocket(TTavSocket&& other) noexcept : FFd(other.FFd) { other.FFd = -1; }
  TTavSocket& operator=(TTavSocket&& other) noexcept;
  TTavSocket(const TTavSocket&) = delete;
  TTavSocket& operator=(const TTavSocket&) = delete;
  ~TTavSocket() { Close(); }

  // Opens a connection; waits at most timeoutMs for it. host and the texts are code page
  // 1250. Raises ETavSocketError when the host is unknown or the connection fails.
  static TTavSocket Connect(const std::string& host, int port, int timeoutMs);

  bool IsOpen() const { return FFd >= 0; }
  int Fd() const { return FFd; }
  void Close();

  // Sends every byte; a peer that takes none for sendTimeoutMs, or a broken connection,
  // raises ETavSocketError. Never raises SIGPIPE.
  void SendAll(const void* data, std::size_t size, int sendTimeoutMs = 60000);
  void SendAll(const std::string& bytes, int sendTimeoutMs = 60000) {
    SendAll(bytes.data(), bytes.size(), sendTimeoutMs);
  }

  enum class TReadResult { Data, Closed, TimedOut, Stopped };
  // Replaces `out` with the bytes one read returns once at least one has arrived (at most
  // maxBytes). Waits at most waitMs (negative: no limit) and asks `stop` every pollMs while
  // waiting; a true answer ends the wait with Stopped. Closed: the peer ended the connection.
  // A failed connection raises ETavSocketError.
  TReadResult Read(std::string& out, std::size_t maxBytes, int waitMs, const std::function<bool()>& stop = {},
                   int pollMs = 50);

private:
  int FFd = -1;
};

// A listening socket. Port 0 asks the system for a free port (see Port()).
class TTavListener {
public:
  // host: a numeric address or name; empty for every address. Raises ETavSocketError.
  TTavListener(const std::string& host, int port);
  ~TTavListener();
  TTavListener(const TTavListener&) = delete;
  TTavListener& operator=(const TTavListener&) = delete;

  int Port() const { return FPort; }
  // The next client, or a closed socket when none came within waitMs.
  TTavSocket Accept(int waitMs);

private:
  int FFd = -1;
  int FPort = 0;
};

// The text of a peer's address ("127.0.0.1:40123") for log lines.
std::string TavPeerName(const TTavSocket& socket);
