#include "core/SettingsStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "core/Errors.h"
#include "core/FileIo.h"
#include "core/Format.h"
#include "core/Numbers.h"
#include "core/Paths.h"
#include "core/SettingsFile.h"
#include "formats/Cp1250Utf8.h"

namespace {

const char kVendorFolder[] = "T.V.X.";
// A settings file is a few kilobytes; anything this big is not one.
constexpr off_t kMaxFileSize = 16 * 1024 * 1024;

std::string SystemText(int errnoValue) { return std::strerror(errnoValue); }

// The name in a message: native names are UTF-8, messages code page 1250.
std::string ShownName(const std::string& nativeName) { return Utf8ToCp1250(nativeName); }

enum class TReadResult { Missing, Read, Failed };

// Reads the whole file; on failure err is the errno (EFBIG for an oversized one).
TReadResult ReadWholeFile(const std::string& fileName, std::string& text, int& err) {
  text.clear();
  fileio::TFd fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Get() < 0) {
    err = errno;
    return err == ENOENT || err == ENOTDIR ? TReadResult::Missing : TReadResult::Failed;
  }
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) {
    err = errno;
    return TReadResult::Failed;
  }
  if (!S_ISREG(st.st_mode)) {
    err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return TReadResult::Failed;
  }
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      err = errno;
      return TReadResult::Failed;
    }
    if (n == 0)
      break;
    if (text.size() + static_cast<size_t>(n) > static_cast<size_t>(kMaxFileSize)) {
      err = EFBIG;
      return TReadResult::Failed;
    }
    text.append(buffer, static_cast<size_t>(n));
  }
  return TReadResult::Read;
}

// Opens the lock file beside the settings file and takes the exclusive lock; -1 with errno
// set when that is not possible.
int TakeLock(const std::string& lockName) {
  const int fd = ::open(lockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0)
    return -1;
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      const int saved = errno;
      ::close(fd);
      errno = saved;
      return -1;
    }
  }
  return fd;
}

std::string FolderOf(const std::string& fileName) {
  const size_t slash = fileName.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : fileName.substr(0, slash);
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home)
    return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
    return pw->pw_dir;
  return ".";
}

void ValidateProgramName(const std::string& program) {
  const bool bad = program.empty() || program == "." || program == ".." ||
                   program.find_first_of(std::string_view("/\\\0", 3)) != std::string::npos;
  if (bad)
    throw Exception(Format(Cz("Neplatný název programu pro nastavení: \"%s\""), {program}));
}

} // namespace

std::string UserSettingsFolder() {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  const std::string base = configHome && configHome[0] == '/' ? configHome : HomeFolder() + "/.config";
  return base + "/" + kVendorFolder;
}

std::string SystemSettingsFolder() {
  std::string first;
  if (const char* dirs = std::getenv("XDG_CONFIG_DIRS")) {
    std::string_view rest(dirs);
    while (!rest.empty() && first.empty()) {
      const size_t colon = rest.find(':');
      const std::string_view entry = rest.substr(0, colon);
      if (!entry.empty() && entry.front() == '/')
        first = entry;
      rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
  }
  return (first.empty() ? std::string("/etc/xdg") : first) + "/" + kVendorFolder;
}

TSettingsStore OpenSettingsKey(const std::string& program) {
  TSettingsStore store(program, UserSettingsFolder(), SystemSettingsFolder());
  store.Load();
  return store;
}

bool TryDecodeSettingsInteger(std::string_view text, int& value) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ')
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+'))
    negative = text[i++] == '-';
  if (i == text.size())
    return false;
  long long magnitude = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9')
      return false;
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > static_cast<long long>(INT_MAX) + 1)
      return false;
  }
  const long long result = negative ? -magnitude : magnitude;
  if (result > INT_MAX)
    return false;
  value = static_cast<int>(result);
  return true;
}

TSettingsStore::TSettingsStore(std::string program, std::string userFolder, std::string systemFolder)
    : FProgram(std::move(program)) {
  ValidateProgramName(FProgram);
  const std::string fileName = NativeFileName(FProgram) + ".ini";
  FFileName = userFolder + "/" + fileName;
  FSystemFileName = systemFolder + "/" + fileName;
}

