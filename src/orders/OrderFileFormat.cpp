#include "orders/OrderFileFormat.h"

#include <charconv>
#include <cmath>

#include "core/Format.h"
#include "formats/Cp1250Utf8.h"
#include "formats/LzhCodec.h"
#include "formats/LzhEntry.h"

namespace {

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

// Calls f(line) for every line of the text; runs of CR and LF separate lines, so no line is
// empty.
template <typename F> void ForEachLine(std::string_view text, F&& f) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && IsLineBreak(text[pos]))
      ++pos;
    std::size_t end = pos;
    while (end < text.size() && !IsLineBreak(text[end]))
      ++end;
    if (end > pos && !f(text.substr(pos, end - pos)))
      return;
    pos = end;
  }
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
    s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
    s.remove_suffix(1);
  return s;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i]))
      return false;
  return true;
}

constexpr std::string_view kGeneralKeys[] = {"Created", "Changed", "DeliveryDate", "LatestDeliveryDate",
                                             "Sent",    "OrderID"};

// 1 to kMaxOrderFileKey written as "IntToStr" writes it, else 0.
int NumberKey(std::string_view name) {
  if (name.empty() || name.size() > 4 || name[0] == '0')
    return 0;
  int n = 0;
  for (char c : name) {
    if (c < '0' || c > '9')
      return 0;
    n = n * 10 + (c - '0');
  }
  return n <= kMaxOrderFileKey ? n : 0;
}

// The lines of one section, each handed to f: those after the first header line that matches
// up to the next line beginning with "[".
template <typename F> void ForEachSectionLine(std::string_view text, std::string_view header, bool anyCase, F&& f) {
  bool inside = false;
  ForEachLine(text, [&](std::string_view line) {
    if (inside) {
      if (line.front() == '[')
        return false;
      f(line);
      return true;
    }
    const std::string_view trimmed = Trim(line);
    inside = anyCase ? SameText(trimmed, header) : trimmed == header;
    return true;
  });
}

template <std::size_t N>
void TakeNumberedLine(std::string_view line, std::array<std::optional<std::string_view>, N>& values) {
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos)
    return;
  const int n = NumberKey(line.substr(0, eq));
  if (n > 0 && !values[static_cast<std::size_t>(n)])
    values[static_cast<std::size_t>(n)] = line.substr(eq + 1);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void SkipBlanks(std::string_view s, std::size_t& pos) {
  while (pos < s.size() && s[pos] == ' ')
    ++pos;
}

// Up to 9 digits as a number; false when there is no digit.
bool ScanNumber(std::string_view s, std::size_t& pos, int& value, int& digits) {
  SkipBlanks(s, pos);
  value = 0;
  digits = 0;
  while (pos < s.size() && IsDigit(s[pos])) {
    if (digits == 9)
      return false;
    value = value * 10 + (s[pos] - '0');
    ++digits;
    ++pos;
  }
  return digits > 0;
}

bool ScanChar(std::string_view s, std::size_t& pos, char c) {
  SkipBlanks(s, pos);
  if (pos < s.size() && s[pos] == c) {
    ++pos;
    return true;
  }
  return false;
}

bool ScanTime(std::string_view s, std::size_t& pos, const Locale& locale, TDateTime& value) {
  int hour = 0, minute = 0, second = 0, digits = 0;
  if (!ScanNumber(s, pos, hour, digits) || !ScanChar(s, pos, locale.TimeSeparator) ||
      !ScanNumber(s, pos, minute, digits))
    return false;
  if (ScanChar(s, pos, locale.TimeSeparator) && !ScanNumber(s, pos, second, digits))
    return false;
  SkipBlanks(s, pos);
  return pos == s.size() && TryEncodeTime(hour, minute, second, 0, value);
}

