#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "ExprTestSupport.h"
#include "core/DateTime.h"
#include "core/Locale.h"
#include "expr/ExprOperations.h"
#include "expr/VariableList.h"

namespace {

struct TCase {
  const char* Expression;
  const char* Expected;
};

void CheckCases(const std::vector<TCase>& cases) {
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Expression);
    EXPECT_EQ(Outcome(c.Expression), c.Expected);
  }
}

class VyhodnocovacTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetCurrentLocale(Locale::Czech());
    ClearVariables();
  }
  void TearDown() override { ClearVariables(); }
};

TEST_F(VyhodnocovacTest, ReadsCharactersAndTokensAsTheLanguageDoes) {
  CheckCases({
      {"1 000", "n:1000"},
      {"1\r\n+\r\n2", "n:3"},
      {"1.5E3", "n:1500"},
      {"1e3", "n:1000"},
      {"1.", "n:1"},
      {"Cena SDPH", "n:145.75"},
      {"cena", "n:120.5"},
      {"\"it's\"", "t:it's"},
      {"'say \"hi\"'", "t:say \"hi\""},
      {"'  a b  '", "t:  a b  "},
      {"'ab", "c12"},
      {"'a\tb'", "t:a\tb"}, // raw inside a literal: a tab is taken as it stands
      // A name runs on through spaces into a following keyword.
      {"A AND B", "c15"},
      {"(A) AND (B)", "n:0"},
      {"(a)or(b)", "n:1"},
      {"(A) x o r (B)", "n:1"},
      {"A=1 AND B=0", "n:1"},
      {"'x'OR 1", "n:1"},
      // Only a to z are upper-cased: the name stops at the first other letter.
      {"N\xE1zev", "c15"},
      {"#DATE", "n:42"},
      {"@1x", "t:jedna"},
      {"#NEG", "t:minus"},
      {"DATE", "c18"},
  });
}

TEST_F(VyhodnocovacTest, OperatorsFollowPrecedenceAndAssociativity) {
  CheckCases({
      {"1+2*3", "n:7"},        {"(1+2)*3", "n:9"},    {"7-2-1", "n:4"},          {"8/2/2", "n:2"},
      {"2*3^2", "n:18"},       {"2^3^2", "n:64"},     {"-2^2", "n:4"},           {"2^-1", "n:0.5"},
      {"0^0", "n:1"},          {"0^5", "n:0"},        {"(-2)^3", "n:-8"},        {"(-2)^2", "n:4"},
      {"-2*3", "n:-6"},        {"--1", "n:1"},        {"-+1", "n:-1"},           {"+2", "n:2"},
      {"!0", "n:1"},           {"!-1", "n:0"},        {"!0.5", "n:0"},           {"!'a'", "n:1"},
      {"!A=B", "n:1"},         {"-'5'", "n:0"},       {"1<2<3", "n:1"},          {"3>2>1", "n:0"},
      {"1<=1", "n:1"},         {"1>=2", "n:0"},       {"1<>2", "n:1"},           {"1 < = 1", "n:1"},
      {"2 OR 0", "n:1"},       {"0 OR 0", "n:0"},     {"2 AND 3", "n:1"},        {"1 AND 0", "n:0"},
      {"1 XOR 1", "n:0"},      {"1 XOR 0", "n:1"},    {"0.5 AND 1", "n:1"},      {"'a' OR 0", "n:0"},
      {"1 OR 0 AND 0", "n:0"}, // level 1 is left-associative, all three equal
      {"1+2&3", "t:33"},       {"'a'&1.5", "t:a1.5"}, {"'a'+1/3", "t:a0.33333"}, {"'a'+'b'", "t:ab"},
      {"1/4", "n:0.25"},
  });
}