std::string TSettingsStore::RootKey() const { return "Software\\T.V.X.\\" + FProgram; }

void TSettingsStore::Load() {
  FUser.Clear();
  FSystem.Clear();
  FLoadProblem.clear();
  FBackupName.clear();
  FMoveAsidePending = false;
  FModified = false;
  try {
    // The presets belong to the administrator: a bad file there is ignored, never moved.
    std::string text;
    int err = 0;
    if (ReadWholeFile(FSystemFileName, text, err) == TReadResult::Read)
      ParseSettingsText(text, FSystem);
  } catch (...) {
    FSystem.Clear();
  }
  try {
    LoadUser();
  } catch (...) {
    FUser.Clear();
    if (FLoadProblem.empty())
      FLoadProblem = Format(Cz("Soubor nastavení %s nelze načíst; platí výchozí hodnoty."), {ShownName(FFileName)});
  }
}

void TSettingsStore::LoadUser() {
  std::string text;
  std::string problem;
  int err = 0;
  TReadResult result = ReadWholeFile(FFileName, text, err);
  if (result == TReadResult::Missing || (result == TReadResult::Read && ParseSettingsText(text, FUser, &problem)))
    return;

  // Look again under the lock: another instance may just have replaced the file, and no one
  // may replace it while it is being moved aside. Without a lock (a read-only folder) the
  // file cannot be moved anyway.
  fileio::TFd lock(TakeLock(FFileName + ".lock"));
  result = ReadWholeFile(FFileName, text, err);
  if (result == TReadResult::Missing || (result == TReadResult::Read && ParseSettingsText(text, FUser, &problem)))
    return;
  const std::string reason = result == TReadResult::Failed ? SystemText(err) : problem;
  const std::string pattern = result == TReadResult::Failed
                                  ? Cz("Soubor nastavení %s nelze přečíst (%s); platí výchozí hodnoty")
                                  : Cz("Soubor nastavení %s je poškozený (%s); platí výchozí hodnoty");
  FLoadProblem = Format(pattern, {ShownName(FFileName), reason});
  FUser.Clear();
  FMoveAsidePending = true;
  MoveAside();
  FLoadProblem += FMoveAsidePending ? Cz(", soubor nelze odložit stranou a nebude přepsán.")
                                    : Format(Cz(", původní soubor je uložen jako %s."), {ShownName(FBackupName)});
}

// Renames the bad user's file to "<file>.bad-YYYYmmdd-HHMMSS" (with "-2", "-3"... when that
// name is taken). The caller holds the lock. Clears FMoveAsidePending on success; returns the
// errno of the failure, 0 on success.
int TSettingsStore::MoveAside() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::string base = FFileName + ".bad-" + stamp;
  for (int attempt = 1; attempt <= 100; ++attempt) {
    const std::string candidate = attempt == 1 ? base : base + "-" + std::to_string(attempt);
    struct stat st {};
    if (::lstat(candidate.c_str(), &st) == 0)
      continue;
    if (::rename(FFileName.c_str(), candidate.c_str()) != 0)
      return errno;
    FMoveAsidePending = false;
    FBackupName = candidate;
    return 0;
  }
  return EEXIST;
}

void TSettingsStore::Save() {
  const std::string folder = FolderOf(FFileName);
  auto fail = [&](int err) {
    return EInOutError(Format(Cz("Nastavení nelze uložit do souboru %s: %s"), {ShownName(FFileName), SystemText(err)}));
  };
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec)
    throw fail(ec.value());

  fileio::TFd lock(TakeLock(FFileName + ".lock"));
  if (lock.Get() < 0)
    throw fail(errno);
  if (FMoveAsidePending) {
    // The bad file must not be overwritten blindly.
    if (const int err = MoveAside(); err && err != ENOENT)
      throw fail(err);
    FMoveAsidePending = false;
  }

  const std::string text = FormatSettingsText(FUser);
  try {
    // Private like the rest of the user's settings: it holds the scrambled passwords.
    fileio::TAtomicFile file(fileio::TNativePath{FFileName}, 0600);
    fileio::WriteAll(file.Fd(), text.data(), text.size(), file.Target());
    file.Commit();
  } catch (const EInOutError& error) {
    throw fail(error.ErrorCode);
  }
  FModified = false;
}