// The order of day, month and year in the short date format: the first letter of each kind.
void DateOrder(const std::string& format, int order[3]) {
  int next = 0;
  bool seen[3] = {false, false, false};
  for (char c : format) {
    const char l = AsciiLower(c);
    const int kind = l == 'd' ? 0 : l == 'm' ? 1 : l == 'y' ? 2 : -1;
    if (kind >= 0 && !seen[kind] && next < 3) {
      seen[kind] = true;
      order[next++] = kind;
    }
  }
  if (next < 3) {
    order[0] = 0;
    order[1] = 1;
    order[2] = 2;
  }
}

std::uint16_t Le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

} // namespace

TOrderFileSections ParseOrderFileSections(std::string_view text, bool anyCase) {
  TOrderFileSections sections;
  ForEachSectionLine(text, "[General]", anyCase, [&](std::string_view line) {
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
      return;
    const std::string_view name = line.substr(0, eq);
    for (std::size_t k = 0; k < sections.General.size(); ++k)
      if (!sections.General[k] && SameText(name, kGeneralKeys[k]))
        sections.General[k] = line.substr(eq + 1);
  });
  ForEachSectionLine(text, "[OrderItems]", anyCase,
                     [&](std::string_view line) { TakeNumberedLine(line, sections.Items); });
  ForEachSectionLine(text, "[OrderMemo]", anyCase,
                     [&](std::string_view line) { TakeNumberedLine(line, sections.Memo); });
  return sections;
}

std::vector<std::string> SplitOrderItemFields(std::string_view value, std::size_t count) {
  const auto separator = [](char c) { return c == '|' || c == ';' || c == '\t'; };
  std::vector<std::string> fields;
  std::size_t pos = 0;
  while (fields.size() < count) {
    std::string field;
    if (pos < value.size() && (value[pos] == '"' || value[pos] == '\'')) {
      const char quote = value[pos++];
      while (pos < value.size()) {
        if (value[pos] != quote) {
          field += value[pos++];
        } else if (pos + 1 < value.size() && value[pos + 1] == quote) {
          field += quote;
          pos += 2;
        } else {
          ++pos;
          break;
        }
      }
    }
    while (pos < value.size() && !separator(value[pos]))
      field += value[pos++];
    fields.push_back(std::move(field));
    if (pos >= value.size())
      break;
    ++pos;
  }
  return fields;
}

bool ReadOrderNumber(std::string_view text, const Locale& locale, double& value) {
  const std::string_view s = Trim(text);
  std::string plain;
  std::size_t pos = 0;
  if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) {
    if (s[pos] == '-')
      plain += '-';
    ++pos;
  }
  int digits = 0;
  while (pos < s.size() && IsDigit(s[pos])) {
    plain += s[pos++];
    ++digits;
  }
  if (pos < s.size() && s[pos] == locale.DecimalSeparator) {
    plain += '.';
    ++pos;
    while (pos < s.size() && IsDigit(s[pos])) {
      plain += s[pos++];
      ++digits;
    }
  }
  if (digits == 0)
    return false;
  if (pos < s.size() && (s[pos] == 'e' || s[pos] == 'E')) {
    plain += 'e';
    ++pos;
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-'))
      plain += s[pos++];
    int exponentDigits = 0;
    while (pos < s.size() && IsDigit(s[pos])) {
      plain += s[pos++];
      ++exponentDigits;
    }
    if (exponentDigits == 0)
      return false;
  }
  if (pos != s.size())
    return false;
  double result = 0;
  const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), result);
  if (error != std::errc() || end != plain.data() + plain.size() || !std::isfinite(result))
    return false;
  value = result;
  return true;
}

