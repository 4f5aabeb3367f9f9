#include "pictures/PictureNames.h"

#include "core/DateFormat.h"
#include "core/Paths.h"
#include "formats/CodePages.h"

namespace {

bool IsForbiddenInFileName(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte < 0x20 || byte == 0xFF)
    return true;
  switch (c) {
  case '"':
  case '*':
  case ':':
  case '<':
  case '>':
  case '?':
  case '|':
    return true;
  default:
    return false;
  }
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The extension as the platform's file-name routines find it: from the last "." that no
// folder separator or drive colon follows.
std::string_view Extension(std::string_view name) {
  const size_t at = name.find_last_of(".\\/:");
  if (at == std::string_view::npos || name[at] != '.')
    return {};
  return name.substr(at);
}

} // namespace

std::string NormalisePictureName(std::string_view text) {
  if (const size_t colon = text.find(':'); colon != std::string_view::npos)
    text.remove_prefix(colon + 1);
  while (!text.empty() && IsSeparator(text.front()))
    text.remove_prefix(1);
  return std::string(text);
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AnsiUpperChar(a[i]) != AnsiUpperChar(b[i]))
      return false;
  return true;
}

bool IsTemporaryName(std::string_view localName, std::string_view pictureName, std::string_view prefix) {
  return !localName.empty() && !SameName(localName, pictureName) && localName.size() >= prefix.size() &&
         SameName(localName.substr(0, prefix.size()), prefix);
}

std::string WebAddress(std::string_view webFolder, std::string_view pictureName) {
  std::string address(webFolder);
  if (!webFolder.empty() && !IsSeparator(webFolder.back()))
    address += '/';
  address += pictureName;
  for (char& c : address)
    if (c == '\\')
      c = '/';
  return address;
}

bool NeedsGeneratedName(std::string_view pictureName) {
  for (char c : pictureName)
    if (IsForbiddenInFileName(c))
      return true;
  return false;
}

std::string NewLocalName(std::string_view pictureName, std::string_view prefix, TDateTime now) {
  std::string name;
  if (NeedsGeneratedName(pictureName)) {
    std::string_view extension = Extension(pictureName);
    for (size_t i = 0; i < extension.size(); ++i)
      if (IsForbiddenInFileName(extension[i])) {
        extension = extension.substr(0, i);
        break;
      }
    name = std::string(prefix) + FormatDateTime("yyyymmdd-hhnnsszzz", now) + std::string(extension);
  } else {
    name = pictureName;
  }
  for (char& c : name)
    if (c == '/')
      c = '\\';
  return name;
}

std::string PictureFilePath(const std::string& folder, const std::string& localName) {
  if (localName.find_first_not_of(' ') == std::string::npos || IsSeparator(localName.front()) ||
      (localName.size() >= 2 && localName[1] == ':'))
    return {};
  // Every component is checked, so "a\..\..\b" cannot climb out either.
  size_t start = 0;
  for (;;) {
    const size_t end = localName.find_first_of("\\/", start);
    const std::string_view part = std::string_view(localName).substr(start, end - start);
    if (part == "..")
      return {};
    if (end == std::string::npos)
      break;
    start = end + 1;
  }
  return NativeFileName(JoinPath(folder, localName));
}