bool TSettingsStore::ValueExists(std::string_view section, std::string_view name) const {
  return FUser.Find(section, name) || FSystem.Find(section, name);
}

bool TSettingsStore::TryReadString(std::string_view section, std::string_view name, std::string& text) const {
  const std::string* found = FUser.Find(section, name);
  if (!found)
    found = FSystem.Find(section, name);
  if (!found)
    return false;
  text = *found;
  return true;
}

std::string TSettingsStore::ReadString(std::string_view section, std::string_view name,
                                       std::string_view defaultValue) const {
  std::string text;
  return TryReadString(section, name, text) ? text : std::string(defaultValue);
}

int TSettingsStore::ReadInteger(std::string_view section, std::string_view name, int defaultValue) const {
  std::string text;
  int value = 0;
  return TryReadString(section, name, text) && TryDecodeSettingsInteger(text, value) ? value : defaultValue;
}

bool TSettingsStore::ReadBool(std::string_view section, std::string_view name, bool defaultValue) const {
  return ReadInteger(section, name, defaultValue ? 1 : 0) != 0;
}

double TSettingsStore::ReadNumber(std::string_view section, std::string_view name, double defaultValue) const {
  std::string text;
  double value = 0;
  return TryReadString(section, name, text) && TextToNumber(text, value) ? value : defaultValue;
}

void TSettingsStore::WriteString(std::string_view section, std::string_view name, std::string_view text) {
  FUser.Set(section, name, text);
  FModified = true;
}

void TSettingsStore::WriteInteger(std::string_view section, std::string_view name, int value) {
  WriteString(section, name, std::to_string(value));
}

void TSettingsStore::WriteBool(std::string_view section, std::string_view name, bool value) {
  WriteString(section, name, value ? "1" : "0");
}

bool TSettingsStore::DeleteValue(std::string_view section, std::string_view name) {
  const bool deleted = FUser.Delete(section, name);
  FModified = FModified || deleted;
  return deleted;
}

bool TSettingsStore::EraseSection(std::string_view section) {
  const bool erased = FUser.Erase(section);
  FModified = FModified || erased;
  return erased;
}

bool TSettingsStore::SectionExists(std::string_view section) const {
  return FUser.SectionExists(section) || FSystem.SectionExists(section);
}

namespace {

void AddMissing(std::vector<std::string>& names, const std::vector<std::string>& more) {
  for (const std::string& n : more)
    if (std::none_of(names.begin(), names.end(), [&](const std::string& m) { return SameSettingsName(m, n); }))
      names.push_back(n);
}

std::vector<std::string> ValueNamesOf(const TSettingsData& data, std::string_view section) {
  std::vector<std::string> names;
  if (const TSettingsData::TSection* s = data.FindSection(section))
    for (const auto& value : s->Values)
      names.push_back(value.first);
  return names;
}

std::vector<std::string> SectionPathsOf(const TSettingsData& data) {
  std::vector<std::string> paths;
  for (const TSettingsData::TSection& s : data.Sections())
    if (!s.Path.empty() || !s.Values.empty())
      paths.push_back(s.Path);
  return paths;
}

} // namespace

std::vector<std::string> TSettingsStore::GetValueNames(std::string_view section) const {
  std::vector<std::string> names = ValueNamesOf(FUser, section);
  AddMissing(names, ValueNamesOf(FSystem, section));
  return names;
}

std::vector<std::string> TSettingsStore::GetSubsectionNames(std::string_view section) const {
  std::vector<std::string> names = FUser.SubsectionNames(section);
  AddMissing(names, FSystem.SubsectionNames(section));
  return names;
}

std::vector<std::string> TSettingsStore::GetSectionPaths() const {
  std::vector<std::string> paths = SectionPathsOf(FUser);
  AddMissing(paths, SectionPathsOf(FSystem));
  return paths;
}
