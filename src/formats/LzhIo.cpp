#include "formats/LzhIo.h"

#include <algorithm>
#include <cstring>

namespace lzhio {

std::size_t TReadAhead::Read(const TFd& fd, unsigned char* data, std::size_t capacity, std::uint64_t& limit,
                             const std::string& fileName) {
  if (FPos == FLen) {
    // A small entry gets a small buffer.
    if (!FBuffer) {
      FCapacity = static_cast<std::size_t>(std::min<std::uint64_t>(Size, std::max<std::uint64_t>(limit, 1)));
      FBuffer = std::make_unique<unsigned char[]>(FCapacity);
    }
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(FCapacity, limit));
    FPos = 0;
    FLen = want > 0 ? ReadSome(fd, FBuffer.get(), want, fileName) : 0;
    limit -= FLen;
  }
  const std::size_t n = std::min(capacity, FLen - FPos);
  std::memcpy(data, FBuffer.get() + FPos, n);
  FPos += n;
  return n;
}

} // namespace lzhio
