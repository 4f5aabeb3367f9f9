#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The values of one settings file held in memory: sections (subkeys) in the order they were
// first created, each holding named text values in the order they were first written.
//
// Section paths are written like registry subkeys, parts separated by "\" ("AllUsers\Colors",
// "User:jan\Grid"); empty parts are dropped, so "\A\\B\" is "A\B". The empty path is the root
// key itself, which may hold values too. Names of sections and values compare without regard
// to case (code page 1250 letters included), as the registry compares them; a name keeps the
// spelling it had when it was first created. All texts are code page 1250.
class TSettingsData {
public:
  using TValue = std::pair<std::string, std::string>; // name, text

  struct TSection {
    std::string Path; // normalised, as first created
    std::vector<TValue> Values;
  };

  // The value's text, or nullptr when the section or the value does not exist. The pointer
  // is valid until the next change.
  const std::string* Find(std::string_view section, std::string_view name) const;
  // Creates the section and the value when missing; an existing value keeps its place.
  void Set(std::string_view section, std::string_view name, std::string_view text);
  // False when there was no such value. The section stays, even when it becomes empty.
  bool Delete(std::string_view section, std::string_view name);
  // Removes the section and every section below it. False when none of them existed.
  bool Erase(std::string_view section);
  // Creates an empty section (and keeps an existing one as it is; the root needs none).
  void AddSection(std::string_view section);

  // True when the section exists itself or as the parent of a stored section.
  bool SectionExists(std::string_view section) const;
  const TSection* FindSection(std::string_view section) const;
  // The names of the sections right below the given one, in the order of first creation.
  std::vector<std::string> SubsectionNames(std::string_view section) const;

  const std::vector<TSection>& Sections() const { return FSections; }
  bool Empty() const { return FSections.empty(); }
  void Clear() { FSections.clear(); }

private:
  TSection* FindSectionMutable(std::string_view section);
  std::vector<TSection> FSections;
};

// "\A\\B\" -> "A\B": the path with empty parts removed.
std::string NormalizeSettingsPath(std::string_view path);

// Case-folded form of a section or value name (code page 1250 letters included), for
// comparing names as the registry does.
std::string FoldSettingsName(std::string_view name);
bool SameSettingsName(std::string_view a, std::string_view b);
