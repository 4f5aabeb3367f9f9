#include "core/FileTypes.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/Errors.h"
#include "core/FileIo.h"
#include "formats/Cp1250Utf8.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

bool IsAsciiAlnum(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

bool IsSafeName(const std::string& text) {
  if (text.empty())
    return false;
  for (char c : text)
    if (!IsAsciiAlnum(c) && c != '.' && c != '_' && c != '-' && c != '+')
      return false;
  return true;
}

bool IsSafeVerb(const std::string& verb) {
  if (verb.empty())
    return false;
  for (char c : verb)
    if (!IsAsciiAlnum(c) && c != '-')
      return false;
  return true;
}

std::string AsciiLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::string XmlEscape(const std::string& utf8) {
  std::string out;
  for (char c : utf8) {
    switch (c) {
    case '&':
      out += "&amp;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case '"':
      out += "&quot;";
      break;
    default:
      out += c;
    }
  }
  return out;
}

// A string value of a desktop entry: backslash and control characters escaped.
std::string DesktopString(const std::string& utf8) {
  std::string out;
  for (char c : utf8) {
    switch (c) {
    case '\\':
      out += "\\\\";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    case '\t':
      out += "\\t";
      break;
    default:
      out += c;
    }
  }
  return out;
}

// The program as the first word of an Exec line: always quoted, with '"', '`', '$' and '\'
// escaped inside the quotes, then the value's own escaping doubles every backslash, and "%"
// is doubled so it is not taken for a field code.
std::string ExecProgram(const std::string& path) {
  std::string quoted = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\')
      quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  std::string out;
  for (char c : quoted) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '%')
      out += "%%";
    else
      out += c;
  }
  return out;
}

// "&Upravit objednávku" -> "Upravit objednávku"; "&&" stands for one "&".
std::string StripAccessKey(const std::string& caption) {
  std::string out;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') {
        out += '&';
        ++i;
      }
      continue;
    }
    out += caption[i];
  }
  return out;
}

bool ReadWholeFile(const fs::path& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Writes the file through a temporary file beside it. False when nothing was changed on the
// disk (same text already there, or any failure).
bool WriteFileIfChanged(const fs::path& path, const std::string& text) {
  std::string old;
  if (ReadWholeFile(path, old) && old == text)
    return false;
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  if (ec)
    return false;
  try {
    fileio::WriteFileAtomically(fileio::TNativePath{path.string()}, text.data(), text.size());
    return true;
  } catch (const Exception&) {
    return false;
  }
}

struct TChanged {
  bool Mime = false;
  bool Applications = false;
};

TChanged WriteFileTypeFiles(const std::string& extension, const std::string& progId, const std::string& description,
                            const std::string& verbCaption, const std::string& verb, const TFileTypeEnvironment& env) {
  TChanged changed;
  if (env.DataHome.empty() || env.ProgramFile.empty() || !IsSafeName(env.ProgramName))
    return changed;
  if (extension.size() < 2 || extension[0] != '.' || !IsSafeName(extension) || !IsSafeName(progId) || !IsSafeVerb(verb))
    return changed;
  if (env.ProgramFile.find_first_of("\r\n") != std::string::npos)
    return changed;

  const std::string mimeType = FileTypeMimeType(progId);
  const std::string fileName = env.ProgramName + "-" + AsciiLower(progId);
  const std::string descriptionUtf8 = Cp1250ToUtf8(description);
  const fs::path dataHome(env.DataHome);

  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                    "  <mime-type type=\"" +
                    mimeType +
                    "\">\n"
                    "    <comment>" +
                    XmlEscape(descriptionUtf8) +
                    "</comment>\n"
                    "    <glob pattern=\"*" +
                    extension +
                    "\"/>\n"
                    "  </mime-type>\n"
                    "</mime-info>\n";
  changed.Mime = WriteFileIfChanged(dataHome / "mime" / "packages" / (fileName + ".xml"), xml);

  const std::string exec = ExecProgram(env.ProgramFile) + " %f";
  const bool extraAction = verb != "open";
  std::string desktop = "[Desktop Entry]\n"
                        "Type=Application\n"
                        "Name=" +
                        DesktopString(Cp1250ToUtf8(Cz("Objednávky"))) +
                        "\n"
                        "Comment=" +
                        DesktopString(descriptionUtf8) +
                        "\n"
                        "Exec=" +
                        exec +
                        "\n"
                        "MimeType=" +
                        mimeType +
                        ";\n"
                        "NoDisplay=true\n"
                        "Terminal=false\n";
  if (extraAction) {
    const std::string name = StripAccessKey(verbCaption.empty() ? verb : verbCaption);
    desktop += "Actions=" + verb + ";\n\n[Desktop Action " + verb + "]\nName=" + DesktopString(Cp1250ToUtf8(name)) +
               "\nExec=" + exec + "\n";
  }
  changed.Applications = WriteFileIfChanged(dataHome / "applications" / (fileName + ".desktop"), desktop);
  return changed;
}

void RefreshDatabases(const TChanged& changed, const TFileTypeEnvironment& env) {
  const auto run = [&](const std::vector<std::string>& argv) {
    if (env.RunTool)
      env.RunTool(argv);
    else
      RunToolQuietly(argv);
  };
  const fs::path dataHome(env.DataHome);
  if (changed.Mime)
    run({"update-mime-database", (dataHome / "mime").string()});
  if (changed.Applications)
    run({"update-desktop-database", "-q", (dataHome / "applications").string()});
}

} // namespace

