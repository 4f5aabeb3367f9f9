// The note rules that give a card its special row colour.

#include "catalogue/PriceList.h"
#include "formats/CodePages.h"

namespace {

// Calls f for every piece of text between the separators (empty ones too unless skipEmpty)
// until f returns false.
template <typename F> void ForEachPiece(std::string_view text, char separator, bool skipEmpty, F f) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::string_view::npos)
      end = text.size();
    if ((end > start || !skipEmpty) && !f(text.substr(start, end - start)))
      return;
    start = end + 1;
  }
}

// Every word of the alternative, less what its first ":" ends, occurs in the note.
bool AlternativeMatches(std::string_view alternative, const std::string& note) {
  bool all = true;
  ForEachPiece(alternative, ' ', true, [&](std::string_view word) {
    const size_t colon = word.find(':');
    if (colon != std::string_view::npos)
      word.remove_prefix(colon + 1);
    if (!word.empty() && note.find(word) == std::string::npos)
      all = false;
    return all;
  });
  return all;
}

bool RuleMatches(const std::string& keywords, const std::string& note) {
  // An alternative left without words (as in "A||B") matches any note: nothing in it is missing.
  bool any = false;
  ForEachPiece(keywords, '|', false, [&](std::string_view alternative) {
    any = AlternativeMatches(alternative, note);
    return !any;
  });
  return any;
}

} // namespace

void TPriceList::SetColorRules(const TColorSettings& colors) {
  FColorRules.clear();
  for (int i = 0; i < kSpecialColorCount; ++i)
    if (!colors.SpColorKeywords[static_cast<size_t>(i)].empty())
      FColorRules.push_back(
          {AnsiUpperCase(colors.SpColorKeywords[static_cast<size_t>(i)]), colors.SpColor[static_cast<size_t>(i)]});
}

void TPriceList::AssignSpecialColor(TPriceListItem& card) const {
  if (FColorRules.empty() || card.POZNAMKA.empty())
    return;
  const std::string note = AnsiUpperCase(card.POZNAMKA);
  for (const TColorRule& rule : FColorRules)
    if (RuleMatches(rule.Keywords, note)) {
      card.SpecialColor = rule.Color;
      return;
    }
}
