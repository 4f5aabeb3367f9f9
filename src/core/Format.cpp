#include "core/Format.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {

constexpr int kGeneralPrecision = 15;
constexpr int kMaxFloatPrecision = 18;
constexpr int kMaxWidth = 1000;
// Smallest decimal exponent "%g" still writes in fixed form. The platform switches to the
// scientific form below 0.0001 (0.0001 stays "0,0001", 0.00001 becomes "1E-5"), whatever its
// own help text claims.
constexpr int kMinFixedExponent = -4;
// From here on "%f" stops writing every digit of the whole part: they would be noise beyond
// the 15 a double carries, and 1e308 would give a 300-character cell.
constexpr double kMaxFixed = 1e15;

constexpr double kPowersOf10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                  1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The text of one number, built without touching the heap (this runs for every price cell).
class SmallText {
public:
  void Put(char c) {
    if (FSize < sizeof(FData))
      FData[FSize++] = c;
  }
  void Put(const char* text, size_t count) {
    for (size_t i = 0; i < count; ++i)
      Put(text[i]);
  }
  void Put(std::string_view text) { Put(text.data(), text.size()); }
  void Zeros(int count) {
    for (int i = 0; i < count; ++i)
      Put('0');
  }
  std::string_view View() const { return {FData, FSize}; }

private:
  char FData[128];
  size_t FSize = 0;
};

char Separator(const Locale& locale) { return locale.DecimalSeparator ? locale.DecimalSeparator : '.'; }

// True when the non-negative a lies exactly halfway between two numbers of the given count of
// decimals (negative: whole tens, hundreds, ...). The standard conversions round such a tie
// to even; the platform rounds it away from zero (1.125 with two decimals is "1,13").
bool IsExactTie(double a, int decimals) {
  if (decimals >= 0) {
    // a * 10^d ends in exactly .5 only when a * 2^(d+1) is an odd whole number.
    if (decimals > 1100)
      return false;
    const double n = std::ldexp(a, decimals + 1);
    return std::isfinite(n) && std::floor(n) == n && std::fmod(n, 2.0) == 1.0;
  }
  const int q = -decimals;
  // A tie at 10^q needs 5^q in the mantissa; beyond 5^22 no double holds one.
  if (q > 22)
    return false;
  return std::fmod(a, kPowersOf10[q]) == 5 * kPowersOf10[q - 1];
}

double RoundTiesAway(double a, int decimals) { return IsExactTie(a, decimals) ? std::nextafter(a, HUGE_VAL) : a; }

bool PutSpecial(SmallText& out, double v) {
  if (std::isnan(v)) {
    out.Put("NAN");
    return true;
  }
  if (std::isinf(v)) {
    out.Put(v < 0 ? "-INF" : "INF");
    return true;
  }
  return false;
}

void PutUnsigned(SmallText& out, unsigned long long value) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof(buf), value);
  out.Put(buf, static_cast<size_t>(r.ptr - buf));
}

// Significant digits of a positive finite a, rounded to precision digits with ties away from
// zero, and the decimal exponent of the first digit (a = d.ddd * 10^exponent).
struct Digits {
  char Digit[kMaxFloatPrecision + 1];
  int Count = 0;
  int Exponent = 0;
};

Digits SignificantDigits(double a, int precision) {
  Digits d;
  for (int attempt = 0; attempt < 2; ++attempt) {
    char buf[48];
    const auto r = std::to_chars(buf, buf + sizeof(buf), a, std::chars_format::scientific, precision - 1);
    const char* p = buf;
    d.Count = 0;
    while (p < r.ptr && *p != 'e') {
      if (*p != '.')
        d.Digit[d.Count++] = *p;
      ++p;
    }
    ++p; // 'e'
    if (p < r.ptr && *p == '+')
      ++p;
    std::from_chars(p, r.ptr, d.Exponent);
    if (attempt == 0 && IsExactTie(a, precision - 1 - d.Exponent))
      a = std::nextafter(a, HUGE_VAL);
    else
      break;
  }
  while (d.Count > 1 && d.Digit[d.Count - 1] == '0')
    --d.Count;
  return d;
}

