#include "formats/LzhEntry.h"

#include <cstring>

#include "core/DateTime.h"
#include "formats/LzhEntryReader.h"
#include "formats/LzhIo.h"

namespace {

std::uint16_t Get16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

std::uint32_t Get32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void Put16(unsigned char* p, std::uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}

void Put32(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; i++)
    p[i] = static_cast<unsigned char>(v >> (8 * i));
}

} // namespace

TLZHHeader TLZHHeader::FromBytes(const unsigned char* b) {
  TLZHHeader h;
  std::memcpy(h.Signature, b, 4);
  h.Reserved1 = Get32(b + 4);
  h.Method = Get16(b + 8);
  h.DosTime = Get16(b + 10);
  h.DosDate = Get16(b + 12);
  h.Reserved2 = Get32(b + 14);
  h.CompressedSize = Get32(b + 18);
  h.UnpackedSize = Get32(b + 22);
  h.NameLength = Get16(b + 26);
  h.ExtraLength = Get16(b + 28);
  return h;
}

void TLZHHeader::ToBytes(unsigned char* b) const {
  std::memcpy(b, Signature, 4);
  Put32(b + 4, Reserved1);
  Put16(b + 8, Method);
  Put16(b + 10, DosTime);
  Put16(b + 12, DosDate);
  Put32(b + 14, Reserved2);
  Put32(b + 18, CompressedSize);
  Put32(b + 22, UnpackedSize);
  Put16(b + 26, NameLength);
  Put16(b + 28, ExtraLength);
}

bool TLZHHeader::HasSignature() const { return std::memcmp(Signature, "TVX.", 4) == 0; }

std::uint32_t UnixTimeToDos(std::time_t unixTime) {
  struct tm t {};
  if (!localtime_r(&unixTime, &t) || t.tm_year < 80)
    return 1u << 21 | 1u << 16; // 1 January 1980 00:00:00
  if (t.tm_year > 207)
    return 127u << 25 | 12u << 21 | 31u << 16 | 23u << 11 | 59u << 5 | 29u;
  const auto date = static_cast<std::uint32_t>((t.tm_year - 80) << 9 | (t.tm_mon + 1) << 5 | t.tm_mday);
  const auto time = static_cast<std::uint32_t>(t.tm_hour << 11 | t.tm_min << 5 | t.tm_sec / 2);
  return date << 16 | time;
}

bool DosToUnixTime(std::uint16_t dosDate, std::uint16_t dosTime, std::time_t& result) {
  const int day = dosDate & 31;
  const int month = (dosDate >> 5) & 15;
  const int year = 1980 + (dosDate >> 9);
  const int second = (dosTime & 31) * 2;
  const int minute = (dosTime >> 5) & 63;
  const int hour = dosTime >> 11;
  if (!IsValidDate(year, month, day) || hour > 23 || minute > 59 || second > 59)
    return false;
  struct tm t {};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  const std::time_t value = mktime(&t);
  if (value == static_cast<std::time_t>(-1))
    return false;
  result = value;
  return true;
}

bool ReadEntryInfo(const std::string& fileName, std::uint64_t offset, TLZHHeader& header, std::string& name) {
  const lzhio::TFd fd = lzhio::OpenForReading(fileName);
  return lzhentry::ReadEntry(fd, fileName, offset, header, name);
}

bool IsPackedFile(const std::string& fileName) {
  TLZHHeader header;
  std::string name;
  return ReadEntryInfo(fileName, 0, header, name);
}