TEST_F(VyhodnocovacTest, ComparesTextsByBytesAndNumbersNearly) {
  CheckCases({
      {"'abc'='abc'", "n:1"},   {"'abc'='ABC'", "n:0"},
      {"'abc'<'abd'", "n:1"},   {"'ab'<'abc'", "n:1"},
      {"'b'>'a'", "n:1"},       {"'a'>='a'", "n:1"},
      {"'a'<='b'", "n:1"},      {"'a'<>'a'", "n:0"},
      {"'\xE1'>'z'", "n:1"}, // bytes compare unsigned
      {"1='1'", "n:0"},         {"'1'=1", "n:1"},
      {"'5'+3", "t:53"},        {"3+'5'", "n:3"},
      {"3&'5'", "t:35"},        {"0.1+0.2=0.3", "n:1"},
      {"0.1+0.2-0.3=0", "n:1"}, {"0.1+0.2<>0.3", "n:0"},
      {"0.1+0.2>0.3", "n:1"}, // the four orderings are exact
      {"NAZEV='Pivo'", "n:1"},  {"CENA>100 AND NAZEV<>''", "n:1"},
  });
}

TEST_F(VyhodnocovacTest, EveryFunctionComputesItsResult) {
  CheckCases({
      {"ABS(-2.5)", "n:2.5"},
      {"CHAR(65)", "t:A"},
      {"CHR(321)", "t:A"},
      {"CODE('AB')", "n:65"},
      {"ORD('a')", "n:97"},
      {"CODE('')", "n:32"},
      {"CODE(5)", "n:53"},
      {"CONV('ab', 3)", "t:ab"},
      {"STRDATE(DATE(2024, 2, 29))", "t:29.02.2024"},
      {"DATE(2023, 2, 29)", "n:0"},
      {"STRDATE(DATE(2024, 2.5, 1))", "t:01.02.2024"}, // halves to even
      {"STRDATE(DATE(2024, 3.5, 1))", "t:01.04.2024"},
      {"DATEVALUE('1.2.2024')=DATE(2024, 2, 1)", "n:1"},
      {"DV('29/2/24')=DATE(2024, 2, 29)", "n:1"},
      {"DV('x')", "n:0"},
      {"DV('32.1.2024')", "n:0"},
      {"DAY(DATE(2024, 2, 29))", "n:29"},
      {"MONTH(DATE(2024, 2, 29))", "n:2"},
      {"YEAR(DATE(2024, 2, 29))", "n:2024"},
      {"WEEKDAY(DATE(2024, 2, 29))", "n:4"},
      {"WEEKDAY(DATE(2024, 3, 3))", "n:0"},
      {"DELALL(' a b ')", "t:a b"},
      {"DELALL(CHAR(9)&'x'&CHAR(13))", "t:x"},
      {"DELLEFT(' a b ')", "t:a b "},
      {"DELRIGHT(' a b ')", "t: a b"},
      {"ENUMSTR('a/b/c', 0)", "t:a"},
      {"ENUMSTR('a/b/c', 1)", "t:b"},
      {"ENUMSTR('a/b/c', 2)", "t:c"},
      {"ENUMSTR('a/b/c', 3)", "t:"},
      {"ENUMSTR('a//c', 1)", "t:"},
      {"ENUMSTR('a/b/c', 1000)", "t:"},
      {"FALSE", "n:0"},
      {"FALSE()", "n:0"},
      {"TRUE", "n:1"},
      {"FIND('a', 'banana', 3)", "n:2"},
      {"FIND('a', 'banana', 0)", "n:2"},
      {"FIND('x', 'abc', 1)", "n:0"},
      {"FIND('c', 'abc', 3)", "n:1"},
      {"FIND('a', 'abc', 4)", "n:0"},
      {"FORMATDATE(DATE(2024, 2, 29), 'yyyy-mm-dd')", "t:2024-02-29"},
      {"FORMATDATE('29.2.2024', 'd/m')", "t:29.2"},
      {"FORMATDATE(1, 'yyyy')", "t:"},
      {"FORMATDATE('x', 'yyyy')", "t:"},
      {"FORMATTIME(0.5, 'hh:nn')", "t:12:00"},
      {"FORMATTIME('13:45', 'h:nn')", "t:13:45"},
      {"FORMATTIME('x', 'hh:nn')", "t:00:00"},
      {"FORMATTIME(-1, 'hh')", "t:"},
      {"IF(1, 'a', 2)", "t:a"},
      {"IF(0, 'a', 2)", "n:2"},
      {"IF(0.00000000000001, 1, 2)", "n:2"},
      {"IF('x', 1, 2)", "n:2"},
      {"INT(-2.7)", "n:-2"},
      {"INT(2.7)", "n:2"},
      {"ISNUMBER(1)", "n:1"},
      {"ISNUMBER('1')", "n:0"},
      {"LEFT('abc', 2)", "t:ab"},
      {"LEFT('abc', 5)", "t:abc"},
      {"LEFT(12345, 2)", "t:12"},
      {"LEN('abc')", "n:3"},
      {"LENGTH(12.5)", "n:4"},
      {"LOWER('ABC \xC8')", "t:abc \xC8"},
      {"MASKAND(12, 10)", "n:8"},
      {"MASKAND(-1, 5)", "n:5"},
      {"MASKAND(3E9, 5)", "n:0"},
      {"MASKOR(12, 3)", "n:15"},
      {"MASKOR(-1, 3)", "n:3"},
      {"MID('abcdef', 2, 3)", "t:bcd"},
      {"MID('abc', 0, 2)", "t:ab"},
      {"MID('abc', 3, 5)", "t:c"},
      {"MID('abc', 4, 1)", "t:"},
      {"MOD(7, 3)", "n:1"},
      {"MOD(-7, 3)", "n:-1"},
      {"MOD(7, -3)", "n:1"},
      {"POS('b', 'abc')", "n:2"},
      {"POS('B', 'abc')", "n:0"},
      {"POS('', 'abc')", "n:0"},
      {"POSUP('B', 'abc')", "n:2"},
      {"POSUP('\xE8', 'A\xC8')", "n:2"},
      {"PROPER('hELLO wORLD')", "t:Hello World"},
      {"REPEAT('ab', 3)", "t:ababab"},
      {"REPEAT('ab', 0)", "t:"},
      {"LEN(REPEAT('abc', 300))", "n:255"},
      {"LEN(REPEAT('abcd', 1000))", "n:256"},
      {"REPLACE('abcd', 2, 1, 'X')", "t:aXcd"},
      {"REPLACE('abc', 3, 1, 'X')", "t:abcX"},
      {"REPLACE('abc', 0, 5, 'X')", "t:Xabc"},
      {"REPLACE('abcd', 1, 9, 'X')", "t:X"},
      {"RIGHT('abc', 2)", "t:bc"},
      {"RIGHT('abc', 5)", "t:abc"},
      {"ROUND(2.5, 0)", "n:3"},
      {"ROUND(-2.5, 0)", "n:-3"},
      {"ROUND(1234, -2)", "n:1200"},
      {"ROUND(1.25, 1)", "n:1.3"},
      {"ROUND(-1.25, 1)", "n:-1.3"},
      {"ROUND(0, 2)", "n:0"},
      {"SETCENTER(' ab ', 6)", "t:  ab  "},
      {"SETCENTER('abc', 6)", "t: abc  "},
      {"SETCENTER('abcdef', 3)", "t:abc"},
      {"SETLEFT('  ab', 4)", "t:ab  "},
      {"SETLEFT('abcdef', 3)", "t:abc"},
      {"SETRIGHT('ab  ', 4)", "t:  ab"},
      {"SETRIGHT('abcdef', 3)", "t:def"},
      {"LEN(SETLEFT('a', 1000))", "n:255"},
      {"SETVAR('x', 5)", "t:"},
      {"STR(2.5, 6, 1)", "t:   2.5"},
      {"STR(-2.5, 6, 2)", "t: -2.50"},
      {"STR(1234.56, 0, 1)", "t:1234.6"},
      {"STRCURR(2.5, 8)", "t:    2.50"},
      {"STRCURR(3, 8)", "t:    3.00"},
      {"STRCURR(1.23456, 8)", "t: 1.23456"},
      {"STRCURR(1E15, 20)", "t: 1.00000000000E+0015"},
      {"STRFLAGS('abcd', 5, 6)", "t:a c   "},
      {"STRFLAGS('abcd', -1, 4)", "t:    "},
      {"STRFLAGS('abcd', 15, 2)", "t:ab"},
      {"STRING(2.5, 3)", "t:2.500"},
      {"STRING(-0.001, 2)", "t:0.00"},
      {"STRNUM(2.5, 10)", "t:       2.5"},
      {"STRNUM(1E15, 20)", "t: 1.00000000000E+0015"},
      {"STRNUM(1/3, 10)", "t:   0.33333"},
      {"STRTH(STR(1234567, 12, 2))", "t:1 234 567.00"},
      {"STRTH(1234567)", "t:1234567"},
      {"STRTH('   1234,5')", "t:  1 234,5"},
      {"STRTIME(0.75)", "t:18:00:00"},
      {"STRW(16706)", "t:BA"},
      {"TEXT2XML(\"<a&'b'>\")", "t:&lt;a&amp;&apos;b&apos;&gt;"},
      {"TEXT2XML('\"')", "t:&quot;"},
      {"TEXT2XML(CHAR(169)&CHAR(174)&CHAR(176)&CHAR(177))", "t:&#169;&#174;&#176;&#177;"},
      {"TIMEVALUE('12:00')", "n:0.5"},
      {"TIMEVALUE('6:30:00')", "n:0.27083"},
      {"TRIM('  a   b  ')", "t:a b"},
      {"TRIM('a' & CHAR(9) & ' ')", "t:a\t"},
      {"UPPER('ab\xE8')", "t:AB\xC8"},
      {"USING('ab', 4)", "t:ab  "},
      {"USING('abcdef', 2)", "t:ab"},
      {"VAL('1 234,5')", "n:1234.5"},
      {"VALUE('x')", "n:0"},
      {"GETVAR('nothing')", "n:0"},
      {"GETVAR2('nothing')", "t:"},
  });
}

