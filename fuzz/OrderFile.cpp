// Reads arbitrary bytes as an order file, plain or packed, the way Open does. Any outcome but
// an order or the program's own error is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzScratchFile.h"
#include "core/Errors.h"
#include "core/ReportMessage.h"
#include "orders/OrderFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ScratchFile scratch("orderfile");
  static TSilentMessageSink sink;
  static const Locale czech = Locale::Czech();
  static TPriceListItem card;
  scratch.Write(data, size);

  TOrderFileOptions options;
  options.Messages = &sink;
  options.Conventions = &czech;
  // Every other code has a card, so that both kinds of line reach the totals.
  options.Cards = [](const std::string& code) { return code.size() % 2 ? &card : nullptr; };
  TOrder order;
  try {
    ReadOrderFile(order, scratch.Name, options);
    if (order.Count() > 1000 || order.Note.size() > 1000)
      std::abort();
  } catch (const Exception&) {
    // Damaged packed files and oversized files are expected to end here.
  }
  return 0;
}
