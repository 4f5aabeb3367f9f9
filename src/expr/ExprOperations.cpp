#include "expr/ExprOperations.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <random>

#include "core/DateFormat.h"
#include "core/DateTime.h"
#include "core/Locale.h"
#include "core/Numbers.h"
#include "expr/ExprNumberText.h"
#include "expr/VariableList.h"
#include "expr/Vyhodnocovac.h"
#include "formats/CodePages.h"

namespace {

// Operation codes; rows that do the same share one.
enum TOp : std::uint8_t {
  opNone,
  opAbs,
  opChar,
  opCode,
  opConv,
  opDate,
  opDateValue,
  opDay,
  opDelAll,
  opDelLeft,
  opDelRight,
  opEnumStr,
  opFalse,
  opFind,
  opFormatDate,
  opFormatTime,
  opGetVar,
  opIf,
  opInt,
  opIsNumber,
  opLeft,
  opLen,
  opLower,
  opMaskAnd,
  opMaskOr,
  opMid,
  opMod,
  opMonth,
  opNow,
  opPos,
  opPosUp,
  opProper,
  opRand,
  opRepeat,
  opReplace,
  opRight,
  opRound,
  opSetCenter,
  opSetLeft,
  opSetRight,
  opSetVar,
  opStr,
  opStrCurr,
  opStrDate,
  opStrFlags,
  opString,
  opStrNum,
  opStrTh,
  opStrTime,
  opStrW,
  opText2Xml,
  opTimeValue,
  opTrim,
  opTrue,
  opUpper,
  opUsing,
  opVal,
  opWeekday,
  opYear,
  opAdd,
  opSubtract,
  opMultiply,
  opDivide,
  opPower,
  opNegate,
  opConcat,
  opLessEqual,
  opLess,
  opGreaterEqual,
  opGreater,
  opEqual,
  opNotEqual,
  opOr,
  opAnd,
  opXor,
  opNot,
  opPushVariable,
  opPushNumber,
  opPushText,
};

constexpr std::uint8_t N = kExprNumber;
constexpr std::uint8_t W = kExprWhole;
constexpr std::uint8_t T = kExprText;
constexpr std::uint8_t F = kExprClassFunction;
constexpr std::uint8_t P = kExprClassPush;

// A text value longer than this is treated as the platform running out of memory (code 10):
// it keeps a hostile expression that doubles a stored text again and again from exhausting
// memory. Far above anything the language's own functions build (STR caps at about 64 KiB).
constexpr std::size_t kTextLimit = 1 << 20;

} // namespace