TEST_F(VyhodnocovacTest, CompileErrorsGiveTheirCodes) {
  CheckCases({
      {"", "c3"},
      {"   ", "c3"},
      {"*1", "c3"},
      {")", "c3"},
      {".5", "c3"},
      {"\t1", "c3"},
      {"1\t", "c4"},
      {"1#", "c4"},
      {"(1)(2)", "c4"},
      {"'a'b", "c4"},
      {"1 AN 2", "c4"},
      {"(A) O 1", "c4"},
      {"(A) XO 1", "c4"},
      {"2^3#", "c5"},
      {"2^3^4(", "c5"},
      {"/1", "c6"},
      {"1+*2", "c6"},
      {"1+.5", "c6"},
      {"1+", "c6"},
      {"(1", "c7"},
      {"(1,2)", "c7"},
      {"LEFT('a', 1, 2)", "c7"},
      {"NOW(1)", "c7"},
      {"1E-3", "c8"},
      {"1.2.3", "c8"},
      {"1E", "c8"},
      {"1E400", "c8"},
      {"+-1", "c9"},
      {"++1", "c9"},
      {"+", "c9"},
      {"1*+!2", "c9"},
      {"1)", "c10"},
      {"1,2", "c10"},
      {"'abc", "c12"},
      {"\"abc'", "c12"},
      {"#", "c14"},
      {"1+@  ", "c14"},
      {"FOO", "c15"},
      {"LEFT('abc'", "c16"},
      {"MID('abc', 1", "c16"},
      {"LEFT('abc')", "c17"},
      {"LEFT()", "c17"},
      {"LEFT('a',)", "c17"},
      {"LEFT 'abc', 2", "c18"},
      {"ABS", "c18"},
      {"#FOO", "c19"},
      {"#+1", "c19"},
      {"1 + FOO + #BAR", "c15"}, // only the first error is kept
  });
}