void PutGeneral(SmallText& out, double v, int precision, char sep) {
  if (PutSpecial(out, v))
    return;
  if (v == 0) {
    out.Put('0');
    return;
  }
  const Digits d = SignificantDigits(std::fabs(v), precision);
  if (v < 0)
    out.Put('-');
  const int e = d.Exponent;
  if (e < precision && e >= kMinFixedExponent) {
    if (e >= 0) {
      const int whole = e + 1;
      if (d.Count <= whole) {
        out.Put(d.Digit, static_cast<size_t>(d.Count));
        out.Zeros(whole - d.Count);
      } else {
        out.Put(d.Digit, static_cast<size_t>(whole));
        out.Put(sep);
        out.Put(d.Digit + whole, static_cast<size_t>(d.Count - whole));
      }
    } else {
      out.Put('0');
      out.Put(sep);
      out.Zeros(-e - 1);
      out.Put(d.Digit, static_cast<size_t>(d.Count));
    }
    return;
  }
  out.Put(d.Digit[0]);
  if (d.Count > 1) {
    out.Put(sep);
    out.Put(d.Digit + 1, static_cast<size_t>(d.Count - 1));
  }
  out.Put('E');
  if (e < 0)
    out.Put('-');
  PutUnsigned(out, static_cast<unsigned long long>(e < 0 ? -e : e));
}

void PutFixed(SmallText& out, double v, int decimals, char sep) {
  if (PutSpecial(out, v))
    return;
  const double a = std::fabs(v);
  if (a >= kMaxFixed) {
    PutGeneral(out, v, kGeneralPrecision, sep);
    return;
  }
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof(buf), RoundTiesAway(a, decimals), std::chars_format::fixed, decimals);
  // -0.001 with two decimals is "0,00": a minus sign only in front of a digit that is not zero.
  bool nonZero = false;
  for (const char* p = buf; p < r.ptr; ++p)
    nonZero = nonZero || (*p >= '1' && *p <= '9');
  if (v < 0 && nonZero)
    out.Put('-');
  for (const char* p = buf; p < r.ptr; ++p)
    out.Put(*p == '.' ? sep : *p);
}

// The platform's "%e": d.ddd...E+ddd with precision significant digits.
void PutExponent(SmallText& out, double v, int precision, char sep) {
  if (PutSpecial(out, v))
    return;
  Digits d;
  if (v == 0) {
    d.Count = 1;
    d.Digit[0] = '0';
  } else {
    d = SignificantDigits(std::fabs(v), precision);
  }
  if (v < 0)
    out.Put('-');
  out.Put(d.Digit[0]);
  if (precision > 1) {
    out.Put(sep);
    out.Put(d.Digit + 1, static_cast<size_t>(d.Count - 1));
    out.Zeros(precision - d.Count);
  }
  out.Put('E');
  out.Put(d.Exponent < 0 ? '-' : '+');
  const int e = d.Exponent < 0 ? -d.Exponent : d.Exponent;
  out.Zeros(e < 10 ? 2 : e < 100 ? 1 : 0);
  PutUnsigned(out, static_cast<unsigned long long>(e));
}

// Whole number with at least minDigits digits (zeros in front, after the sign).
void PutInteger(SmallText& out, long long value, int minDigits) {
  const unsigned long long magnitude =
      value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof(buf), magnitude);
  const int count = static_cast<int>(r.ptr - buf);
  if (value < 0)
    out.Put('-');
  out.Zeros(minDigits - count);
  out.Put(buf, static_cast<size_t>(count));
}

