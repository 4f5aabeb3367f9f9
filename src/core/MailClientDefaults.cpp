// Defaults taken from the desktop mail client: on this system Thunderbird, whose profiles
// keep their settings as lines user_pref("name", value); in prefs.js.

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <vector>

#include "core/AppSettings.h"
#include "core/Paths.h"
#include "formats/Cp1250Utf8.h"

namespace {

constexpr std::streamsize kMaxFileSize = 16 * 1024 * 1024;

std::string ReadSmallFile(const std::string& nativeName) {
  std::ifstream file(nativeName, std::ios::binary);
  if (!file)
    return {};
  std::string bytes(static_cast<size_t>(kMaxFileSize) + 1, '\0');
  file.read(bytes.data(), kMaxFileSize + 1);
  if (file.bad() || file.gcount() > kMaxFileSize)
    return {};
  bytes.resize(static_cast<size_t>(file.gcount()));
  return bytes;
}

std::string Trim(const std::string& text) {
  const size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos)
    return {};
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

void AppendUtf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// A JavaScript string literal starting at text[i] (the quote). False when it does not end on
// the line.
bool ParseString(const std::string& text, size_t& i, std::string& value) {
  const char quote = text[i++];
  value.clear();
  while (i < text.size()) {
    const char c = text[i++];
    if (c == quote)
      return true;
    if (c != '\\') {
      value += c;
      continue;
    }
    if (i == text.size())
      return false;
    const char e = text[i++];
    const int digits = e == 'u' ? 4 : e == 'x' ? 2 : 0;
    if (digits) {
      unsigned code = 0;
      for (int n = 0; n < digits; ++n) {
        const int d = i < text.size() ? HexDigit(text[i]) : -1;
        if (d < 0)
          return false;
        code = code * 16 + static_cast<unsigned>(d);
        ++i;
      }
      AppendUtf8(value, code);
    } else {
      value += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
    }
  }
  return false;
}

// Calls fn with every line of the text, blanks trimmed (LF or CR LF line ends).
template <typename Fn> void ForEachTrimmedLine(const std::string& bytes, Fn fn) {
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos)
      end = bytes.size();
    fn(Trim(bytes.substr(start, end - start)));
    start = end + 1;
  }
}

// user_pref("name", value); lines; a line in any other shape is skipped. Values keep their
// text (strings without quotes, numbers and booleans as written).
std::map<std::string, std::string> ParsePrefs(const std::string& bytes) {
  std::map<std::string, std::string> prefs;
  ForEachTrimmedLine(bytes, [&](const std::string& line) {
    const std::string opening = "user_pref(";
    if (line.rfind(opening, 0) != 0)
      return;
    size_t i = opening.size();
    while (i < line.size() && line[i] == ' ')
      ++i;
    std::string name;
    if (i >= line.size() || line[i] != '"' || !ParseString(line, i, name))
      return;
    while (i < line.size() && line[i] == ' ')
      ++i;
    if (i >= line.size() || line[i] != ',')
      return;
    ++i;
    while (i < line.size() && line[i] == ' ')
      ++i;
    std::string value;
    if (i < line.size() && (line[i] == '"' || line[i] == '\'')) {
      if (!ParseString(line, i, value))
        return;
    } else {
      const size_t close = line.find(')', i);
      if (close == std::string::npos)
        return;
      value = Trim(line.substr(i, close - i));
    }
    prefs[name] = value; // as the mail client reads them, a later line wins
  });
  return prefs;
}

// The default profile's folder: the install's default, else the profile marked Default=1,
// else the first profile of profiles.ini, else the first subfolder holding prefs.js.
std::string DefaultProfileFolder(const std::string& profilesFolder) {
  const std::string bytes = ReadSmallFile(profilesFolder + "/profiles.ini");
  std::string installDefault;
  std::vector<std::map<std::string, std::string>> profiles;
  bool inInstall = false;
  bool inProfile = false;
  ForEachTrimmedLine(bytes, [&](const std::string& line) {
    if (!line.empty() && line[0] == '[') {
      inInstall = line.rfind("[Install", 0) == 0;
      inProfile = line.rfind("[Profile", 0) == 0;
      if (inProfile)
        profiles.emplace_back();
      return;
    }
    const size_t equals = line.find('=');
    if (equals == std::string::npos)
      return;
    const std::string key = Trim(line.substr(0, equals));
    const std::string value = Trim(line.substr(equals + 1));
    if (inInstall) {
      if (key == "Default" && installDefault.empty())
        installDefault = value;
    } else if (inProfile) {
      profiles.back()[key] = value;
    }
  });
  const auto resolve = [&](const std::string& path, bool relative) {
    return relative || path.empty() || path[0] != '/' ? profilesFolder + "/" + path : path;
  };
  if (!installDefault.empty())
    return resolve(installDefault, true);
  const std::map<std::string, std::string>* chosen = nullptr;
  for (const auto& p : profiles) {
    if (!p.count("Path"))
      continue;
    if (!chosen ||
        (p.count("Default") && p.at("Default") == "1" && !(chosen->count("Default") && chosen->at("Default") == "1")))
      chosen = &p;
  }
  if (chosen)
    return resolve(chosen->at("Path"), chosen->count("IsRelative") && chosen->at("IsRelative") == "1");

  std::vector<std::string> folders;
  if (DIR* dir = ::opendir(profilesFolder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != ".." && std::ifstream(profilesFolder + "/" + name + "/prefs.js"))
        folders.push_back(name);
    }
    ::closedir(dir);
  }
  std::sort(folders.begin(), folders.end());
  return folders.empty() ? std::string() : profilesFolder + "/" + folders.front();
}

std::string Pref(const std::map<std::string, std::string>& prefs, const std::string& name) {
  const auto it = prefs.find(name);
  return it == prefs.end() ? std::string() : it->second;
}

std::string FirstOfList(const std::string& list) { return Trim(list.substr(0, list.find(','))); }

} // namespace

TMailClientDefaults ReadMailClientDefaults(const std::string& profilesFolder) {
  if (profilesFolder.empty())
    return {};
  const std::string profile = DefaultProfileFolder(NativeFileName(profilesFolder));
  if (profile.empty())
    return {};
  return MailClientDefaultsFromPrefs(ReadSmallFile(profile + "/prefs.js"));
}

TMailClientDefaults MailClientDefaultsFromPrefs(const std::string& prefsText) {
  TMailClientDefaults result;
  const std::map<std::string, std::string> prefs = ParsePrefs(prefsText);
  std::string account = Pref(prefs, "mail.accountmanager.defaultaccount");
  if (account.empty())
    account = FirstOfList(Pref(prefs, "mail.accountmanager.accounts"));
  const std::string identity = FirstOfList(Pref(prefs, "mail.account." + account + ".identities"));
  if (!identity.empty()) {
    std::string address = Pref(prefs, "mail.identity." + identity + ".reply_to");
    if (address.empty())
      address = Pref(prefs, "mail.identity." + identity + ".useremail");
    result.EMail = Utf8ToCp1250(address);
  }
  std::string server = identity.empty() ? std::string() : Pref(prefs, "mail.identity." + identity + ".smtpServer");
  if (server.empty())
    server = Pref(prefs, "mail.smtp.defaultserver");
  if (!server.empty())
    result.SMTPServer = Utf8ToCp1250(Pref(prefs, "mail.smtpserver." + server + ".hostname"));
  return result;
}
