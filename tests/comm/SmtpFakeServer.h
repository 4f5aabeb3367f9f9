#pragma once

// A small SMTP server on loopback for the mail tests: it speaks just enough of the protocol
// to take one message, records every command and the message, and can be told to refuse a
// recipient, to ask for a login or to fall silent. Every wait is bounded, so a test never
// hangs on it.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

struct TFakeSmtpScript {
  bool OfferAuth = false;   // EHLO lists "AUTH PLAIN"
  bool RequireAuth = false; // MAIL before a login is refused with 530
  std::string User = "user", Password = "secret";
  std::string RefuseRecipient;  // RCPT TO:<this> gets 550
  bool SilentAfterMail = false; // MAIL FROM gets no reply at all
};

class TFakeSmtpServer {
public:
  explicit TFakeSmtpServer(TFakeSmtpScript script = {}) : FScript(std::move(script)) {
    FListen = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (FListen < 0 || bind(FListen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(FListen, 4) != 0 || getsockname(FListen, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        pipe(FStop) != 0)
      throw std::runtime_error("fake SMTP server: no socket");
    FPort = ntohs(address.sin_port);
    FThread = std::thread([this] { Serve(); });
  }
  ~TFakeSmtpServer() {
    Stop();
    close(FListen);
    close(FStop[0]);
    close(FStop[1]);
  }
  TFakeSmtpServer(const TFakeSmtpServer&) = delete;
  TFakeSmtpServer& operator=(const TFakeSmtpServer&) = delete;

  int Port() const { return FPort; }
  std::string Address() const { return "127.0.0.1:" + std::to_string(FPort); }

  // Ends the conversation (if any) and waits for the server thread.
  void Stop() {
    if (FThread.joinable()) {
      const char byte = 1;
      [[maybe_unused]] const ssize_t written = write(FStop[1], &byte, 1);
      FThread.join();
    }
  }
  // Every command line the client sent, in order (message lines excluded).
  std::vector<std::string> Commands() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FCommands;
  }
  // The message as received, dot-stuffing undone, each line with its CR LF.
  std::string Data() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FData;
  }
  bool Authenticated() const { return FAuthenticated; }

  static std::string DecodeBase64(const std::string& text) {
    static const std::string kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned value = 0;
    int bits = 0;
    for (char c : text) {
      const size_t digit = kAlphabet.find(c);
      if (digit == std::string::npos)
        continue;
      value = (value << 6) | static_cast<unsigned>(digit);
      bits += 6;
      if (bits >= 8) {
        bits -= 8;
        out += static_cast<char>((value >> bits) & 0xFF);
      }
    }
    return out;
  }

private:
  // Waits for the socket or the stop signal; false on stop or after 20 s.
  bool WaitReadable(int fd) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {FStop[0], POLLIN, 0}};
    return poll(fds, 2, 20000) > 0 && !(fds[1].revents & POLLIN) && (fds[0].revents & (POLLIN | POLLHUP));
  }

  bool ReadLine(int fd, std::string& buffer, std::string& line) {
    for (;;) {
      const size_t end = buffer.find("\r\n");
      if (end != std::string::npos) {
        line = buffer.substr(0, end);
        buffer.erase(0, end + 2);
        return true;
      }
      if (!WaitReadable(fd))
        return false;
      char chunk[4096];
      const ssize_t got = read(fd, chunk, sizeof chunk);
      if (got <= 0)
        return false;
      buffer.append(chunk, static_cast<size_t>(got));
    }
  }

  static void Reply(int fd, const std::string& text) {
    const std::string line = text + "\r\n";
    [[maybe_unused]] const ssize_t written = send(fd, line.data(), line.size(), MSG_NOSIGNAL);
  }

  static bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
  }

  bool CheckPlainLogin(const std::string& response) {
    return DecodeBase64(response) == std::string("\0", 1) + FScript.User + std::string("\0", 1) + FScript.Password;
  }

  void Serve() {
    if (!WaitReadable(FListen))
      return;
    const int fd = accept(FListen, nullptr, nullptr);
    if (fd < 0)
      return;
    Converse(fd);
    close(fd);
  }

  void Converse(int fd) {
    std::string buffer, line;
    Reply(fd, "220 fake.test ESMTP");
    while (ReadLine(fd, buffer, line)) {
      {
        std::lock_guard<std::mutex> lock(FLock);
        FCommands.push_back(line);
      }
      if (StartsWith(line, "EHLO") || StartsWith(line, "HELO")) {
        if (FScript.OfferAuth)
          Reply(fd, "250-fake.test\r\n250-AUTH PLAIN\r\n250 8BITMIME");
        else
          Reply(fd, "250-fake.test\r\n250 8BITMIME");
      } else if (StartsWith(line, "AUTH PLAIN")) {
        std::string response = line.size() > 11 ? line.substr(11) : std::string();
        if (response.empty()) {
          Reply(fd, "334 ");
          if (!ReadLine(fd, buffer, response))
            return;
        }
        FAuthenticated = CheckPlainLogin(response);
        Reply(fd, FAuthenticated ? "235 2.7.0 Authentication successful" : "535 5.7.8 Authentication failed");
      } else if (StartsWith(line, "MAIL FROM:")) {
        if (FScript.SilentAfterMail)
          continue; // the client has to give up by itself
        if (FScript.RequireAuth && !FAuthenticated)
          Reply(fd, "530 5.7.0 Authentication required");
        else
          Reply(fd, "250 2.1.0 Ok");
      } else if (StartsWith(line, "RCPT TO:")) {
        const bool refuse =
            !FScript.RefuseRecipient.empty() && line.find("<" + FScript.RefuseRecipient + ">") != std::string::npos;
        Reply(fd, refuse ? "550 5.1.1 No such user" : "250 2.1.5 Ok");
      } else if (line == "DATA") {
        Reply(fd, "354 End data with <CR><LF>.<CR><LF>");
        std::string data;
        for (;;) {
          if (!ReadLine(fd, buffer, line))
            return;
          if (line == ".")
            break;
          data += (StartsWith(line, ".") ? line.substr(1) : line) + "\r\n";
        }
        {
          std::lock_guard<std::mutex> lock(FLock);
          FData = data;
        }
        Reply(fd, "250 2.0.0 Ok: queued");
      } else if (line == "QUIT") {
        Reply(fd, "221 2.0.0 Bye");
        return;
      } else if (line == "RSET" || line == "NOOP") {
        Reply(fd, "250 2.0.0 Ok");
      } else {
        Reply(fd, "502 5.5.2 Command not recognized");
      }
    }
  }

  TFakeSmtpScript FScript;
  int FListen = -1;
  int FStop[2] = {-1, -1};
  int FPort = 0;
  std::thread FThread;
  mutable std::mutex FLock;
  std::vector<std::string> FCommands;
  std::string FData;
  std::atomic<bool> FAuthenticated{false};
};
