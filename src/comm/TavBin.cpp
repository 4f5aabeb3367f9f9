#include "comm/TavBin.h"

#include <cerrno>
#include <climits>
#include <random>

#include "comm/TavProtocol.h"
#include "core/Errors.h"
#include "core/FileIo.h"
#include "formats/CodePages.h"
#include "formats/Cp1250Utf8.h"

namespace {

// Feeds the bytes of a connection file one by one and collects the payload fields.
class TTavBinDecoder {
public:
  // False once the fourth payload TAB was seen: nothing after it is read.
  bool Feed(std::uint8_t byte) {
    ++FPosition;
    if (FPosition == 1) {
      FKey = byte;
      return true;
    }
    if (FPosition == 2) {
      FPayloadStart = 2 * static_cast<std::uint64_t>(byte ^ FKey) + 5;
      return true;
    }
    if (FPosition < FPayloadStart)
      return true;
    const char ch = static_cast<char>(byte ^ FKey);
    if (ch == '\t') {
      ++FField;
      return FField < 4;
    }
    FFields[FField] += ch;
    return true;
  }

  TTavConnection Result() const {
    TTavConnection c;
    const std::string& server = FFields[0];
    const std::size_t colon = server.find(':');
    if (colon == std::string::npos) {
      c.PortText = server;
    } else {
      c.Host = server.substr(0, colon);
      c.PortText = server.substr(colon + 1);
    }
    c.Port = TavPortField(c.PortText);
    c.User = FFields[1];
    c.Password = FFields[2];
    c.Challenge = TavBoolField(FFields[3]);
    return c;
  }

private:
  std::uint64_t FPosition = 0;
  std::uint8_t FKey = 0;
  std::uint64_t FPayloadStart = 3; // until the length byte is read
  int FField = 0;
  std::string FFields[4];
};

} // namespace

int TavPortField(const std::string& text) {
  std::int64_t value = 0;
  if (!ParseTavInteger(text, value) || value < INT_MIN || value > INT_MAX)
    return 0;
  return static_cast<int>(value);
}

bool TavBoolField(const std::string& text) {
  std::int64_t value = 0;
  if (ParseTavInteger(text, value))
    return value != 0;
  return AnsiUpperCase(text) == "TRUE";
}

TTavConnection ParseTavBin(const std::string& bytes) {
  TTavBinDecoder decoder;
  for (char ch : bytes) {
    if (!decoder.Feed(static_cast<std::uint8_t>(ch)))
      break;
  }
  return decoder.Result();
}

TTavConnection ReadTavBin(const std::string& fileName) {
  const fileio::TFd fd = fileio::OpenForReading(fileName);
  TTavBinDecoder decoder;
  char buffer[512];
  for (;;) {
    const std::size_t got = fileio::ReadSome(fd, buffer, sizeof buffer, fileName);
    if (got == 0)
      break;
    for (std::size_t i = 0; i < got; ++i) {
      if (!decoder.Feed(static_cast<std::uint8_t>(buffer[i])))
        return decoder.Result();
    }
  }
  return decoder.Result();
}

void WriteTavBin(const std::string& fileName, const TTavConnection& c) {
  for (const std::string* field : {&c.Host, &c.User, &c.Password}) {
    if (field->find('\t') != std::string::npos)
      throw Exception(Cz("Údaje spojení nesmí obsahovat tabulátor"));
  }
  std::random_device device;
  std::mt19937 engine(device());
  std::uniform_int_distribution<int> byte(0, 255);
  auto random = [&] { return static_cast<std::uint8_t>(byte(engine)); };
  const std::uint8_t key = random();
  const std::uint8_t filler = random();
  const std::string bytes = BuildTavBin(c, key, filler, random);
  fileio::WriteFileAtomically(fileName, bytes.data(), bytes.size(), 0600);
}
