#include "expr/Vyhodnocovac.h"

#include <cmath>
#include <cstring>
#include <exception>

// The compiler: recursive descent over the source, one character of look-ahead, emitting
// postfix code as it goes. The first error stops it: the error is kept and the rest of the
// text is treated as if it had ended, so every parsing routine simply runs out.
class TExprCompiler {
public:
  TExprCompiler(TVyhodnocovac& owner, std::string_view source, std::vector<std::uint8_t>& code)
      : FOwner(owner), FSource(source), FCode(code) {}

  std::uint8_t Run() {
    Next();
    if (!CanStartExpression(FChar)) {
      Fail(3);
    } else {
      ParseLogical();
      if (FChar != kEnd)
        Fail(10);
    }
    return FError;
  }

private:
  static constexpr int kEnd = 26;

  static bool IsDigit(int c) { return c >= '0' && c <= '9'; }
  static bool IsLetter(int c) { return c >= 'A' && c <= 'Z'; }
  static bool IsNameChar(int c) { return IsLetter(c) || IsDigit(c) || c == '_' || c == '.'; }
  static bool IsQuote(int c) { return c == '"' || c == '\''; }
  static bool CanStartExpression(int c) {
    return IsDigit(c) || IsLetter(c) || c == '_' || IsQuote(c) || c == '!' || c == '#' || c == '(' || c == '+' ||
           c == '-' || c == '/' || c == '@';
  }
  // What may follow prefix "+": an operand proper, not another prefix operator.
  static bool CanStartOperand(int c) {
    return IsDigit(c) || IsLetter(c) || c == '_' || IsQuote(c) || c == '#' || c == '@' || c == '(';
  }
  // What may stand right after an operand.
  static bool IsOperatorPosition(int c) {
    switch (c) {
    case '+':
    case '-':
    case '*':
    case '/':
    case '^':
    case '&':
    case '=':
    case '<':
    case '>':
    case 'A':
    case 'O':
    case 'X':
    case ')':
    case ',':
    case kEnd:
      return true;
    default:
      return false;
    }
  }

  // Normal reading: carriage returns, line feeds and spaces are skipped everywhere, "a" to "z"
  // upper-cased; the end of the text (or a character 26 in it) is kEnd.
  void Next() {
    while (FPos < FSource.size()) {
      int c = static_cast<unsigned char>(FSource[FPos++]);
      if (c == '\r' || c == '\n' || c == ' ')
        continue;
      if (c >= 'a' && c <= 'z')
        c -= 'a' - 'A';
      FChar = c;
      return;
    }
    FChar = kEnd;
  }
  // Raw reading inside a text literal.
  void NextRaw() { FChar = FPos < FSource.size() ? static_cast<unsigned char>(FSource[FPos++]) : kEnd; }

  void Fail(std::uint8_t code) {
    if (FError == 0)
      FError = code;
    FChar = kEnd;
    FPos = FSource.size();
  }

  // Appends one operation with size bytes in all, changing the run-time stack depth by delta.
  bool Reserve(std::size_t size, int delta) {
    if (FError != 0)
      return false;
    FDepth += delta;
    if (FCode.size() + size > kExprCodeLimit || FDepth > static_cast<int>(kExprStackSize)) {
      Fail(kExprLimitExceeded);
      return false;
    }
    return true;
  }
  void EmitOperation(std::uint8_t row) {
    const int args = kExprOperations[row].Args;
    if (Reserve(1, 1 - args))
      FCode.push_back(row);
  }
  void EmitVariable(std::int32_t id) {
    if (!Reserve(5, 1))
      return;
    const auto bits = static_cast<std::uint32_t>(id);
    FCode.push_back(kRowPushVariable);
    for (int i = 0; i < 4; ++i)
      FCode.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
  }
  void EmitNumber(double value) {
    if (!Reserve(9, 1))
      return;
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    FCode.push_back(kRowPushNumber);
    for (int i = 0; i < 8; ++i)
      FCode.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
  }
  void EmitText(const std::string& text) {
    if (text.size() > 255) {
      Fail(kExprLimitExceeded);
      return;
    }
    if (!Reserve(2 + text.size(), 1))
      return;
    FCode.push_back(kRowPushText);
    FCode.push_back(static_cast<std::uint8_t>(text.size()));
    FCode.insert(FCode.end(), text.begin(), text.end());
  }

  // Level 1: AND, OR, XOR, recognised letter by letter.
  void ParseLogical() {
    ParseComparison();
    for (;;) {
      std::uint8_t row;
      if (FChar == 'A') {
        if (!Expect("ND"))
          return;
        row = kRowAnd;
      } else if (FChar == 'O') {
        if (!Expect("R"))
          return;
        row = kRowOr;
      } else if (FChar == 'X') {
        if (!Expect("OR"))
          return;
        row = kRowXor;
      } else {
        return;
      }
      ParseComparison();
      EmitOperation(row);
    }
  }
  // Reads the rest of a keyword whose first letter is the current character.
  bool Expect(const char* rest) {
    for (; *rest; ++rest) {
      Next();
      if (FChar != *rest) {
        Fail(4);
        return false;
      }
    }
    Next();
    return true;
  }