TEST_F(VyhodnocovacTest, RunTimeErrorsGiveTheirCodes) {
  CheckCases({
      {"DATEVALUE('31.02.2020')", "e10"},
      {"DV('29.2.2023')", "e10"},
      {"TIMEVALUE('abc')", "e10"},
      {"TIMEVALUE('25:00')", "e10"},
      {"10^400", "e10"},
      {"1E300*1E300", "e10"},
      {"DAY(1E10)", "e10"},
      {"NIC", "e20"},
      {"#nic + 1", "e20"},
      {"LEFT('a', 1.5)", "e23"},
      {"MOD(7.5, 2)", "e23"},
      {"1/0", "e25"},
      {"1/(1-1)", "e25"},
      {"MOD(7, 0)", "e25"},
      {"IF(0, 1/0, 2)", "e25"}, // both branches are evaluated
      {"IF2(1, 2, 3)", "e27"},
      {"LEFT('abc', -1)", "e31"},
      {"CHAR(-1)", "e31"},
      {"CONV('ab', -1)", "e31"},
      {"ROUND(1, 10)", "e34"},
      {"ROUND(1, -10)", "e34"},
      {"LEFT('abc', 32768)", "e35"},
      {"MOD(-32768, 3)", "e35"},
      {"STRW(65536)", "e35"},
      {"STRW(-1)", "e35"},
      {"2^1E31", "e37"},
      {"(-2)^1001", "e37"},
      {"(-8)^(1/3)", "e38"},
      {"LEFT('a', 1.5) + 1/0", "e23"}, // the first code wins, evaluation stops
  });
}

