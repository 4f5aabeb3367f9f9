#include "formats/DBFFile.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "formats/Cp1250Utf8.h"
#include "support/TestSupport.h"

namespace {

// A table written byte by byte, so tests can damage exactly one part of it.
struct RawField {
  std::string Name; // up to 11 bytes, stored as given
  char Type;
  int Length;
  int Decimals = 0;
};

void PutU16(std::string& s, size_t at, unsigned v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}
void PutU32(std::string& s, size_t at, unsigned v) {
  for (int i = 0; i < 4; ++i)
    s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Header length 32 + 32n + 1 (no end-of-file mark inside the header, as dBase itself
// writes it), the records as given, then the end-of-file mark.
std::string RawTable(const std::vector<RawField>& fields, const std::vector<std::string>& records) {
  std::string s(32, '\0');
  s[0] = 0x03;
  int recordLength = 1;
  for (const RawField& f : fields) {
    std::string d(32, '\0');
    d.replace(0, f.Name.size(), f.Name);
    d[11] = f.Type;
    d[16] = static_cast<char>(f.Length);
    d[17] = static_cast<char>(f.Decimals);
    s += d;
    recordLength += f.Length;
  }
  s += '\x0D';
  PutU32(s, 4, static_cast<unsigned>(records.size()));
  PutU16(s, 8, static_cast<unsigned>(s.size()));
  PutU16(s, 10, static_cast<unsigned>(recordLength));
  for (const std::string& r : records)
    s += r;
  s += '\x1A';
  return s;
}

std::string InvalidMessage(const std::string& name) { return Cz("Soubor ") + name + Cz(" není platný DBF soubor"); }
std::string NotOpenMessage(const std::string& name) { return Cz("Soubor ") + name + Cz(" není otevřen"); }

// The message of the EDBFfileError the action raises, or a marker when it raises none.
std::string DbfErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EDBFfileError& e) {
    return e.what();
  }
  return "<no EDBFfileError>";
}

class DBFFileTest : public ::testing::Test {
protected:
  // The program's file names are code page 1250; this one has a Czech letter on purpose.
  std::string Name(const std::string& utf8 = "ceník.dbf") const { return Utf8ToCp1250(Dir.File(utf8)); }
  void Write(const std::string& bytes, const std::string& utf8 = "ceník.dbf") const {
    WriteFileBytes(Dir.File(utf8), bytes);
  }
  std::string Bytes(const std::string& utf8 = "ceník.dbf") const { return ReadFileBytes(Dir.File(utf8)); }