  // Level 2: comparisons.
  void ParseComparison() {
    ParseAdditive();
    for (;;) {
      std::uint8_t row;
      if (FChar == '=') {
        Next();
        row = kRowEqual;
      } else if (FChar == '<') {
        Next();
        row = kRowLess;
        if (FChar == '=') {
          Next();
          row = kRowLessEqual;
        } else if (FChar == '>') {
          Next();
          row = kRowNotEqual;
        }
      } else if (FChar == '>') {
        Next();
        row = kRowGreater;
        if (FChar == '=') {
          Next();
          row = kRowGreaterEqual;
        }
      } else {
        return;
      }
      ParseAdditive();
      EmitOperation(row);
    }
  }

  // Level 3: +, -, &.
  void ParseAdditive() {
    ParseMultiplicative();
    for (;;) {
      std::uint8_t row;
      if (FChar == '+')
        row = kRowAdd;
      else if (FChar == '-')
        row = kRowSubtract;
      else if (FChar == '&')
        row = kRowConcat;
      else
        return;
      Next();
      ParseMultiplicative();
      EmitOperation(row);
    }
  }

  // Level 4: *, /.
  void ParseMultiplicative() {
    ParsePower();
    for (;;) {
      std::uint8_t row;
      if (FChar == '*')
        row = kRowMultiply;
      else if (FChar == '/')
        row = kRowDivide;
      else
        return;
      Next();
      ParsePower();
      EmitOperation(row);
    }
  }

  // Level 5: ^, left-associative. Every operand ends here, so this is where a character that
  // cannot follow an operand is caught.
  void ParsePower() {
    ParseUnary();
    if (!IsOperatorPosition(FChar))
      Fail(4);
    while (FChar == '^') {
      Next();
      ParseUnary();
      EmitOperation(kRowPower);
      if (!IsOperatorPosition(FChar))
        Fail(5);
    }
  }

  // Level 6: prefix operators, then the operand. The nesting count bounds the recursion: every
  // parenthesis, function argument and prefix operator passes through here.
  void ParseUnary() {
    if (++FNesting > kExprMaxNesting) {
      Fail(kExprLimitExceeded);
    } else if (FChar == '-') {
      Next();
      ParseUnary();
      EmitOperation(kRowNegate);
    } else if (FChar == '!') {
      Next();
      ParseUnary();
      EmitOperation(kRowNot);
    } else if (FChar == '+') {
      Next();
      if (CanStartOperand(FChar))
        ParsePrimary();
      else
        Fail(9);
    } else {
      ParsePrimary();
    }
    --FNesting;
  }

  void ParsePrimary() {
    const int c = FChar;
    if (IsDigit(c)) {
      ParseNumber();
    } else if (IsLetter(c) || c == '_') {
      ParseName();
    } else if (IsQuote(c)) {
      ParseText();
    } else if (c == '#' || c == '@') {
      Next();
      if (FChar == kEnd) {
        Fail(14);
        return;
      }
      ReadName();
      const std::int32_t id = FOwner.FindVariable(FToken);
      if (id == 0)
        Fail(19);
      else
        EmitVariable(id);
    } else if (c == '(') {
      Next();
      ParseLogical();
      if (FChar != ')')
        Fail(7);
      else
        Next();
    } else {
      Fail(6);
    }
  }

  void ReadName() {
    FToken.clear();
    while (IsNameChar(FChar)) {
      FToken += static_cast<char>(FChar);
      Next();
    }
  }

  // Digits, "." and "E"; the platform's conversion rules: at least one digit before the
  // optional fraction, an exponent needs digits (its sign ends the number).
  void ParseNumber() {
    FToken.clear();
    while (IsDigit(FChar) || FChar == '.' || FChar == 'E') {
      FToken += static_cast<char>(FChar);
      Next();
    }
    std::size_t i = 0;
    const auto digits = [&] {
      const std::size_t start = i;
      while (i < FToken.size() && IsDigit(FToken[i]))
        ++i;
      return i > start;
    };
    bool valid = digits();
    if (valid && i < FToken.size() && FToken[i] == '.') {
      ++i;
      digits();
    }
    if (valid && i < FToken.size() && FToken[i] == 'E') {
      ++i;
      valid = digits();
    }
    valid = valid && i == FToken.size();
    const double value = valid ? std::strtod(FToken.c_str(), nullptr) : 0;
    if (!valid || !std::isfinite(value))
      Fail(8);
    else
      EmitNumber(value);
  }

  void ParseText() {
    const int quote = FChar;
    FToken.clear();
    NextRaw();
    while (FChar != quote && FChar != kEnd) {
      FToken += static_cast<char>(FChar);
      NextRaw();
    }
    if (FChar == kEnd) {
      Fail(12);
      return;
    }
    EmitText(FToken);
    Next();
  }

