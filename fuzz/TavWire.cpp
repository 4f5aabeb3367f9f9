// What a TAV server or a connection file can hand the client, from hostile bytes: the
// connection file, the size reply, and the requests the companion server reads. A connection
// file read back after writing its fields must give the same fields. Anything but a clean
// return is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "comm/TavBin.h"
#include "comm/TavProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  const TTavConnection c = ParseTavBin(bytes);
  std::uint8_t filler = 0;
  const std::string written =
      BuildTavBin(c, size ? data[0] : 0, static_cast<std::uint8_t>(size % 7), [&filler] { return filler++; });
  const TTavConnection back = ParseTavBin(written);
  if (back.Host != c.Host || back.Port != c.Port || back.User != c.User || back.Password != c.Password ||
      back.Challenge != c.Challenge)
    std::abort();

  // Any 64-bit value may come back; a positive one only from digits.
  if (ParseTavSize(bytes) > 0 && bytes.find_first_of("0123456789") == std::string::npos)
    std::abort();

  std::string alias, name;
  if (ParseTavGetFileRequest(bytes, alias, name) && TavGetFileRequest(alias, name) != bytes)
    std::abort();
  std::uint64_t fileSize = 0, checksum = 0;
  ParseTavSendFileHeader(bytes, fileSize, name, checksum);

  const std::string text = TavChallengeText(bytes, c.User, c.Password);
  if (text.size() != bytes.size() + c.User.size() + c.Password.size())
    std::abort();
  return 0;
}
