// The text import reads files the customer's other programs wrote. Whatever they hold, the
// import must end with a line per usable row or the program's error: no crash, no hang, no
// allocation out of proportion to the input.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "catalogue/PriceList.h"
#include "core/Errors.h"
#include "orders/Order.h"
#include "orders/OrderImport.h"

namespace {

// Continues or stops by the input's last byte, so both ends are reached.
class TFuzzProblems : public IImportProblemDialog {
public:
  explicit TFuzzProblems(bool stop) : FStop(stop) {}
  bool Continue(const TImportProblem& problem) override {
    if (problem.Fields.size() > 2 * kMaxImportColumns || problem.Message.empty())
      __builtin_trap();
    return !FStop;
  }

private:
  bool FStop;
};

TPriceList& Cards() {
  static TPriceList list;
  if (list.Count() == 0) {
    for (const char* ean : {"8590001", "1", "", "\"x\""}) {
      auto card = std::make_unique<TPriceListItem>();
      card->Kod = std::string("K") + ean;
      card->EAN = ean;
      list.Add(std::move(card));
    }
  }
  return list;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  TOrder order;
  TFuzzProblems problems(size > 0 && (data[size - 1] & 1));
  int added = 0;
  try {
    added = ImportTextBytes(order, bytes, "fuzz.txt", CardByEANIn(Cards()), TImportPatterns::Defaults(), problems);
  } catch (const Exception&) {
    return 0;
  }
  // Every line comes from a line of the input below the names.
  if (added != order.Count() || static_cast<size_t>(added) > size)
    __builtin_trap();
  return 0;
}
