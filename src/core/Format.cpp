#include "core/Format.h"

#include <cstdio>

// Interim version: "%s" and "%d" only; the full routine replaces this file.
std::string Format(std::string_view pattern, std::initializer_list<FormatArg> args, const Locale& locale) {
  (void)locale;
  std::string out;
  auto next = args.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%' || i + 1 >= pattern.size()) {
      out += pattern[i];
      continue;
    }
    const char spec = pattern[++i];
    if (spec == '%') {
      out += '%';
      continue;
    }
    if (next == args.end())
      continue;
    const FormatArg& a = *next++;
    if (a.GetKind() == FormatArg::Kind::Text)
      out += a.Text();
    else if (a.GetKind() == FormatArg::Kind::Integer)
      out += std::to_string(a.Integer());
    else
      out += std::to_string(a.Float());
  }
  return out;
}
