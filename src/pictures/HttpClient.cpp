#include "pictures/HttpClient.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

#include "core/Format.h"
#include "formats/Cp1250Utf8.h"

namespace {

// libcurl's global set-up is not thread-safe; it runs once, before the first worker needs it.
void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct TCurlDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

struct TTransfer {
  std::string Body;
  std::size_t Limit = 0;
  bool TooLarge = false;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
  auto& transfer = *static_cast<TTransfer*>(user);
  const size_t bytes = size * count;
  if (bytes > transfer.Limit - transfer.Body.size()) {
    transfer.TooLarge = true;
    return 0; // aborts the transfer with CURLE_WRITE_ERROR
  }
  transfer.Body.append(data, bytes);
  return bytes;
}

bool IsUrlSafe(unsigned char c) {
  if (c <= 0x20 || c >= 0x7F)
    return false;
  switch (c) {
  case '"':
  case '<':
  case '>':
  case '#':
  case '\\':
  case '^':
  case '`':
  case '{':
  case '|':
  case '}':
    return false;
  default:
    return true;
  }
}

} // namespace

std::string EncodeUrlForRequest(const std::string& url) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string result;
  result.reserve(url.size());
  for (char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsUrlSafe(byte)) {
      result += c;
    } else {
      result += '%';
      result += kHex[byte >> 4];
      result += kHex[byte & 15];
    }
  }
  return result;
}

TCurlHttpClient::TCurlHttpClient(THttpOptions options) : FOptions(std::move(options)) { InitCurlOnce(); }

THttpReply TCurlHttpClient::Get(const std::string& url) {
  std::unique_ptr<CURL, TCurlDeleter> handle(curl_easy_init());
  if (!handle)
    throw EHttpError(Format(Cz("Obrázek %s nelze stáhnout: %s"), {url, "curl_easy_init"}));
  CURL* curl = handle.get();

  TTransfer transfer;
  transfer.Limit = FOptions.MaxBodyBytes;
  char errorText[CURL_ERROR_SIZE] = {};
  const std::string wireUrl = EncodeUrlForRequest(url);

  curl_easy_setopt(curl, CURLOPT_URL, wireUrl.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, FOptions.MaxRedirects > 0 ? 1L : 0L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, FOptions.MaxRedirects);
  // Worker threads must not get the signals libcurl would otherwise use for its time-outs.
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, FOptions.ConnectTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, FOptions.TotalTimeoutMs);
  // A declared length above the limit is refused before any of the body arrives; the write
  // callback stops replies that do not declare one.
  curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(FOptions.MaxBodyBytes));
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "Objednavky");
  curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
  if (!FOptions.CaFile.empty())
    curl_easy_setopt(curl, CURLOPT_CAINFO, FOptions.CaFile.c_str());

  const CURLcode code = curl_easy_perform(curl);
  if (code != CURLE_OK) {
    std::string reason;
    if (transfer.TooLarge || code == CURLE_FILESIZE_EXCEEDED)
      reason = Format(Cz("odpověď je delší než %d bajtů"), {static_cast<unsigned long>(FOptions.MaxBodyBytes)});
    else
      reason = Utf8ToCp1250(errorText[0] ? errorText : curl_easy_strerror(code));
    throw EHttpError(Format(Cz("Obrázek %s nelze stáhnout: %s"), {url, reason}));
  }
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  return THttpReply{static_cast<int>(status), std::move(transfer.Body)};
}