const TExprOperation kExprOperations[kExprRowCount + 1] = {
    {"", opNone, 0, N, N, 0},
    {"ABS", opAbs, 1, N, N, F},               // 1
    {"CHAR", opChar, 1, W, T, F},             // 2
    {"CHR", opChar, 1, W, T, F},              // 3
    {"CODE", opCode, 1, T, N, F},             // 4
    {"CONV", opConv, 2, T, T, F},             // 5
    {"DATE", opDate, 3, N, N, F},             // 6
    {"DATEVALUE", opDateValue, 1, T, N, F},   // 7
    {"DAY", opDay, 1, N, N, F},               // 8
    {"DELALL", opDelAll, 1, T, T, F},         // 9
    {"DELLEFT", opDelLeft, 1, T, T, F},       // 10
    {"DELRIGHT", opDelRight, 1, T, T, F},     // 11
    {"DV", opDateValue, 1, T, N, F},          // 12
    {"ENUMSTR", opEnumStr, 2, T, T, F},       // 13
    {"FALSE", opFalse, 0, N, N, F},           // 14
    {"FIND", opFind, 3, T, N, F},             // 15
    {"FORMATDATE", opFormatDate, 2, T, T, F}, // 16
    {"FORMATTIME", opFormatTime, 2, T, T, F}, // 17
    {"GETVAR", opGetVar, 1, T, N, F},         // 18
    {"GETVAR2", opGetVar, 1, T, T, F},        // 19
    {"IF", opIf, 3, N, N, F},                 // 20
    {"IF2", opNone, 3, N, T, F},              // 21
    {"INT", opInt, 1, N, N, F},               // 22
    {"ISNUMBER", opIsNumber, 1, N, N, F},     // 23
    {"LEFT", opLeft, 2, T, T, F},             // 24
    {"LEN", opLen, 1, T, N, F},               // 25
    {"LENGTH", opLen, 1, T, N, F},            // 26
    {"LOWER", opLower, 1, T, T, F},           // 27
    {"MASKAND", opMaskAnd, 2, N, N, F},       // 28
    {"MASKOR", opMaskOr, 2, N, N, F},         // 29
    {"MID", opMid, 3, T, T, F},               // 30
    {"MOD", opMod, 2, W, N, F},               // 31
    {"MONTH", opMonth, 1, N, N, F},           // 32
    {"NOW", opNow, 0, N, N, F},               // 33
    {"ORD", opCode, 1, T, N, F},              // 34
    {"POS", opPos, 2, T, N, F},               // 35
    {"POSUP", opPosUp, 2, T, N, F},           // 36
    {"PROPER", opProper, 1, T, T, F},         // 37
    {"RAND", opRand, 0, N, N, F},             // 38
    {"REPEAT", opRepeat, 2, T, T, F},         // 39
    {"REPLACE", opReplace, 4, T, T, F},       // 40
    {"RIGHT", opRight, 2, T, T, F},           // 41
    {"ROUND", opRound, 2, N, N, F},           // 42
    {"SETCENTER", opSetCenter, 2, T, T, F},   // 43
    {"SETLEFT", opSetLeft, 2, T, T, F},       // 44
    {"SETRIGHT", opSetRight, 2, T, T, F},     // 45
    {"SETVAR", opSetVar, 2, T, T, F},         // 46
    {"STR", opStr, 3, N, T, F},               // 47
    {"STRCURR", opStrCurr, 2, N, T, F},       // 48
    {"STRDATE", opStrDate, 1, N, T, F},       // 49
    {"STRFLAGS", opStrFlags, 3, T, T, F},     // 50
    {"STRING", opString, 2, N, T, F},         // 51
    {"STRNUM", opStrNum, 2, N, T, F},         // 52
    {"STRTH", opStrTh, 1, T, T, F},           // 53
    {"STRTIME", opStrTime, 1, N, T, F},       // 54
    {"STRW", opStrW, 1, N, T, F},             // 55
    {"TEXT2XML", opText2Xml, 1, T, T, F},     // 56
    {"TIMEVALUE", opTimeValue, 1, T, N, F},   // 57
    {"TRIM", opTrim, 1, T, T, F},             // 58
    {"TRUE", opTrue, 0, N, N, F},             // 59
    {"UPPER", opUpper, 1, T, T, F},           // 60
    {"USING", opUsing, 2, T, T, F},           // 61
    {"VAL", opVal, 1, T, N, F},               // 62
    {"VALUE", opVal, 1, T, N, F},             // 63
    {"WEEKDAY", opWeekday, 1, N, N, F},       // 64
    {"YEAR", opYear, 1, N, N, F},             // 65
    {"+", opAdd, 2, N, N, 4},                 // 66
    {"+", opAdd, 2, T, T, 4},                 // 67
    {"-", opSubtract, 2, N, N, 4},            // 68
    {"*", opMultiply, 2, N, N, 5},            // 69
    {"/", opDivide, 2, N, N, 5},              // 70
    {"^", opPower, 2, N, N, 6},               // 71
    {"-", opNegate, 1, N, N, 7},              // 72
    {"&", opConcat, 2, T, T, 4},              // 73
    {"<=", opLessEqual, 2, N, N, 3},          // 74
    {"<", opLess, 2, N, N, 3},                // 75
    {">=", opGreaterEqual, 2, N, N, 3},       // 76
    {">", opGreater, 2, N, N, 3},             // 77
    {"=", opEqual, 2, N, N, 3},               // 78
    {"<>", opNotEqual, 2, N, N, 3},           // 79
    {"OR", opOr, 2, N, N, 2},                 // 80
    {"AND", opAnd, 2, N, N, 2},               // 81
    {"XOR", opXor, 2, N, N, 2},               // 82
    {"!", opNot, 1, N, N, 7},                 // 83
    {"", opPushVariable, 0, N, N, P},         // 84
    {"", opPushNumber, 0, N, N, P},           // 85
    {"", opPushText, 0, T, T, P},             // 86
};