TEST_F(VyhodnocovacTest, NowAndRandAreNumbers) {
  TTestVyhodnocovac evaluator;
  ASSERT_EQ(evaluator.Compile("NOW()"), 0);
  TEvalResult result = evaluator.Evaluate();
  ASSERT_EQ(result.Code, 0);
  ASSERT_EQ(result.Type, kExprNumber);
  EXPECT_EQ(evaluator.NumValue, std::floor(Now()));
  ASSERT_EQ(evaluator.Compile("NOW"), 0);
  EXPECT_EQ(evaluator.Evaluate().Code, 0);

  ASSERT_EQ(evaluator.Compile("RAND"), 0);
  for (int i = 0; i < 100; ++i) {
    result = evaluator.Evaluate();
    ASSERT_EQ(result.Type, kExprNumber);
    EXPECT_GE(evaluator.NumValue, 0.0);
    EXPECT_LT(evaluator.NumValue, 1.0);
  }
}

TEST_F(VyhodnocovacTest, PowerOfNegativeBaseIsComputedThroughLogarithms) {
  TTestVyhodnocovac evaluator;
  ASSERT_EQ(evaluator.Compile("(-2)^3"), 0);
  ASSERT_EQ(evaluator.Evaluate().Code, 0);
  EXPECT_NEAR(evaluator.NumValue, -8, 1e-12);
  ASSERT_EQ(evaluator.Compile("2^3^2"), 0);
  ASSERT_EQ(evaluator.Evaluate().Code, 0);
  EXPECT_NEAR(evaluator.NumValue, 64, 1e-12);
}

// The byte layout of the compiled code: row numbers, then the inline operands.
std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> bytes;
  for (const int v : values)
    bytes.push_back(static_cast<std::uint8_t>(v));
  return bytes;
}

TEST_F(VyhodnocovacTest, CompiledCodeHasRowNumbersAndLittleEndianOperands) {
  const auto one = Bytes({85, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}); // push 1.0
  const auto two = Bytes({85, 0, 0, 0, 0, 0, 0, 0x00, 0x40}); // push 2.0
  const auto cena = Bytes({84, 1, 0, 0, 0});                  // push variable 1
  const auto join = [](std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> all;
    for (const auto& p : parts)
      all.insert(all.end(), p.begin(), p.end());
    return all;
  };
  struct TLayout {
    const char* Expression;
    std::vector<std::uint8_t> Code;
  };
  const std::vector<TLayout> layouts = {
      {"1", one},
      {"'ab'", Bytes({86, 2, 'a', 'b'})},
      {"''", Bytes({86, 0})},
      {"CENA>1", join({cena, one, Bytes({77})})},
      {"-2^2", join({two, Bytes({72}), two, Bytes({71})})},
      {"1 AND 2 OR 1", join({one, two, Bytes({81}), one, Bytes({80})})},
      {"'x'+1", join({Bytes({86, 1, 'x'}), one, Bytes({66})})},
      {"1-2&1", join({one, two, Bytes({68}), one, Bytes({73})})},
      {"1<=2", join({one, two, Bytes({74})})},
      {"1<>2", join({one, two, Bytes({79})})},
      {"!1", join({one, Bytes({83})})},
      {"NOW", Bytes({33})},
      {"YEAR(NOW)", Bytes({33, 65})},
      {"GETVAR2('a')", Bytes({86, 1, 'a', 19})},
      {"IF2(1, 2, 1)", join({one, two, one, Bytes({21})})},
      {"#BIG", Bytes({84, 0x78, 0x56, 0x34, 0x12})},
      {"#NEG", Bytes({84, 0xFE, 0xFF, 0xFF, 0xFF})},
  };
  for (const TLayout& layout : layouts) {
    SCOPED_TRACE(layout.Expression);
    TTestVyhodnocovac evaluator;
    ASSERT_EQ(evaluator.Compile(layout.Expression), 0);
    EXPECT_EQ(evaluator.Code(), layout.Code);
    EXPECT_EQ(evaluator.Source(), layout.Expression);
  }
}

