#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Plain POSIX file access for the packed-file classes. File names are the program's own
// (code page 1250, "\" allowed); every failure is raised: EFOpenError "Soubor %s nelze
// otevřít" when an input cannot be opened, EInOutError (SystemError) for the rest.
namespace lzhio {

// An open file descriptor, closed when the object goes away.
class TFd {
public:
  TFd() = default;
  explicit TFd(int fd) : FFd(fd) {}
  TFd(TFd&& other) noexcept : FFd(other.Release()) {}
  TFd& operator=(TFd&& other) noexcept;
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  ~TFd();

  int Get() const { return FFd; }
  bool IsOpen() const { return FFd >= 0; }
  int Release() {
    const int fd = FFd;
    FFd = -1;
    return fd;
  }
  // Closes and reports a failed close (the last chance to see a write error).
  void Close(const std::string& fileName);

private:
  int FFd = -1;
};

// Opens an existing file read-only.
TFd OpenForReading(const std::string& fileName);
std::uint64_t FileSize(const TFd& fd, const std::string& fileName);
// Reads up to `size` bytes at the current position; fewer only at the end of the file.
std::size_t ReadSome(const TFd& fd, void* data, std::size_t size, const std::string& fileName);
// Reads up to `size` bytes at `offset`; fewer only at the end of the file.
std::size_t ReadAt(const TFd& fd, void* data, std::size_t size, std::uint64_t offset, const std::string& fileName);
void Seek(const TFd& fd, std::uint64_t offset, const std::string& fileName);
void WriteAll(const TFd& fd, const void* data, std::size_t size, const std::string& fileName);
void WriteAt(const TFd& fd, const void* data, std::size_t size, std::uint64_t offset, const std::string& fileName);

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

// A new file written beside its target and put in the target's place only by Commit: until
// then an earlier file of that name stays as it was, and a file abandoned without Commit is
// removed.
class TAtomicFile {
public:
  explicit TAtomicFile(std::string targetName);
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;
  ~TAtomicFile();

  const TFd& Fd() const { return FFd; }
  // Sets the modification time (seconds since the epoch) the file will carry.
  void SetModificationTime(std::int64_t unixTime);
  // Flushes, closes and renames the file over the target.
  void Commit();

private:
  std::string FTarget;
  std::string FTempPath; // native path
  TFd FFd;
  bool FHasTime = false;
  std::int64_t FTime = 0;
};

// The file's modification time (seconds since the epoch).
std::int64_t ModificationTime(const TFd& fd, const std::string& fileName);

} // namespace lzhio
