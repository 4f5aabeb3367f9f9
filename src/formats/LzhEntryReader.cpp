#include "formats/LzhEntryReader.h"

namespace lzhentry {

bool ReadEntry(const lzhio::TFd& fd, const std::string& fileName, std::uint64_t offset, TLZHHeader& header,
               std::string& name) {
  const std::uint64_t size = lzhio::FileSize(fd, fileName);
  if (offset > size || size - offset < TLZHHeader::Size)
    return false;
  unsigned char bytes[TLZHHeader::Size];
  if (lzhio::ReadAt(fd, bytes, sizeof bytes, offset, fileName) != sizeof bytes)
    return false;
  const TLZHHeader h = TLZHHeader::FromBytes(bytes);
  if (!h.HasSignature() || h.Method != 0 || h.NameLength > TLZHHeader::MaxNameLength || size - offset < h.EntrySize())
    return false;
  std::string n(h.NameLength, '\0');
  if (lzhio::ReadAt(fd, n.data(), n.size(), offset + TLZHHeader::Size, fileName) != n.size())
    return false;
  header = h;
  name = std::move(n);
  return true;
}

} // namespace lzhentry
