#include "formats/DBFFile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/Format.h"
#include "core/Numbers.h"
#include "core/Paths.h"
#include "formats/CodePages.h"
#include "formats/Cp1250Utf8.h"

namespace {

constexpr int kMaxFields = 1000;
constexpr int kDescriptorSize = 32;
constexpr unsigned char kHeaderEnd = 0x0D;
constexpr unsigned char kEndOfFile = 0x1A;
constexpr const char* kDeletionFlag = "DELFLAG";

unsigned ReadU16(const unsigned char* p) { return p[0] | (p[1] << 8); }
std::uint32_t ReadU32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void WriteU16(unsigned char* p, unsigned v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}
void WriteU32(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<unsigned char>(v >> (8 * i));
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

char NormalizeType(char type) {
  const char t = static_cast<char>(type >= 'a' && type <= 'z' ? type - 0x20 : type);
  return t == 'C' || t == 'D' || t == 'L' || t == 'M' || t == 'N' ? t : 0;
}

} // namespace

// The open operating-system file of a table.
class TDBFFile::FileHandle {
public:
  FileHandle(const std::string& fileName, int flags, mode_t mode = 0) : FName(fileName) {
    do
      FFd = ::open(NativeFileName(fileName).c_str(), flags | O_CLOEXEC, mode);
    while (FFd < 0 && errno == EINTR);
    if (FFd < 0)
      throw SystemError(FName, errno);
  }
  ~FileHandle() {
    if (FFd >= 0)
      ::close(FFd);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  // The deny-write guard: readers that deny writing hold a shared advisory lock; openers for
  // writing make sure nobody holds one and let go at once, so writers do not exclude each
  // other.
  void HoldSharedLock() {
    while (::flock(FFd, LOCK_SH) != 0)
      if (errno != EINTR)
        throw SystemError(FName, errno);
  }
  void CheckNoReaderDeniesWrite() {
    if (::flock(FFd, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK)
        throw SystemError(FName, EBUSY);
      if (errno != EINTR)
        throw SystemError(FName, errno);
    }
    ::flock(FFd, LOCK_UN);
  }

  long long Size() const {
    struct stat st;
    if (::fstat(FFd, &st) != 0)
      throw SystemError(FName, errno);
    return st.st_size;
  }

  // Reads up to size bytes at the offset; fewer only at the end of the file.
  size_t ReadAt(long long offset, void* data, size_t size) const {
    size_t done = 0;
    while (done < size) {
      const ssize_t n = ::pread(FFd, static_cast<char*>(data) + done, size - done, offset + static_cast<off_t>(done));
      if (n < 0) {
        if (errno == EINTR)
          continue;
        throw SystemError(FName, errno);
      }
      if (n == 0)
        break;
      done += static_cast<size_t>(n);
    }
    return done;
  }

  void WriteAt(long long offset, const void* data, size_t size) {
    size_t done = 0;
    while (done < size) {
      const ssize_t n =
          ::pwrite(FFd, static_cast<const char*>(data) + done, size - done, offset + static_cast<off_t>(done));
      if (n < 0) {
        if (errno == EINTR)
          continue;
        throw SystemError(FName, errno);
      }
      done += static_cast<size_t>(n);
    }
  }

  void Truncate() {
    if (::ftruncate(FFd, 0) != 0)
      throw SystemError(FName, errno);
  }

  // Closes now, so a failure of the last write-back reaches the caller.
  void Close() {
    const int fd = FFd;
    FFd = -1;
    if (::close(fd) != 0 && errno != EINTR)
      throw SystemError(FName, errno);
  }

private:
  std::string FName;
  int FFd = -1;
};

// ---------------------------------------------------------------------------------------
// TDBFField

TDBFField::TDBFField(TDBFFile& table, std::string name, char type, int length, int decimals, int offset)
    : FTable(&table), FName(std::move(name)), FType(type), FLength(length), FDecimals(decimals), FOffset(offset) {
  std::memcpy(FDescriptor.data(), FName.data(), std::min<size_t>(FName.size(), 10));
  FDescriptor[11] = static_cast<unsigned char>(FType);
  FDescriptor[16] = static_cast<unsigned char>(FLength);
  FDescriptor[17] = static_cast<unsigned char>(FDecimals);
}

std::string_view TDBFField::Trimmed() const {
  const std::vector<char>& buffer = FTable->FBuffer;
  if (!FTable->FActive || static_cast<size_t>(FOffset) + static_cast<size_t>(FLength) > buffer.size())
    return {};
  const char* p = buffer.data() + FOffset;
  size_t n = FLength;
  if (const void* zero = std::memchr(p, 0, n))
    n = static_cast<size_t>(static_cast<const char*>(zero) - p);
  while (n > 0 && IsBlank(p[n - 1]))
    --n;
  return {p, n};
}

void TDBFField::AsString(std::string& out) const {
  std::string_view s = Trimmed();
  switch (FType) {
  case 'C':
    out.assign(s);
    if (FTable->FConversion == TDBFConversion::Cp852)
      TranslateInPlace(out, CZConv::Cp852To1250);
    else if (FTable->FConversion == TDBFConversion::Kamenicky)
      TranslateInPlace(out, CZConv::KamenickyTo1250);
    return;
  case 'D': {
    if (s.empty() || s == "00000000") {
      out.clear();
      return;
    }
    // Day, month and year taken from YYYYMMDD; a short value gives the parts it has.
    auto part = [&](size_t from, size_t count) { return from < s.size() ? s.substr(from, count) : std::string_view(); };
    out.assign(part(6, 2));
    out += FTable->FDateSeparator;
    out.append(part(4, 2));
    out += FTable->FDateSeparator;
    out.append(part(0, 4));
    return;
  }
  case 'N':
    while (!s.empty() && IsBlank(s.front()))
      s.remove_prefix(1);
    out.assign(s);
    return;
  default:
    out.assign(s);
  }
}

std::string TDBFField::AsString() const {
  std::string result;
  AsString(result);
  return result;
}

void TDBFField::Store(std::string_view bytes) {
  std::memcpy(FTable->FBuffer.data() + FOffset, bytes.data(), std::min<size_t>(bytes.size(), FLength));
}

void TDBFField::SetAsString(std::string_view value) {
  if (!FTable->FActive || static_cast<size_t>(FOffset) + static_cast<size_t>(FLength) > FTable->FBuffer.size())
    return;
  switch (FType) {
  case 'C': {
    std::string text(value.substr(0, std::min<size_t>(value.size(), FLength)));
    text.resize(FLength, ' ');
    switch (FTable->FConversion) {
    case TDBFConversion::Cp852:
      TranslateInPlace(text, CZConv::Cp1250To852);
      break;
    case TDBFConversion::Kamenicky:
      TranslateInPlace(text, CZConv::Cp1250ToKamenicky);
      break;
    case TDBFConversion::RemoveDiacritics:
      TranslateInPlace(text, CZConv::Diacritics1250);
      break;
    case TDBFConversion::None:
      break;
    }
    Store(text);
    return;
  }
  case 'D': {
    const TDateTime date = TextToDate(value);
    char text[16] = "00000000";
    int year, month, day;
    DecodeDate(date, year, month, day);
    if (date != 0 && year >= 1 && year <= 9999) {
      std::snprintf(text, sizeof text, "%04d%02d%02d", year, month, day);
    }
    Store(text);
    return;
  }
  case 'L': {
    // Only the first character counts: "ano", "Ano", "T", "yes" are true.
    const char first = value.empty() ? ' ' : AnsiUpperChar(value[0]);
    Store(first == 'A' || first == 'T' || first == 'Y' ? "T" : "F");
    return;
  }
  case 'N': {
    // The whole text is read, not only its first field-length characters: cutting it first
    // would turn 12345 into 123 in a three-digit field.
    double x = 0;
    if (!TextToNumber(value, x))
      throw EDBFfileError(
          Format(Cz("Hodnota %s položky %s souboru %s není číslo"), {std::string(value), FName, FTable->FFileName}));
    char digits[1024];
    std::to_chars_result r;
    if (FLength < 10 && FDecimals == 0 && std::fabs(x) < 2147483647.0)
      r = std::to_chars(digits, digits + sizeof digits, static_cast<long long>(std::nearbyint(x)));
    else
      r = std::to_chars(digits, digits + sizeof digits, x, std::chars_format::fixed, FDecimals);
    const size_t width = r.ec == std::errc() ? static_cast<size_t>(r.ptr - digits) : sizeof digits;
    // A cut number is a wrong number (a price missing its last digits), so it is refused.
    if (width > static_cast<size_t>(FLength))
      throw EDBFfileError(Format(Cz("Hodnota %s se nevejde do položky %s souboru %s"),
                                 {std::string(digits, std::min(width, sizeof digits)), FName, FTable->FFileName}));
    std::string text(FLength - width, ' ');
    text.append(digits, width);
    Store(text);
    return;
  }
  default:
    // Memo fields hold a block number of a memo file this class never writes.
    return;
  }
}

int TDBFField::AsInteger() const {
  double x = 0;
  if (!TextToNumber(AsString(), x))
    return 0;
  if (x > -2147483647.0 && x < 2147483647.0)
    return static_cast<int>(std::nearbyint(x));
  return 0;
}

void TDBFField::SetAsInteger(int value) { SetAsString(std::to_string(value)); }

double TDBFField::AsFloat() const {
  double x = 0;
  return TextToNumber(AsString(), x) ? x : 0;
}

TDateTime TDBFField::AsDate() const { return TextToDate(AsString()); }

void TDBFField::SetAsDate(TDateTime value) {
  int year, month, day;
  DecodeDate(value, year, month, day);
  char text[16] = "";
  if (year >= 1 && year <= 9999)
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", day, month, year);
  SetAsString(text);
}

// ---------------------------------------------------------------------------------------
// TDBFFile

TDBFFile::TDBFFile(std::string fileName, TDBFConversion conversion, const Locale& locale)
    : FFileName(std::move(fileName)), FConversion(conversion), FDateSeparator(locale.DateSeparator) {
  FHeader[0] = 0x03;
  // The date of last update of every table this class creates; never changed afterwards.
  FHeader[1] = 92;
  FHeader[2] = 6;
  FHeader[3] = 17;
  ResetFields();
}

TDBFFile::~TDBFFile() {
  try {
    Close();
  } catch (...) {
    // A destructor cannot report; callers who care call Close themselves.
  }
}

void TDBFFile::ResetFields() {
  FFields.clear();
  FRecordLength = 0;
  AppendField(FFields, FRecordLength, kDeletionFlag, 'C', 1, 0);
  WriteU16(&FHeader[10], static_cast<unsigned>(FRecordLength));
  FHeaderRecordLength = FRecordLength;
}

void TDBFFile::AppendField(std::vector<std::unique_ptr<TDBFField>>& fields, int& recordLength, std::string_view name,
                           char type, int length, int decimals) {
  std::string upper = AnsiUpperCase(name.substr(0, std::min<size_t>(name.size(), 10)));
  char t = NormalizeType(type);
  if (t == 0)
    t = 'C';
  if (t == 'D')
    length = 8;
  else if (t == 'L')
    length = 1;
  if (length < 0 || length > 255 || decimals < 0 || decimals > 255)
    throw EDBFfileError(Format(Cz("Položka %s souboru %s má neplatnou délku"), {upper, FFileName}));
  // Not make_unique: the constructor is private to the table.
  fields.push_back(
      std::unique_ptr<TDBFField>(new TDBFField(*this, std::move(upper), t, length, decimals, recordLength)));
  recordLength += length;
}

void TDBFFile::AddField(std::string_view name, char type, int length, int decimals) {
  AppendField(FFields, FRecordLength, name, type, length, decimals);
  WriteU16(&FHeader[10], static_cast<unsigned>(std::min(FRecordLength, 0xFFFF)));
  FHeaderRecordLength = FRecordLength;
  // The buffer no longer matches the record layout.
  FBuffer.clear();
}

[[noreturn]] void TDBFFile::RaiseInvalid() const {
  throw EDBFfileError(Format(Cz("Soubor %s není platný DBF soubor"), {FFileName}));
}

[[noreturn]] void TDBFFile::RaiseNotOpen() const {
  throw EDBFfileError(Format(Cz("Soubor %s není otevřen"), {FFileName}));
}

void TDBFFile::RequireBuffer() const {
  if (!FActive || !FFile || FBuffer.empty())
    RaiseNotOpen();
}

int TDBFFile::HeaderLength() const { return static_cast<int>(ReadU16(&FHeader[8])); }

long long TDBFFile::RecordCount() const { return ReadU32(&FHeader[4]); }

void TDBFFile::SetRecordCount(std::uint32_t count) { WriteU32(&FHeader[4], count); }

long long TDBFFile::RecordOffset(long long recNo) const {
  return HeaderLength() + static_cast<long long>(FRecordLength) * recNo;
}

void TDBFFile::FillBlank() { std::fill(FBuffer.begin(), FBuffer.end(), ' '); }

void TDBFFile::CreateNew() {
  Close();
  if (FRecordLength > 0xFFFF)
    throw EDBFfileError(Format(Cz("Záznam souboru %s je delší než 65535 bajtů"), {FFileName}));
  const int fieldCount = FieldCount();
  const int headerLength = 32 + kDescriptorSize * fieldCount + 2;
  std::array<unsigned char, 32> header = FHeader;
  WriteU32(&header[4], 0);
  WriteU16(&header[8], static_cast<unsigned>(headerLength));
  WriteU16(&header[10], static_cast<unsigned>(FRecordLength));

  std::string bytes(reinterpret_cast<const char*>(header.data()), header.size());
  for (int i = 1; i <= fieldCount; ++i)
    bytes.append(reinterpret_cast<const char*>(FFields[i]->FDescriptor.data()), kDescriptorSize);
  bytes += static_cast<char>(kHeaderEnd);
  bytes += static_cast<char>(kEndOfFile);

  auto file = std::make_unique<FileHandle>(FFileName, O_RDWR | O_CREAT, 0666);
  file->CheckNoReaderDeniesWrite();
  file->Truncate();
  file->WriteAt(0, bytes.data(), bytes.size());

  FHeader = header;
  FHeaderRecordLength = FRecordLength;
  FFile = std::move(file);
  FBuffer.assign(FRecordLength, ' ');
  FRecNo = 0;
  FActive = true;
  FModified = false;
  FEof = true;
  FBof = true;
}

void TDBFFile::Open(TDBFAccess access) {
  Close();
  auto file = std::make_unique<FileHandle>(FFileName, access == TDBFAccess::ReadWrite ? O_RDWR : O_RDONLY);
  if (access == TDBFAccess::ReadOnlyDenyWrite)
    file->HoldSharedLock();
  else if (access == TDBFAccess::ReadWrite)
    file->CheckNoReaderDeniesWrite();

  const long long size = file->Size();
  if (size < 33)
    RaiseInvalid();
  std::array<unsigned char, 32> header{};
  if (file->ReadAt(0, header.data(), header.size()) != header.size())
    RaiseInvalid();
  const long long headerLength = ReadU16(&header[8]);
  const long long headerRecordLength = ReadU16(&header[10]);
  const long long recordCount = ReadU32(&header[4]);
  if (headerLength + headerRecordLength * recordCount > size)
    RaiseInvalid();

  // All descriptors the limit allows and the terminator after them, in one read.
  std::vector<unsigned char> descriptors(
      static_cast<size_t>(std::min<long long>(size - 32, kDescriptorSize * (kMaxFields + 1) + 1)));
  descriptors.resize(file->ReadAt(32, descriptors.data(), descriptors.size()));

  std::vector<std::unique_ptr<TDBFField>> fields;
  int recordLength = 0;
  AppendField(fields, recordLength, kDeletionFlag, 'C', 1, 0);
  size_t pos = 0;
  for (;;) {
    if (pos >= descriptors.size())
      RaiseInvalid();
    if (descriptors[pos] == kHeaderEnd)
      break;
    if (static_cast<int>(fields.size()) - 1 >= kMaxFields || 32 + static_cast<long long>(pos) + 33 > size ||
        pos + kDescriptorSize > descriptors.size())
      RaiseInvalid();
    const unsigned char* d = &descriptors[pos];
    const char type = NormalizeType(static_cast<char>(d[11]));
    if (type == 0)
      RaiseInvalid();
    std::string name;
    for (int i = 0; i < 10 && d[i] != 0; ++i)
      if (d[i] != ' ')
        name += static_cast<char>(d[i]);
    AppendField(fields, recordLength, name, type, d[16], d[17]);
    pos += kDescriptorSize;
  }
  // Records that would overlap the descriptors, and records no header could describe, mean
  // the file is not what it claims to be.
  const int fieldCount = static_cast<int>(fields.size()) - 1;
  if (headerLength < 32 + kDescriptorSize * fieldCount + 1 || recordLength > 0xFFFF)
    RaiseInvalid();

  std::vector<char> buffer(static_cast<size_t>(recordLength), ' ');
  const bool empty = recordCount < 1;
  if (!empty && file->ReadAt(headerLength, buffer.data(), buffer.size()) != buffer.size())
    RaiseInvalid();

  // Only now the table takes over: a failure above leaves it closed with its old fields.
  for (auto& field : fields)
    field->FTable = this;
  FFields = std::move(fields);
  FRecordLength = recordLength;
  FHeaderRecordLength = static_cast<int>(headerRecordLength);
  FHeader = header;
  WriteU16(&FHeader[10], static_cast<unsigned>(recordLength));
  FBuffer = std::move(buffer);
  FFile = std::move(file);
  FRecNo = 0;
  FActive = true;
  FModified = false;
  FBof = true;
  FEof = empty;
}

void TDBFFile::Close() {
  if (!FFile) {
    FActive = false;
    FBuffer.clear();
    return;
  }
  std::unique_ptr<FileHandle> file = std::move(FFile);
  const bool writeBack = FActive && FModified;
  FBuffer.clear();
  FActive = false;
  FModified = false;
  FRecNo = 0;
  FEof = true;
  FBof = true;
  if (writeBack) {
    file->WriteAt(0, FHeader.data(), FHeader.size());
    const unsigned char mark = kEndOfFile;
    file->WriteAt(RecordOffset(RecordCount()), &mark, 1);
  }
  file->Close();
}

void TDBFFile::ReadRecord(long long recNo) {
  if (FFile->ReadAt(RecordOffset(recNo), FBuffer.data(), FBuffer.size()) != FBuffer.size()) {
    // The header promised more than the file holds (its record length was shorter than the
    // fields need).
    FillBlank();
    FEof = true;
    RaiseInvalid();
  }
}

void TDBFFile::GoTo(long long recNo) {
  RequireBuffer();
  if (recNo < 0) {
    FBof = true;
    FillBlank();
  } else if (recNo >= RecordCount()) {
    FEof = true;
    FillBlank();
  } else {
    ReadRecord(recNo);
    FRecNo = recNo;
    FBof = false;
    FEof = false;
  }
}

void TDBFFile::First() {
  GoTo(0);
  FBof = true;
}

void TDBFFile::Next() { GoTo(FRecNo + 1); }

void TDBFFile::Append() {
  RequireBuffer();
  FRecNo = RecordCount();
  FillBlank();
}

void TDBFFile::Post() {
  RequireBuffer();
  if (FRecNo >= 0xFFFFFFFFLL)
    throw EDBFfileError(Format(Cz("Soubor %s nemůže mít další záznamy"), {FFileName}));
  FFile->WriteAt(RecordOffset(FRecNo), FBuffer.data(), FBuffer.size());
  if (FRecNo >= RecordCount()) {
    SetRecordCount(static_cast<std::uint32_t>(FRecNo + 1));
    FModified = true;
  }
  FBof = FRecNo <= 0;
  FEof = FRecNo >= RecordCount() - 1;
}

TDBFField* TDBFFile::FindField(std::string_view name) const {
  const std::string upper = AnsiUpperCase(name);
  for (const auto& field : FFields)
    if (field->FName == upper)
      return field.get();
  return nullptr;
}

TDBFField& TDBFFile::FieldByName(std::string_view name) const {
  if (TDBFField* field = FindField(name))
    return *field;
  throw EDBFfileError(Format(Cz("Položka %s nebyla v souboru %s nalezena"), {std::string(name), FFileName}));
}

TDBFField& TDBFFile::Fields(int index) const {
  if (index < 0 || index > FieldCount())
    throw EDBFfileError(Format(Cz("Položka č.%d nebyla v souboru %s nalezena"), {index, FFileName}));
  return *FFields[static_cast<size_t>(index)];
}

bool TDBFFile::IsDeleted() const { return !FBuffer.empty() && static_cast<unsigned char>(FBuffer[0]) > 0x20; }
