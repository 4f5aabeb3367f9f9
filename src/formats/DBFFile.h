#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/DateTime.h"
#include "core/Errors.h"
#include "core/Locale.h"

// A dBase III table (".DBF"): one table per object, one current record held in a buffer,
// sequential and positioned reads, appending and overwriting of whole records. No indexes,
// no memo files. The byte layout is described in doc/dbf.md.
//
// All texts (file name, field names, values) are code page 1250. Character fields are
// converted between the table's code page and 1250 on every read and write, by the
// conversion mode given at construction.

// A failure of the table itself (invalid file, unknown field, table not open, a value that
// does not fit). Operating-system failures are EInOutError instead.
class EDBFfileError : public Exception {
public:
  using Exception::Exception;
};

// How the character fields of a table are coded.
enum class TDBFConversion : std::uint8_t {
  None = 0,            // stored as code page 1250
  Kamenicky = 1,       // the Czech DOS code page KEYBCS2 <-> 1250
  Cp852 = 2,           // DOS Latin-2 <-> 1250; the mode of every table the program touches
  RemoveDiacritics = 3 // read as stored, written with the diacritics folded to plain letters
};

// How Open reaches the file.
enum class TDBFAccess {
  // Reading; while the table is open, other openers for writing through this class fail.
  // On this platform the guard is an advisory lock (flock): it keeps out other instances of
  // the program, not arbitrary processes.
  ReadOnlyDenyWrite,
  // Reading only, no guard.
  ReadOnly,
  // Reading and writing; fails while another opener holds ReadOnlyDenyWrite.
  ReadWrite,
};

class TDBFFile;

// One field of a table; owned by its table and valid until the table's next Open or its end.
// Every accessor works on the table's current record buffer. Reading a field of a closed
// table gives empty text (0 for numbers and dates); writing one does nothing.
class TDBFField {
public:
  TDBFField(const TDBFField&) = delete;
  TDBFField& operator=(const TDBFField&) = delete;

  // The value as text, with trailing blanks removed (N fields also lose leading blanks),
  // character fields converted to 1250 and dates as dd.mm.yyyy with the locale's date
  // separator ("" for an empty date).
  std::string AsString() const;
  // The same into a caller's string, reusing its storage (for tight loops).
  void AsString(std::string& out) const;

  // Stores text. C: padded with spaces or cut to the length, then converted to the table's
  // code page. D: read as a date typed by the user, stored as YYYYMMDD ("00000000" when it
  // is no date). L: "T" when the first character is A, T or Y (either case), else "F".
  // N: the text is read as a number and stored right-aligned; a number whose text is wider
  // than the field, and text that is not a number, raise EDBFfileError and leave the record
  // unchanged. M: nothing is stored.
  void SetAsString(std::string_view value);

  // The value read as a number rounded to a whole number (halves to even); 0 when the text
  // is not a number or the number lies outside the 32-bit range.
  int AsInteger() const;
  void SetAsInteger(int value);
  // The value read as a number (rounded to 5 decimals); 0 when the text is not a number.
  double AsFloat() const;
  // The value read as a date; 0 when empty or not a date.
  TDateTime AsDate() const;
  // Writes the date as dd.mm.yyyy through SetAsString, so a D field receives YYYYMMDD and
  // the date 0 gives "00000000".
  void SetAsDate(TDateTime value);

  const std::string& Name() const { return FName; }
  // One of 'C', 'D', 'L', 'M', 'N'.
  char FieldType() const { return FType; }
  int Length() const { return FLength; }
  int Decimals() const { return FDecimals; }
  // Offset in the record; the deletion flag is at 0, the first real field at 1.
  int Offset() const { return FOffset; }

private:
  friend class TDBFFile;
  TDBFField(TDBFFile& table, std::string name, char type, int length, int decimals, int offset);

  // The stored bytes up to the first 0x00 with trailing blanks removed; empty when the
  // table has no record buffer.
  std::string_view Trimmed() const;
  void Store(std::string_view bytes);

  TDBFFile* FTable;
  std::string FName;
  char FType;
  int FLength;
  int FDecimals;
  int FOffset;
  std::array<unsigned char, 32> FDescriptor{};
};

