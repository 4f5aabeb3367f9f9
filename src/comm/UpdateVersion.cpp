#include "comm/UpdateVersion.h"

#include <cerrno>
#include <cstdio>
#include <vector>

#include "core/Format.h"
#include "core/Paths.h"
#include "core/Version.h"
#include "formats/CodePages.h"

namespace {

std::vector<std::string> VersionParts(const std::string& text) {
  std::vector<std::string> parts;
  if (text.empty())
    return parts;
  parts.emplace_back();
  for (char ch : text) {
    if (ch == '.')
      parts.emplace_back();
    else
      parts.back() += ch;
  }
  return parts;
}

std::string Padded(const std::string& part) {
  if (part.size() >= 10)
    return part.substr(0, 10);
  return std::string(10 - part.size(), ' ') + part;
}

// The position of the extension's "." in the last component, or npos.
std::size_t ExtensionDot(const std::string& fileName) {
  const std::size_t dot = fileName.find_last_of(".\\/:");
  return dot != std::string::npos && fileName[dot] == '.' ? dot : std::string::npos;
}

} // namespace

int CompareVersions(const std::string& a, const std::string& b) {
  const std::vector<std::string> pa = VersionParts(a), pb = VersionParts(b);
  const std::size_t common = pa.size() < pb.size() ? pa.size() : pb.size();
  for (std::size_t i = 0; i < common; ++i) {
    const int c = Padded(pa[i]).compare(Padded(pb[i]));
    if (c != 0)
      return c < 0 ? -1 : 1;
  }
  if (pa.size() == pb.size())
    return 0;
  return pa.size() < pb.size() ? -1 : 1;
}

std::string ProgramVersion() {
  return Format("%d.%d.%d.%d", {ObjVersionMajor, ObjVersionMinor, ObjVersionRelease, ObjVersionBuild});
}

std::string InstallerProgramName(const std::string& localFile) {
  const std::size_t dot = ExtensionDot(localFile);
  if (dot != std::string::npos && AnsiUpperCase(localFile.substr(dot)) == ".EXE")
    return localFile;
  return (dot == std::string::npos ? localFile : localFile.substr(0, dot)) + ".exe";
}

bool MoveInstallerInPlace(const std::string& localFile, const std::string& programName) {
  if (programName == localFile)
    return true;
  const std::string target = NativeFileName(programName);
  if (std::remove(target.c_str()) != 0 && errno != ENOENT)
    return false;
  return std::rename(NativeFileName(localFile).c_str(), target.c_str()) == 0;
}
