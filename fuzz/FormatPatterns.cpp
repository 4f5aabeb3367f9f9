// Patterns of Format and FormatDateTime come from the program, but also from expressions
// typed by the supplier (FORMATDATE) and from settings; no pattern may crash, hang or give a
// text out of proportion to it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "core/DateFormat.h"
#include "core/Format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  double value = 0;
  if (size >= sizeof(value)) {
    std::memcpy(&value, data, sizeof(value));
    data += sizeof(value);
    size -= sizeof(value);
  }
  const std::string_view pattern(reinterpret_cast<const char*>(data), size);
  const Locale& locale = CurrentLocale();

  const std::string dateText = FormatDateTime(pattern, value, locale);
  // No token writes more than a short date with a long time (about 20 characters).
  if (dateText.size() > 64 * pattern.size() + 64)
    __builtin_trap();

  const std::string text =
      Format(pattern, {value, static_cast<long long>(size) - 5, std::string_view("abc"), -value}, locale);
  // Widths are capped at 1000 characters per placeholder.
  if (text.size() > 1100 * pattern.size() + 64)
    __builtin_trap();

  (void)FloatToStrGeneral(value, locale);
  (void)FloatToStrFixed(value, static_cast<int>(size % 40) - 5, locale);
  return 0;
}
