#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <unistd.h>

// One scratch file per fuzzing process, rewritten for every input, for readers that take a
// file name.
struct ScratchFile {
  explicit ScratchFile(const char* prefix) {
    std::string pattern = std::string("/tmp/fuzz-") + prefix + "-XXXXXX";
    Fd = ::mkstemp(pattern.data());
    if (Fd < 0)
      std::abort();
    Name = pattern;
  }
  ~ScratchFile() {
    ::close(Fd);
    ::unlink(Name.c_str());
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  void Write(const std::uint8_t* data, std::size_t size) {
    if (::ftruncate(Fd, 0) != 0 || (size > 0 && ::pwrite(Fd, data, size, 0) != static_cast<ssize_t>(size)))
      std::abort();
  }

  int Fd;
  std::string Name;
};