class TDBFFile {
public:
  // A closed table with only the deletion flag field. Nothing is touched on disk.
  // The locale gives the date separator of D fields read as text.
  explicit TDBFFile(std::string fileName, TDBFConversion conversion = TDBFConversion::Cp852,
                    const Locale& locale = CurrentLocale());
  // Closes an open table; errors of that last write are swallowed (call Close to see them).
  ~TDBFFile();
  TDBFFile(const TDBFFile&) = delete;
  TDBFFile& operator=(const TDBFFile&) = delete;

  // Appends a field: the name upper-cased and cut to 10 characters, an unknown type becomes
  // C, a D field is 8 and an L field 1 byte long whatever length is given. Discards the
  // record buffer, so fields are added before CreateNew. A length outside 0-255 raises
  // EDBFfileError.
  void AddField(std::string_view name, char type, int length, int decimals = 0);

  // Creates the file (an existing one is overwritten in place) with the fields added so far
  // and no records; the table is then open for writing with Eof and Bof set. A record longer
  // than 65535 bytes raises EDBFfileError. Callers that must not leave a partial table over a
  // good one create it under a temporary name and rename it after Close.
  void CreateNew();

  // Opens an existing table (closing an open one first), validates its header and field
  // descriptors and reads record 0. An invalid file raises EDBFfileError, an OS failure
  // (missing file, no access, locked by another opener) EInOutError; either way the table
  // stays closed and keeps its previous field list.
  void Open(TDBFAccess access = TDBFAccess::ReadWrite);

  // Writes the header and the end-of-file mark when records were appended, then closes the
  // file. The file is not truncated. Does nothing on a closed table. The file is released
  // even when the final write fails; the failure is raised afterwards.
  void Close();

  // Cursor movement; each raises EDBFfileError "Soubor %s není otevřen" on a closed table.
  // GoTo below 0 sets Bof, at or past the end sets Eof (the buffer then holds spaces); a
  // record cut off by the end of the file raises "Soubor %s není platný DBF soubor".
  void GoTo(long long recNo);
  void First();
  void Next();
  // Starts a new record after the last one (all spaces); nothing is written until Post.
  void Append();
  // Writes the current record; appending grows the record count.
  void Post();

  // The field of that name (compared upper-cased; "DELFLAG" is the deletion flag), or null.
  TDBFField* FindField(std::string_view name) const;
  // As FindField, but raises EDBFfileError for an unknown name.
  TDBFField& FieldByName(std::string_view name) const;
  // Index 0 is the deletion flag, 1 to FieldCount() the table's fields; other indexes raise
  // EDBFfileError.
  TDBFField& Fields(int index) const;
  int FieldCount() const { return static_cast<int>(FFields.size()) - 1; }

  // The deletion-flag byte of the current record is above 0x20.
  bool IsDeleted() const;

  long long RecordCount() const;
  long long RecNo() const { return FRecNo; }
  bool Eof() const { return FEof; }
  bool Bof() const { return FBof; }
  bool Active() const { return FActive; }
  const std::string& FileName() const { return FFileName; }
  TDBFConversion Conversion() const { return FConversion; }
  // Header length (offset of the first record) as in the header.
  int HeaderLength() const;
  // The record length: 1 + the sum of the field lengths.
  int RecordLength() const { return FRecordLength; }
  // The record length the file's header stated when it was opened (it may disagree with
  // RecordLength(), which is what records are read with); RecordLength() for a created table.
  int HeaderRecordLength() const { return FHeaderRecordLength; }

private:
  friend class TDBFField;

  class FileHandle;

  [[noreturn]] void RaiseInvalid() const;
  [[noreturn]] void RaiseNotOpen() const;
  void RequireBuffer() const;
  void FillBlank();
  void ReadRecord(long long recNo);
  void SetRecordCount(std::uint32_t count);
  void ResetFields();
  void AppendField(std::vector<std::unique_ptr<TDBFField>>& fields, int& recordLength, std::string_view name, char type,
                   int length, int decimals);
  long long RecordOffset(long long recNo) const;

  std::string FFileName;
  TDBFConversion FConversion;
  char FDateSeparator;
  std::array<unsigned char, 32> FHeader{};
  std::vector<std::unique_ptr<TDBFField>> FFields;
  int FRecordLength = 0;
  int FHeaderRecordLength = 0;
  // Holds the current record while the table is open; empty otherwise.
  std::vector<char> FBuffer;
  std::unique_ptr<FileHandle> FFile;
  long long FRecNo = 0;
  bool FActive = false;
  bool FModified = false;
  bool FEof = true;
  bool FBof = true;
};