int FindExprFunction(std::string_view name) {
  int low = 1;
  int high = kExprFunctionCount;
  while (low <= high) {
    const int middle = (low + high) / 2;
    const int order = name.compare(kExprOperations[middle].Name);
    if (order == 0)
      return middle;
    if (order < 0)
      high = middle - 1;
    else
      low = middle + 1;
  }
  return 0;
}

bool ExprTextToTime(std::string_view text, double& result) {
  const Locale& locale = CurrentLocale();
  std::size_t i = 0;
  const auto skipBlanks = [&] {
    while (i < text.size() && text[i] == ' ')
      ++i;
  };
  const auto number = [&](int& value) {
    std::size_t digits = 0;
    value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      if (++digits > 4)
        return false;
      value = value * 10 + (text[i++] - '0');
    }
    return digits > 0;
  };
  const auto separator = [&](char c) {
    if (i < text.size() && text[i] == c) {
      ++i;
      return true;
    }
    return false;
  };
  int hour = 0, minute = 0, second = 0, msec = 0;
  skipBlanks();
  if (!number(hour) || !separator(locale.TimeSeparator) || !number(minute))
    return false;
  if (separator(locale.TimeSeparator)) {
    if (!number(second))
      return false;
    if (separator(locale.DecimalSeparator) || separator('.')) {
      if (!number(msec))
        return false;
    }
  }
  skipBlanks();
  int half = 0; // 1 = AM, 2 = PM
  if (i + 1 < text.size() && (text[i + 1] == 'M' || text[i + 1] == 'm')) {
    if (text[i] == 'A' || text[i] == 'a')
      half = 1;
    else if (text[i] == 'P' || text[i] == 'p')
      half = 2;
    if (half != 0)
      i += 2;
  }
  skipBlanks();
  if (i != text.size())
    return false;
  if (half != 0) {
    if (hour < 1 || hour > 12)
      return false;
    hour = hour % 12 + (half == 2 ? 12 : 0);
  }
  return TryEncodeTime(hour, minute, second, msec, result);
}

