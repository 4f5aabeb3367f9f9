// Settings files are edited by hand and preset by administrators: whatever they hold, reading
// must not crash, and what was read must be written and read back unchanged.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/SettingsFile.h"

namespace {

// The root without values is the same as no root entry: the file has nothing to show for it.
size_t CountedSections(const TSettingsData& data) {
  size_t count = 0;
  for (const TSettingsData::TSection& s : data.Sections())
    count += !s.Path.empty() || !s.Values.empty();
  return count;
}

bool SameData(const TSettingsData& a, const TSettingsData& b) {
  if (CountedSections(a) != CountedSections(b))
    return false;
  for (const TSettingsData::TSection& x : a.Sections()) {
    const TSettingsData::TSection* y = b.FindSection(x.Path);
    if (x.Path.empty() && x.Values.empty())
      continue;
    if (!y || y->Path != x.Path || y->Values != x.Values)
      return false;
  }
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TSettingsData parsed;
  std::string problem;
  if (!ParseSettingsText(text, parsed, &problem)) {
    if (!parsed.Empty() || problem.empty())
      __builtin_trap();
    return 0;
  }
  TSettingsData again;
  if (!ParseSettingsText(FormatSettingsText(parsed), again) || !SameData(parsed, again))
    __builtin_trap();
  return 0;
}