TEST_F(VyhodnocovacTest, FunctionRowsAreSortedForTheBinarySearch) {
  for (int row = 2; row <= kExprFunctionCount; ++row)
    EXPECT_LT(std::strcmp(kExprOperations[row - 1].Name, kExprOperations[row].Name), 0) << row;
  for (int row = 1; row <= kExprFunctionCount; ++row)
    EXPECT_EQ(FindExprFunction(kExprOperations[row].Name), row) << kExprOperations[row].Name;
  EXPECT_EQ(FindExprFunction("STRTH"), 53);
  EXPECT_EQ(FindExprFunction("YEAR"), 65);
  EXPECT_EQ(FindExprFunction("abs"), 0);
  EXPECT_EQ(FindExprFunction(""), 0);
  EXPECT_EQ(FindExprFunction("ZZZ"), 0);
}

TEST_F(VyhodnocovacTest, EvaluatesRepeatedlyWithChangingVariables) {
  TTestVyhodnocovac evaluator;
  ASSERT_EQ(evaluator.Compile("NAZEV='Pivo' AND CENA>100"), 0);
  for (const double price : {150.0, 50.0, 100.01}) {
    evaluator.Values["CENA"].Num = price;
    const TEvalResult result = evaluator.Evaluate();
    ASSERT_EQ(result.Code, 0);
    ASSERT_EQ(result.Type, kExprNumber);
    EXPECT_EQ(evaluator.NumValue, price > 100 ? 1 : 0);
  }
  EXPECT_EQ(evaluator.Reads, 6);
}

TEST_F(VyhodnocovacTest, AFailedEvaluationLeavesNothingBehind) {
  TTestVyhodnocovac evaluator;
  ASSERT_EQ(evaluator.Compile("10/(CENA-50) & NAZEV"), 0);
  evaluator.Values["CENA"].Num = 50;
  EXPECT_EQ(evaluator.Evaluate().Code, 25);
  evaluator.Values["CENA"].Num = 55;
  const TEvalResult result = evaluator.Evaluate();
  ASSERT_EQ(result.Code, 0);
  EXPECT_EQ(result.Type, kExprText);
  EXPECT_EQ(evaluator.StrValue, "2Pivo");
}

TEST_F(VyhodnocovacTest, NothingCompiledOrAFailedCompileEvaluatesTo26) {
  TTestVyhodnocovac evaluator;
  TEvalResult result = evaluator.Evaluate();
  EXPECT_EQ(result.Code, 26);
  EXPECT_EQ(result.Type, kExprText);
  ASSERT_EQ(evaluator.Compile("1+"), 6);
  EXPECT_TRUE(evaluator.Code().empty());
  EXPECT_EQ(evaluator.Evaluate().Code, 26);
}

TEST_F(VyhodnocovacTest, BaseClassKnowsNoVariables) {
  TVyhodnocovac evaluator;
  EXPECT_EQ(Outcome(evaluator, "CENA"), "c15");
  EXPECT_EQ(Outcome(evaluator, "#CENA"), "c19");
  EXPECT_EQ(Outcome(evaluator, "1+1"), "n:2");
}

TEST_F(VyhodnocovacTest, ExceptionsFromTheSubclassNeverLeave) {
  TTestVyhodnocovac evaluator;
  ASSERT_EQ(evaluator.Compile("THROW + 1"), 0);
  EXPECT_EQ(evaluator.Evaluate().Code, 10);

  class TThrowingFind : public TVyhodnocovac {
  protected:
    std::int32_t FindVariable(std::string_view) override { throw std::runtime_error("find failed"); }
  } throwing;
  EXPECT_EQ(throwing.Compile("X"), kExprLimitExceeded);
  EXPECT_EQ(throwing.Evaluate().Code, 26);
}

