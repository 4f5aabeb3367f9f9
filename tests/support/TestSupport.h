#pragma once

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes away.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return FPath; }
  // The path of a file inside the folder, as the program's file names are written (narrow text).
  std::string File(const std::string& name) const { return (FPath / name).string(); }

private:
  std::filesystem::path FPath;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// A local date and time as seconds since the epoch (the way packed-file entries and file
// modification times meet).
std::time_t LocalUnixTime(int year, int month, int day, int hour, int minute, int second);

// Sets an environment variable for the lifetime of the object (nullptr unsets it).
class TEnvOverride {
public:
  TEnvOverride(const char* name, const char* value);
  ~TEnvOverride();
  TEnvOverride(const TEnvOverride&) = delete;
  TEnvOverride& operator=(const TEnvOverride&) = delete;

private:
  std::string FName;
  std::optional<std::string> FOld;
};
