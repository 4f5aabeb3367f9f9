// The first-run import: the supplier ships an ini file with the program; its values are
// copied once into the settings.

#include <sys/stat.h>

#include <fstream>
#include <set>

#include "core/AppSettings.h"
#include "core/Paths.h"
#include "core/SettingsStore.h"
#include "formats/CodePages.h"

namespace {

// A shipped ini file is a few kilobytes; anything this large is not one.
constexpr std::streamsize kMaxIniSize = 4 * 1024 * 1024;

bool IsRegularFile(const std::string& nativeName) {
  struct stat st {};
  return ::stat(nativeName.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Trim(const std::string& text) {
  const size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos)
    return {};
  return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

// As the ini-file services read a value: one pair of enclosing quotes is dropped.
std::string Unquote(const std::string& value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

bool ReadSmallFile(const std::string& nativeName, std::string& bytes) {
  std::ifstream file(nativeName, std::ios::binary);
  if (!file)
    return false;
  bytes.assign(static_cast<size_t>(kMaxIniSize) + 1, '\0');
  file.read(bytes.data(), kMaxIniSize + 1);
  if (file.bad() || file.gcount() > kMaxIniSize)
    return false;
  bytes.resize(static_cast<size_t>(file.gcount()));
  return true;
}

} // namespace

std::string FirstRunIniFile(const TSettingsEnvironment& env) {
  const std::string name = env.ProgramName + ".ini";
  for (const std::string& folder : {env.ProgramFolder, env.SystemConfigFolder}) {
    if (folder.empty())
      continue;
    const std::string native = NativeFileName(JoinPath(folder, name));
    if (IsRegularFile(native))
      return native;
  }
  return {};
}

int ImportIniFile(const std::string& nativeFileName, TSettingsStore& store) {
  std::string bytes;
  if (!ReadSmallFile(nativeFileName, bytes))
    return 0;
  return ImportIniText(bytes, store);
}

int ImportIniText(std::string bytes, TSettingsStore& store) {
  // Text ends at a NUL byte, as it does for the ini-file services.
  if (const size_t nul = bytes.find('\0'); nul != std::string::npos)
    bytes.resize(nul);

  std::set<std::string> seen; // section and key, upper-cased: the first of duplicates wins
  std::string section;
  bool inSection = false;
  int copied = 0;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos)
      end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    line = Trim(line);
    if (line.empty() || line[0] == ';')
      continue;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      section = Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      inSection = true;
      continue;
    }
    const size_t equals = line.find('=');
    if (!inSection || equals == std::string::npos)
      continue;
    const std::string key = Trim(line.substr(0, equals));
    if (key.empty() || !seen.insert(AnsiUpperCase(section) + '\n' + AnsiUpperCase(key)).second)
      continue;
    store.WriteString(section, key, Unquote(Trim(line.substr(equals + 1))));
    ++copied;
  }
  return copied;
}
