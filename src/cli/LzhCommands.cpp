#include "cli/CliSupport.h"
#include "core/Errors.h"
#include "core/FileIo.h"
#include "core/Format.h"
#include "core/Paths.h"
#include "formats/Cp1250Utf8.h"
#include "formats/LzhEntry.h"
#include "formats/LzhFile.h"

namespace {

struct TEntry {
  std::uint64_t Offset;
  TLZHHeader Header;
  std::string Name; // code page 1250
};

[[noreturn]] void FormatError(const std::string& fileName) {
  throw ELZHException(Format(Cz("Soubor %s nemá správný formát dat"), {fileName}));
}

// Calls `visit` for each entry from offset 0 on. A run of bytes that is not a valid entry
// (and not exactly the end of the file) is the format error, after the entries before it.
template <typename Visit> void ForEachEntry(const std::string& package, Visit visit) {
  const fileio::TFd fd = fileio::OpenForReading(package);
  const std::uint64_t size = fileio::FileSize(fd, package);
  std::uint64_t offset = 0;
  while (offset != size) {
    TEntry entry{offset, {}, {}};
    if (!ReadEntryInfo(package, offset, entry.Header, entry.Name))
      FormatError(package);
    visit(entry);
    offset += entry.Header.EntrySize();
  }
}

std::string DosStamp(const TLZHHeader& h) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", 1980 + (h.DosDate >> 9), (h.DosDate >> 5) & 15,
                h.DosDate & 31, h.DosTime >> 11, (h.DosTime >> 5) & 63, (h.DosTime & 31) * 2);
  return text;
}

// A stored name that stays inside the folder it is unpacked into: no folders, no parent,
// no drive, nothing the file system cannot hold.
bool IsSafeStoredName(const std::string& name) {
  if (name.empty() || name == "." || name == "..")
    return false;
  return name.find_first_of(std::string("/\\:\0", 4)) == std::string::npos;
}

int List(const CliArgs& args, std::ostream& out, std::ostream&) {
  RequirePositional(args, 1, 1);
  ForEachEntry(Utf8ToCp1250(args.Positional[0]), [&](const TEntry& e) {
    out << e.Offset << '\t' << EscapeField(Cp1250ToUtf8(e.Name)) << '\t' << e.Header.UnpackedSize << '\t'
        << e.Header.CompressedSize << '\t' << DosStamp(e.Header) << '\n';
  });
  return 0;
}

int Pack(const CliArgs& args, std::ostream&, std::ostream&) {
  RequirePositional(args, 2, SIZE_MAX);
  const std::string output = Utf8ToCp1250(args.Positional[0]);
  // All entries go to a new file that replaces OUTPUT only when every one is in.
  fileio::TAtomicFile packed(output);
  const std::string temporary = Utf8ToCp1250(packed.TempPath());
  for (std::size_t i = 1; i < args.Positional.size(); i++)
    TFileLZH(Utf8ToCp1250(args.Positional[i]), true, true, 0, temporary).Compress();
  packed.Commit();
  return 0;
}

int Unpack(const CliArgs& args, std::ostream& out, std::ostream&) {
  RequirePositional(args, 2, 2);
  const std::string package = Utf8ToCp1250(args.Positional[0]);
  const std::string folder = Utf8ToCp1250(args.Positional[1]);
  // Every entry is checked before the first file is written.
  std::vector<TEntry> entries;
  ForEachEntry(package, [&](const TEntry& e) {
    if (!IsSafeStoredName(e.Name))
      FormatError(package);
    entries.push_back(e);
  });
  for (const TEntry& e : entries) {
    TFileLZH(package, true, false, e.Offset, JoinPath(folder, e.Name)).Decompress();
    out << Cp1250ToUtf8(e.Name) << '\n';
  }
  return 0;
}

int EncodeStream(const CliArgs& args, std::ostream&, std::ostream&) {
  RequirePositional(args, 2, 2);
  TFileLZH(Utf8ToCp1250(args.Positional[0]), false, false, 0, Utf8ToCp1250(args.Positional[1])).Compress();
  return 0;
}

int DecodeStream(const CliArgs& args, std::ostream&, std::ostream&) {
  RequirePositional(args, 2, 2);
  TFileLZH(Utf8ToCp1250(args.Positional[0]), false, false, 0, Utf8ToCp1250(args.Positional[1])).Decompress();
  return 0;
}

} // namespace

void AddLzhCommands(std::vector<CliCommand>& commands) {
  commands.push_back({{"lzh", "list"}, "lzh list PACKAGE", {}, {}, List});
  commands.push_back({{"lzh", "pack"}, "lzh pack OUTPUT FILE...", {}, {}, Pack});
  commands.push_back({{"lzh", "unpack"}, "lzh unpack PACKAGE FOLDER", {}, {}, Unpack});
  commands.push_back({{"lzh", "encode"}, "lzh encode IN OUT", {}, {}, EncodeStream});
  commands.push_back({{"lzh", "decode"}, "lzh decode IN OUT", {}, {}, DecodeStream});
}
