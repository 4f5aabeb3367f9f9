#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

// The 30-byte header in front of each entry of a packed file (all numbers little-endian):
// signature "TVX.", 4 zero bytes, method (2, always 0), DOS time and date (2 + 2), 4 zero
// bytes, compressed size (4), unpacked size (4), name length (2), extra length (2); then the
// name (code page 1250, no folder), the extra field and the compressed stream. The next entry
// starts right after the stream.
struct TLZHHeader {
  static constexpr std::size_t Size = 30;
  static constexpr std::size_t MaxNameLength = 255;

  char Signature[4] = {'T', 'V', 'X', '.'};
  std::uint32_t Reserved1 = 0;
  std::uint16_t Method = 0;
  std::uint16_t DosTime = 0; // hour << 11 | minute << 5 | second / 2
  std::uint16_t DosDate = 0; // (year - 1980) << 9 | month << 5 | day
  std::uint32_t Reserved2 = 0;
  std::uint32_t CompressedSize = 0;
  std::uint32_t UnpackedSize = 0;
  std::uint16_t NameLength = 0;
  std::uint16_t ExtraLength = 0;

  static TLZHHeader FromBytes(const unsigned char* bytes); // reads Size bytes
  void ToBytes(unsigned char* bytes) const;                // writes Size bytes

  bool HasSignature() const;
  // Offset of the stream from the start of the entry, and the whole entry's length.
  std::uint64_t StreamOffset() const { return Size + NameLength + ExtraLength; }
  std::uint64_t EntrySize() const { return StreamOffset() + CompressedSize; }
};

// Local date and time in DOS form (time in the low 16 bits, date in the high 16 bits);
// moments before 1980 give 1 January 1980, after 2107 the last day of 2107.
std::uint32_t UnixTimeToDos(std::time_t unixTime);
// Local date and time of a DOS date and time; false for an impossible date or time.
bool DosToUnixTime(std::uint16_t dosDate, std::uint16_t dosTime, std::time_t& result);

// Whether a valid entry starts at `offset` of the file: the file holds its 30-byte header,
// the signature matches, the method is 0, the name is at most 255 bytes and the file holds
// the whole entry. On success fills header and name (code page 1250). Raises EFOpenError only
// when the file cannot be opened; everything else is a plain false.
bool ReadEntryInfo(const std::string& fileName, std::uint64_t offset, TLZHHeader& header, std::string& name);

// A packed file: a valid entry at offset 0.
bool IsPackedFile(const std::string& fileName);
