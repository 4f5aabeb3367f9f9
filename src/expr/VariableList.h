#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

// One stored variable of the expression language (SETVAR). For a number Text is its general
// form (up to 15 significant digits, the user's decimal separator); for a text Number is 0.
struct TVariable {
  std::string Name;      // upper-cased, code page aware
  std::uint8_t Type = 0; // kExprNumber or kExprText
  std::string Text;
  long double Number = 0;
};

// The variable store: one instance for the whole process (Variables()), shared by every
// evaluator, so a value stored during one evaluation is seen by all later ones. Names are
// compared after upper-casing them (code page aware). Not locked: evaluators run on the
// user-interface thread only.
class TVariableList {
public:
  // The variable called name, nullptr when there is none. The pointer stays valid until the
  // variable is replaced or the store cleared.
  const TVariable* Find(std::string_view name) const;
  // Stores a number or a text under name, replacing a variable of that name.
  void SetNumber(std::string_view name, double value);
  void SetText(std::string_view name, std::string_view value);
  std::size_t Count() const { return FItems.size(); }
  void Clear() { FItems.clear(); }

private:
  TVariable& Slot(std::string_view name);
  std::unordered_map<std::string, std::unique_ptr<TVariable>> FItems;
};

// The process-wide store, created at its first use and freed at program end.
TVariableList& Variables();
// Empties the process-wide store (tests, the fuzz target).
void ClearVariables();