bool ReadOrderDateTime(std::string_view text, const Locale& locale, TDateTime& value) {
  std::size_t pos = 0;
  int numbers[3] = {0, 0, 0}, digits[3] = {0, 0, 0};
  int count = 0;
  if (!ScanNumber(text, pos, numbers[0], digits[0]))
    return false;
  count = 1;
  while (count < 3) {
    const std::size_t before = pos;
    if (!ScanChar(text, pos, locale.DateSeparator)) {
      pos = before;
      break;
    }
    if (!ScanNumber(text, pos, numbers[count], digits[count]))
      return false;
    ++count;
  }
  if (count < 2)
    return false;
  int order[3];
  DateOrder(locale.ShortDateFormat, order);
  int parts[3] = {0, 0, 0}; // day, month, year
  bool hasYear = count == 3;
  int yearDigits = 0;
  if (hasYear) {
    for (int i = 0; i < 3; ++i)
      parts[order[i]] = numbers[i];
    for (int i = 0; i < 3; ++i)
      if (order[i] == 2)
        yearDigits = digits[i];
  } else {
    // Two numbers are day and month in the format's order; the year is this year's.
    int k = 0;
    for (int i = 0; i < 3; ++i)
      if (order[i] != 2)
        parts[order[i]] = numbers[k++];
    int year = 0, month = 0, day = 0;
    DecodeDate(Now(), year, month, day);
    parts[2] = year;
  }
  if (hasYear && yearDigits <= 2)
    parts[2] += parts[2] < 50 ? 2000 : 1900;
  TDateTime date = 0;
  if (!TryEncodeDate(parts[2], parts[1], parts[0], date))
    return false;
  SkipBlanks(text, pos);
  TDateTime time = 0;
  if (pos < text.size() && !ScanTime(text, pos, locale, time))
    return false;
  value = date + time;
  return true;
}

bool ReadOrderTime(std::string_view text, const Locale& locale, TDateTime& value) {
  std::size_t pos = 0;
  return ScanTime(text, pos, locale, value);
}

std::int64_t PriceListID1(std::uint32_t createdHash, std::uint32_t createdTimeHash) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(createdTimeHash) << 32 | createdHash);
}

std::string EscapeOrderItemText(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '"' || c == '\'')
      c = '`';
    else if (c == '|')
      c = '.';
  }
  return out;
}

std::string PackOrderFileText(std::string_view text, const std::string& storedName, TDateTime stamp) {
  const std::string stream = LzhEncodeBytes(text);
  TLZHHeader header;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
  DecodeDate(stamp, year, month, day);
  DecodeTime(stamp, hour, minute, second, msec);
  if (year < 1980) {
    year = 1980;
    month = day = 1;
    hour = minute = second = 0;
  } else if (year > 2107) {
    year = 2107;
    month = 12;
    day = 31;
  }
  header.DosDate = static_cast<std::uint16_t>((year - 1980) << 9 | month << 5 | day);
  header.DosTime = static_cast<std::uint16_t>(hour << 11 | minute << 5 | second / 2);
  header.CompressedSize = static_cast<std::uint32_t>(stream.size());
  header.UnpackedSize = static_cast<std::uint32_t>(text.size());
  const std::string name = storedName.substr(0, TLZHHeader::MaxNameLength);
  header.NameLength = static_cast<std::uint16_t>(name.size());
  unsigned char bytes[TLZHHeader::Size];
  header.ToBytes(bytes);
  std::string packed(reinterpret_cast<const char*>(bytes), TLZHHeader::Size);
  packed += name;
  packed += stream;
  return packed;
}

bool UnpackOrderFile(std::string_view bytes, const std::string& fileName, std::string& text) {
  if (bytes.size() < TLZHHeader::Size)
    return false;
  const TLZHHeader header = TLZHHeader::FromBytes(reinterpret_cast<const unsigned char*>(bytes.data()));
  if (!header.HasSignature() || header.Method != 0 || header.NameLength > TLZHHeader::MaxNameLength ||
      header.EntrySize() > bytes.size())
    return false;
  const std::string_view stream = bytes.substr(header.StreamOffset(), header.CompressedSize);
  // The stream's count says how much it unpacks to; a forged one must not decide how much
  // memory the reader takes.
  if (stream.size() >= 4) {
    const auto* p = reinterpret_cast<const unsigned char*>(stream.data());
    const std::uint32_t count = static_cast<std::uint32_t>(Le16(p)) | static_cast<std::uint32_t>(Le16(p + 2)) << 16;
    if (count > kMaxOrderFileSize)
      throw ELZHException(Format(Cz("Soubor %s nemá správný formát dat"), {fileName}));
  }
  text = LzhDecodeBytes(stream, fileName);
  return true;
}