void PutHex(SmallText& out, long long value, int minDigits) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof(buf), static_cast<unsigned long long>(value), 16);
  const int count = static_cast<int>(r.ptr - buf);
  out.Zeros(minDigits - count);
  for (const char* p = buf; p < r.ptr; ++p)
    out.Put(*p >= 'a' ? static_cast<char>(*p - 'a' + 'A') : *p);
}

// A float asked for as a whole number: rounded half away from zero; one beyond the range of
// whole numbers (or not a number at all) keeps its general form.
bool RoundToInteger(double v, long long& result) {
  if (!(std::fabs(v) < 9.2e18))
    return false;
  result = std::llround(v);
  return true;
}

void AppendPadded(std::string& out, std::string_view body, int width, bool leftAlign) {
  const size_t pad =
      width > 0 && static_cast<size_t>(width) > body.size() ? static_cast<size_t>(width) - body.size() : 0;
  if (!leftAlign)
    out.append(pad, ' ');
  out.append(body);
  if (leftAlign)
    out.append(pad, ' ');
}

struct TPlaceholder {
  int Index = -1; // explicit argument index, -1 for the next one
  bool LeftAlign = false;
  int Width = -1; // -1: none; -2: taken from the arguments ("*")
  int Precision = -1;
  char Type = 0;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int ReadNumber(std::string_view pattern, size_t& i) {
  int value = 0;
  while (i < pattern.size() && IsDigit(pattern[i])) {
    if (value <= kMaxWidth)
      value = value * 10 + (pattern[i] - '0');
    ++i;
  }
  return value < kMaxWidth ? value : kMaxWidth;
}

// Reads "[index:][-][width][.precision]type" after a "%"; false when the text there is not a
// placeholder (it is then copied as it stands). On success i is past the type letter.
bool ParsePlaceholder(std::string_view pattern, size_t& i, TPlaceholder& ph) {
  size_t j = i;
  if (j < pattern.size() && IsDigit(pattern[j])) {
    size_t k = j;
    const int n = ReadNumber(pattern, k);
    if (k < pattern.size() && pattern[k] == ':') {
      ph.Index = n;
      j = k + 1;
    }
  }
  if (j < pattern.size() && pattern[j] == '-') {
    ph.LeftAlign = true;
    ++j;
  }
  if (j < pattern.size() && pattern[j] == '*') {
    ph.Width = -2;
    ++j;
  } else if (j < pattern.size() && IsDigit(pattern[j])) {
    ph.Width = ReadNumber(pattern, j);
  }
  if (j < pattern.size() && pattern[j] == '.') {
    ++j;
    if (j < pattern.size() && pattern[j] == '*') {
      ph.Precision = -2;
      ++j;
    } else {
      ph.Precision = ReadNumber(pattern, j);
    }
  }
  if (j >= pattern.size())
    return false;
  char type = pattern[j];
  if (type >= 'A' && type <= 'Z')
    type = static_cast<char>(type - 'A' + 'a');
  switch (type) {
  case 'd':
  case 'u':
  case 'x':
  case 's':
  case 'f':
  case 'g':
  case 'e':
    ph.Type = type;
    i = j + 1;
    return true;
  default:
    return false;
  }
}

int FloatPrecision(int precision, int unset) {
  if (precision < 0)
    return unset;
  return precision > kMaxFloatPrecision ? kMaxFloatPrecision : precision;
}

// The text of one argument for one placeholder; widths are applied by the caller.
void FormatOne(SmallText& body, const TPlaceholder& ph, const FormatArg& arg, const Locale& locale, bool& isText) {
  const char sep = Separator(locale);
  isText = false;
  const auto kind = arg.GetKind();
  if (kind == FormatArg::Kind::Text) {
    isText = true; // any placeholder shows a text as it stands
    return;
  }
  switch (ph.Type) {
  case 'd':
  case 'u':
  case 'x': {
    // Zeros in front ("%.5d"), capped so that the text fits its buffer.
    const int minDigits = ph.Precision < 0 ? 0 : ph.Precision > 32 ? 32 : ph.Precision;
    long long value = arg.Integer();
    if (kind == FormatArg::Kind::Float && !RoundToInteger(arg.Float(), value)) {
      PutGeneral(body, arg.Float(), kGeneralPrecision, sep);
      return;
    }
    if (ph.Type == 'x')
      PutHex(body, value, minDigits);
    else
      PutInteger(body, value, minDigits);
    return;
  }
  case 's':
    if (kind == FormatArg::Kind::Integer)
      PutInteger(body, arg.Integer(), 0);
    else
      PutGeneral(body, arg.Float(), kGeneralPrecision, sep);
    return;
  default:
    break;
  }
  const double v = kind == FormatArg::Kind::Integer ? static_cast<double>(arg.Integer()) : arg.Float();
  if (ph.Type == 'f') {
    PutFixed(body, v, FloatPrecision(ph.Precision, 2), sep);
  } else if (ph.Type == 'e') {
    const int p = FloatPrecision(ph.Precision, kGeneralPrecision);
    PutExponent(body, v, p < 1 ? kGeneralPrecision : p, sep);
  } else {
    const int p = FloatPrecision(ph.Precision, kGeneralPrecision);
    PutGeneral(body, v, p < 1 ? kGeneralPrecision : p, sep);
  }
}

} // namespace