TEST_F(VyhodnocovacTest, StoredVariablesOutliveTheEvaluationAndTheEvaluator) {
  {
    TTestVyhodnocovac writer;
    EXPECT_EQ(Outcome(writer, "SETVAR('x', 5)"), "t:");
    EXPECT_EQ(Outcome(writer, "SETVAR('t', 'abc') & SETVAR('half', 2.5)"), "t:");
  }
  TTestVyhodnocovac reader;
  EXPECT_EQ(Outcome(reader, "GETVAR('X')"), "n:5");
  EXPECT_EQ(Outcome(reader, "GETVAR2('X')"), "t:5");
  EXPECT_EQ(Outcome(reader, "GETVAR2('half')"), "t:2,5"); // the stored text uses the user's separator
  EXPECT_EQ(Outcome(reader, "GETVAR('half')"), "n:2.5");
  EXPECT_EQ(Outcome(reader, "GETVAR('t')"), "t:abc");
  EXPECT_EQ(Outcome(reader, "GETVAR('t') & 1"), "t:abc1");
  EXPECT_EQ(Outcome(reader, "GETVAR2('t')"), "t:abc");
  EXPECT_EQ(Variables().Count(), 3u);

  // Replacing keeps one variable; names compare upper-cased, letters with diacritics too.
  EXPECT_EQ(Outcome(reader, "SETVAR('X', 'text')"), "t:");
  EXPECT_EQ(Outcome(reader, "GETVAR('x')"), "t:text");
  EXPECT_EQ(Outcome(reader, "SETVAR('\xE8', 1) & GETVAR('\xC8')"), "t:1");
  EXPECT_EQ(Variables().Count(), 4u);
  const TVariable* stored = Variables().Find("\xE8");
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->Name, "\xC8");
  EXPECT_EQ(stored->Type, kExprNumber);

  ClearVariables();
  EXPECT_EQ(Outcome(reader, "GETVAR('x')"), "n:0");
}

TEST_F(VyhodnocovacTest, OverlongAndDeeplyNestedInputIsRejectedWith11) {
  const auto repeat = [](const std::string& piece, int count) {
    std::string out;
    for (int i = 0; i < count; ++i)
      out += piece;
    return out;
  };
  // A text literal: 255 bytes fit the length byte, 256 do not.
  EXPECT_EQ(Outcome("LEN('" + std::string(255, 'x') + "')"), "n:255");
  EXPECT_EQ(Outcome("'" + std::string(256, 'x') + "'"), "c11");
  EXPECT_EQ(Outcome("'" + std::string(1000000, 'x') + "'"), "c11");
  // The code buffer: 2048 bytes.
  EXPECT_EQ(Outcome("1" + repeat("+1", 200)), "n:201");
  EXPECT_EQ(Outcome("1" + repeat("+1", 300)), "c11");
  // The stack: 128 entries; 1+(1+(...)) needs one entry per level.
  EXPECT_EQ(Outcome(repeat("1+(", 127) + "1" + repeat(")", 127)), "n:128");
  EXPECT_EQ(Outcome(repeat("1+(", 128) + "1" + repeat(")", 128)), "c11");
  // Nesting, which also bounds the compiler's recursion.
  EXPECT_EQ(Outcome(repeat("(", 150) + "1" + repeat(")", 150)), "n:1");
  EXPECT_EQ(Outcome(repeat("(", 1000) + "1" + repeat(")", 1000)), "c11");
  EXPECT_EQ(Outcome(repeat("(", 1000000)), "c11");
  EXPECT_EQ(Outcome(repeat("-", 1000000) + "1"), "c11");
  EXPECT_EQ(Outcome(repeat("ABS(", 300) + "1" + repeat(")", 300)), "c11");
  // Long input that stays small compiles or fails with the language's own codes.
  EXPECT_EQ(Outcome(std::string(1000000, ' ') + "1"), "n:1");
  EXPECT_EQ(Outcome(std::string(100000, '1')), "c8");
  EXPECT_EQ(Outcome(std::string(1000000, 'Q')), "c15");
}

TEST_F(VyhodnocovacTest, TextsGrowingWithoutBoundFailLikeTheOutOfMemoryPlatform) {
  // Each SETVAR doubles the stored text; a million bytes is where the language gives up.
  std::string expression = "SETVAR('x', 'abcdefgh')";
  for (int i = 0; i < 30; ++i)
    expression += "&SETVAR('x',GETVAR('x')&GETVAR('x'))";
  EXPECT_EQ(Outcome(expression), "e10");
}

} // namespace
