// Expressions from hostile bytes: every input is compiled and, when it compiles, evaluated a
// few times over variables of both kinds, with the stored variables (SETVAR) emptied before
// each input so that the store stays bounded. Anything but a result or an error code is a
// finding: Compile and Evaluate must never throw, crash or read outside their buffers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "expr/VariableList.h"
#include "expr/Vyhodnocovac.h"

namespace {

class TFuzzVyhodnocovac : public TVyhodnocovac {
public:
  int Card = 0;

protected:
  std::int32_t FindVariable(std::string_view name) override {
    if (name == "CENA")
      return 1;
    if (name == "NAZEV")
      return 2;
    if (name == "SKUPINA1")
      return 3;
    if (name == "ZASOBA")
      return 4;
    if (name == "NIC")
      return 5;
    return 0;
  }
  bool ReadVariable(std::int32_t id, std::uint8_t& type) override {
    switch (id) {
    case 1:
      type = kExprNumber;
      NumValue = 99.5 + Card;
      return true;
    case 2:
      type = kExprText;
      StrValue = Card % 2 ? "Pivo" : "";
      return true;
    case 3:
      type = kExprText;
      StrValue = "0120";
      return true;
    case 4:
      type = kExprNumber;
      NumValue = -Card;
      return true;
    default:
      type = kExprText;
      return false;
    }
  }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ClearVariables();
  TFuzzVyhodnocovac evaluator;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::uint8_t code = evaluator.Compile(text);
  if (code == 0) {
    if (evaluator.Code().empty() || evaluator.Code().size() > kExprCodeLimit)
      std::abort();
  } else if (!evaluator.Code().empty()) {
    std::abort();
  }
  for (int card = 0; card < 3; ++card) {
    evaluator.Card = card;
    const TEvalResult result = evaluator.Evaluate();
    if (result.Type != kExprNumber && result.Type != kExprText)
      std::abort();
    if (code != 0 && result.Code != 26)
      std::abort();
  }
  ClearVariables();
  return 0;
}
