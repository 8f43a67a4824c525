// Tests of copy and paste: values, formats, runs, phonetic guides, comments and merges, within a
// sheet, across sheets and across workbooks.
#include "core/host/clipboard.h"

#include <gtest/gtest.h>

#include "core/host/application.h"
#include "core/host/host_error.h"

namespace tessarin::host {
namespace {

class ClipboardTest : public ::testing::Test {
 protected:
  ClipboardTest() : book_(app_.Workbooks().Add()), question_(book_.Sheet(1)) {
    // A question cell as a learner keeps it: font, runs, a reading, a comment.
    const Range d1 = Range(question_, Area::Cell(1, 4));
    d1.SetText("漢字の書き取り");
    d1.Font().SetName("Klee One");
    d1.Font().SetSize(14);
    d1.Characters(1, 2).Font().SetUnderline(kXlUnderlineStyleSingle);
    d1.Phonetics().SetText("かんじのかきとり");
    d1.AddComment("問題文を入力します。");
    d1.Borders(kXlEdgeBottom).SetLineStyle(kXlContinuous);
  }

  void ExpectQuestionCell(Worksheet& sheet, int32_t row, int32_t col) {
    const Range cell(sheet, Area::Cell(row, col));
    EXPECT_EQ(cell.Value(), CellValue::Text("漢字の書き取り"));
    EXPECT_EQ(cell.Font().Name(), "Klee One");
    EXPECT_EQ(cell.Font().Size(), 14);
    EXPECT_EQ(cell.Characters(1, 1).Font().Underline(), kXlUnderlineStyleSingle);
    EXPECT_EQ(cell.Characters(3, 1).Font().Underline(), kXlUnderlineStyleNone);
    EXPECT_EQ(cell.Phonetics().Text(), "かんじのかきとり");
    EXPECT_EQ(cell.Comment().Text(), "問題文を入力します。");
    EXPECT_EQ(cell.Borders(kXlEdgeBottom).LineStyle(), kXlContinuous);
  }

  Application app_;
  Workbook& book_;
  Worksheet& question_;
};

TEST_F(ClipboardTest, PasteOnAnotherSheetBringsEverything) {
  Sheet test = app_.Sheets().Add();
  app_.SheetOf(question_).Activate();
  app_.Range("D1").Select();
  app_.Selection().Copy();
  EXPECT_TRUE(app_.CutCopyMode());
  test.Activate();
  app_.Range("T2").Select();
  app_.ActiveSheet().Paste();
  ExpectQuestionCell(test.worksheet(), 2, 20);
  EXPECT_EQ(app_.Selection().Address(kXlA1, false), "T2");
  app_.SetCutCopyMode(false);
  EXPECT_FALSE(app_.CutCopyMode());
  EXPECT_EQ(app_.clipboard(), nullptr);
  try {
    app_.ActiveSheet().Paste();
    FAIL() << "pasted an empty clipboard";
  } catch (const HostError& e) {
    EXPECT_EQ(e.number(), kErrApplicationDefined);
  }
}

TEST_F(ClipboardTest, PasteIntoAnotherWorkbookReinternsStringsAndStyles) {
  Range(question_, Area::Cell(1, 4)).Copy();
  Workbook& other = app_.Workbooks().Add();
  ASSERT_NE(&other, &book_);
  app_.Range("B2").Select();
  app_.ActiveSheet().Paste();
  ExpectQuestionCell(other.Sheet(1), 2, 2);
  // The copy is independent: changing the source changes nothing here.
  Range(question_, Area::Cell(1, 4)).Font().SetSize(30);
  Range(question_, Area::Cell(1, 4)).SetText("別");
  EXPECT_EQ(Range(other.Sheet(1), Area::Cell(2, 2)).Font().Size(), 14);
  EXPECT_EQ(other.strings().size(), 2u);  // "" and the question text
}

TEST_F(ClipboardTest, PagesCopyValuesFormatsAndReplaceTheDestination) {
  Worksheet& sheet = question_;
  const Range all = Range::All(sheet);
  all.SubRange("U1").SetNumberFormatLocal("\"No.\"0");
  all.SubRange("U1").SetNumber(1);
  all.SubRange("A3:T3").Borders(kXlEdgeLeft).SetLineStyle(kXlContinuous);
  all.SubRange("A1:U4").SubRange("B1:C1").SetMergeCells(true);
  all.SubRange("J6").SetText("stale");
  all.SubRange("J6").AddComment("stale");
  all.SubRange("K6").Font().SetBold(true);

  all.SubRange("A1:U4").Copy(all.SubRange("A5"));
  EXPECT_EQ(all.SubRange("U5").Text(), "No.1");
  EXPECT_EQ(all.SubRange("A7").Borders(kXlEdgeLeft).LineStyle(), kXlContinuous);
  EXPECT_EQ(all.SubRange("D5").Value(), CellValue::Text("漢字の書き取り"));
  EXPECT_TRUE(all.SubRange("C5").MergeCells());
  EXPECT_TRUE(all.SubRange("J6").Value().IsEmpty());
  EXPECT_FALSE(all.SubRange("J6").Comment().exists());
  EXPECT_FALSE(all.SubRange("K6").Font().Bold());  // the source had no format there
}

TEST_F(ClipboardTest, EmptySourcePositionsCarryRowAndColumnFormats) {
  Worksheet& sheet = question_;
  Range::All(sheet).Rows(10).Font().SetItalic(true);
  Range(sheet, Area{10, 1, 10, 3}).Copy(Range(sheet, Area::Cell(20, 1)));
  EXPECT_TRUE(Range(sheet, Area::Cell(20, 2)).Font().Italic());
  EXPECT_FALSE(Range(sheet, Area::Cell(20, 4)).Font().Italic());
}

TEST_F(ClipboardTest, FormulasFollowThePaste) {
  Range(question_, Area::Cell(2, 2)).SetFormula("=A1+$A$1");
  Range(question_, Area::Cell(2, 2)).Copy(Range(question_, Area::Cell(5, 4)));
  EXPECT_EQ(Range(question_, Area::Cell(5, 4)).Formula(), "=C4+$A$1");
}

TEST_F(ClipboardTest, CopyRefusesSeveralAreasAndPasteOffTheSheet) {
  const Range two(question_, AreaList{Area::Cell(1, 1), Area::Cell(3, 3)});
  EXPECT_THROW(two.Copy(), HostError);
  const ClipboardData data = CopyCells(question_, Area{1, 1, 4, 21});
  EXPECT_THROW(PasteCells(data, question_, {kMaxRows - 2, 1}), HostError);
  EXPECT_THROW(PasteCells(data, question_, {1, kMaxColumns - 5}), HostError);
}

TEST_F(ClipboardTest, PasteOnAProtectedSheetIsRefused) {
  Range(question_, Area::Cell(1, 4)).Copy();
  Sheet test = app_.Sheets().Add();
  test.Protect();
  try {
    test.Paste();
    FAIL();
  } catch (const HostError& e) {
    EXPECT_EQ(e.number(), kErrApplicationDefined);
  }
  EXPECT_EQ(test.worksheet().cells().CellCount(), 0u);
}

}  // namespace
}  // namespace tessarin::host
