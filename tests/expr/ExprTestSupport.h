#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>

#include "expr/ExprNumberText.h"
#include "expr/Vyhodnocovac.h"

// An evaluator with a few variables of both kinds. Names are matched upper-cased, as the card
// evaluator does; NIC is known but never has a value; THROW throws from ReadVariable.
class TTestVyhodnocovac : public TVyhodnocovac {
public:
  struct TValue {
    std::int32_t Id;
    std::uint8_t Type;
    double Num;
    std::string Str;
  };
  std::map<std::string, TValue> Values = {
      {"CENA", {1, kExprNumber, 120.5, ""}},
      {"NAZEV", {2, kExprText, 0, "Pivo"}},
      {"A", {3, kExprNumber, 1, ""}},
      {"B", {4, kExprNumber, 0, ""}},
      {"NIC", {5, kExprNumber, 0, ""}},
      {"CENASDPH", {6, kExprNumber, 145.75, ""}},
      {"DATE", {7, kExprNumber, 42, ""}},
      {"1X", {8, kExprText, 0, "jedna"}},
      {"BIG", {0x12345678, kExprNumber, 7, ""}},
      {"NEG", {-2, kExprText, 0, "minus"}},
      {"THROW", {9, kExprNumber, 0, ""}},
  };
  int Reads = 0;

protected:
  std::int32_t FindVariable(std::string_view name) override {
    std::string upper(name);
    for (char& c : upper)
      if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - 'a' + 'A');
    const auto it = Values.find(upper);
    return it == Values.end() ? 0 : it->second.Id;
  }
  bool ReadVariable(std::int32_t id, std::uint8_t& type) override {
    ++Reads;
    for (const auto& [name, value] : Values) {
      if (value.Id != id)
        continue;
      if (name == "NIC")
        return false;
      if (name == "THROW")
        throw std::runtime_error("read failed");
      type = value.Type;
      if (type == kExprText)
        StrValue = value.Str;
      else
        NumValue = value.Num;
      return true;
    }
    return false;
  }
};

// The outcome of compiling and evaluating one expression, written compactly so that a table
// of cases reads like the language: "c15" compile code 15, "e25" evaluation code 25,
// "n:2.5" a number (as NumberToText shows it), "t:abc" a text.
inline std::string Outcome(TVyhodnocovac& evaluator, std::string_view expression) {
  const std::uint8_t compiled = evaluator.Compile(expression);
  if (compiled != 0)
    return "c" + std::to_string(compiled);
  const TEvalResult result = evaluator.Evaluate();
  if (result.Code != 0)
    return "e" + std::to_string(result.Code);
  if (result.Type == kExprText)
    return "t:" + evaluator.StrValue;
  return "n:" + NumberToText(evaluator.NumValue);
}

inline std::string Outcome(std::string_view expression) {
  TTestVyhodnocovac evaluator;
  return Outcome(evaluator, expression);
}
