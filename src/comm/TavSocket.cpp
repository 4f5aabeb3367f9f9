#include "comm/TavSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "core/Format.h"
#include "formats/Cp1250Utf8.h"

namespace {

ETavSocketError SocketError(int errnoValue) {
  return ETavSocketError(Format(Cz("Chyba spojení se serverem: %s"), {Utf8ToCp1250(std::strerror(errnoValue))}));
}

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

void SetBlocking(int fd, bool blocking) {
  const int flags = fcntl(fd, F_GETFL, 0);
  if (flags >= 0)
    fcntl(fd, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK));
}

// A dead peer is noticed by the connection itself even where the protocol waits without
// limit: keep-alive probes after a minute of silence.
void EnableKeepAlive(int fd) {
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  int idle = 60, interval = 10, count = 6;
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
}

// Tries one address; returns the connected descriptor or -1 with errno set.
int ConnectOne(const addrinfo& ai, int timeoutMs) {
  const int fd = socket(ai.ai_family, ai.ai_socktype | SOCK_CLOEXEC, ai.ai_protocol);
  if (fd < 0)
    return -1;
  SetBlocking(fd, false);
  int rc = connect(fd, ai.ai_addr, ai.ai_addrlen);
  if (rc != 0 && errno == EINPROGRESS) {
    pollfd p{fd, POLLOUT, 0};
    rc = poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
    if (rc == 0) {
      close(fd);
      errno = ETIMEDOUT;
      return -1;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (rc < 0 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
      const int saved = rc < 0 ? errno : error;
      close(fd);
      errno = saved;
      return -1;
    }
    rc = 0;
  }
  if (rc != 0) {
    const int saved = errno;
    close(fd);
    errno = saved;
    return -1;
  }
  SetBlocking(fd, true);
  EnableKeepAlive(fd);
  return fd;
}

} // namespace

TTavSocket& TTavSocket::operator=(TTavSocket&& other) noexcept {
  if (this != &other) {
    Close();
    FFd = other.FFd;
    other.FFd = -1;
  }
  return *this;
}

void TTavSocket::Close() {
  if (FFd >= 0) {
    close(FFd);
    FFd = -1;
  }
}

TTavSocket TTavSocket::Connect(const std::string& host, int port, int timeoutMs) {
  if (host.empty() || port <= 0 || port > 65535)
    throw ETavSocketError(Cz("Neplatná adresa serveru"));
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  const int rc = getaddrinfo(Cp1250ToUtf8(host).c_str(), std::to_string(port).c_str(), &hints, &list);
  if (rc != 0)
    throw ETavSocketError(Format(Cz("Server %s nebyl nalezen: %s"), {host, Utf8ToCp1250(gai_strerror(rc))}));
  int lastError = ECONNREFUSED;
  for (addrinfo* ai = list; ai; ai = ai->ai_next) {
    const int fd = ConnectOne(*ai, timeoutMs);
    if (fd >= 0) {
      freeaddrinfo(list);
      return TTavSocket(fd);
    }
    lastError = errno;
  }
  freeaddrinfo(list);
  throw SocketError(lastError);
}

void TTavSocket::SendAll(const void* data, std::size_t size, int sendTimeoutMs) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    pollfd p{FFd, POLLOUT, 0};
    const int ready = poll(&p, 1, sendTimeoutMs < 0 ? -1 : sendTimeoutMs);
    if (ready < 0) {
      if (errno == EINTR)
        continue;
      throw SocketError(errno);
    }
    if (ready == 0)
      throw SocketError(ETIMEDOUT);
    const ssize_t sent = send(FFd, bytes, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
        continue;
      throw SocketError(errno);
    }
    bytes += sent;
    size -= static_cast<std::size_t>(sent);
  }
}

TTavSocket::TReadResult TTavSocket::Read(std::string& out, std::size_t maxBytes, int waitMs,
                                         const std::function<bool()>& stop, int pollMs) {
  out.clear();
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs < 0 ? 0 : waitMs);
  for (;;) {
    int slice = pollMs;
    if (waitMs >= 0)
      slice = std::min(slice, RemainingMs(deadline));
    pollfd p{FFd, POLLIN, 0};
    const int ready = poll(&p, 1, slice);
    if (ready < 0 && errno != EINTR)
      throw SocketError(errno);
    if (ready > 0) {
      out.resize(maxBytes);
      const ssize_t got = recv(FFd, out.data(), maxBytes, MSG_DONTWAIT);
      if (got > 0) {
        out.resize(static_cast<std::size_t>(got));
        return TReadResult::Data;
      }
      out.clear();
      if (got == 0)
        return TReadResult::Closed;
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
        throw SocketError(errno);
    }
    if (stop && stop())
      return TReadResult::Stopped;
    if (waitMs >= 0 && RemainingMs(deadline) == 0)
      return TReadResult::TimedOut;
  }
}

TTavListener::TTavListener(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* list = nullptr;
  const std::string service = std::to_string(port);
  const int rc = getaddrinfo(host.empty() ? nullptr : Cp1250ToUtf8(host).c_str(), service.c_str(), &hints, &list);
  if (rc != 0)
    throw ETavSocketError(Format(Cz("Adresa %s není platná: %s"), {host, Utf8ToCp1250(gai_strerror(rc))}));
  int lastError = EADDRNOTAVAIL;
  for (addrinfo* ai = list; ai && FFd < 0; ai = ai->ai_next) {
    const int fd = socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0) {
      lastError = errno;
      continue;
    }
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(fd, ai->ai_addr, ai->ai_addrlen) != 0 || listen(fd, 64) != 0) {
      lastError = errno;
      close(fd);
      continue;
    }
    FFd = fd;
  }
  freeaddrinfo(list);
  if (FFd < 0)
    throw SocketError(lastError);
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  getsockname(FFd, reinterpret_cast<sockaddr*>(&address), &length);
  FPort = address.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port)
                                        : ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
}

TTavListener::~TTavListener() {
  if (FFd >= 0)
    close(FFd);
}

TTavSocket TTavListener::Accept(int waitMs) {
  pollfd p{FFd, POLLIN, 0};
  if (poll(&p, 1, waitMs) <= 0)
    return TTavSocket();
  const int fd = accept4(FFd, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0)
    return TTavSocket();
  EnableKeepAlive(fd);
  return TTavSocket(fd);
}

std::string TavPeerName(const TTavSocket& socket) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (getpeername(socket.Fd(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
    return "?";
  char host[INET6_ADDRSTRLEN] = "?";
  int port = 0;
  if (address.ss_family == AF_INET6) {
    const auto* a = reinterpret_cast<const sockaddr_in6*>(&address);
    inet_ntop(AF_INET6, &a->sin6_addr, host, sizeof host);
    port = ntohs(a->sin6_port);
  } else {
    const auto* a = reinterpret_cast<const sockaddr_in*>(&address);
    inet_ntop(AF_INET, &a->sin_addr, host, sizeof host);
    port = ntohs(a->sin_port);
  }
  return std::string(host) + ":" + std::to_string(port);
}
