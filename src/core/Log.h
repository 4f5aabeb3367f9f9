#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/DateTime.h"

// The program log: a text file in code page 1250 to which every part of the program appends
// one line per event,
//   "dd.mm.yyyy hh:nn:ss : text" CR LF
// with the local time of the call. A text holding line breaks is written as it stands, so it
// spans several physical lines.
//
// Writing never fails visibly: a log that is off, an empty file name, a missing folder, a file
// or folder without write rights, a full disk - each means the line is lost, silently. The
// file is created when missing (never its folder) and otherwise appended to; each line goes
// out in one write() on a file opened for appending, so nothing is cached between calls and a
// crash loses at most the line being written.
class TLog {
public:
  using TClock = std::function<TDateTime()>;

  // An empty file name: nothing is written until one is set.
  TLog() = default;
  explicit TLog(std::string fileName, bool enabled = true);
  TLog(const TLog&) = delete;
  TLog& operator=(const TLog&) = delete;

  // The log file as the settings hold it (code page 1250, "\" allowed as folder separator).
  void SetFileName(std::string fileName);
  std::string FileName() const;
  // Logging off: Write does nothing.
  void SetEnabled(bool enabled);
  bool Enabled() const;
  // Where the time stamp comes from; an empty clock restores the system's local time (Now).
  void SetClock(TClock clock);

  // Appends one line (text in code page 1250). Never throws.
  void Write(std::string_view text) noexcept;

private:
  mutable std::mutex FLock;
  std::string FFileName;
  bool FEnabled = true;
  TClock FClock;
};

// "dd.mm.yyyy hh:nn:ss : text" followed by CR LF, for the given moment.
std::string FormatLogLine(TDateTime when, std::string_view text);

// The log of the process. Starts with no file name (so writes nothing) until the settings
// are loaded and name the file.
TLog& ProgramLog();

// Appends one line to ProgramLog(). Never throws.
void WriteLog(std::string_view text) noexcept;

// The program's parameters as the start line shows them: each preceded by one space, empty
// when there are none.
std::string LogParametersText(const std::vector<std::string>& params);
// "Start programu <program file>, parametry: <p1> <p2>..." (code page 1250).
std::string StartLogText(std::string_view programFile, const std::vector<std::string>& params);
// "Konec práce s programem <program file>" (code page 1250).
std::string EndLogText(std::string_view programFile);
