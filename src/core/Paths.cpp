#include "core/Paths.h"

#include "formats/Cp1250Utf8.h"

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