  TempDir Dir;
};

// --- Opening and validation -----------------------------------------------------------

struct BadFile {
  const char* Label;
  std::function<std::string()> Make;
};

std::string GoodTwoRecords() { return RawTable({{"KOD", 'C', 5}}, {" AAAAA", " BBBBB"}); }

const BadFile kBadFiles[] = {
    {"Empty", [] { return std::string(); }},
    {"HeaderOnly32Bytes", [] { return GoodTwoRecords().substr(0, 32); }},
    {"MoreRecordsThanTheFileHolds",
     [] {
       std::string s = GoodTwoRecords();
       PutU32(s, 4, 3); // record count
       return s;
     }},
    {"HugeRecordCount",
     [] {
       std::string s = GoodTwoRecords();
       PutU32(s, 4, 0xFFFFFFFFu);
       return s;
     }},
    {"DescriptorCutOffByEndOfFile",
     [] {
       // No records and a header length that fits, so only the descriptor check can fail.
       std::string s = RawTable({{"KOD", 'C', 5}, {"NAZEV", 'C', 20}}, {});
       PutU16(s, 8, 33);
       return s.substr(0, 32 + 32 + 20);
     }},
    {"TerminatorMissingAtEndOfFile",
     [] {
       std::string s = RawTable({{"KOD", 'C', 5}}, {});
       PutU16(s, 8, 33);
       return s.substr(0, 32 + 32); // the file ends right after the only descriptor
     }},
    {"FieldTypeF",
     [] {
       return RawTable({{"KOD", 'C', 5}, {"CENA", 'F', 10, 2}}, {});
     }},
    {"Field1001",
     [] {
       std::vector<RawField> fields(1001, RawField{"X", 'C', 1});
       return RawTable(fields, {});
     }},
    {"HeaderLengthInsideTheDescriptors",
     [] {
       std::string s = GoodTwoRecords();
       PutU16(s, 8, 40); // records would start inside the first descriptor
       return s;
     }},
};

class DBFBadFileTest : public DBFFileTest, public ::testing::WithParamInterface<BadFile> {};

TEST_P(DBFBadFileTest, OpenFailsAndTheTableStaysClosed) {
  Write(GetParam().Make());
  TDBFFile table(Name());
  EXPECT_EQ(DbfErrorOf([&] { table.Open(TDBFAccess::ReadOnly); }), InvalidMessage(Name()));
  EXPECT_FALSE(table.Active());
  EXPECT_EQ(DbfErrorOf([&] { table.First(); }), NotOpenMessage(Name()));
}

INSTANTIATE_TEST_SUITE_P(Dbf, DBFBadFileTest, ::testing::ValuesIn(kBadFiles),
                         [](const auto& p) { return std::string(p.param.Label); });

TEST_F(DBFFileTest, MissingFileIsAnInputOutputError) {
  TDBFFile table(Name("chybí.dbf"));
  EXPECT_THROW(table.Open(TDBFAccess::ReadOnly), EInOutError);
  EXPECT_FALSE(table.Active());
}

TEST_F(DBFFileTest, ExactlyThousandFieldsOpen) {
  std::vector<RawField> fields(1000, RawField{"X", 'C', 1});
  fields.back().Name = "LAST";
  Write(RawTable(fields, {" " + std::string(999, 'x') + "Z"}));
  TDBFFile table(Name());
  table.Open(TDBFAccess::ReadOnly);
  EXPECT_EQ(table.FieldCount(), 1000);
  EXPECT_EQ(table.Fields(1000).Name(), "LAST");
  EXPECT_EQ(table.FieldByName("last").AsString(), "Z");
}

TEST_F(DBFFileTest, ShortRecordLengthInHeaderAndHugeCountEndsWithAnErrorNotAHang) {
  // The header claims 4 billion records of length 0, which passes the size check; the
  // records really are 6 bytes and the file holds two of them.
  std::string s = GoodTwoRecords();
  PutU16(s, 10, 0);
  PutU32(s, 4, 0xFFFFFFFFu);
  Write(s);
  TDBFFile table(Name());
  table.Open(TDBFAccess::ReadOnly);
  EXPECT_EQ(table.HeaderRecordLength(), 0);
  EXPECT_EQ(table.RecordLength(), 6);
  EXPECT_EQ(table.Fields(1).AsString(), "AAAAA");
  table.Next();
  EXPECT_EQ(table.Fields(1).AsString(), "BBBBB");
  // Record 2 would be the end-of-file mark and nothing after it.
  EXPECT_EQ(DbfErrorOf([&] { table.Next(); }), InvalidMessage(Name()));
  EXPECT_TRUE(table.Eof());
}

TEST_F(DBFFileTest, ZeroRecordsMeanEofAtOnce) {
  Write(RawTable({{"KOD", 'C', 5}}, {}));
  TDBFFile table(Name());
  table.Open(TDBFAccess::ReadOnly);
  EXPECT_TRUE(table.Eof());
  EXPECT_TRUE(table.Bof());
  EXPECT_EQ(table.RecordCount(), 0);
  EXPECT_EQ(table.FieldByName("KOD").AsString(), "");
  EXPECT_FALSE(table.IsDeleted());
}

TEST_F(DBFFileTest, RecordsAreReadWithTheSumOfTheFieldLengths) {
  std::string s = RawTable({{"A", 'C', 2}, {"B", 'C', 3}}, {" aabbb", " ccddd", " eefff"});
  PutU16(s, 10, 4); // the header says 4, the fields need 6
  Write(s);
  TDBFFile table(Name());
  table.Open(TDBFAccess::ReadOnly);
  EXPECT_EQ(table.HeaderRecordLength(), 4);
  EXPECT_EQ(table.RecordLength(), 6);
  std::vector<std::string> seen;
  for (table.First(); !table.Eof(); table.Next())
    seen.push_back(table.Fields(1).AsString() + "|" + table.Fields(2).AsString());
  EXPECT_EQ(seen, (std::vector<std::string>{"aa|bbb", "cc|ddd", "ee|fff"}));
}

TEST_F(DBFFileTest, FieldNamesAreFoundByTheirUpperCaseSpaceFreeForm) {
  // Lower case, trailing spaces and a space inside the stored names.
  Write(RawTable({{"kod  ", 'c', 3}, {"na zev", 'C', 4}}, {" 123abcd"}));
  TDBFFile table(Name());
  table.Open(TDBFAccess::ReadOnly);
  ASSERT_NE(table.FindField("KOD"), nullptr);
  EXPECT_EQ(table.FindField("kod")->AsString(), "123");
  EXPECT_EQ(table.FindField("Kod")->FieldType(), 'C');
  EXPECT_EQ(table.FieldByName("NAZEV").AsString(), "abcd");
  EXPECT_EQ(table.FindField("delflag"), &table.Fields(0));
  EXPECT_EQ(table.FindField("CENA"), nullptr);
}

TEST_F(DBFFileTest, DeletionFlagAbove0x20MarksADeletedRecord) {
  const struct {
    char Flag;
    bool Deleted;
  } rows[] = {{' ', false}, {'*', true}, {'!', true}, {'\0', false}, {'\x1F', false}, {'\xFF', true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(static_cast<int>(static_cast<unsigned char>(row.Flag)));
    Write(RawTable({{"KOD", 'C', 1}}, {std::string(1, row.Flag) + "x"}));
    TDBFFile table(Name());
    table.Open(TDBFAccess::ReadOnly);
    EXPECT_EQ(table.IsDeleted(), row.Deleted);
  }
}

// --- Reading values -------------------------------------------------------------------

struct ReadCase {
  const char* Label;
  RawField Field;
  std::string Stored;
  std::string Text;
  double Number;
};

const ReadCase kReads[] = {
    {"CharStopsAtZeroByte", {"T", 'C', 6}, std::string("AB\0CD ", 6), "AB", 0},
    {"CharTrailingControlBytesGo", {"T", 'C', 5}, "ab\x01\x1F ", "ab", 0},
    {"CharLeadingSpacesStay", {"T", 'C', 5}, "  ab ", "  ab", 0},
    {"NumberLosesBothSides", {"T", 'N', 8, 2}, "  -12.50", "-12.50", -12.5},
    {"NumberNotANumberReadsAsZero", {"T", 'N', 5}, "  abc", "abc", 0},
    {"NumberBlankReadsAsZero", {"T", 'N', 5}, "     ", "", 0},
    {"DateBlank", {"T", 'D', 8}, "        ", "", 0},
    {"DateZeros", {"T", 'D', 8}, "00000000", "", 0},
    {"DateLeapDay", {"T", 'D', 8}, "20240229", "29.02.2024", 45351},
    {"LogicalAsStored", {"T", 'L', 1}, "?", "?", 0},
    {"MemoBlockNumber", {"T", 'M', 10}, "       123", "       123", 0},
};

class DBFReadTest : public DBFFileTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(DBFReadTest, ValueReadsAsTextNumberAndDate) {
  const ReadCase& c = GetParam();
  Write(RawTable({c.Field}, {" " + c.Stored}));
  TDBFFile table(Name(), TDBFConversion::Cp852, Locale::Czech());
  table.Open(TDBFAccess::ReadOnly);
  const TDBFField& field = table.Fields(1);
  EXPECT_EQ(field.AsString(), c.Text);
  if (c.Field.Type == 'D') {
    EXPECT_EQ(field.AsDate(), c.Number);
  } else if (c.Field.Type == 'N') {
    EXPECT_EQ(field.AsFloat(), c.Number);
  }
}

INSTANTIATE_TEST_SUITE_P(Dbf, DBFReadTest, ::testing::ValuesIn(kReads),
                         [](const auto& p) { return std::string(p.param.Label); });

TEST_F(DBFFileTest, DatesUseTheLocaleSeparator) {
  Write(RawTable({{"D", 'D', 8}}, {" 20240115"}));
  Locale locale = Locale::Czech();
  locale.DateSeparator = '/';
  TDBFFile table(Name(), TDBFConversion::Cp852, locale);
  table.Open(TDBFAccess::ReadOnly);
  EXPECT_EQ(table.Fields(1).AsString(), "15/01/2024");
}

TEST_F(DBFFileTest, AsIntegerRoundsHalvesToEvenAndRejectsOutOfRange) {
  const struct {
    const char* Stored;
    int Expected;
  } rows[] = {{"       2.5", 2}, {"       3.5", 4},          {"      -2.5", -2}, {"     12.49", 12},
              {"2147483647", 0}, {"-214748364", -214748364}, {"       abc", 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Stored);
    Write(RawTable({{"N", 'N', 10, 2}}, {std::string(" ") + row.Stored}));
    TDBFFile table(Name());
    table.Open(TDBFAccess::ReadOnly);
    EXPECT_EQ(table.Fields(1).AsInteger(), row.Expected);
  }
}

// --- Writing values -------------------------------------------------------------------

struct WriteCase {
  const char* Label;
  RawField Field;
  std::function<void(TDBFField&)> Set;
  std::string Stored;
};

std::function<void(TDBFField&)> Text(std::string cp1250) {
  return [cp1250](TDBFField& f) { f.SetAsString(cp1250); };
}

const WriteCase kWrites[] = {
    {"NumberCommaRoundedToWhole", {"N", 'N', 5}, Text("3,5"), "    4"},
    {"NumberHalfToEven", {"N", 'N', 5}, Text("2,5"), "    2"},
    {"NumberWithDecimals", {"N", 'N', 8, 2}, Text("1234,5"), " 1234.50"},
    {"NumberNegativeFraction", {"N", 'N', 5, 2}, Text("-0,5"), "-0.50"},
    {"NumberTenWideIsFixed", {"N", 'N', 10}, Text("123"), "       123"},
    {"NumberEmptyIsZero", {"N", 'N', 3}, Text(""), "  0"},
    {"NumberSpacesIgnored", {"N", 'N', 5}, Text(" 1 000 "), " 1000"},
    {"NumberExactlyFits", {"N", 'N', 3}, Text("-99"), "-99"},
    {"Integer", {"N", 'N', 5}, [](TDBFField& f) { f.SetAsInteger(-42); }, "  -42"},
    {"LogicalNic", {"L", 'L', 1}, Text("nic"), "F"},
    {"LogicalAno", {"L", 'L', 1}, Text("ano"), "T"},
    {"LogicalYes", {"L", 'L', 1}, Text("Yes"), "T"},
    {"LogicalTrue", {"L", 'L', 1}, Text("t"), "T"},
    {"LogicalEmpty", {"L", 'L', 1}, Text(""), "F"},
    {"CharCut", {"C", 'C', 5}, Text("abcdefgh"), "abcde"},
    {"CharPadded", {"C", 'C', 5}, Text("ab"), "ab   "},
    {"DateTyped", {"D", 'D', 8}, Text("15.1.2024"), "20240115"},
    {"DateShortYear", {"D", 'D', 8}, Text("29/2/24"), "20240229"},
    {"DateImpossible", {"D", 'D', 8}, Text("30.2.2024"), "00000000"},
    {"DateEmpty", {"D", 'D', 8}, Text(""), "00000000"},
    {"DateValue", {"D", 'D', 8}, [](TDBFField& f) { f.SetAsDate(45351); }, "20240229"},
    {"DateValueZero", {"D", 'D', 8}, [](TDBFField& f) { f.SetAsDate(0); }, "00000000"},
    {"DateValueIntoChar", {"C", 'C', 10}, [](TDBFField& f) { f.SetAsDate(45351); }, "29.02.2024"},
    {"MemoUntouched", {"M", 'M', 10}, Text("123"), "          "},
};

class DBFWriteTest : public DBFFileTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(DBFWriteTest, StoresTheExpectedBytes) {
  const WriteCase& c = GetParam();
  {
    TDBFFile table(Name());
    table.AddField(c.Field.Name, c.Field.Type, c.Field.Length, c.Field.Decimals);
    table.CreateNew();
    table.Append();
    c.Set(table.Fields(1));
    table.Post();
    table.Close();
  }
  const std::string bytes = Bytes();
  const size_t headerLength = 32 + 32 + 2;
  ASSERT_EQ(bytes.size(), headerLength + 1 + c.Stored.size() + 1);
  EXPECT_EQ(bytes.substr(headerLength + 1, c.Stored.size()), c.Stored);
}

INSTANTIATE_TEST_SUITE_P(Dbf, DBFWriteTest, ::testing::ValuesIn(kWrites),
                         [](const auto& p) { return std::string(p.param.Label); });

TEST_F(DBFFileTest, NumbersThatDoNotFitOrAreNoNumbersAreRefused) {
  const struct {
    RawField Field;
    const char* Text;
    const char* Message;
  } rows[] = {
      {{"POCET", 'N', 3}, "12345", "Hodnota 12345 se nevejde do položky POCET souboru "},
      {{"POCET", 'N', 3}, "-100", "Hodnota -100 se nevejde do položky POCET souboru "},
      {{"CENA", 'N', 5, 2}, "123,45", "Hodnota 123.45 se nevejde do položky CENA souboru "},
      {{"CENA", 'N', 12, 2}, "1e20", "Hodnota 100000000000000000000.00 se nevejde do položky CENA souboru "},
      {{"CENA", 'N', 8, 2}, "abc", "Hodnota abc položky CENA souboru "},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Text);
    TDBFFile table(Name());
    table.AddField(row.Field.Name, row.Field.Type, row.Field.Length, row.Field.Decimals);
    table.CreateNew();
    table.Append();
    const std::string message = DbfErrorOf([&] { table.Fields(1).SetAsString(row.Text); });
    EXPECT_EQ(message.substr(0, Cz(row.Message).size()), Cz(row.Message));
    // The record keeps what it had.
    EXPECT_EQ(table.Fields(1).AsString(), "");
  }
}

TEST_F(DBFFileTest, CreatedTableHasTheDocumentedLayout) {
  {
    TDBFFile table(Name());
    table.AddField("nazev_dlouhe_jmeno", 'C', 128);
    table.AddField("POPIS", 'C', 128);
    table.AddField("POCET", 'N', 3);
    table.AddField("DATUM", 'D', 99); // dates are always 8 bytes
    table.AddField("KOD", 'X', 8);    // unknown types become C
    EXPECT_EQ(table.RecordLength(), 276);
    table.CreateNew();
    EXPECT_TRUE(table.Active());
    EXPECT_TRUE(table.Eof());
    EXPECT_TRUE(table.Bof());
    EXPECT_EQ(table.HeaderLength(), 194);
    for (int i = 0; i < 2; ++i) {
      table.Append();
      table.FieldByName("POCET").SetAsInteger(i);
      table.Post();
    }
    table.Close();
  }
  const std::string b = Bytes();
  ASSERT_EQ(b.size(), 194u + 2 * 276 + 1);
  EXPECT_EQ(b.substr(0, 4), "\x03\x5C\x06\x11");                         // version, 17 June 1992
  EXPECT_EQ(b.substr(4, 8), std::string("\x02\0\0\0\xC2\0\x14\x01", 8)); // 2 records, 194, 276
  EXPECT_EQ(b.substr(12, 20), std::string(20, '\0'));
  EXPECT_EQ(b.substr(32, 32), std::string("NAZEV_DLOU\0C\0\0\0\0\x80\0", 18) + std::string(14, '\0'));
  EXPECT_EQ(b[32 + 3 * 32 + 11], 'D');
  EXPECT_EQ(b[32 + 3 * 32 + 16], 8);
  EXPECT_EQ(b[32 + 4 * 32 + 11], 'C');
  EXPECT_EQ(b.substr(192, 2), "\x0D\x1A");
  EXPECT_EQ(b[194], ' ');                       // deletion flag of record 0
  EXPECT_EQ(b.substr(194 + 1 + 256, 3), "  0"); // POCET of record 0
  EXPECT_EQ(b.substr(194 + 276 + 1 + 256, 3), "  1");
  EXPECT_EQ(b.back(), '\x1A');
}

TEST_F(DBFFileTest, CzechTextRoundTripsAndIsStoredIn852) {
  const std::string text = Cz("Příliš žluťoučký kůň úpěl ďábelské ódy ĎŤŇ ÁÉÍÓÚŮÝŽŠČŘĚ äöüÄÖÜ ĺľŕ ĹĽŔ ôÔ ű §°«»");
  const std::string dos = "P\xFD\xA1li\xE7 \xA7lu\x9Cou\x9Fk\xEC k\x85\xE5 \xA3p\xD8l \xD4\xA0"
                          "belsk\x82 \xA2"
                          "dy \xD2\x9B\xD5 \xB5\x90\xD6\xE0\xE9\xDE\xED\xA6\xE6\xAC\xFC\xB7 \x84\x94\x81\x8E\x99\x9A "
                          "\x92\x96\xEA \x91\x95\xE8 \x93\xE2 \xFB \xF5\xF8\xAE\xAF";
  {
    TDBFFile table(Name(), TDBFConversion::Cp852);
    table.AddField("TEXT", 'C', 100);
    table.CreateNew();
    table.Append();
    table.Fields(1).SetAsString(text);
    table.Post();
    table.Close();
  }
  EXPECT_EQ(Bytes().substr(32 + 32 + 2 + 1, dos.size()), dos);
  TDBFFile table(Name(), TDBFConversion::Cp852);
  table.Open(TDBFAccess::ReadOnly);
  EXPECT_EQ(table.Fields(1).AsString(), text);
}

TEST_F(DBFFileTest, OtherConversionModes) {
  const std::string text = Cz("Žluťoučký kůň");
  const struct {
    TDBFConversion Mode;
    std::string Stored;
    std::string ReadBack;
  } rows[] = {
      {TDBFConversion::None, text, text},
      {TDBFConversion::Kamenicky, "\x92lu\x9Fou\x87k\x98 k\x96\xA4", text},
      {TDBFConversion::RemoveDiacritics, "Zlutoucky kun", "Zlutoucky kun"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(static_cast<int>(row.Mode));
    {
      TDBFFile table(Name(), row.Mode);
      table.AddField("TEXT", 'C', 13);
      table.CreateNew();
      table.Append();
      table.Fields(1).SetAsString(text);
      table.Post();
    }
    EXPECT_EQ(Bytes().substr(32 + 32 + 2 + 1, 13), row.Stored);
    TDBFFile table(Name(), row.Mode);
    table.Open(TDBFAccess::ReadOnly);
    EXPECT_EQ(table.Fields(1).AsString(), row.ReadBack);
  }
}

// --- Cursor ---------------------------------------------------------------------------

class DBFCursorTest : public DBFFileTest {
protected:
  void SetUp() override {
    Write(RawTable({{"KOD", 'C', 1}}, {" a", " b", " c"}));
    Table.Open(TDBFAccess::ReadWrite);
  }
  std::string Current() const { return Table.Fields(1).AsString(); }

  TDBFFile Table{Name()};
};

TEST_F(DBFCursorTest, MovesByTheRules) {
  EXPECT_EQ(Table.RecNo(), 0);
  EXPECT_TRUE(Table.Bof());
  EXPECT_FALSE(Table.Eof());
  EXPECT_EQ(Current(), "a");

  Table.Next();
  EXPECT_EQ(Table.RecNo(), 1);
  EXPECT_FALSE(Table.Bof());
  EXPECT_EQ(Current(), "b");

  // Below 0: Bof, blank buffer, record number and Eof kept.
  Table.GoTo(-1);
  EXPECT_TRUE(Table.Bof());
  EXPECT_FALSE(Table.Eof());
  EXPECT_EQ(Table.RecNo(), 1);
  EXPECT_EQ(Current(), "");

  Table.GoTo(2);
  EXPECT_FALSE(Table.Bof());
  EXPECT_EQ(Current(), "c");

  // Past the end: Eof, blank buffer, record number and Bof kept.
  Table.Next();
  EXPECT_TRUE(Table.Eof());
  EXPECT_FALSE(Table.Bof());
  EXPECT_EQ(Table.RecNo(), 2);
  EXPECT_EQ(Current(), "");

  Table.First();
  EXPECT_EQ(Table.RecNo(), 0);
  EXPECT_TRUE(Table.Bof());
  EXPECT_FALSE(Table.Eof());
  EXPECT_EQ(Current(), "a");
}

TEST_F(DBFCursorTest, PostSetsTheFlagsAndGrowsOnlyWhenAppending) {
  Table.GoTo(1);
  Table.Fields(1).SetAsString("B");
  Table.Post();
  EXPECT_FALSE(Table.Bof());
  EXPECT_FALSE(Table.Eof());
  EXPECT_EQ(Table.RecordCount(), 3);

  Table.GoTo(0);
  Table.Post();
  EXPECT_TRUE(Table.Bof());

  Table.Append();
  EXPECT_EQ(Table.RecNo(), 3);
  EXPECT_EQ(Current(), "");
  EXPECT_FALSE(Table.IsDeleted());
  Table.Fields(1).SetAsString("d");
  Table.Post();
  EXPECT_EQ(Table.RecordCount(), 4);
  EXPECT_TRUE(Table.Eof());
  EXPECT_FALSE(Table.Bof());
  Table.Close();

  // The raw table had header length 32 + 32 + 1 and records of 2 bytes; the end-of-file mark
  // moved behind the new record.
  EXPECT_EQ(Bytes(), [] {
    std::string s = RawTable({{"KOD", 'C', 1}}, {" a", " B", " c", " d"});
    return s;
  }());
}

TEST_F(DBFCursorTest, OpeningAgainClosesFirstAndRereads) {
  Table.Append();
  Table.Post();
  Table.Open(TDBFAccess::ReadOnly); // closes, writing the header with 4 records
  EXPECT_EQ(Table.RecordCount(), 4);
}

TEST_F(DBFFileTest, ClosedTableRefusesCursorMovesAndReadsEmpty) {
  TDBFFile table(Name());
  table.AddField("KOD", 'C', 5);
  const std::vector<std::pair<const char*, std::function<void()>>> moves = {{"GoTo", [&] { table.GoTo(0); }},
                                                                            {"First", [&] { table.First(); }},
                                                                            {"Next", [&] { table.Next(); }},
                                                                            {"Append", [&] { table.Append(); }},
                                                                            {"Post", [&] { table.Post(); }}};
  for (const auto& [label, move] : moves) {
    SCOPED_TRACE(label);
    EXPECT_EQ(DbfErrorOf(move), NotOpenMessage(Name()));
  }
  EXPECT_EQ(table.FieldByName("KOD").AsString(), "");
  EXPECT_NO_THROW(table.FieldByName("KOD").SetAsString("abc"));
  EXPECT_FALSE(table.IsDeleted());

  // Adding a field to an open table discards the record buffer.
  table.CreateNew();
  table.AddField("DALSI", 'C', 1);
  EXPECT_EQ(DbfErrorOf([&] { table.Append(); }), NotOpenMessage(Name()));
}

TEST_F(DBFFileTest, UnknownFieldsAreReportedByNameAndNumber) {
  TDBFFile table(Name());
  table.AddField("KOD", 'C', 5);
  const std::string tail = Cz(" nebyla v souboru ") + Name() + Cz(" nalezena");
  EXPECT_EQ(DbfErrorOf([&] { table.FieldByName("Cena"); }), Cz("Položka Cena") + tail);
  EXPECT_EQ(DbfErrorOf([&] { table.Fields(2); }), Cz("Položka č.2") + tail);
  EXPECT_EQ(DbfErrorOf([&] { table.Fields(-1); }), Cz("Položka č.-1") + tail);
  EXPECT_EQ(table.Fields(0).Name(), "DELFLAG");
  EXPECT_EQ(table.Fields(1).Name(), "KOD");
}

TEST_F(DBFFileTest, ReaderDenyingWriteKeepsWritersOut) {
  Write(RawTable({{"KOD", 'C', 1}}, {" a"}));
  TDBFFile reader(Name());
  reader.Open(TDBFAccess::ReadOnlyDenyWrite);
  TDBFFile other(Name());
  EXPECT_THROW(other.Open(TDBFAccess::ReadWrite), EInOutError);
  EXPECT_FALSE(other.Active());
  EXPECT_NO_THROW(other.Open(TDBFAccess::ReadOnly));
  reader.Close();
  EXPECT_NO_THROW(other.Open(TDBFAccess::ReadWrite));
}

TEST_F(DBFFileTest, WritingToATableOpenedReadOnlyIsAnInputOutputError) {
  Write(RawTable({{"KOD", 'C', 1}}, {" a"}));
  TDBFFile table(Name());
  table.Open(TDBFAccess::ReadOnly);
  EXPECT_THROW(table.Post(), EInOutError);
}

} // namespace
