// The shared small helpers: ASCII case folding, base names, and formula references moved.
#include "core/host/text_util.h"

#include <gtest/gtest.h>

#include "core/host/formula_refs.h"

namespace tessarin::host {
namespace {

TEST(TextUtil, CaseFoldingTouchesAsciiLettersOnly) {
  EXPECT_TRUE(EqualsIgnoringAsciiCase("General", "GENERAL"));
  EXPECT_TRUE(EqualsIgnoringAsciiCase("k_start", "K_START"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("TRUE", "TRUE "));
  EXPECT_FALSE(
      EqualsIgnoringAsciiCase("ＴＲＵＥ", "ｔｒｕｅ"));  // full-width letters are not folded
  EXPECT_FALSE(EqualsIgnoringAsciiCase("@", "`"));       // the bytes beside the letters stay apart
  EXPECT_FALSE(EqualsIgnoringAsciiCase("[", "{"));
}

TEST(TextUtil, BaseNameIsThePartAfterTheLastSlash) {
  EXPECT_EQ(BaseName("/data/books/問題.xlsx"), "問題.xlsx");
  EXPECT_EQ(BaseName("問題.xlsx"), "問題.xlsx");
  EXPECT_EQ(BaseName("/data/books/"), "");
  EXPECT_EQ(BaseName(""), "");
}

TEST(ShiftFormula, MovesRelativePartsOnly) {
  EXPECT_EQ(ShiftFormula("A1+$A$1+$A1+A$1", 2, 1), "B3+$A$1+$A3+B$1");
  EXPECT_EQ(ShiftFormula("SUM(B2:C3)*2", -1, -1), "SUM(A1:B2)*2");
  EXPECT_EQ(ShiftFormula("A1", -1, 0), "#REF!");
  EXPECT_EQ(ShiftFormula("XFD1", 0, 1), "#REF!");
  // Strings, function names, sheet names, numbers and long names stay as they are.
  EXPECT_EQ(ShiftFormula("\"A1\"&'B2'!C3&LOG10(1E3)&ABCD1", 1, 1),
            "\"A1\"&'B2'!D4&LOG10(1E3)&ABCD1");
  EXPECT_EQ(ShiftFormula("AB1!A1", 1, 0), "AB1!A2");
  EXPECT_EQ(ShiftFormula("SUM(A1:B2)&'A1 x'!A1+1E+5+1.5E5", 1, 0),
            "SUM(A2:B3)&'A1 x'!A2+1E+5+1.5E5");
  // Structured and external references name no cell of this sheet to move.
  EXPECT_EQ(ShiftFormula("T[[#This Row],[A1]]+[1]S!B1+T[B2]", 1, 1),
            "T[[#This Row],[A1]]+[1]S!C2+T[B2]");
}

TEST(ShiftFormula, AgreesWithACopyThroughR1C1) {
  const char* formula = "IF($B3>0,C$4*D5,\"x\")";
  EXPECT_EQ(ShiftFormula(formula, 3, 2), FormulaR1C1ToA1(FormulaA1ToR1C1(formula, 10, 10), 13, 12));
}

}  // namespace
}  // namespace tessarin::host
