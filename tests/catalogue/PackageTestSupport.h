#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/LzhEntry.h"
#include "formats/LzhFile.h"
#include "support/TestSupport.h"

namespace packagetest {

// 15.03.2026 10:20:30 in DOS form, the time every entry carries unless told otherwise.
constexpr std::uint16_t kDosDate = (46 << 9) | (3 << 5) | 15;
constexpr std::uint16_t kDosTime = (10 << 11) | (20 << 5) | 15;

// Builds a price-list package entry by entry with the program's own packer; the stored name
// may be anything, folders and ".." included, as a hostile package could hold.
class TPackageBuilder {
public:
  // Returns the entry's offset in the package.
  std::size_t Add(const std::string& storedName, const std::string& content, std::uint16_t dosDate = kDosDate,
                  std::uint16_t dosTime = kDosTime) {
    const std::string plain = FScratch.File("plain");
    const std::string packed = FScratch.File("packed");
    WriteFileBytes(plain, content);
    std::filesystem::remove(packed);
    TFileLZH(plain, true, false, 0, packed).Compress();
    const std::string entry = ReadFileBytes(packed);
    TLZHHeader header = TLZHHeader::FromBytes(reinterpret_cast<const unsigned char*>(entry.data()));
    const std::string stream = entry.substr(header.StreamOffset());
    header.NameLength = static_cast<std::uint16_t>(storedName.size());
    header.ExtraLength = 0;
    header.DosDate = dosDate;
    header.DosTime = dosTime;
    unsigned char bytes[TLZHHeader::Size];
    header.ToBytes(bytes);
    const std::size_t offset = FBytes.size();
    FBytes.append(reinterpret_cast<const char*>(bytes), TLZHHeader::Size);
    FBytes += storedName;
    FBytes += stream;
    return offset;
  }
  std::string& Bytes() { return FBytes; }
  void Write(const std::string& path) const { WriteFileBytes(path, FBytes); }

private:
  TempDir FScratch;
  std::string FBytes;
};

// The names of the files in a folder, sorted.
inline std::vector<std::string> FolderListing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& item : std::filesystem::directory_iterator(folder))
    names.push_back(item.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

} // namespace packagetest
