#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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
  // Runs the compiled code. The result value is left in NumValue or StrValue.
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
  std::string FSource;
  std::vector<std::uint8_t> FCode;
};