  void ParseName() {
    ReadName();
    const int row = FindExprFunction(FToken);
    if (row != 0) {
      ParseCall(static_cast<std::uint8_t>(row));
      return;
    }
    const std::int32_t id = FOwner.FindVariable(FToken);
    if (id == 0)
      Fail(15);
    else
      EmitVariable(id);
  }

  void ParseCall(std::uint8_t row) {
    const int args = kExprOperations[row].Args;
    if (FChar == '(') {
      Next();
      for (int i = 0; i < args; ++i) {
        if (FChar == ')') {
          Fail(17);
          return;
        }
        ParseLogical();
        if (i + 1 < args) {
          if (FChar == ',') {
            Next();
          } else {
            Fail(FChar == ')' ? 17 : 16);
            return;
          }
        }
      }
      if (FChar != ')') {
        Fail(7);
        return;
      }
      Next();
    } else if (args > 0) {
      Fail(18);
      return;
    }
    EmitOperation(row);
  }

  TVyhodnocovac& FOwner;
  std::string_view FSource;
  std::vector<std::uint8_t>& FCode;
  std::size_t FPos = 0;
  int FChar = kEnd;
  std::uint8_t FError = 0;
  int FNesting = 0;
  int FDepth = 0;
  std::string FToken;
};

TVyhodnocovac::TVyhodnocovac() = default;
TVyhodnocovac::~TVyhodnocovac() = default;

std::int32_t TVyhodnocovac::FindVariable(std::string_view) { return 0; }

bool TVyhodnocovac::ReadVariable(std::int32_t, std::uint8_t& type) {
  type = kExprText;
  return false;
}

std::uint8_t TVyhodnocovac::Compile(std::string_view expression) {
  std::uint8_t code;
  try {
    FSource.assign(expression);
    FCode.clear();
    FCode.reserve(kExprCodeLimit);
    code = TExprCompiler(*this, FSource, FCode).Run();
  } catch (...) {
    code = kExprLimitExceeded;
  }
  if (code != 0)
    FCode.clear();
  FCode.shrink_to_fit();
  return code;
}

TEvalResult TVyhodnocovac::Evaluate() {
  try {
    return Run();
  } catch (...) {
    TEvalResult result;
    result.Code = 10;
    return result;
  }
}

TEvalResult TVyhodnocovac::Run() {
  TEvalResult result;
  if (FStack.size() < kExprStackSize)
    FStack.resize(kExprStackSize);
  const std::uint8_t* code = FCode.data();
  const std::size_t length = FCode.size();
  std::size_t pc = 0;
  std::size_t sp = 0; // number of entries on the stack
  std::uint8_t error = 0;
  while (pc < length && error == 0) {
    const std::uint8_t row = code[pc++];
    if (row >= kRowPushVariable && row <= kRowPushText) {
      // The compiler never lets the stack overflow; this guards hand-made code.
      if (sp >= kExprStackSize) {
        error = kExprLimitExceeded;
        break;
      }
      TExprValue& entry = FStack[sp];
      if (row == kRowPushVariable) {
        if (length - pc < 4) {
          error = 26;
          break;
        }
        std::uint32_t bits = 0;
        for (int i = 0; i < 4; ++i)
          bits |= static_cast<std::uint32_t>(code[pc + i]) << (8 * i);
        pc += 4;
        std::uint8_t type = kExprText;
        if (!ReadVariable(static_cast<std::int32_t>(bits), type)) {
          error = 20;
          break;
        }
        if (type == kExprText) {
          entry.Type = kExprText;
          entry.Str = StrValue;
        } else {
          entry.Type = kExprNumber;
          entry.Num = NumValue;
        }
      } else if (row == kRowPushNumber) {
        if (length - pc < 8) {
          error = 26;
          break;
        }
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i)
          bits |= static_cast<std::uint64_t>(code[pc + i]) << (8 * i);
        pc += 8;
        entry.Type = kExprNumber;
        std::memcpy(&entry.Num, &bits, sizeof bits);
      } else {
        if (pc >= length || length - pc - 1 < code[pc]) {
          error = 26;
          break;
        }
        const std::size_t size = code[pc++];
        entry.Type = kExprText;
        entry.Str.assign(reinterpret_cast<const char*>(code + pc), size);
        pc += size;
      }
      ++sp;
      continue;
    }
    if (row == 0 || row > kRowNot) {
      error = 27;
      break;
    }
    const std::size_t args = kExprOperations[row].Args;
    if (sp < args) {
      error = 29;
      break;
    }
    if (args == 0 && sp >= kExprStackSize) {
      error = kExprLimitExceeded;
      break;
    }
    error = RunExprOperation(row, &FStack[sp - args]);
    sp = sp - args + 1;
  }
  if (error == 0 && sp != 1)
    error = 26;
  if (error != 0) {
    result.Code = error;
    result.Type = kExprText;
    return result;
  }
  const TExprValue& top = FStack[0];
  result.Type = top.Type;
  if (top.Type == kExprText)
    StrValue = top.Str;
  else
    NumValue = top.Num;
  return result;
}
