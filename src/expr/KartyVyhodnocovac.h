#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "expr/Vyhodnocovac.h"

class TPriceList;
struct TCellEnvironment;

// The number of card variables; their ids are 1 to kCardVariableCount. Ids 41 and 42 read the
// grid's two extra amount columns, which have no name.
constexpr std::int32_t kCardVariableCount = 40;

// The name of card variable id (1 to kCardVariableCount) as the table writes it, "" otherwise.
std::string_view CardVariableName(std::int32_t id);
// The type (kExprNumber or kExprText) of card variable id (1 to 42); kExprText otherwise.
std::uint8_t CardVariableType(std::int32_t id);
// The id of the card variable called name ("a" to "z" compared as "A" to "Z", nothing else
// folded), 0 when there is none. An empty name is no variable.
std::int32_t FindCardVariable(std::string_view name);

// The expression evaluator bound to the cards of a price list: every name that is not a
// function of the language may be one of the 40 card variables (Objednano, Kod, Cena, ...),
// read from the card at Index. A variable's value is the one the price-list grid shows in the
// column of the content id - 1: amounts in the displayed currency, Objednano and ObjBal from the
// open order's line of the card (the environment's FindOrderLine; 0 without a line).
//
// The price list and the environment are not owned and must outlive the evaluator. Reading a
// variable fails (evaluation code 20) when Index is not a card of the list.
class TKartyVyhodnocovac : public TVyhodnocovac {
public:
  TKartyVyhodnocovac(const TPriceList& list, const TCellEnvironment& env) : FList(&list), FEnv(&env) {}

  // The 0-based position of the current card in the price list; the caller sets it before
  // each Evaluate.
  std::int32_t Index = 0;
  // Whether a number variable also delivers the text the grid shows ("%8.2f" amounts, "21%",
  // "" for an ordered quantity of 0) into StrValue. Evaluate reads a number variable only
  // through NumValue (its text conversions write the number afresh), so the selection of cards
  // leaves this off and formats nothing; StrValue then holds "".
  bool NumberTexts = false;

  // Compiles as TVyhodnocovac::Compile does and notes which variables the code reads (for
  // BeginSelection; compiled through the base class, the code works the same). Ends a
  // selection in progress.
  std::uint8_t Compile(std::string_view expression);

  // Evaluates the expression for the card at index: true when the evaluation succeeds with a
  // number that is not NearlyZero. A text result or any error code is false.
  bool Selects(std::int32_t index);

  // A pass over the whole list (choosing a group evaluates every card in turn). The cards lie
  // in the memory as the load left them, in no relation to the list order, so reading a card's
  // fields between two evaluations is a wait on the memory per field. BeginSelection reads the
  // fields of the variables the code uses from every card first, one variable at a time in a
  // tight loop, and the evaluations until EndSelection read them from those arrays. Meanwhile
  // the list's cards and the environment's currency must not change; the ordered quantities
  // and the date are still read as they are.
  void BeginSelection();
  void EndSelection();

protected:
  std::int32_t FindVariable(std::string_view name) override;
  // Ids below 1 or above 42 give false. Text variables deliver the card's text into StrValue;
  // number variables their value into NumValue (and with NumberTexts the grid's text into
  // StrValue).
  bool ReadVariable(std::int32_t id, std::uint8_t& type) override;

private:
  const TPriceList* FList;
  const TCellEnvironment* FEnv;
  // The ids of the variables the compiled code reads, each once.
  std::vector<std::int32_t> FReadIds;
  // The values of one variable for every card, during a selection: texts one after another
  // (card i from Offsets[i] to Offsets[i + 1]) or numbers.
  struct TSelectionColumn {
    std::int32_t Id = 0;
    std::uint8_t Type = kExprText;
    std::string Bytes;
    std::vector<std::uint32_t> Offsets;
    std::vector<double> Numbers;
  };
  std::vector<TSelectionColumn> FColumns;
  std::array<const TSelectionColumn*, 43> FColumnOf{}; // by variable id
  int FSelectionCount = -1;                            // the cards the columns hold; -1 outside a selection
};
