#pragma once

#include <string>
#include <vector>

// Sending one prepared message to an SMTP server. Texts are code page 1250 except the
// message, which is the finished wire form (BuildOrderMessage).

// "host" or "host:port" (an IPv6 address in brackets, "[::1]:2525"); port 25 when none is
// given. Returns false for an empty host or a port that is not a number from 1 to 65535.
struct TSmtpServerAddress {
  std::string Host;
  int Port = 25;
};
bool ParseSmtpServer(const std::string& text, TSmtpServerAddress& address);

struct TSmtpRequest {
  std::string Sender;     // the sender text; the envelope sender is its bare address
  std::string Recipients; // every comma-separated entry becomes an envelope recipient
  std::string Server;     // see ParseSmtpServer
  std::string Message;    // CR LF lines, without the terminating "."
  std::string User;       // empty: no login
  std::string Password;
};

// The SMTP client behind the send dialog; tests put their own in its place.
class ISmtpClient {
public:
  virtual ~ISmtpClient() = default;
  // True only when the server accepted the sender, every recipient and the data. Never
  // throws for a refusal or a network failure; LastError then says why (for the log).
  virtual bool Send(const TSmtpRequest& request) = 0;
  virtual std::string LastError() const = 0;
};

// The client over libcurl. Plain SMTP on the given port, switching to TLS (STARTTLS) when the
// server offers it (without checking the certificate, see the source), implicit TLS with a
// checked certificate on port 465; a server without TLS works as before. It logs
// in only when a user name is given and the server offers authentication. Every reply is
// awaited at most ReplyTimeoutSeconds; a transfer that stalls for as long fails too.
class TCurlSmtpClient : public ISmtpClient {
public:
  int ReplyTimeoutSeconds = 60;
  int ConnectTimeoutSeconds = 60;

  bool Send(const TSmtpRequest& request) override;
  std::string LastError() const override { return FLastError; }

private:
  std::string FLastError;
};
