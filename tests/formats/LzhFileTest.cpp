#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <new>
#include <sys/stat.h>
#include <utime.h>

#include "core/Errors.h"
#include "formats/Cp1250Utf8.h"
#include "formats/LzhCodec.h"
#include "formats/LzhEntry.h"
#include "formats/LzhFile.h"
#include "formats/LzhTestSupport.h"
#include "support/LzhSamples.h"
#include "support/TestSupport.h"

// The largest single allocation of this test program, to show that a forged size is not
// taken at its word. Every plain form of new and delete goes through malloc and free.
namespace {
std::atomic<std::size_t> LargestAllocation{0};

void* Allocate(std::size_t size) noexcept {
  std::size_t seen = LargestAllocation.load();
  while (size > seen && !LargestAllocation.compare_exchange_weak(seen, size)) {
  }
  return std::malloc(size ? size : 1);
}
} // namespace

// malloc and free behind new and delete are a matched pair; GCC cannot see through that.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  if (void* p = Allocate(size))
    return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

namespace fs = std::filesystem;

void SetModificationTime(const std::string& path, std::time_t when) {
  struct utimbuf times {
    when, when
  };
  ASSERT_EQ(utime(path.c_str(), &times), 0);
}

std::time_t ModificationTimeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0);
  return info.st_mtime;
}

std::vector<std::string> FolderContents(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string Pack(const TempDir& dir, const std::string& name, const std::string& bytes, const std::string& package,
                 bool append = false) {
  const std::string path = dir.File(name); // code page 1250, as the program names files
  WriteFileBytes(Cp1250ToUtf8(path), bytes);
  TFileLZH(path, true, append, 0, package).Compress();
  return path;
}

std::string Unpack(const std::string& package, std::uint64_t offset, const std::string& out) {
  TFileLZH(package, true, false, offset, out).Decompress();
  return ReadFileBytes(out);
}

// An entry put together by hand: header fields as given, then name, extra field and stream.
std::string Entry(const TLZHHeader& header, const std::string& name, const std::string& extra,
                  const std::string& stream) {
  unsigned char bytes[TLZHHeader::Size];
  header.ToBytes(bytes);
  return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes) + name + extra + stream;
}

TLZHHeader HeaderFor(const std::string& name, const std::string& extra, const std::string& data,
                     const std::string& stream) {
  TLZHHeader h;
  h.DosDate = (39 << 9) | (3 << 5) | 15; // 15. 3. 2019
  h.DosTime = (10 << 11) | (20 << 5) | 15;
  h.CompressedSize = static_cast<std::uint32_t>(stream.size());
  h.UnpackedSize = static_cast<std::uint32_t>(data.size());
  h.NameLength = static_cast<std::uint16_t>(name.size());
  h.ExtraLength = static_cast<std::uint16_t>(extra.size());
  return h;
}

void ExpectFormatError(const std::function<void()>& run, const std::string& fileName) {
  try {
    run();
    FAIL() << "no error";
  } catch (const ELZHException& e) {
    EXPECT_EQ(Cp1250ToUtf8(e.what()), "Soubor " + fileName + " nemá správný formát dat");
  }
}

TEST(LzhFile, EmptyFileIsAFourByteStream) {
  TempDir dir;
  const std::string package = dir.File("p.lzh");
  Pack(dir, "EMPTY.TXT", "", package);
  TLZHHeader header;
  std::string name;
  ASSERT_TRUE(ReadEntryInfo(package, 0, header, name));
  EXPECT_EQ(name, "EMPTY.TXT");
  EXPECT_EQ(header.CompressedSize, 4u);
  EXPECT_EQ(header.UnpackedSize, 0u);
  EXPECT_EQ(ReadFileBytes(package).substr(30 + 9), std::string(4, '\0'));
  EXPECT_EQ(Unpack(package, 0, dir.File("out")), "");
  EXPECT_TRUE(TMemoryLZH(package, true, 0).DecompressToMemory().empty());
}

TEST(LzhFile, EntryHoldsTheClassicStream) {
  TempDir dir;
  const std::string data = lzhsamples::DbaseLikeText(50000, 7);
  const std::string package = dir.File("p.lzh");
  Pack(dir, "KARTY.DBF", data, package);
  const std::string bytes = ReadFileBytes(package);
  EXPECT_TRUE(bytes.substr(30 + 9) == lzhtest::RunClassic("e", data));
  EXPECT_EQ(bytes.substr(0, 10), std::string("TVX.\0\0\0\0\0\0", 10));
  EXPECT_TRUE(Unpack(package, 0, dir.File("KARTY.DBF.out")) == data);
}

TEST(LzhFile, IdenticalBytesRoundTrip) {
  TempDir dir;
  const std::string data(4096, '*');
  const std::string package = dir.File("p.lzh");
  Pack(dir, "A", data, package);
  TLZHHeader header;
  std::string name;
  ASSERT_TRUE(ReadEntryInfo(package, 0, header, name));
  EXPECT_LT(header.CompressedSize, 150u);
  EXPECT_EQ(Unpack(package, 0, dir.File("out")), data);
}

