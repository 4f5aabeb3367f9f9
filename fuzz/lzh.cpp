// Packed files and bare LZH streams from hostile bytes: every entry ReadEntryInfo accepts is
// unpacked into memory (the first also to a file), and the whole input is decoded as a bare
// stream. Anything but the program's own errors is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "core/Errors.h"
#include "formats/LzhCodec.h"
#include "formats/LzhEntry.h"
#include "formats/LzhFile.h"

namespace {

std::string ScratchName(const char* what) {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz-lzh-" + std::to_string(getpid()) + what;
}

void WriteScratch(const std::string& path, const std::uint8_t* data, std::size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f)
    std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size)
    std::abort();
  std::fclose(f);
}

// The scratch files of this process, removed when it ends.
struct TScratch {
  const std::string Input = ScratchName(".lzh");
  const std::string Output = ScratchName(".out");
  ~TScratch() {
    std::remove(Input.c_str());
    std::remove(Output.c_str());
  }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const TScratch scratch;
  const std::string& input = scratch.Input;
  const std::string& output = scratch.Output;
  WriteScratch(input, data, size);

  std::uint64_t offset = 0;
  for (int entry = 0; entry < 64 && offset < size; entry++) {
    TLZHHeader header;
    std::string name;
    if (!ReadEntryInfo(input, offset, header, name))
      break;
    try {
      const std::vector<unsigned char> bytes = TMemoryLZH(input, true, offset).DecompressToMemory();
      if (bytes.size() != header.UnpackedSize)
        std::abort();
    } catch (const ELZHException&) {
    }
    if (entry == 0) {
      try {
        TFileLZH(input, true, false, offset, output).Decompress();
      } catch (const ELZHException&) {
      }
    }
    offset += header.EntrySize();
  }

  try {
    LzhDecodeBytes(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz");
  } catch (const ELZHException&) {
  }
  return 0;
}
