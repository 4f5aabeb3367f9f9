// The folders of the settings: the data and documents folders, the folder rule of the "Files"
// keys and where this machine keeps them.

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "core/AppSettings.h"
#include "core/Paths.h"
#include "formats/Cp1250Utf8.h"

namespace {

bool HasDriveLetter(const std::string& path) {
  return path.size() >= 2 && path[1] == ':' &&
         ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// "", "/", "\", "C:", "C:\": taken as they are.
bool IsRootOrEmpty(const std::string& folder) {
  if (folder.empty() || (folder.size() == 1 && IsSeparator(folder[0])))
    return true;
  return HasDriveLetter(folder) && (folder.size() == 2 || (folder.size() == 3 && IsSeparator(folder[2])));
}

bool IsFolder(const std::string& nativeName) {
  struct stat st {};
  return ::stat(nativeName.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string HomeFolder() {
  if (std::string home = Environment("HOME"); !home.empty())
    return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
    return pw->pw_dir;
  return "/";
}

std::string AbsoluteOr(const std::string& value, const std::string& fallback) {
  return !value.empty() && value[0] == '/' ? value : fallback;
}

// The documents folder as xdg-user-dir reports it: XDG_DOCUMENTS_DIR of user-dirs.dirs,
// "$HOME/..." or an absolute path in double quotes.
std::string DocumentsFolderOfThisUser(const std::string& home) {
  const std::string configHome = AbsoluteOr(Environment("XDG_CONFIG_HOME"), home + "/.config");
  std::ifstream file(configHome + "/user-dirs.dirs");
  std::string line;
  const std::string prefix = "XDG_DOCUMENTS_DIR=\"";
  while (std::getline(file, line)) {
    if (line.rfind(prefix, 0) != 0)
      continue;
    const size_t end = line.find('"', prefix.size());
    if (end == std::string::npos)
      continue;
    std::string value = line.substr(prefix.size(), end - prefix.size());
    if (value.rfind("$HOME", 0) == 0)
      value = home + value.substr(5);
    if (!value.empty() && value[0] == '/' && value != home && value != home + "/")
      return value;
  }
  return home + "/Documents";
}

std::string FirstConfigDir() {
  const std::string dirs = Environment("XDG_CONFIG_DIRS");
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t colon = dirs.find(':', start);
    const std::string entry = dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    if (!entry.empty() && entry[0] == '/')
      return entry;
    if (colon == std::string::npos)
      break;
    start = colon + 1;
  }
  return "/etc/xdg";
}

} // namespace

std::string TSettingsEnvironment::DataFolder() const { return JoinPath(AppDataFolder, ProgramName); }

std::string TSettingsEnvironment::OrdersFolder() const { return JoinPath(DocumentsFolder, ProgramName); }

TSettingsEnvironment TSettingsEnvironment::FromSystem(const std::string& programName) {
  const std::string home = HomeFolder();
  TSettingsEnvironment env;
  env.ProgramName = programName;
  env.ProgramFolder = FileFolder(ThisProgramFile());
  env.AppDataFolder = Utf8ToCp1250(AbsoluteOr(Environment("XDG_DATA_HOME"), home + "/.local/share"));
  env.DocumentsFolder = Utf8ToCp1250(DocumentsFolderOfThisUser(home));
  env.SystemConfigFolder = Utf8ToCp1250(FirstConfigDir());
  env.MailClientFolder = Utf8ToCp1250(home + "/.thunderbird");
  return env;
}

bool MakeFolderLevel(const std::string& folder) {
  if (folder.empty() || HasDriveLetter(folder))
    return false;
  std::string native = NativeFileName(folder);
  while (native.size() > 1 && native.back() == '/')
    native.pop_back();
  if (IsFolder(native))
    return true;
  return ::mkdir(native.c_str(), 0777) == 0 || (errno == EEXIST && IsFolder(native));
}

std::string ApplyFolderRule(const std::string& path, bool isFolder, const std::string& fallbackFolder) {
  const size_t separator = path.find_last_of("\\/");
  std::string folder;
  std::string name = path;
  if (isFolder) {
    folder = path;
  } else if (separator != std::string::npos) {
    folder = path.substr(0, separator == 0 ? 1 : separator);
    name = path.substr(separator + 1);
  } else if (HasDriveLetter(path)) {
    folder = path.substr(0, 2); // "C:KARTY.DBF"
  }
  if (IsRootOrEmpty(folder) || MakeFolderLevel(folder))
    return path;
  return isFolder ? fallbackFolder : JoinPath(fallbackFolder, name);
}
