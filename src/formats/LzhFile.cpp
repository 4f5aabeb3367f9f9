#include "formats/LzhFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/Format.h"
#include "core/Paths.h"
#include "formats/Cp1250Utf8.h"
#include "formats/LzhEntryReader.h"

namespace {

// The most a stream can give per compressed byte: a 60-byte match costs at least 10 bits
// (one for the length, nine for the position).
constexpr std::uint64_t MaxExpansion = 48;

// Output reaches the file in pieces of this size.
constexpr std::size_t OutputChunk = 256 * 1024;

// The name as stored in an entry: the part after the last folder separator.
std::string NameWithoutFolder(const std::string& fileName) {
  const std::size_t slash = fileName.find_last_of("/\\");
  return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

// Reads and checks the entry header at `offset`; a bad one is the codec's format error.
void ReadCheckedHeader(const lzhio::TFd& fd, const std::string& fileName, std::uint64_t offset, TLZHHeader& header,
                       std::string& name) {
  if (!lzhentry::ReadEntry(fd, fileName, offset, header, name))
    throw ELZHException(Format(Cz("Soubor %s nemá správný formát dat"), {fileName}));
  lzhio::Seek(fd, offset + header.StreamOffset(), fileName);
}

} // namespace

// ---------------------------------------------------------------------------------------

TFileLZH::TFileLZH(std::string inFileName, bool withHeader, bool append, std::uint64_t inOffset,
                   std::string outFileName)
    : _LZH(inFileName), FInFileName(std::move(inFileName)), FOutFileName(std::move(outFileName)),
      FWithHeader(withHeader), FAppend(append), FInOffset(inOffset) {
  TFileLZH::OpenInput(FInOffset);
  TFileLZH::OpenOutput();
}

TFileLZH::~TFileLZH() {
  if (!FDone)
    Abandon();
}

void TFileLZH::OpenInput(std::uint64_t offset) {
  FIn = lzhio::OpenForReading(FInFileName);
  FInSize = lzhio::FileSize(FIn, FInFileName);
  FInLeft = offset < FInSize ? FInSize - offset : 0;
  lzhio::Seek(FIn, offset, FInFileName);
}

void TFileLZH::OpenOutput() {
  if (FAppend) {
    const int fd = ::open(NativeFileName(FOutFileName).c_str(), O_WRONLY | O_CLOEXEC);
    if (fd >= 0) {
      FAppendOut = lzhio::TFd(fd);
      const off_t end = ::lseek(fd, 0, SEEK_END);
      if (end < 0)
        throw SystemError(FOutFileName, errno);
      FOutStart = static_cast<std::uint64_t>(end);
      return;
    }
    if (errno != ENOENT)
      throw SystemError(FOutFileName, errno);
  }
  FNewOut = std::make_unique<lzhio::TAtomicFile>(FOutFileName);
  FOutStart = 0;
}

void TFileLZH::ReadHeader() {
  ReadCheckedHeader(FIn, FInFileName, FInOffset, FHeader, FStoredName);
  FInLeft = FHeader.CompressedSize;
  FReadAhead.Reset();
}

void TFileLZH::WriteHeader() {
  FStoredName = NameWithoutFolder(FInFileName);
  if (FStoredName.size() > TLZHHeader::MaxNameLength)
    throw ELZHException(Format(Cz("Název souboru %s je příliš dlouhý"), {FInFileName}));
  FHeader = TLZHHeader();
  const std::uint32_t dos = UnixTimeToDos(static_cast<std::time_t>(lzhio::ModificationTime(FIn, FInFileName)));
  FHeader.DosTime = static_cast<std::uint16_t>(dos);
  FHeader.DosDate = static_cast<std::uint16_t>(dos >> 16);
  FHeader.UnpackedSize = static_cast<std::uint32_t>(FInLeft);
  FHeader.NameLength = static_cast<std::uint16_t>(FStoredName.size());
  unsigned char bytes[TLZHHeader::Size];
  FHeader.ToBytes(bytes);
  FlushOutput(bytes, sizeof bytes);
  FlushOutput(reinterpret_cast<const unsigned char*>(FStoredName.data()), FStoredName.size());
}

void TFileLZH::CompleteHeader() {
  WriteOut();
  const std::uint64_t compressed = FOutWritten - FHeader.StreamOffset();
  if (compressed > 0xffffffffu)
    throw ELZHException(Format(Cz("Soubor %s je příliš velký"), {FInFileName}));
  FHeader.CompressedSize = static_cast<std::uint32_t>(compressed);
  unsigned char bytes[TLZHHeader::Size];
  FHeader.ToBytes(bytes);
  const lzhio::TFd& out = FNewOut ? FNewOut->Fd() : FAppendOut;
  lzhio::WriteAt(out, bytes + 18, 4, FOutStart + 18, FOutFileName);
}

void TFileLZH::FlushOutput(const unsigned char* data, std::size_t size) {
  // Unpacking an entry: a stream that runs past the header's size is damaged; stop before
  // writing what nobody asked for.
  if (FDecompressing && FWithHeader && FOutWritten + size > FHeader.UnpackedSize)
    RaiseFormatError();
  FOutBuffer.insert(FOutBuffer.end(), data, data + size);
  FOutWritten += size;
  if (FOutBuffer.size() >= OutputChunk)
    WriteOut();
}

void TFileLZH::WriteOut() {
  lzhio::WriteAll(FNewOut ? FNewOut->Fd() : FAppendOut, FOutBuffer.data(), FOutBuffer.size(), FOutFileName);
  FOutBuffer.clear();
}

std::size_t TFileLZH::FillInput(unsigned char* data, std::size_t capacity) {
  return FReadAhead.Read(FIn, data, capacity, FInLeft, FInFileName);
}

void TFileLZH::Compress() {
  if (FInLeft > 0xffffffffu)
    throw ELZHException(Format(Cz("Soubor %s je příliš velký"), {FInFileName}));
  if (FWithHeader)
    WriteHeader();
  Encode(static_cast<std::uint32_t>(FInLeft));
  if (FWithHeader)
    CompleteHeader();
  Finish();
}

void TFileLZH::Decompress() {
  FDecompressing = true;
  if (FWithHeader)
    ReadHeader();
  Decode();
  if (FWithHeader) {
    // The stream's own count must agree with the header; otherwise the entry is damaged.
    if (FOutWritten != FHeader.UnpackedSize)
      RaiseFormatError();
    std::time_t stamp;
    if (DosToUnixTime(FHeader.DosDate, FHeader.DosTime, stamp)) {
      if (FNewOut) {
        FNewOut->SetModificationTime(stamp);
      } else {
        const struct timespec times[2] = {{0, UTIME_NOW}, {stamp, 0}};
        if (::futimens(FAppendOut.Get(), times) != 0)
          throw SystemError(FOutFileName, errno);
      }
    }
  }
  Finish();
}

void TFileLZH::Finish() {
  WriteOut();
  if (FNewOut)
    FNewOut->Commit();
  else
    FAppendOut.Close(FOutFileName);
  FDone = true;
}

void TFileLZH::Abandon() noexcept {
  // A partly added entry must not stay at the end of a package.
  if (FAppendOut.IsOpen())
    (void)::ftruncate(FAppendOut.Get(), static_cast<off_t>(FOutStart));
  FNewOut.reset();
}

// ---------------------------------------------------------------------------------------

TMemoryLZH::TMemoryLZH(std::string inFileName, bool withHeader, std::uint64_t inOffset)
    : _LZH(inFileName), FInFileName(std::move(inFileName)), FWithHeader(withHeader), FInOffset(inOffset) {
  TMemoryLZH::OpenInput(FInOffset);
}

void TMemoryLZH::OpenInput(std::uint64_t offset) {
  FIn = lzhio::OpenForReading(FInFileName);
  FInSize = lzhio::FileSize(FIn, FInFileName);
  FInLeft = offset < FInSize ? FInSize - offset : 0;
  lzhio::Seek(FIn, offset, FInFileName);
}

void TMemoryLZH::ReadHeader() {
  ReadCheckedHeader(FIn, FInFileName, FInOffset, FHeader, FStoredName);
  FInLeft = FHeader.CompressedSize;
  FReadAhead.Reset();
}

void TMemoryLZH::FlushOutput(const unsigned char* data, std::size_t size) {
  if (FWithHeader && FBlock.size() + size > FHeader.UnpackedSize)
    RaiseFormatError();
  FBlock.insert(FBlock.end(), data, data + size);
}

std::size_t TMemoryLZH::FillInput(unsigned char* data, std::size_t capacity) {
  return FReadAhead.Read(FIn, data, capacity, FInLeft, FInFileName);
}

std::vector<unsigned char> TMemoryLZH::DecompressToMemory() {
  FBlock.clear();
  if (FWithHeader) {
    ReadHeader();
    // An honest header gets its block in one piece; a forged size no more than the
    // compressed bytes can yield.
    FBlock.reserve(
        static_cast<std::size_t>(std::min<std::uint64_t>(FHeader.UnpackedSize, MaxExpansion * FHeader.CompressedSize)));
  }
  Decode();
  if (FWithHeader && FBlock.size() != FHeader.UnpackedSize)
    RaiseFormatError();
  return std::move(FBlock);
}
