#pragma once

#include <cstdint>
#include <string>

// The connection file of the TAV server ("TAV.BIN"): which server to reach and how to log in.
// The supplier hands it out lightly scrambled:
//   byte 1        the key K
//   byte 2        the length byte L; n = L xor K
//   bytes 3..2n+4 filler
//   from 2n+5     the payload, every byte xor K
// The payload is code page 1250 text of four TAB-ended fields: "host:port", user name,
// password, login mode. Reading stops at the end of the file or right after the fourth TAB.

struct TTavConnection {
  std::string Host;     // text before the first ":" of the server field; empty without a ":"
  std::string PortText; // text after it (the whole field without a ":")
  int Port = 0;         // PortText as a decimal number; 0 when it is not one
  std::string User;
  std::string Password;
  bool Challenge = false; // true: challenge login; false: plain login
};

// Decodes the bytes of a connection file. Never fails: missing bytes give empty fields.
TTavConnection ParseTavBin(const std::string& bytes);

// Reads a connection file (code page 1250 name). Raises EFOpenError or EInOutError when the
// file cannot be read; only the bytes up to the fourth payload TAB are looked at, so a huge
// file costs no memory.
TTavConnection ReadTavBin(const std::string& fileName);

// A connection file holding the given fields ("host:port" from Host and Port) with the given
// key and filler length n (0..255) and filler bytes taken from `random` (a callable returning
// a byte each time). The text of the fields must not contain TAB.
template <class TRandomByte>
std::string BuildTavBin(const TTavConnection& c, std::uint8_t key, std::uint8_t fillerLength, TRandomByte&& random);

// Writes a connection file with a random key and random filler, atomically (a temporary file
// renamed over the target). Raises EInOutError on failure; Exception when a field holds a TAB.
void WriteTavBin(const std::string& fileName, const TTavConnection& c);

// The login mode field read as a boolean: a decimal number (non-zero is true) or "True" /
// "False" in any letter case; anything else is false.
bool TavBoolField(const std::string& text);

// The port field read as a decimal integer (sign allowed); 0 when it is not one.
int TavPortField(const std::string& text);

template <class TRandomByte>
std::string BuildTavBin(const TTavConnection& c, std::uint8_t key, std::uint8_t fillerLength, TRandomByte&& random) {
  const std::string payload = c.Host + ":" + std::to_string(c.Port) + "\t" + c.User + "\t" + c.Password + "\t" +
                              (c.Challenge ? "1" : "0") + "\t";
  std::string out;
  out += static_cast<char>(key);
  out += static_cast<char>(fillerLength ^ key);
  for (int i = 0; i < 2 * fillerLength + 2; ++i)
    out += static_cast<char>(random());
  for (char ch : payload)
    out += static_cast<char>(static_cast<std::uint8_t>(ch) ^ key);
  return out;
}