namespace {

double AsNumber(const TExprValue& v) { return v.Type == kExprNumber ? v.Num : 0; }

// The value as text; a number's text is built in the entry's own text (the entry is an
// argument, consumed by the operation).
const std::string& AsText(TExprValue& v) {
  if (v.Type != kExprText)
    v.Str = NumberToText(v.Num);
  return v.Str;
}

std::uint8_t AsWhole(const TExprValue& v, bool nonNegative, int& result) {
  const double n = AsNumber(v);
  if (!(n == std::trunc(n)))
    return 23;
  if (std::fabs(n) >= 32768)
    return 35;
  if (nonNegative && n < 0)
    return 31;
  result = static_cast<int>(n);
  return 0;
}

// A width or count that the language caps at 255.
std::uint8_t AsCapped(const TExprValue& v, int& result) {
  const std::uint8_t code = AsWhole(v, true, result);
  result = std::min(result, 255);
  return code;
}

std::uint8_t SetNumber(TExprValue& r, double x) {
  if (!std::isfinite(x))
    return 10;
  r.Type = kExprNumber;
  r.Num = x + 0.0; // no negative zero
  return 0;
}

std::uint8_t SetText(TExprValue& r, std::string text) {
  r.Type = kExprText;
  r.Str = std::move(text);
  return 0;
}

bool IsTrue(const TExprValue& v) { return v.Type == kExprNumber && v.Num != 0; }

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string TrimBlanks(std::string_view s, bool left, bool right) {
  std::size_t first = 0;
  std::size_t last = s.size();
  if (left)
    while (first < last && IsBlank(s[first]))
      ++first;
  if (right)
    while (last > first && IsBlank(s[last - 1]))
      --last;
  return std::string(s.substr(first, last - first));
}

std::string PadRight(std::string s, int width) {
  s.resize(static_cast<std::size_t>(width), ' ');
  return s;
}

int Position(std::string_view needle, std::string_view haystack) {
  if (needle.empty())
    return 0;
  const std::size_t at = haystack.find(needle);
  return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
}

// The range of dates the platform can take apart: years 1 to 9999.
bool DecodableDate(double date) { return date >= -693593.0 && date < 2958466.0; }

// DATEVALUE: TextToDate, except that a well-formed text naming a day the month does not have
// is the platform's conversion error (code 10), not "no date".
std::uint8_t DateValue(std::string_view text, double& result) {
  result = TextToDate(text);
  if (result != 0)
    return 0;
  std::size_t i = 0;
  const auto run = [&](long long& value) {
    std::size_t digits = 0;
    value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      if (++digits > 9)
        return false;
      value = value * 10 + (text[i++] - '0');
    }
    return digits > 0;
  };
  const auto separator = [&] {
    if (i >= text.size())
      return false;
    while (i < text.size() && !(text[i] >= '0' && text[i] <= '9'))
      ++i;
    return true;
  };
  while (i < text.size() && text[i] == ' ')
    ++i;
  long long day, month, year;
  if (!run(day) || day < 1 || day > 31 || !separator() || !run(month) || month < 1 || month > 12 || !separator() ||
      !run(year))
    return 0;
  // The text is a date in form; TextToDate refused it, so the calendar has no such day.
  return 10;
}

std::uint8_t DatePart(const TExprValue& v, TOp op, TExprValue& r) {
  const double date = AsNumber(v);
  if (!DecodableDate(date))
    return 10;
  int year, month, day;
  DecodeDate(date, year, month, day);
  switch (op) {
  case opDay:
    return SetNumber(r, day);
  case opMonth:
    return SetNumber(r, month);
  case opYear:
    return SetNumber(r, year);
  default:
    return SetNumber(r, DayOfWeek(date) - 1);
  }
}

// Rounds half to even, as the platform's Round does; false outside the 32-bit range.
bool RoundToInt32(double x, long long& result) {
  const double r = std::nearbyint(x);
  if (!(r >= -2147483648.0 && r <= 2147483647.0))
    return false;
  result = static_cast<long long>(r);
  return true;
}

std::uint8_t Power(double x, double y, double& result) {
  if (NearlyZero(y)) {
    result = 1;
    return 0;
  }
  if (NearlyZero(x)) {
    result = x;
    return 0;
  }
  const bool wholeY = y == std::trunc(y);
  if (!wholeY && x < 0)
    return 38;
  const double u = std::log(std::fabs(x)) * y;
  if (std::fabs(u) > 1e30)
    return 37;
  if (x > 0) {
    result = std::exp(u);
    return 0;
  }
  if (std::fabs(y) > 1000)
    return 37;
  result = std::exp(u);
  if (std::fmod(std::trunc(y), 2.0) != 0)
    result = -result;
  return 0;
}

std::uint8_t Compare(TOp op, TExprValue* a) {
  int order;
  if (a[0].Type == kExprText) {
    order = a[0].Str.compare(AsText(a[1]));
  } else {
    const double x = a[0].Num;
    const double y = AsNumber(a[1]);
    if (op == opEqual || op == opNotEqual)
      order = NearlyEqual(x, y) ? 0 : 1;
    else if (x < y)
      order = -1;
    else if (x > y)
      order = 1;
    else if (x == y)
      order = 0;
    else
      return SetNumber(a[0], 0); // NaN from a variable compares false
  }
  bool result = false;
  switch (op) {
  case opLessEqual:
    result = order <= 0;
    break;
  case opLess:
    result = order < 0;
    break;
  case opGreaterEqual:
    result = order >= 0;
    break;
  case opGreater:
    result = order > 0;
    break;
  case opEqual:
    result = order == 0;
    break;
  default:
    result = order != 0;
    break;
  }
  return SetNumber(a[0], result ? 1 : 0);
}

