#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The operation table of the expression language and the operations behind its rows. The
// compiled code refers to operations by their row number, so the row numbers are part of the
// code format and must not change.

// One row of the operation table. Kind is the row's main argument kind (kExprNumber,
// kExprWhole or kExprText); the operations convert every argument on their own.
struct TExprOperation {
  const char* Name; // empty for the pushes and the operators' twin rows
  std::uint8_t Op;  // rows that share an operation (CHAR and CHR, ...) share the code
  std::uint8_t Args;
  std::uint8_t Kind;
  std::uint8_t Result; // kExprNumber or kExprText
  std::uint8_t Class;  // 10 function, 2 to 7 operator level, 11 push
};

inline constexpr int kExprRowCount = 86;
inline constexpr int kExprFunctionCount = 65;
inline constexpr std::uint8_t kExprClassFunction = 10;
inline constexpr std::uint8_t kExprClassPush = 11;

// The table; index 0 is an empty placeholder so that a row number indexes it directly.
extern const TExprOperation kExprOperations[kExprRowCount + 1];

// Row numbers the compiler emits and the evaluator handles on their own.
enum : std::uint8_t {
  kRowGetVar = 18,
  kRowGetVar2 = 19,
  kRowIf = 20,
  kRowIf2 = 21,
  kRowAdd = 66,
  kRowAddText = 67,
  kRowSubtract = 68,
  kRowMultiply = 69,
  kRowDivide = 70,
  kRowPower = 71,
  kRowNegate = 72,
  kRowConcat = 73,
  kRowLessEqual = 74,
  kRowLess = 75,
  kRowGreaterEqual = 76,
  kRowGreater = 77,
  kRowEqual = 78,
  kRowNotEqual = 79,
  kRowOr = 80,
  kRowAnd = 81,
  kRowXor = 82,
  kRowNot = 83,
  kRowPushVariable = 84,
  kRowPushNumber = 85,
  kRowPushText = 86,
};

// The row (1 to 65) of the function called name (exact, upper-case match), 0 when none.
// Binary search: the function rows are kept in ascending byte order of their names.
int FindExprFunction(std::string_view name);

// One value on the evaluation stack. Type is kExprNumber or kExprText; Str keeps its capacity
// between evaluations so that pushing a text usually allocates nothing.
struct TExprValue {
  std::uint8_t Type = 0;
  double Num = 0;
  std::string Str;
};

// Runs the operation of row (1 to 83) on its arguments args[0] .. args[n - 1] (n = the row's
// argument count; the first argument lowest) and leaves the result in args[0]. Returns 0 or
// the run-time error code; after an error args[0] holds no meaningful value. Never throws for a
// well-formed call except std::bad_alloc; a non-finite numeric result is code 10.
std::uint8_t RunExprOperation(std::uint8_t row, TExprValue* args);

// Reads a time of day in the locale's time format (hours, separator, minutes, optionally
// separator and seconds, optionally "." or the decimal separator and milliseconds, optionally
// AM/PM); false when the text is no time.
bool ExprTextToTime(std::string_view text, double& result);
