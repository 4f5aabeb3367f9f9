#pragma once

#include <cstddef>
#include <string>

#include "core/Errors.h"

// A plain HTTP(S) GET of a whole resource into memory, for the picture downloads.

// The request could not be made or did not complete: no connection, a time-out, a reply larger
// than allowed, a broken transfer. The message is Czech (code page 1250) and names the address.
class EHttpError : public Exception {
public:
  using Exception::Exception;
};

struct THttpReply {
  // The status code of the final reply (after redirections); 0 when there was none.
  int Status = 0;
  std::string Body;
};

// One GET per call. Implementations must allow calls from several threads at once.
class IHttpClient {
public:
  virtual ~IHttpClient() = default;
  // url: code page 1250 text as the web address rule builds it. A reply with any status is
  // returned; EHttpError when no complete reply arrived.
  virtual THttpReply Get(const std::string& url) = 0;
};

// How requests are made. The limits keep a broken or hostile server from filling the memory
// and the disk or from holding a worker forever.
struct THttpOptions {
  long ConnectTimeoutMs = 15000;
  // The whole exchange, reply body included.
  long TotalTimeoutMs = 120000;
  std::size_t MaxBodyBytes = 32u * 1024 * 1024;
  // Redirections followed (to http and https addresses only).
  long MaxRedirects = 5;
  // Certificates (PEM, native path) trusted instead of the system's store; empty for the store.
  std::string CaFile;
};

// GET through libcurl over http and https (certificates checked against the system's store;
// proxies from the usual environment variables). Bytes of the address that may not stand in a
// URL as they are (blanks, control characters, bytes above 0x7F, '"', '<', '>', '#' and the
// like) are sent percent-encoded. Thread-safe: every call uses its own connection.
class TCurlHttpClient : public IHttpClient {
public:
  explicit TCurlHttpClient(THttpOptions options = {});
  THttpReply Get(const std::string& url) override;

  const THttpOptions& Options() const { return FOptions; }

private:
  THttpOptions FOptions;
};

// The address as it goes on the wire (see TCurlHttpClient).
std::string EncodeUrlForRequest(const std::string& url);
