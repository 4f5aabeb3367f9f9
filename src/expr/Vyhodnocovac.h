#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "expr/ExprOperations.h"

// Value types of the expression language. 1 (whole number) is only an argument kind.
enum : std::uint8_t { kExprNumber = 0, kExprWhole = 1, kExprText = 2 };

// The result of one evaluation: Code 0 on success, else a run-time error code; Type is
// kExprNumber or kExprText (kExprText when no result could be fetched).
struct TEvalResult {
  std::uint8_t Code = 0;
  std::uint8_t Type = kExprText;
};

// The expression language: an expression is compiled once into postfix code (one byte per
// operation, the operation's row in the operation table, with inline operands for the three
// pushes) and then evaluated any number of times. The class knows no variables: a subclass
// supplies them through FindVariable and ReadVariable. Texts are code page 1250.
//
// Failures are small numeric codes only; neither Compile nor Evaluate ever throws.
//
// Bounds: the language itself never needs more than 2048 bytes of code, a text literal of 255
// bytes, 128 stack entries, nor deep nesting. Compile rejects with code 11 (no other failure
// uses it) an expression whose code would exceed 2048 bytes, a text literal longer than 255
// bytes, more than kExprMaxNesting levels of parentheses, prefix operators or function
// arguments inside each other, or code that would need more than kExprStackSize stack entries
// at run time. Compile also gives 11 when an unexpected failure (out of memory, an exception
// from FindVariable) stops it. So any text, of any length, compiles or fails cleanly, and the
// evaluation stays inside its code and its stack.
inline constexpr std::size_t kExprCodeLimit = 2048;
inline constexpr std::size_t kExprStackSize = 128;
inline constexpr int kExprMaxNesting = 200;
inline constexpr std::uint8_t kExprLimitExceeded = 11;

class TExprCompiler;

class TVyhodnocovac {
public:
  TVyhodnocovac();
  virtual ~TVyhodnocovac();
  TVyhodnocovac(const TVyhodnocovac&) = delete;
  TVyhodnocovac& operator=(const TVyhodnocovac&) = delete;

  // Compiles the expression; 0 on success, else the first compile error code. After a
  // failure the compiled code is unusable (Evaluate gives code 26) and the caller discards
  // the evaluator.
  std::uint8_t Compile(std::string_view expression);
  // Runs the compiled code. The result value is left in NumValue or StrValue. Each call starts
  // with an empty stack, so it may be called any number of times, also after a failure. Any
  // exception (from the platform or from ReadVariable) ends it with code 10, as does a
  // non-finite numeric result and a text value growing beyond 1 MiB (treated as running out
  // of memory). Allocates nothing once the stack's texts have reached their usual sizes.
  TEvalResult Evaluate();

  const std::string& Source() const { return FSource; }
  // The compiled postfix code (empty when nothing was compiled).
  const std::vector<std::uint8_t>& Code() const { return FCode; }

  // The value registers: ReadVariable delivers a variable's value into them, and Evaluate
  // leaves its result in them.
  double NumValue = 0;
  std::string StrValue;

protected:
  // The id of the variable called name (upper-cased in "a" to "z"), 0 when there is none.
  virtual std::int32_t FindVariable(std::string_view name);
  // Loads the variable's value into NumValue (type kExprNumber) or StrValue (kExprText), sets
  // type and returns true; false when the value is not available (evaluation code 20).
  virtual bool ReadVariable(std::int32_t id, std::uint8_t& type);

private:
  friend class TExprCompiler;
  TEvalResult Run();

  std::string FSource;
  std::vector<std::uint8_t> FCode;
  // The evaluation stack, kept between evaluations so that an evaluation allocates nothing
  // once the texts on it have grown to their usual size.
  std::vector<TExprValue> FStack;
};
