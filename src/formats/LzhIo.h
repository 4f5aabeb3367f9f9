#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/FileIo.h"

// File access for the packed-file classes: the plain primitives plus a read-ahead buffer.
namespace lzhio {

using namespace fileio;

// Reads a file in large pieces and hands them out in the codec's small ones; never reads
// more than the limit it is given, so an entry's end is respected.
class TReadAhead {
public:
  // Up to `capacity` bytes, at most `limit` counted over all calls since Reset.
  std::size_t Read(const TFd& fd, unsigned char* data, std::size_t capacity, std::uint64_t& limit,
                   const std::string& fileName);
  void Reset() { FPos = FLen = 0; }

private:
  static constexpr std::size_t Size = 256 * 1024;
  std::unique_ptr<unsigned char[]> FBuffer;
  std::size_t FCapacity = 0;
  std::size_t FPos = 0;
  std::size_t FLen = 0;
};

} // namespace lzhio
