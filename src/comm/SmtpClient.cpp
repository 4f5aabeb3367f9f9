#include "comm/SmtpClient.h"

#include <curl/curl.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <mutex>

#include "comm/MailAddress.h"
#include "formats/Cp1250Utf8.h"

namespace {

bool ParsePort(const std::string& text, int& port) {
  if (text.empty() || text.size() > 5)
    return false;
  int value = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c)))
      return false;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535)
    return false;
  port = value;
  return true;
}

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct TCurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct TSlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

struct TUpload {
  const std::string* Data;
  size_t Offset = 0;
};

size_t ReadUpload(char* buffer, size_t size, size_t count, void* user) {
  auto* upload = static_cast<TUpload*>(user);
  const size_t room = size * count;
  const size_t left = upload->Data->size() - upload->Offset;
  const size_t n = left < room ? left : room;
  std::memcpy(buffer, upload->Data->data() + upload->Offset, n);
  upload->Offset += n;
  return n;
}

// The name we greet the server with: this machine's, when it is a plain host name.
std::string GreetingName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == 0)
    return "localhost";
  for (const char* p = name; *p; p++) {
    if (!std::isalnum(static_cast<unsigned char>(*p)) && *p != '-' && *p != '.')
      return "localhost";
  }
  return name;
}

} // namespace

bool ParseSmtpServer(const std::string& text, TSmtpServerAddress& address) {
  const std::string server = TrimText(text);
  TSmtpServerAddress parsed;
  std::string portText;
  bool hasPort = false;
  if (!server.empty() && server[0] == '[') {
    const size_t close = server.find(']');
    if (close == std::string::npos)
      return false;
    parsed.Host = server.substr(1, close - 1);
    const std::string rest = server.substr(close + 1);
    if (!rest.empty()) {
      if (rest[0] != ':')
        return false;
      portText = rest.substr(1);
      hasPort = true;
    }
  } else {
    const size_t colon = server.find(':');
    if (colon != std::string::npos && server.find(':', colon + 1) != std::string::npos) {
      parsed.Host = server; // a bare IPv6 address
    } else {
      parsed.Host = server.substr(0, colon);
      if (colon != std::string::npos) {
        portText = server.substr(colon + 1);
        hasPort = true;
      }
    }
  }
  parsed.Host = TrimText(parsed.Host);
  if (parsed.Host.empty() || (hasPort && !ParsePort(TrimText(portText), parsed.Port)))
    return false;
  address = parsed;
  return true;
}

bool TCurlSmtpClient::Send(const TSmtpRequest& request) {
  FLastError.clear();
  TSmtpServerAddress server;
  if (!ParseSmtpServer(request.Server, server)) {
    FLastError = "invalid server: " + Cp1250ToUtf8(request.Server);
    return false;
  }
  const std::vector<std::string> recipients = EnvelopeRecipients(request.Recipients);
  if (recipients.empty()) {
    FLastError = "no recipient";
    return false;
  }
  InitCurlOnce();
  std::unique_ptr<CURL, TCurlDeleter> curl(curl_easy_init());
  if (!curl) {
    FLastError = "curl_easy_init failed";
    return false;
  }
  const bool implicitTls = server.Port == 465;
  const std::string host = server.Host.find(':') != std::string::npos ? "[" + server.Host + "]" : server.Host;
  const std::string url = std::string(implicitTls ? "smtps://" : "smtp://") + Cp1250ToUtf8(host) + ":" +
                          std::to_string(server.Port) + "/" + GreetingName();

  curl_slist* rawList = nullptr;
  for (const std::string& r : recipients) {
    curl_slist* next = curl_slist_append(rawList, Cp1250ToUtf8(r).c_str());
    if (!next) {
      curl_slist_free_all(rawList);
      FLastError = "out of memory";
      return false;
    }
    rawList = next;
  }
  std::unique_ptr<curl_slist, TSlistDeleter> rcpt(rawList);
  const std::string from = Cp1250ToUtf8(BareEmailAddress(request.Sender));
  const std::string user = Cp1250ToUtf8(request.User);
  const std::string password = Cp1250ToUtf8(request.Password);
  TUpload upload{&request.Message};
  char errorBuffer[CURL_ERROR_SIZE] = {};

  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);
  curl_easy_setopt(c, CURLOPT_USE_SSL, static_cast<long>(implicitTls ? CURLUSESSL_ALL : CURLUSESSL_TRY));
  if (!implicitTls) {
    // Opportunistic STARTTLS: whoever can tamper with the connection can also hide the
    // server's offer of TLS, so checking the certificate here would stop no attacker; it
    // would only turn away the self-signed servers that worked in plain text before. TLS
    // still keeps the password and the order from anyone who merely listens.
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 0L);
  }
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, static_cast<long>(ConnectTimeoutSeconds));
  curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, static_cast<long>(ReplyTimeoutSeconds));
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, static_cast<long>(ReplyTimeoutSeconds));
  curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.c_str());
  curl_easy_setopt(c, CURLOPT_MAIL_RCPT, rcpt.get());
  if (!request.User.empty()) {
    curl_easy_setopt(c, CURLOPT_USERNAME, user.c_str());
    curl_easy_setopt(c, CURLOPT_PASSWORD, password.c_str());
  }
  curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(c, CURLOPT_READFUNCTION, ReadUpload);
  curl_easy_setopt(c, CURLOPT_READDATA, &upload);
  curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(request.Message.size()));

  const CURLcode result = curl_easy_perform(c);
  if (result != CURLE_OK) {
    FLastError = errorBuffer[0] ? errorBuffer : curl_easy_strerror(result);
    return false;
  }
  return true;
}