TFileTypeEnvironment TFileTypeEnvironment::FromSystem(std::string programFile) {
  TFileTypeEnvironment env;
  env.ProgramFile = std::move(programFile);
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') {
    env.DataHome = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
      env.DataHome = std::string(home) + "/.local/share";
  }
  return env;
}

void RunToolQuietly(const std::vector<std::string>& argv) {
  if (argv.empty())
    return;
  std::vector<char*> args;
  for (const std::string& arg : argv)
    args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0)
    return;
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0)
    return;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

std::string FileTypeProgId(const std::string& extension) {
  return (extension.size() > 1 ? extension.substr(1, 9) : std::string()) + "file";
}

std::string FileTypeMimeType(const std::string& progId) { return "application/x-" + AsciiLower(progId); }

void RegisterFileType(const std::string& extension, const std::string& progId, const std::string& description,
                      const std::string& verbCaption, const std::string& verb, const TFileTypeEnvironment& env) {
  try {
    RefreshDatabases(WriteFileTypeFiles(extension, progId, description, verbCaption, verb, env), env);
  } catch (...) {
    // Registration is a convenience; no failure of it may reach the user.
  }
}

void RegisterFileTypes(const TFileTypeSettings& settings, const TFileTypeEnvironment& env) {
  try {
    TChanged changed;
    const auto add = [&](const TChanged& one) {
      changed.Mime |= one.Mime;
      changed.Applications |= one.Applications;
    };
    if (!settings.Extension.empty() && settings.Extension[0] == '.') {
      const std::string progId = FileTypeProgId(settings.Extension);
      const std::string description = Cz("Objednávka skladového systému Orvela");
      if (settings.RegisterOBX == 1)
        add(WriteFileTypeFiles(settings.Extension, progId, description, "", "open", env));
      else if (settings.RegisterOBX == 2)
        add(WriteFileTypeFiles(settings.Extension, progId, description, Cz("&Upravit objednávku"), "edit", env));
    }
    if (settings.RegisterDBC && !settings.DBCExtension.empty() && settings.DBCExtension[0] == '.')
      add(WriteFileTypeFiles(settings.DBCExtension, FileTypeProgId(settings.DBCExtension),
                             Cz("Komprimovaný ceník ze systému Orvela"), "", "open", env));
    RefreshDatabases(changed, env);
  } catch (...) {
  }
}