TEST(LzhFile, TwoEntriesFollowEachOther) {
  TempDir dir;
  const std::string package = dir.File("CENIK.LZH");
  const std::string first = lzhsamples::DbaseLikeText(20000, 1);
  const std::string second = "popis ceníku\r\n";
  Pack(dir, "KARTY.DBF", first, package);
  Pack(dir, Cz("POPIS_Č.TXT"), second, package, true);

  TLZHHeader header;
  std::string name;
  ASSERT_TRUE(ReadEntryInfo(package, 0, header, name));
  EXPECT_EQ(name, "KARTY.DBF");
  const std::uint64_t next = 30 + header.NameLength + header.ExtraLength + header.CompressedSize;
  ASSERT_TRUE(ReadEntryInfo(package, next, header, name));
  EXPECT_EQ(name, Cz("POPIS_Č.TXT"));
  EXPECT_EQ(next + header.EntrySize(), fs::file_size(package));
  EXPECT_FALSE(ReadEntryInfo(package, next + header.EntrySize(), header, name));
  EXPECT_TRUE(IsPackedFile(package));

  EXPECT_TRUE(Unpack(package, next, dir.File("second")) == second);
  const std::vector<unsigned char> memory = TMemoryLZH(package, true, 0).DecompressToMemory();
  EXPECT_TRUE(std::string(memory.begin(), memory.end()) == first);
  TMemoryLZH secondEntry(package, true, next);
  const std::vector<unsigned char> secondBytes = secondEntry.DecompressToMemory();
  EXPECT_EQ(std::string(secondBytes.begin(), secondBytes.end()), second);
  EXPECT_EQ(secondEntry.StoredName(), Cz("POPIS_Č.TXT"));
}

TEST(LzhFile, NotAPackage) {
  TempDir dir;
  WriteFileBytes(dir.File("plain.txt"), "just text, long enough to hold a header's thirty bytes");
  WriteFileBytes(dir.File("short"), "TVX.");
  EXPECT_FALSE(IsPackedFile(dir.File("plain.txt")));
  EXPECT_FALSE(IsPackedFile(dir.File("short")));
  EXPECT_THROW(IsPackedFile(dir.File("missing")), EFOpenError);
}

TEST(LzhFile, DateAndTimeTravelWithTheEntry) {
  TempDir dir;
  const std::string input = dir.File("OBJ.TXT");
  WriteFileBytes(input, "order");
  const std::time_t stamp = LocalUnixTime(2019, 3, 15, 10, 20, 30);
  SetModificationTime(input, stamp);
  const std::string package = dir.File("p.lzh");
  TFileLZH(input, true, false, 0, package).Compress();

  TLZHHeader header;
  std::string name;
  ASSERT_TRUE(ReadEntryInfo(package, 0, header, name));
  EXPECT_EQ(header.DosDate, (39 << 9) | (3 << 5) | 15);
  EXPECT_EQ(header.DosTime, (10 << 11) | (20 << 5) | 15);

  const std::string output = dir.File("restored");
  Unpack(package, 0, output);
  EXPECT_EQ(ModificationTimeOf(output), stamp);
}

TEST(LzhFile, NameOf255BytesIsAcceptedAnd256Rejected) {
  TempDir dir;
  const std::string data = "x";
  const std::string stream = LzhEncodeBytes(data);
  for (std::size_t length : {255u, 256u}) {
    SCOPED_TRACE(length);
    const std::string name(length, 'n');
    const std::string package = dir.File("p" + std::to_string(length));
    WriteFileBytes(package, Entry(HeaderFor(name, "", data, stream), name, "", stream));
    TLZHHeader header;
    std::string stored;
    if (length == 255) {
      EXPECT_TRUE(ReadEntryInfo(package, 0, header, stored));
      EXPECT_EQ(stored, name);
      EXPECT_EQ(Unpack(package, 0, dir.File("out")), data);
    } else {
      EXPECT_FALSE(ReadEntryInfo(package, 0, header, stored));
      ExpectFormatError([&] { Unpack(package, 0, dir.File("out")); }, package);
    }
  }
}

TEST(LzhFile, ExtraFieldIsSkipped) {
  TempDir dir;
  const std::string data = "extra";
  const std::string stream = LzhEncodeBytes(data);
  const std::string package = dir.File("p");
  WriteFileBytes(package, Entry(HeaderFor("E", "12345", data, stream), "E", "12345", stream));
  EXPECT_EQ(Unpack(package, 0, dir.File("out")), data);
}

