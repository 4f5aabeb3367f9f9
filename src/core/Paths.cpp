#include "core/Paths.h"

#include "formats/Cp1250Utf8.h"

#include <unistd.h>

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty())
    return name;
  const bool bareDrive = folder.size() == 2 && folder[1] == ':';
  if (folder.back() == '\\' || folder.back() == '/' || bareDrive)
    return folder + name;
  // Folders of this machine are POSIX paths; stored and supplier names keep their "\".
  const bool posixFolder = folder.find('/') != std::string::npos && folder.find('\\') == std::string::npos;
  return folder + (posixFolder ? "/" : "\\") + name;
}

std::string ToNativePath(const std::string& path) {
  std::string result = path;
  for (char& c : result)
    if (c == '\\')
      c = '/';
  return result;
}

std::string NativeFileName(const std::string& fileName) { return Cp1250ToUtf8(ToNativePath(fileName)); }

std::string ThisProgramFile() {
  char buffer[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? Utf8ToCp1250(std::string(buffer, static_cast<size_t>(n))) : std::string(".");
}

std::string FileFolder(const std::string& fileName) {
  const size_t separator = fileName.find_last_of("\\/");
  if (separator == std::string::npos)
    return ".";
  return separator == 0 ? fileName.substr(0, 1) : fileName.substr(0, separator);
}
