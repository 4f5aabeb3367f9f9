#include "core/SettingsData.h"

#include <algorithm>
#include <array>

namespace {

// Lower-case partner of every code page 1250 byte; bytes without one map to themselves.
const std::array<unsigned char, 256>& LowerTable() {
  static const std::array<unsigned char, 256> table = [] {
    std::array<unsigned char, 256> t{};
    for (int i = 0; i < 256; ++i)
      t[static_cast<size_t>(i)] = static_cast<unsigned char>(i);
    for (int c = 'A'; c <= 'Z'; ++c)
      t[static_cast<size_t>(c)] = static_cast<unsigned char>(c + 32);
    // Š Ś Ť Ž Ź, Ł, Ą, Ş, Ż, Ľ
    const std::pair<int, int> pairs[] = {{0x8A, 0x9A}, {0x8C, 0x9C}, {0x8D, 0x9D}, {0x8E, 0x9E}, {0x8F, 0x9F},
                                         {0xA3, 0xB3}, {0xA5, 0xB9}, {0xAA, 0xBA}, {0xAF, 0xBF}, {0xBC, 0xBE}};
    for (const auto& [upper, lower] : pairs)
      t[static_cast<size_t>(upper)] = static_cast<unsigned char>(lower);
    // Ŕ..Ţ, except the multiplication sign.
    for (int c = 0xC0; c <= 0xDE; ++c)
      if (c != 0xD7)
        t[static_cast<size_t>(c)] = static_cast<unsigned char>(c + 0x20);
    return t;
  }();
  return table;
}

bool IsBelow(std::string_view foldedPath, std::string_view foldedParent) {
  if (foldedParent.empty())
    return !foldedPath.empty();
  return foldedPath.size() > foldedParent.size() + 1 && foldedPath.compare(0, foldedParent.size(), foldedParent) == 0 &&
         foldedPath[foldedParent.size()] == '\\';
}

} // namespace

std::string FoldSettingsName(std::string_view name) {
  const auto& table = LowerTable();
  std::string result(name);
  for (char& c : result)
    c = static_cast<char>(table[static_cast<unsigned char>(c)]);
  return result;
}

bool SameSettingsName(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  const auto& table = LowerTable();
  for (size_t i = 0; i < a.size(); ++i)
    if (table[static_cast<unsigned char>(a[i])] != table[static_cast<unsigned char>(b[i])])
      return false;
  return true;
}

std::string NormalizeSettingsPath(std::string_view path) {
  std::string result;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos)
      end = path.size();
    if (end > start) {
      if (!result.empty())
        result += '\\';
      result.append(path.substr(start, end - start));
    }
    start = end + 1;
  }
  return result;
}

const TSettingsData::TSection* TSettingsData::FindSection(std::string_view section) const {
  const std::string path = NormalizeSettingsPath(section);
  for (const TSection& s : FSections)
    if (SameSettingsName(s.Path, path))
      return &s;
  return nullptr;
}

TSettingsData::TSection* TSettingsData::FindSectionMutable(std::string_view section) {
  return const_cast<TSection*>(std::as_const(*this).FindSection(section));
}

const std::string* TSettingsData::Find(std::string_view section, std::string_view name) const {
  const TSection* s = FindSection(section);
  if (!s)
    return nullptr;
  for (const TValue& v : s->Values)
    if (SameSettingsName(v.first, name))
      return &v.second;
  return nullptr;
}

void TSettingsData::AddSection(std::string_view section) {
  // The root always exists; it gets an entry with its first value.
  if (!NormalizeSettingsPath(section).empty() && !FindSection(section))
    FSections.push_back(TSection{NormalizeSettingsPath(section), {}});
}

void TSettingsData::Set(std::string_view section, std::string_view name, std::string_view text) {
  TSection* s = FindSectionMutable(section);
  if (!s) {
    FSections.push_back(TSection{NormalizeSettingsPath(section), {}});
    s = &FSections.back();
  }
  for (TValue& v : s->Values) {
    if (SameSettingsName(v.first, name)) {
      v.second.assign(text);
      return;
    }
  }
  s->Values.emplace_back(std::string(name), std::string(text));
}

bool TSettingsData::Delete(std::string_view section, std::string_view name) {
  TSection* s = FindSectionMutable(section);
  if (!s)
    return false;
  const auto it = std::find_if(s->Values.begin(), s->Values.end(),
                               [&](const TValue& v) { return SameSettingsName(v.first, name); });
  if (it == s->Values.end())
    return false;
  s->Values.erase(it);
  return true;
}

bool TSettingsData::Erase(std::string_view section) {
  const std::string path = FoldSettingsName(NormalizeSettingsPath(section));
  const size_t before = FSections.size();
  std::erase_if(FSections, [&](const TSection& s) {
    const std::string folded = FoldSettingsName(s.Path);
    return path.empty() || folded == path || IsBelow(folded, path);
  });
  return FSections.size() != before;
}

bool TSettingsData::SectionExists(std::string_view section) const {
  const std::string path = FoldSettingsName(NormalizeSettingsPath(section));
  if (path.empty())
    return true;
  return std::any_of(FSections.begin(), FSections.end(), [&](const TSection& s) {
    const std::string folded = FoldSettingsName(s.Path);
    return folded == path || IsBelow(folded, path);
  });
}

std::vector<std::string> TSettingsData::SubsectionNames(std::string_view section) const {
  const std::string parent = FoldSettingsName(NormalizeSettingsPath(section));
  const size_t skip = parent.empty() ? 0 : parent.size() + 1;
  std::vector<std::string> names;
  for (const TSection& s : FSections) {
    if (!IsBelow(FoldSettingsName(s.Path), parent))
      continue;
    const std::string child = s.Path.substr(skip, s.Path.find('\\', skip) - skip);
    if (std::none_of(names.begin(), names.end(), [&](const std::string& n) { return SameSettingsName(n, child); }))
      names.push_back(child);
  }
  return names;
}
