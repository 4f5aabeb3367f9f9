#pragma once

// A tiny HTTP/1.1 server on loopback for the download tests: canned replies by request path,
// replies that never come (for time-outs) or wait for a gate, and a record of the paths asked
// for. Every socket operation polls with a short period and checks the stop flag, so stopping
// never waits for a client and the suite cannot hang on it.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

class THttpTestServer {
public:
  struct TReply {
    int Status = 200;
    std::string Body;
    // No reply at all until the server stops (a dead server for the client's time-out).
    bool Hang = false;
    // The reply waits until OpenGate.
    bool Gated = false;
    // The body ends with the connection instead of a Content-Length.
    bool NoLength = false;
  };

  THttpTestServer() {
    FListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (FListen < 0)
      throw std::runtime_error("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(FListen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(FListen, 64) != 0 ||
        ::getsockname(FListen, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ::close(FListen);
      throw std::runtime_error("bind");
    }
    FPort = ntohs(address.sin_port);
    FAcceptThread = std::thread([this] { AcceptLoop(); });
  }

  ~THttpTestServer() { Stop(); }
  THttpTestServer(const THttpTestServer&) = delete;
  THttpTestServer& operator=(const THttpTestServer&) = delete;

  std::string Url() const { return "http://127.0.0.1:" + std::to_string(FPort); }

  // The reply for a request target exactly as it arrives ("/web/a.jpg"); others get 404.
  void Set(const std::string& path, TReply reply) {
    std::lock_guard lock(FLock);
    FReplies[path] = std::move(reply);
  }

  std::vector<std::string> Requests() const {
    std::lock_guard lock(FLock);
    return FRequests;
  }
  int RequestCount(const std::string& path) const {
    std::lock_guard lock(FLock);
    return static_cast<int>(std::count(FRequests.begin(), FRequests.end(), path));
  }
  // Waits until at least n requests have arrived; false after the time-out.
  bool WaitForRequests(size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, timeout, [&] { return FRequests.size() >= n; });
  }

  void OpenGate() {
    std::lock_guard lock(FLock);
    FGateOpen = true;
    FChanged.notify_all();
  }

  void Stop() {
    {
      std::lock_guard lock(FLock);
      if (FStopped)
        return;
      FStopped = true;
      FChanged.notify_all();
    }
    if (FAcceptThread.joinable())
      FAcceptThread.join();
    std::vector<std::thread> connections;
    {
      std::lock_guard lock(FLock);
      connections.swap(FConnections);
    }
    for (std::thread& t : connections)
      t.join();
    ::close(FListen);
  }

private:
  bool Stopped() {
    std::lock_guard lock(FLock);
    return FStopped;
  }

  void AcceptLoop() {
    while (!Stopped()) {
      pollfd p{FListen, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0)
        continue;
      const int client = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0)
        continue;
      std::lock_guard lock(FLock);
      FConnections.emplace_back([this, client] {
        Serve(client);
        ::close(client);
      });
    }
  }

  void Serve(int client) {
    std::string request;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (request.find("\r\n\r\n") == std::string::npos) {
      if (Stopped() || std::chrono::steady_clock::now() > deadline || request.size() > 65536)
        return;
      pollfd p{client, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0)
        continue;
      char buffer[4096];
      const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
      if (n <= 0)
        return;
      request.append(buffer, static_cast<size_t>(n));
    }
    const size_t start = request.find(' ') + 1;
    const std::string path = request.substr(start, request.find(' ', start) - start);
    TReply reply;
    {
      std::unique_lock lock(FLock);
      FRequests.push_back(path);
      FChanged.notify_all();
      const auto found = FReplies.find(path);
      if (found == FReplies.end())
        reply = TReply{404, "not found"};
      else
        reply = found->second;
      // Neither waits longer than the suite could bear, whatever the test forgets.
      if (reply.Hang)
        FChanged.wait_for(lock, std::chrono::seconds(30), [&] { return FStopped; });
      if (reply.Gated)
        FChanged.wait_for(lock, std::chrono::seconds(30), [&] { return FStopped || FGateOpen; });
      if (FStopped)
        return;
    }
    std::string head = "HTTP/1.1 " + std::to_string(reply.Status) + " X\r\nConnection: close\r\n";
    if (!reply.NoLength)
      head += "Content-Length: " + std::to_string(reply.Body.size()) + "\r\n";
    head += "\r\n";
    if (SendAll(client, head))
      SendAll(client, reply.Body);
  }

  bool SendAll(int client, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      if (Stopped())
        return false;
      pollfd p{client, POLLOUT, 0};
      if (::poll(&p, 1, 50) <= 0)
        continue;
      const ssize_t n = ::send(client, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n <= 0)
        return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

  int FListen = -1;
  int FPort = 0;
  mutable std::mutex FLock;
  std::condition_variable FChanged;
  std::map<std::string, TReply> FReplies;
  std::vector<std::string> FRequests;
  std::vector<std::thread> FConnections;
  std::thread FAcceptThread;
  bool FGateOpen = false;
  bool FStopped = false;
};
