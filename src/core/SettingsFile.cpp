#include "core/SettingsFile.h"

#include "core/Format.h"
#include "formats/Cp1250Utf8.h"

namespace {

const char kHex[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF, no NUL.
bool IsCleanUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b == 0)
      return false;
    if (b < 0x80) {
      ++i;
      continue;
    }
    int extra;
    char32_t c;
    char32_t minimum;
    if ((b & 0xE0) == 0xC0) {
      extra = 1, c = b & 0x1F, minimum = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, c = b & 0x0F, minimum = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, c = b & 0x07, minimum = 0x10000;
    } else {
      return false;
    }
    if (i + static_cast<size_t>(extra) >= s.size())
      return false;
    for (int k = 1; k <= extra; ++k) {
      const auto cont = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
      if ((cont & 0xC0) != 0x80)
        return false;
      c = (c << 6) | (cont & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
      return false;
    i += static_cast<size_t>(extra) + 1;
  }
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back()))
    s.remove_suffix(1);
  return s;
}

void AppendHexEscape(std::string& out, char lead, unsigned char byte) {
  out += lead;
  if (lead == '\\')
    out += 'x';
  out += kHex[byte >> 4];
  out += kHex[byte & 0x0F];
}

// Escapes a key (isKey) or a value, already converted to UTF-8.
std::string EscapeItem(std::string_view s, bool isKey) {
  std::string out;
  out.reserve(s.size() + 8);
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    const auto b = static_cast<unsigned char>(c);
    switch (c) {
    case '\\':
      out += "\\\\";
      continue;
    case '\n':
      out += "\\n";
      continue;
    case '\r':
      out += "\\r";
      continue;
    case '\t':
      out += "\\t";
      continue;
    default:
      break;
    }
    if (b < 0x20 || b == 0x7F || (c == ' ' && (i == 0 || i + 1 == s.size())))
      AppendHexEscape(out, '\\', b);
    else if (isKey && (c == '=' || (i == 0 && (c == '[' || c == ';' || c == '#'))))
      out += '\\', out += c;
    else
      out += c;
  }
  return out;
}

bool UnescapeItem(std::string_view s, std::string& out) {
  out.clear();
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      out += s[i];
      continue;
    }
    if (++i == s.size())
      return false;
    switch (s[i]) {
    case 'n':
      out += '\n';
      break;
    case 'r':
      out += '\r';
      break;
    case 't':
      out += '\t';
      break;
    case 'x': {
      const int hi = i + 2 < s.size() ? HexValue(s[i + 1]) : -1;
      const int lo = hi >= 0 ? HexValue(s[i + 2]) : -1;
      if (lo < 0)
        return false;
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
      break;
    }
    default:
      out += s[i];
    }
  }
  return true;
}

std::string EscapeHeader(std::string_view s) {
  std::string out;
  for (const char c : s) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F || c == '%')
      AppendHexEscape(out, '%', b);
    else
      out += c;
  }
  return out;
}

std::string UnescapeHeader(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    const int hi = s[i] == '%' && i + 2 < s.size() ? HexValue(s[i + 1]) : -1;
    const int lo = hi >= 0 ? HexValue(s[i + 2]) : -1;
    if (lo >= 0) {
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

void AppendValues(std::string& out, const TSettingsData::TSection& section) {
  for (const auto& [name, text] : section.Values) {
    out += EscapeItem(Cp1250ToUtf8(name), true);
    out += '=';
    out += EscapeItem(Cp1250ToUtf8(text), false);
    out += '\n';
  }
}

} // namespace

bool ParseSettingsText(std::string_view text, TSettingsData& data, std::string* problem) {
  data.Clear();
  auto fail = [&](const char* what, int line) {
    data.Clear();
    if (problem)
      *problem = line > 0 ? Format(Cz("%s na řádku %d"), {Cz(what), line}) : Cz(what);
    return false;
  };
  if (text.substr(0, 3) == "\xEF\xBB\xBF")
    text.remove_prefix(3);
  if (!IsCleanUtf8(text))
    return fail("neplatný text UTF-8", 0);

  std::string section;
  std::string key;
  std::string value;
  int lineNumber = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos)
      end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    line = Trim(line);
    if (line.empty() || line.front() == ';' || line.front() == '#')
      continue;
    if (line.front() == '[') {
      if (line.size() < 2 || line.back() != ']')
        return fail("neukončená hlavička oddílu", lineNumber);
      section = NormalizeSettingsPath(Utf8ToCp1250(UnescapeHeader(line.substr(1, line.size() - 2))));
      data.AddSection(section);
      continue;
    }
    size_t eq = 0;
    while (eq < line.size() && line[eq] != '=')
      eq += line[eq] == '\\' ? 2 : 1;
    if (eq >= line.size())
      return fail("řádek bez znaku =", lineNumber);
    if (!UnescapeItem(Trim(line.substr(0, eq)), key) || !UnescapeItem(Trim(line.substr(eq + 1)), value))
      return fail("chybná úniková sekvence", lineNumber);
    data.Set(section, Utf8ToCp1250(key), Utf8ToCp1250(value));
  }
  return true;
}

std::string FormatSettingsText(const TSettingsData& data) {
  std::string out;
  if (const TSettingsData::TSection* root = data.FindSection(""))
    AppendValues(out, *root);
  for (const TSettingsData::TSection& section : data.Sections()) {
    if (section.Path.empty())
      continue;
    if (!out.empty())
      out += '\n';
    out += '[';
    out += EscapeHeader(Cp1250ToUtf8(section.Path));
    out += "]\n";
    AppendValues(out, section);
  }
  return out;
}
