#include "core/Log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "core/Format.h"
#include "core/Paths.h"
#include "formats/Cp1250Utf8.h"

namespace {

void WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return;
    }
    done += static_cast<size_t>(n);
  }
}

} // namespace

TLog::TLog(std::string fileName, bool enabled) : FFileName(std::move(fileName)), FEnabled(enabled) {}

void TLog::SetFileName(std::string fileName) {
  std::lock_guard guard(FLock);
  FFileName = std::move(fileName);
}

std::string TLog::FileName() const {
  std::lock_guard guard(FLock);
  return FFileName;
}

void TLog::SetEnabled(bool enabled) {
  std::lock_guard guard(FLock);
  FEnabled = enabled;
}

bool TLog::Enabled() const {
  std::lock_guard guard(FLock);
  return FEnabled;
}

void TLog::SetClock(TClock clock) {
  std::lock_guard guard(FLock);
  FClock = std::move(clock);
}

void TLog::Write(std::string_view text) noexcept {
  try {
    // The lock is held for the write too, so lines of two threads never interleave.
    std::lock_guard guard(FLock);
    if (!FEnabled || FFileName.empty())
      return;
    const std::string line = FormatLogLine(FClock ? FClock() : Now(), text);
    const int fd = ::open(NativeFileName(FFileName).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
      return;
    WriteAll(fd, line);
    ::close(fd);
  } catch (...) {
    // Out of memory or a clock that throws: the line is lost, the caller carries on.
  }
}

std::string FormatLogLine(TDateTime when, std::string_view text) {
  int year, month, day, hour, minute, second, msec;
  DecodeDate(when, year, month, day);
  DecodeTime(when, hour, minute, second, msec);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02d.%02d.%04d %02d:%02d:%02d : ", day, month, year, hour, minute, second);
  std::string line = stamp;
  line.append(text);
  line += "\r\n";
  return line;
}

TLog& ProgramLog() {
  static TLog log;
  return log;
}

void WriteLog(std::string_view text) noexcept { ProgramLog().Write(text); }

std::string LogParametersText(const std::vector<std::string>& params) {
  std::string result;
  for (const std::string& param : params) {
    result += ' ';
    result += param;
  }
  return result;
}

std::string StartLogText(std::string_view programFile, const std::vector<std::string>& params) {
  return Format(Cz("Start programu %s, parametry:%s"), {programFile, LogParametersText(params)});
}

std::string EndLogText(std::string_view programFile) { return Format(Cz("Konec práce s programem %s"), {programFile}); }
