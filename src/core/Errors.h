#pragma once

#include <stdexcept>
#include <string>

// Base of the program's own failures. The message is code page 1250 text meant for the
// user (the command that started the operation logs it and shows it).
class Exception : public std::runtime_error {
public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

// An operating-system error while reading or writing a file; carries the system's text.
class EInOutError : public Exception {
public:
  using Exception::Exception;
  EInOutError(const std::string& message, int errorCode) : Exception(message), ErrorCode(errorCode) {}
  // The errno behind the failure, 0 when it was not a system call's.
  int ErrorCode = 0;
};

// A file that cannot be opened: "Soubor %s nelze otevřít".
class EFOpenError : public EInOutError {
public:
  using EInOutError::EInOutError;
};

// Builds the EInOutError for a failed system call on a file: the system's text for errno,
// followed by the file name.
EInOutError SystemError(const std::string& fileName, int errnoValue);