std::string Format(std::string_view pattern, std::initializer_list<FormatArg> args, const Locale& locale) {
  std::string out;
  out.reserve(pattern.size() + 16);
  const FormatArg* const first = args.begin();
  const size_t count = args.size();
  size_t next = 0;
  auto take = [&]() -> const FormatArg* { return next < count ? first + next++ : nullptr; };
  auto takeInt = [&](int& value) {
    const FormatArg* a = take();
    long long n = 0;
    if (a && a->GetKind() == FormatArg::Kind::Integer)
      n = a->Integer();
    else if (a && a->GetKind() == FormatArg::Kind::Float)
      RoundToInteger(a->Float(), n);
    value = n < 0 ? -1 : n > kMaxWidth ? kMaxWidth : static_cast<int>(n);
  };

  size_t i = 0;
  while (i < pattern.size()) {
    const size_t percent = pattern.find('%', i);
    if (percent == std::string_view::npos) {
      out.append(pattern.substr(i));
      break;
    }
    out.append(pattern.substr(i, percent - i));
    i = percent + 1;
    if (i < pattern.size() && pattern[i] == '%') {
      out += '%';
      ++i;
      continue;
    }
    TPlaceholder ph;
    if (!ParsePlaceholder(pattern, i, ph)) {
      out += '%';
      continue;
    }
    if (ph.Index >= 0)
      next = static_cast<size_t>(ph.Index);
    if (ph.Width == -2)
      takeInt(ph.Width);
    if (ph.Precision == -2)
      takeInt(ph.Precision);
    const FormatArg* arg = take();
    if (!arg)
      continue;
    SmallText body;
    bool isText = false;
    FormatOne(body, ph, *arg, locale, isText);
    if (isText) {
      std::string_view text = arg->Text();
      if (ph.Type == 's' && ph.Precision >= 0 && text.size() > static_cast<size_t>(ph.Precision))
        text = text.substr(0, static_cast<size_t>(ph.Precision));
      AppendPadded(out, text, ph.Width, ph.LeftAlign);
    } else {
      AppendPadded(out, body.View(), ph.Width, ph.LeftAlign);
    }
  }
  return out;
}

std::string FloatToStrGeneral(double value, const Locale& locale) {
  SmallText text;
  PutGeneral(text, value, kGeneralPrecision, Separator(locale));
  return std::string(text.View());
}

std::string FloatToStrFixed(double value, int decimals, const Locale& locale) {
  SmallText text;
  PutFixed(text, value,
           decimals < 0                    ? 0
           : decimals > kMaxFloatPrecision ? kMaxFloatPrecision
                                           : decimals,
           Separator(locale));
  return std::string(text.View());
}