// One damaged field at a time; each must be refused by ReadEntryInfo, Decompress and
// DecompressToMemory alike.
TEST(LzhFile, DamagedEntriesAreFormatErrors) {
  const std::string data = lzhsamples::DbaseLikeText(3000, 2);
  const std::string stream = LzhEncodeBytes(data);
  const std::string good = Entry(HeaderFor("K.DBF", "", data, stream), "K.DBF", "", stream);
  struct TDamage {
    const char* What;
    std::function<void(std::string&)> Apply;
    bool HeaderValid; // ReadEntryInfo still accepts it (the damage is in the stream)
  };
  const std::vector<TDamage> damages = {
      {"signature", [](std::string& b) { b[3] = ','; }, false},
      {"method", [](std::string& b) { b[8] = 1; }, false},
      {"compressed size past the end", [](std::string& b) { b[18] = static_cast<char>(b[18] + 1); }, false},
      {"name past the end", [](std::string& b) { b.resize(32); }, false},
      {"header cut", [](std::string& b) { b.resize(29); }, false},
      {"unpacked size above the stream's count", [](std::string& b) { b[22] = static_cast<char>(b[22] + 1); }, true},
      {"unpacked size below the stream's count", [](std::string& b) { b[22] = static_cast<char>(b[22] - 1); }, true},
      {"stream cut short",
       [](std::string& b) {
         b.pop_back();
         b[18] = static_cast<char>(b[18] - 1);
       },
       true},
  };
  for (const TDamage& damage : damages) {
    SCOPED_TRACE(damage.What);
    TempDir dir;
    const std::string package = dir.File("CENIK.LZH");
    std::string bytes = good;
    damage.Apply(bytes);
    WriteFileBytes(package, bytes);
    TLZHHeader header;
    std::string name;
    EXPECT_EQ(ReadEntryInfo(package, 0, header, name), damage.HeaderValid);
    ExpectFormatError([&] { Unpack(package, 0, dir.File("out")); }, package);
    ExpectFormatError([&] { TMemoryLZH(package, true, 0).DecompressToMemory(); }, package);
    EXPECT_EQ(FolderContents(dir.Path()), std::vector<std::string>{"CENIK.LZH"});
  }
}

TEST(LzhFile, ForgedSizeDoesNotTakeItsMemory) {
  TempDir dir;
  const std::string data = lzhsamples::DbaseLikeText(10000, 4);
  std::string stream = LzhEncodeBytes(data);
  stream[0] = stream[1] = stream[2] = stream[3] = '\xff';
  TLZHHeader header = HeaderFor("BIG", "", data, stream);
  header.UnpackedSize = 0xffffffffu;
  const std::string package = dir.File("big.lzh");
  WriteFileBytes(package, Entry(header, "BIG", "", stream));
  LargestAllocation = 0;
  ExpectFormatError([&] { TMemoryLZH(package, true, 0).DecompressToMemory(); }, package);
  EXPECT_LT(LargestAllocation.load(), 48u * stream.size() + 65536);
}

TEST(LzhFile, FailedUnpackLeavesTheOldFile) {
  TempDir dir;
  const std::string data = lzhsamples::DbaseLikeText(5000, 5);
  std::string stream = LzhEncodeBytes(data);
  stream.resize(stream.size() / 2);
  const std::string package = dir.File("bad.lzh");
  WriteFileBytes(package, Entry(HeaderFor("T", "", data, stream), "T", "", stream));
  const std::string target = dir.File("KARTY.DBF");
  WriteFileBytes(target, "old contents");
  ExpectFormatError([&] { TFileLZH(package, true, false, 0, target).Decompress(); }, package);
  EXPECT_EQ(ReadFileBytes(target), "old contents");
  EXPECT_EQ(FolderContents(dir.Path()), (std::vector<std::string>{"KARTY.DBF", "bad.lzh"}));
}

TEST(LzhFile, FailedAppendLeavesThePackageAsItWas) {
  TempDir dir;
  const std::string package = dir.File("p.lzh");
  Pack(dir, "ONE", "first entry", package);
  const std::string before = ReadFileBytes(package);
  {
    WriteFileBytes(dir.File("TWO"), "second");
    TFileLZH lzh(dir.File("TWO"), true, true, 0, package);
    // Dropped without running: whatever was started at the end is cut off again.
  }
  EXPECT_EQ(ReadFileBytes(package), before);
}

TEST(LzhFile, BareStreams) {
  TempDir dir;
  const std::string data = lzhsamples::DbaseLikeText(30000, 8);
  WriteFileBytes(dir.File("in"), data);
  TFileLZH(dir.File("in"), false, false, 0, dir.File("stream")).Compress();
  EXPECT_TRUE(ReadFileBytes(dir.File("stream")) == LzhEncodeBytes(data));
  TFileLZH(dir.File("stream"), false, false, 0, dir.File("out")).Decompress();
  EXPECT_TRUE(ReadFileBytes(dir.File("out")) == data);
  const std::vector<unsigned char> memory = TMemoryLZH(dir.File("stream"), false, 0).DecompressToMemory();
  EXPECT_TRUE(std::string(memory.begin(), memory.end()) == data);
}

TEST(LzhFile, MissingInputCannotBeOpened) {
  TempDir dir;
  const std::string missing = dir.File("NENI.LZH");
  try {
    TFileLZH(missing, true, false, 0, dir.File("out"));
    FAIL() << "no error";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(Cp1250ToUtf8(e.what()), "Soubor " + missing + " nelze otevřít");
  }
  EXPECT_THROW(TMemoryLZH(missing, true, 0), EFOpenError);
  EXPECT_EQ(FolderContents(dir.Path()), std::vector<std::string>{});
}

} // namespace
