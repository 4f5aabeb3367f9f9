#include "expr/VariableList.h"

#include "core/Format.h"
#include "expr/Vyhodnocovac.h"
#include "formats/CodePages.h"

const TVariable* TVariableList::Find(std::string_view name) const {
  const auto it = FItems.find(AnsiUpperCase(name));
  return it == FItems.end() ? nullptr : it->second.get();
}

TVariable& TVariableList::Slot(std::string_view name) {
  std::string key = AnsiUpperCase(name);
  auto& item = FItems[key];
  if (!item) {
    item = std::make_unique<TVariable>();
    item->Name = std::move(key);
  }
  return *item;
}

void TVariableList::SetNumber(std::string_view name, double value) {
  TVariable& variable = Slot(name);
  variable.Type = kExprNumber;
  variable.Number = value;
  variable.Text = FloatToStrGeneral(value);
}

void TVariableList::SetText(std::string_view name, std::string_view value) {
  TVariable& variable = Slot(name);
  variable.Type = kExprText;
  variable.Number = 0;
  variable.Text.assign(value);
}

TVariableList& Variables() {
  static TVariableList list;
  return list;
}

void ClearVariables() { Variables().Clear(); }