std::string Text2Xml(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (const char c : s) {
    switch (static_cast<unsigned char>(c)) {
    case '"':
      out += "&quot;";
      break;
    case '&':
      out += "&amp;";
      break;
    case '\'':
      out += "&apos;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case 0xA9:
      out += "&#169;";
      break;
    case 0xAE:
      out += "&#174;";
      break;
    case 0xB0:
      out += "&#176;";
      break;
    case 0xB1:
      out += "&#177;";
      break;
    default:
      out += c;
    }
  }
  return out;
}

std::string TrimSpaces(std::string_view s) {
  std::string out;
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ')
    ++i;
  for (; i < s.size(); ++i) {
    if (s[i] == ' ' && !out.empty() && out.back() == ' ')
      continue;
    out += s[i];
  }
  if (!out.empty() && out.back() == ' ')
    out.pop_back();
  return out;
}

std::string Proper(std::string s) {
  bool wordStart = true;
  for (char& c : s) {
    if (wordStart) {
      if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - 'a' + 'A');
    } else if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
    wordStart = c == ' ';
  }
  return s;
}

double Random() {
  static std::mt19937_64 generator(0x4f626a65646e61ULL);
  return static_cast<double>(generator() >> 11) * 0x1.0p-53;
}

std::uint8_t Run(std::uint8_t row, TExprValue* a) {
  const TOp op = static_cast<TOp>(kExprOperations[row].Op);
  std::uint8_t e = 0;
  int w1 = 0, w2 = 0;
  switch (op) {
  case opNone:
    return 27;

  // Operators.
  case opAdd:
    if (a[0].Type == kExprText) {
      a[0].Str += AsText(a[1]);
      return 0;
    }
    return SetNumber(a[0], a[0].Num + AsNumber(a[1]));
  case opSubtract:
    return SetNumber(a[0], AsNumber(a[0]) - AsNumber(a[1]));
  case opMultiply:
    return SetNumber(a[0], AsNumber(a[0]) * AsNumber(a[1]));
  case opDivide: {
    const double divisor = AsNumber(a[1]);
    if (divisor == 0)
      return 25;
    return SetNumber(a[0], AsNumber(a[0]) / divisor);
  }
  case opPower: {
    double result = 0;
    if ((e = Power(AsNumber(a[0]), AsNumber(a[1]), result)) != 0)
      return e;
    return SetNumber(a[0], result);
  }
  case opNegate:
    return SetNumber(a[0], -AsNumber(a[0]));
  case opConcat:
    AsText(a[0]);
    a[0].Type = kExprText;
    a[0].Str += AsText(a[1]);
    return 0;
  case opLessEqual:
  case opLess:
  case opGreaterEqual:
  case opGreater:
  case opEqual:
  case opNotEqual:
    return Compare(op, a);
  case opOr:
    return SetNumber(a[0], IsTrue(a[0]) || IsTrue(a[1]) ? 1 : 0);
  case opAnd:
    return SetNumber(a[0], IsTrue(a[0]) && IsTrue(a[1]) ? 1 : 0);
  case opXor:
    return SetNumber(a[0], IsTrue(a[0]) != IsTrue(a[1]) ? 1 : 0);
  case opNot:
    return SetNumber(a[0], IsTrue(a[0]) ? 0 : 1);

  // Numbers.
  case opAbs:
    return SetNumber(a[0], std::fabs(AsNumber(a[0])));
  case opInt:
    return SetNumber(a[0], std::trunc(AsNumber(a[0])));
  case opFalse:
    return SetNumber(a[0], 0);
  case opTrue:
    return SetNumber(a[0], 1);
  case opRand:
    return SetNumber(a[0], Random());
  case opIsNumber:
    return SetNumber(a[0], a[0].Type == kExprNumber ? 1 : 0);
  case opMod:
    if ((e = AsWhole(a[0], false, w1)) != 0 || (e = AsWhole(a[1], false, w2)) != 0)
      return e;
    if (w2 == 0)
      return 25;
    return SetNumber(a[0], w1 % w2);
  case opRound: {
    const double n = AsNumber(a[0]);
    if ((e = AsWhole(a[1], false, w1)) != 0)
      return e;
    if (std::abs(w1) >= 10)
      return 34;
    const double f = std::pow(10.0, w1);
    return SetNumber(a[0], n > 0 ? std::trunc(n * f + 0.5000001) / f : std::trunc(n * f - 0.5) / f);
  }
  case opMaskAnd:
  case opMaskOr: {
    long long x, y;
    if (!RoundToInt32(AsNumber(a[0]), x))
      x = 0;
    if (!RoundToInt32(AsNumber(a[1]), y))
      y = 0;
    if (op == opMaskAnd)
      return SetNumber(a[0], static_cast<double>(static_cast<std::int32_t>(x) & static_cast<std::int32_t>(y)));
    if (x < 0)
      x = 0;
    if (y < 0)
      y = 0;
    return SetNumber(a[0], static_cast<double>(x | y));
  }
  case opVal: {
    double value = 0;
    if (!TextToNumber(AsText(a[0]), value))
      value = 0;
    return SetNumber(a[0], value);
  }

  // Texts.
  case opChar:
    if ((e = AsWhole(a[0], true, w1)) != 0)
      return e;
    return SetText(a[0], std::string(1, static_cast<char>(w1 % 256)));
  case opCode: {
    const std::string& s = AsText(a[0]);
    return SetNumber(a[0], s.empty() ? 32 : static_cast<unsigned char>(s[0]));
  }
  case opConv:
    AsText(a[0]);
    if ((e = AsWhole(a[1], true, w1)) != 0)
      return e;
    a[0].Type = kExprText;
    return 0;
  case opDelAll:
    return SetText(a[0], TrimBlanks(AsText(a[0]), true, true));
  case opDelLeft:
    return SetText(a[0], TrimBlanks(AsText(a[0]), true, false));
  case opDelRight:
    return SetText(a[0], TrimBlanks(AsText(a[0]), false, true));
  case opEnumStr: {
    AsText(a[0]);
    if ((e = AsCapped(a[1], w1)) != 0)
      return e;
    const std::string& s = a[0].Str;
    std::size_t start = 0;
    for (int item = 0; item < w1; ++item) {
      const std::size_t slash = s.find('/', start);
      if (slash == std::string::npos)
        return SetText(a[0], std::string());
      start = slash + 1;
    }
    const std::size_t end = s.find('/', start);
    return SetText(a[0], s.substr(start, end == std::string::npos ? std::string::npos : end - start));
  }
  case opFind: {
    AsText(a[0]);
    AsText(a[1]);
    if ((e = AsWhole(a[2], true, w1)) != 0)
      return e;
    const std::size_t start = w1 == 0 ? 1 : static_cast<std::size_t>(w1);
    if (a[1].Str.size() < start)
      return SetNumber(a[0], 0);
    return SetNumber(a[0], Position(a[0].Str, std::string_view(a[1].Str).substr(start - 1)));
  }
  case opLeft:
  case opRight: {
    AsText(a[0]);
    if ((e = AsWhole(a[1], true, w1)) != 0)
      return e;
    std::string& s = a[0].Str;
    const std::size_t count = std::min(s.size(), static_cast<std::size_t>(w1));
    a[0].Type = kExprText;
    if (op == opLeft)
      s.resize(count);
    else
      s.erase(0, s.size() - count);
    return 0;
  }
  case opLen:
    return SetNumber(a[0], static_cast<double>(AsText(a[0]).size()));
  case opLower: {
    std::string s = AsText(a[0]);
    for (char& c : s)
      if (c >= 'A' && c <= 'Z')
        c = static_cast<char>(c - 'A' + 'a');
    return SetText(a[0], std::move(s));
  }
  case opUpper:
    return SetText(a[0], AnsiUpperCase(AsText(a[0])));
  case opMid: {
    AsText(a[0]);
    if ((e = AsWhole(a[1], true, w1)) != 0 || (e = AsWhole(a[2], true, w2)) != 0)
      return e;
    const std::size_t start = w1 == 0 ? 1 : static_cast<std::size_t>(w1);
    std::string& s = a[0].Str;
    a[0].Type = kExprText;
    if (s.size() < start)
      s.clear();
    else
      s = s.substr(start - 1, static_cast<std::size_t>(w2));
    return 0;
  }
  case opPos:
    return SetNumber(a[0], Position(AsText(a[0]), AsText(a[1])));
  case opPosUp:
    return SetNumber(a[0], Position(AnsiUpperCase(AsText(a[0])), AnsiUpperCase(AsText(a[1]))));
  case opProper:
    return SetText(a[0], Proper(AsText(a[0])));
  case opRepeat: {
    AsText(a[0]);
    if ((e = AsCapped(a[1], w1)) != 0)
      return e;
    std::string out;
    for (int copies = 0; copies < w1 && out.size() < 255; ++copies)
      out += a[0].Str;
    return SetText(a[0], std::move(out));
  }
  case opReplace: {
    AsText(a[0]);
    if ((e = AsWhole(a[1], true, w1)) != 0 || (e = AsWhole(a[2], true, w2)) != 0)
      return e;
    const std::string& s1 = a[0].Str;
    const std::string& s2 = AsText(a[3]);
    const auto at = static_cast<std::size_t>(w1);
    std::string out;
    if (at < s1.size()) {
      if (at == 0) {
        out = s2 + s1;
      } else {
        out = s1.substr(0, at - 1);
        out += s2;
        const std::size_t rest = at - 1 + static_cast<std::size_t>(w2);
        if (rest < s1.size())
          out.append(s1, rest, std::string::npos);
      }
    } else {
      out = s1 + s2;
    }
    return SetText(a[0], std::move(out));
  }
  case opSetCenter:
  case opSetLeft:
  case opSetRight:
  case opUsing: {
    AsText(a[0]);
    if ((e = AsCapped(a[1], w1)) != 0)
      return e;
    const auto width = static_cast<std::size_t>(w1);
    const std::string& s = a[0].Str;
    std::string t;
    if (op == opSetCenter) {
      t = TrimBlanks(s, true, true);
      if (t.size() < width)
        t = PadRight(std::string((width - t.size()) / 2, ' ') + t, w1);
      else
        t.resize(width);
    } else if (op == opSetRight) {
      t = TrimBlanks(s, false, true);
      if (t.size() < width)
        t = std::string(width - t.size(), ' ') + t;
      else
        t.erase(0, t.size() - width);
    } else {
      t = PadRight(op == opSetLeft ? TrimBlanks(s, true, false) : s, w1);
    }
    return SetText(a[0], std::move(t));
  }
  case opTrim:
    return SetText(a[0], TrimSpaces(AsText(a[0])));
  case opText2Xml:
    return SetText(a[0], Text2Xml(AsText(a[0])));
  case opStrTh:
    return SetText(a[0], StrThousands(AsText(a[0])));
  case opStrFlags: {
    AsText(a[0]);
    long long flags;
    if (!RoundToInt32(AsNumber(a[1]), flags) || flags < 0)
      flags = 0;
    if ((e = AsCapped(a[2], w1)) != 0)
      return e;
    std::string t = a[0].Str;
    for (std::size_t i = 0; i < t.size(); ++i)
      if (i >= 31 || ((flags >> i) & 1) == 0)
        t[i] = ' ';
    return SetText(a[0], PadRight(std::move(t), w1));
  }
  case opStrW: {
    long long value;
    if (!RoundToInt32(AsNumber(a[0]), value) || value < 0 || value > 65535)
      return 35;
    std::string t(2, '\0');
    t[0] = static_cast<char>(value & 0xFF);
    t[1] = static_cast<char>(value >> 8);
    return SetText(a[0], std::move(t));
  }

  // Number forms.
  case opStr: {
    const double n = AsNumber(a[0]);
    if ((e = AsWhole(a[1], true, w1)) != 0 || (e = AsWhole(a[2], true, w2)) != 0)
      return e;
    return SetText(a[0], StrFixed(n, w1, w2));
  }
  case opString:
  case opStrNum:
  case opStrCurr: {
    const double n = AsNumber(a[0]);
    if ((e = AsWhole(a[1], true, w1)) != 0)
      return e;
    if (op == opString)
      return SetText(a[0], StringFixed(n, w1));
    return SetText(a[0], op == opStrNum ? StrNum(n, w1) : StrCurr(n, w1));
  }

  // Dates and times.
  case opDate: {
    long long parts[3];
    for (int i = 0; i < 3; ++i) {
      const double x = std::nearbyint(AsNumber(a[i]));
      if (!(x >= -100000 && x <= 100000))
        return SetNumber(a[0], 0);
      parts[i] = static_cast<long long>(x);
    }
    TDateTime date = 0;
    if (!TryEncodeDate(static_cast<int>(parts[0]), static_cast<int>(parts[1]), static_cast<int>(parts[2]), date))
      date = 0;
    return SetNumber(a[0], date);
  }
  case opDateValue: {
    double date = 0;
    if ((e = DateValue(AsText(a[0]), date)) != 0)
      return e;
    return SetNumber(a[0], date);
  }
  case opDay:
  case opMonth:
  case opYear:
  case opWeekday:
    return DatePart(a[0], op, a[0]);
  case opNow:
    return SetNumber(a[0], std::floor(Now()));
  case opFormatDate: {
    const double date = a[0].Type == kExprText ? TextToDate(a[0].Str) : a[0].Num;
    const std::string& pattern = AsText(a[1]);
    return SetText(a[0], date > 1 ? FormatDateTime(pattern, date, CurrentLocale()) : std::string());
  }
  case opFormatTime: {
    double time = 0;
    if (a[0].Type == kExprText) {
      if (!ExprTextToTime(a[0].Str, time))
        time = 0;
    } else {
      time = a[0].Num;
    }
    const std::string& pattern = AsText(a[1]);
    return SetText(a[0], time >= 0 ? FormatDateTime(pattern, time, CurrentLocale()) : std::string());
  }
  case opStrDate:
    return SetText(a[0], DateToStr(AsNumber(a[0]), CurrentLocale()));
  case opStrTime:
    return SetText(a[0], FormatDateTime(CurrentLocale().LongTimeFormat, AsNumber(a[0]), CurrentLocale()));
  case opTimeValue: {
    double time = 0;
    if (!ExprTextToTime(AsText(a[0]), time))
      return 10;
    return SetNumber(a[0], time);
  }

  // The variable store.
  case opSetVar: {
    const std::string name = AsText(a[0]);
    if (a[1].Type == kExprText)
      Variables().SetText(name, a[1].Str);
    else
      Variables().SetNumber(name, a[1].Num);
    return SetText(a[0], std::string());
  }
  case opGetVar: {
    const TVariable* variable = Variables().Find(AsText(a[0]));
    if (row == kRowGetVar2) {
      // The twin row delivers every value as text: a number's stored text form.
      return SetText(a[0], variable ? variable->Text : std::string());
    }
    if (!variable)
      return SetNumber(a[0], 0);
    if (variable->Type == kExprText)
      return SetText(a[0], variable->Text);
    return SetNumber(a[0], static_cast<double>(variable->Number));
  }

  case opIf: {
    TExprValue& chosen = NearlyZero(AsNumber(a[0])) ? a[2] : a[1];
    a[0].Type = chosen.Type;
    a[0].Num = chosen.Num;
    a[0].Str.swap(chosen.Str);
    return 0;
  }

  case opPushVariable:
  case opPushNumber:
  case opPushText:
    break;
  }
  return 27;
}

} // namespace

std::uint8_t RunExprOperation(std::uint8_t row, TExprValue* args) {
  if (row == 0 || row >= kRowPushVariable)
    return 27;
  const std::uint8_t code = Run(row, args);
  if (code == 0 && args[0].Type == kExprText && args[0].Str.size() > kTextLimit)
    return 10;
  return code;
}
