#include "core/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "core/Errors.h"
#include "core/Format.h"
#include "core/Paths.h"
#include "formats/Cp1250Utf8.h"

namespace fileio {

TFd& TFd::operator=(TFd&& other) noexcept {
  if (this != &other) {
    if (FFd >= 0)
      ::close(FFd);
    FFd = other.Release();
  }
  return *this;
}

TFd::~TFd() {
  if (FFd >= 0)
    ::close(FFd);
}

void TFd::Close(const std::string& fileName) {
  if (FFd < 0)
    return;
  const int fd = Release();
  if (::close(fd) != 0)
    throw SystemError(fileName, errno);
}

TFd OpenForReading(const std::string& fileName) {
  const int fd = ::open(NativeFileName(fileName).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    throw EFOpenError(Format(Cz("Soubor %s nelze otevřít"), {fileName}));
  TFd result(fd);
  struct stat info {};
  // A folder opens read-only on Linux but is no file to read.
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
    throw EFOpenError(Format(Cz("Soubor %s nelze otevřít"), {fileName}));
  return result;
}

std::uint64_t FileSize(const TFd& fd, const std::string& fileName) {
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0)
    throw SystemError(fileName, errno);
  return static_cast<std::uint64_t>(info.st_size);
}

std::int64_t ModificationTime(const TFd& fd, const std::string& fileName) {
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0)
    throw SystemError(fileName, errno);
  return static_cast<std::int64_t>(info.st_mtime);
}

namespace {

enum class TTransfer { Read, Write };

// Repeats step(done) until size bytes have moved; step gives what ::read, ::pread, ::write or
// ::pwrite gives for the rest after done bytes. A read stops early at the end of the file; a
// write that moves nothing is a failure, never an endless loop.
template <class TStep> std::size_t Transfer(TTransfer kind, std::size_t size, const std::string& fileName, TStep step) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = step(done);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      throw SystemError(fileName, errno);
    }
    if (n == 0) {
      if (kind == TTransfer::Read)
        break;
      throw SystemError(fileName, EIO);
    }
    done += static_cast<std::size_t>(n);
  }
  return done;
}

} // namespace

std::size_t ReadSome(const TFd& fd, void* data, std::size_t size, const std::string& fileName) {
  return Transfer(TTransfer::Read, size, fileName,
                  [&](std::size_t done) { return ::read(fd.Get(), static_cast<char*>(data) + done, size - done); });
}

std::size_t ReadAt(const TFd& fd, void* data, std::size_t size, std::uint64_t offset, const std::string& fileName) {
  return Transfer(TTransfer::Read, size, fileName, [&](std::size_t done) {
    return ::pread(fd.Get(), static_cast<char*>(data) + done, size - done, static_cast<off_t>(offset + done));
  });
}

void Seek(const TFd& fd, std::uint64_t offset, const std::string& fileName) {
  if (::lseek(fd.Get(), static_cast<off_t>(offset), SEEK_SET) < 0)
    throw SystemError(fileName, errno);
}

void WriteAll(const TFd& fd, const void* data, std::size_t size, const std::string& fileName) {
  Transfer(TTransfer::Write, size, fileName,
           [&](std::size_t done) { return ::write(fd.Get(), static_cast<const char*>(data) + done, size - done); });
}

void WriteAt(const TFd& fd, const void* data, std::size_t size, std::uint64_t offset, const std::string& fileName) {
  Transfer(TTransfer::Write, size, fileName, [&](std::size_t done) {
    return ::pwrite(fd.Get(), static_cast<const char*>(data) + done, size - done, static_cast<off_t>(offset + done));
  });
}

TAtomicFile::TAtomicFile(std::string targetName, unsigned newFileMode)
    : FTarget(std::move(targetName)), FNativeTarget(NativeFileName(FTarget)) {
  Create(newFileMode);
}

TAtomicFile::TAtomicFile(TNativePath target, unsigned newFileMode)
    : FTarget(Utf8ToCp1250(target.Path)), FNativeTarget(std::move(target.Path)) {
  Create(newFileMode);
}

void TAtomicFile::Create(unsigned newFileMode) {
  const std::string& native = FNativeTarget;
  std::vector<char> pattern(native.begin(), native.end());
  const char suffix[] = ".tmpXXXXXX";
  pattern.insert(pattern.end(), suffix, suffix + sizeof suffix);
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0)
    throw SystemError(FTarget, errno);
  FFd = TFd(fd);
  FTempPath = pattern.data();
  // mkstemp makes the file private; the result should look like any file the user writes.
  struct stat info {};
  const mode_t mode = ::stat(native.c_str(), &info) == 0 ? (info.st_mode & 07777) : static_cast<mode_t>(newFileMode);
  ::fchmod(fd, mode);
}

TAtomicFile::~TAtomicFile() {
  if (!FTempPath.empty()) {
    FFd = TFd();
    ::unlink(FTempPath.c_str());
  }
}

void TAtomicFile::SetModificationTime(std::int64_t unixTime) {
  FHasTime = true;
  FTime = unixTime;
}

void TAtomicFile::Commit() {
  if (FHasTime) {
    const struct timespec times[2] = {{0, UTIME_NOW}, {static_cast<time_t>(FTime), 0}};
    if (::futimens(FFd.Get(), times) != 0)
      throw SystemError(FTarget, errno);
  }
  // On disk before it replaces anything, so a crash leaves the old file or the whole new one.
  if (::fsync(FFd.Get()) != 0)
    throw SystemError(FTarget, errno);
  FFd.Close(FTarget);
  if (::rename(FTempPath.c_str(), FNativeTarget.c_str()) != 0)
    throw SystemError(FTarget, errno);
  FTempPath.clear();
  // A failure here still leaves a complete file in place, old or new.
  const std::string folder = FileFolder(FNativeTarget);
  if (TFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)); dir.IsOpen())
    ::fsync(dir.Get());
}

namespace {

template <class TName> void WriteWhole(TName fileName, const void* data, std::size_t size, unsigned newFileMode) {
  TAtomicFile file(std::move(fileName), newFileMode);
  WriteAll(file.Fd(), data, size, file.Target());
  file.Commit();
}

} // namespace

void WriteFileAtomically(const std::string& fileName, const void* data, std::size_t size, unsigned newFileMode) {
  WriteWhole(fileName, data, size, newFileMode);
}

void WriteFileAtomically(TNativePath fileName, const void* data, std::size_t size, unsigned newFileMode) {
  WriteWhole(std::move(fileName), data, size, newFileMode);
}

} // namespace fileio
