// Loads arbitrary bytes as OKRUHY.DBF over a small price list, the way the program loads the
// goods groups after the price list, then chooses every group and every tab (the stored
// variables of SETVAR emptied before each input, so that the store stays bounded). Any outcome
// but the program's own error is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include <unistd.h>

#include "catalogue/Groups.h"
#include "core/AppSettings.h"
#include "FuzzScratchFile.h"
#include "core/Errors.h"
#include "expr/VariableList.h"
#include "ui/CellText.h"

namespace {

// Cards whose codes, groups and prices the seeds' prefixes and expressions meet.
TPriceList& Cards() {
  static TPriceList list;
  static const bool filled = [] {
    const char* codes[] = {"1001", "1002", "1101", "2001", "3001", "ab1", "AB2", ""};
    double price = 10;
    for (const char* code : codes) {
      auto card = std::make_unique<TPriceListItem>();
      card->Kod = code;
      card->SKUPINA1 = std::string("01") + code;
      card->Cena = price *= 3;
      card->ZASOBA = price > 100 ? 1 : 0;
      list.Add(std::move(card));
    }
    return true;
  }();
  (void)filled;
  return list;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ScratchFile scratch("groups");
  static const TCellEnvironment env;
  scratch.Write(data, size);
  ClearVariables();
  TAppSettings settings;
  settings.Groups = scratch.Name;
  TPriceList& list = Cards();
  TGoodsGroups groups;
  try {
    groups.LoadOrThrow(settings, list, env);
  } catch (const Exception&) {
    // The program's own error; the groups read before it stay and are chosen below.
  }
  for (const int node : groups.TreeOrder())
    groups.ChooseNode(node, list);
  for (int tab = 0; tab < static_cast<int>(groups.Tabs().size()); ++tab)
    groups.ChooseTab(tab, list);
  groups.SortByCaption();
  list.ClearFilter();
  return 0;
}
