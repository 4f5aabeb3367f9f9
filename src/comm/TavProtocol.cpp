#include "comm/TavProtocol.h"

#include <openssl/evp.h>

#include <climits>
#include <memory>
#include <vector>

#include "core/Errors.h"

namespace {

// A run of decimal digits without sign or blanks, at most 64 bits.
bool ReadUnsigned(const std::string& text, std::uint64_t& value) {
  if (text.empty() || text.size() > 20)
    return false;
  std::uint64_t result = 0;
  for (char ch : text) {
    if (ch < '0' || ch > '9')
      return false;
    const unsigned digit = static_cast<unsigned>(ch - '0');
    if (result > (UINT64_MAX - digit) / 10)
      return false;
    result = result * 10 + digit;
  }
  value = result;
  return true;
}

// Splits at TAB; the text after the last TAB is the last piece.
std::vector<std::string> SplitTabs(const std::string& text) {
  std::vector<std::string> parts(1);
  for (char ch : text) {
    if (ch == '\t')
      parts.emplace_back();
    else
      parts.back() += ch;
  }
  return parts;
}

} // namespace

std::string TavChallengeText(const std::string& challenge, const std::string& user, const std::string& password) {
  std::string text = challenge;
  text.insert(text.size() >= 5 ? text.size() - 5 : 0, password);
  text.insert(text.size() >= 4 ? 4 : text.size(), user);
  return text;
}

std::string Md5Digest(const std::string& bytes) {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr) != 1 ||
      EVP_DigestUpdate(ctx.get(), bytes.data(), bytes.size()) != 1 ||
      EVP_DigestFinal_ex(ctx.get(), digest, &length) != 1 || length != kTavDigestSize)
    throw Exception("MD5 digest failed");
  return std::string(reinterpret_cast<const char*>(digest), length);
}

std::string TavGetFileRequest(const std::string& alias, const std::string& name) {
  return "GETFILE: \t" + alias + "\t" + name + "\t0";
}

std::string TavSendFileHeader(std::uint64_t size, const std::string& name, std::uint64_t checksum) {
  std::string header = "SENDFILE: \t" + std::to_string(size) + "\t" + name + "\t" + std::to_string(checksum) + "\t";
  header += '\0';
  return header;
}

bool ParseTavInteger(const std::string& text, std::int64_t& value) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ')
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::uint64_t magnitude = 0;
  if (!ReadUnsigned(text.substr(i), magnitude))
    return false;
  const std::uint64_t limit = static_cast<std::uint64_t>(INT64_MAX) + (negative ? 1 : 0);
  if (magnitude > limit)
    return false;
  value = negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
  return true;
}

std::int64_t ParseTavSize(const std::string& reply) {
  std::int64_t size = 0;
  return ParseTavInteger(reply.substr(0, reply.find('\0')), size) ? size : -1;
}

std::uint64_t TavChecksumAdd(std::uint64_t sum, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i)
    sum += bytes[i];
  return sum;
}

bool ParseTavGetFileRequest(const std::string& bytes, std::string& alias, std::string& name) {
  const std::vector<std::string> parts = SplitTabs(bytes);
  if (parts.size() != 4 || parts[0] != "GETFILE: " || parts[3] != "0")
    return false;
  alias = parts[1];
  name = parts[2];
  return true;
}

bool ParseTavSendFileHeader(const std::string& bytes, std::uint64_t& size, std::string& name, std::uint64_t& checksum) {
  if (bytes.empty() || bytes.back() != '\0')
    return false;
  const std::vector<std::string> parts = SplitTabs(bytes.substr(0, bytes.size() - 1));
  if (parts.size() != 5 || parts[0] != "SENDFILE: " || !parts[4].empty())
    return false;
  name = parts[2];
  return ReadUnsigned(parts[1], size) && ReadUnsigned(parts[3], checksum);
}

std::string TavBareFileName(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}
