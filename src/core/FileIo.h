#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Plain POSIX file access. File names are the program's own (code page 1250, "\" allowed);
// every failure is raised: EFOpenError "Soubor %s nelze otevřít" when an input cannot be
// opened, EInOutError (SystemError) for the rest.
namespace fileio {

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

// A new file written beside its target and put in the target's place only by Commit: until
// then an earlier file of that name stays as it was, and a file abandoned without Commit is
// removed. The new file takes the permissions of the file it replaces, or newFileMode when
// there is none.
// A file name already in the system's form (UTF-8, "/"), for files the program did not name in
// code page 1250.
struct TNativePath {
  std::string Path;
};

class TAtomicFile {
public:
  explicit TAtomicFile(std::string targetName, unsigned newFileMode = 0644);
  TAtomicFile(TNativePath target, unsigned newFileMode = 0644);
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;
  ~TAtomicFile();

  const TFd& Fd() const { return FFd; }
  // The target's name for messages (code page 1250).
  const std::string& Target() const { return FTarget; }
  // The temporary file's native path, for writers that open the file by name themselves.
  const std::string& TempPath() const { return FTempPath; }
  // Sets the modification time (seconds since the epoch) the file will carry.
  void SetModificationTime(std::int64_t unixTime);
  // Flushes, closes and renames the file over the target, then makes the rename durable.
  void Commit();

private:
  void Create(unsigned newFileMode);

  std::string FTarget; // for messages, code page 1250
  std::string FNativeTarget;
  std::string FTempPath; // native path
  TFd FFd;
  bool FHasTime = false;
  std::int64_t FTime = 0;
};

// Writes a whole file through TAtomicFile.
void WriteFileAtomically(const std::string& fileName, const void* data, std::size_t size, unsigned newFileMode = 0644);
void WriteFileAtomically(TNativePath fileName, const void* data, std::size_t size, unsigned newFileMode = 0644);

// The file's modification time (seconds since the epoch).
std::int64_t ModificationTime(const TFd& fd, const std::string& fileName);

} // namespace fileio
