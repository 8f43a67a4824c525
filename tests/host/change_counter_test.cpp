// Tests of the workbook's change counter: every kind of edit moves it, reading never does, and
// a save (set_saved(true)) records it.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/host/application.h"
#include "core/host/host_error.h"
#include "core/host/range.h"
#include "core/host/workbook.h"

namespace tessarin::host {
namespace {

// A workbook with a little of everything on "Data", recorded as saved, and a second sheet.
class ChangeCounterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    book_ = &app_.Workbooks().Add();
    app_.ActiveSheet().SetName("Data");
    app_.Range("A1").SetText("漢字をかく");
    app_.Range("A2").SetNumber(12);
    app_.Range("B1").AddComment("note");
    app_.Range("C1:D1").SetMergeCells(true);
    app_.Sheets().Add().SetName("Other");
    app_.Sheets().Item("Data").Activate();
    book_->set_saved(true);
  }
  Sheet Data() { return app_.Sheets().Item("Data"); }

  Application app_;
  Workbook* book_ = nullptr;
};

TEST_F(ChangeCounterTest, EveryKindOfEditMovesTheCounter) {
  struct Edit {
    const char* what;
    std::function<void()> run;
  };
  const std::vector<Edit> edits = {
      {"value", [&] { app_.Range("E5").SetText("海"); }},
      {"number", [&] { app_.Range("A2").SetNumber(13); }},
      {"formula", [&] { app_.Range("E6").SetFormula("=A2*2"); }},
      {"clear contents", [&] { app_.Range("A1:A2").ClearContents(); }},
      {"number format", [&] { app_.Range("A2").SetNumberFormat("0.0"); }},
      {"font", [&] { app_.Range("A1").Font().SetBold(true); }},
      {"whole-column format", [&] { app_.Columns("D").Font().SetSize(14); }},
      {"whole-row format", [&] { app_.Rows("3").SetHorizontalAlignment(kXlCenter); }},
      {"character run", [&] { app_.Range("A1").Characters(1, 2).Font().SetColorIndex(3); }},
      {"border", [&] { app_.Range("A1").Borders(kXlEdgeTop).SetLineStyle(kXlContinuous); }},
      {"phonetic guide", [&] { app_.Range("A1").Phonetics().SetText("かんじ"); }},
      {"add comment", [&] { app_.Range("A3").AddComment("more"); }},
      {"comment text", [&] { app_.Range("B1").Comment().SetText("changed"); }},
      {"comment visible", [&] { app_.Range("B1").Comment().SetVisible(true); }},
      {"comment size", [&] { app_.Range("B1").Comment().Shape().ScaleHeight(1.5); }},
      {"delete comment", [&] { app_.Range("B1").Comment().Delete(); }},
      {"delete all comments", [&] { Data().Comments().Delete(); }},
      {"row height", [&] { app_.Range("A4").SetRowHeight(30); }},
      {"column width", [&] { app_.Range("B1").SetColumnWidth(20); }},
      {"merge", [&] { app_.Range("E1:F1").SetMergeCells(true); }},
      {"unmerge", [&] { app_.Range("C1").SetMergeCells(false); }},
      {"margin", [&] { Data().PageSetup().SetLeftMargin(10); }},
      {"orientation", [&] { Data().PageSetup().SetOrientation(kXlLandscape); }},
      {"page zoom", [&] { Data().PageSetup().SetZoom(80); }},
      {"print area", [&] { Data().PageSetup().SetPrintArea("A1:D8"); }},
      {"centring", [&] { Data().PageSetup().SetCenterHorizontally(true); }},
      {"page break", [&] { Data().HPageBreaks().Add(app_.Range("A9")); }},
      {"reset breaks",
       [&] {
         Data().HPageBreaks().Add(app_.Range("A9"));
         book_->set_saved(true);
         Data().ResetAllPageBreaks();
       }},
      {"copy and paste",
       [&] {
         app_.Range("A1").Copy();
         book_->set_saved(true);
         app_.Range("H1").Select();
         Data().Paste();
       }},
      {"copy to a destination", [&] { app_.Range("A1").Copy(app_.Range("H2")); }},
      {"gridlines", [&] { app_.ActiveWindow().SetDisplayGridlines(false); }},
      {"window zoom", [&] { app_.ActiveWindow().SetZoom(150); }},
      {"protect", [&] { Data().Protect(); }},
      {"add sheet", [&] { app_.Sheets().Add(); }},
      {"rename sheet", [&] { Data().SetName("Renamed"); }},
      {"delete sheet", [&] { app_.Sheets().Item("Other").Delete(); }},
      {"move sheet", [&] { Data().Move(nullptr, nullptr); }},
      {"copy sheet", [&] { Data().Copy(nullptr, nullptr); }},
      {"hide sheet",
       [&] { app_.Sheets().Item("Other").worksheet().set_visibility(SheetVisibility::kHidden); }},
      {"saved false", [&] { book_->set_saved(false); }},
  };
  for (const Edit& edit : edits) {
    SetUp();  // a fresh application each time: edits must not depend on one another
    const uint64_t before = book_->changes();
    ASSERT_TRUE(book_->saved()) << edit.what;
    edit.run();
    EXPECT_GT(book_->changes(), before) << edit.what;
    EXPECT_FALSE(book_->saved()) << edit.what;
    app_.Workbooks().Close();
  }
}

TEST_F(ChangeCounterTest, ReadingSelectingAndCopyingMoveNothing) {
  const uint64_t before = book_->changes();
  Range a1 = app_.Range("A1");
  EXPECT_EQ(a1.Text(), "漢字をかく");
  EXPECT_FALSE(a1.Font().Bold());
  EXPECT_TRUE(app_.Range("C1").MergeCells());
  EXPECT_EQ(app_.Range("B1").Comment().Text(), "note");
  EXPECT_GT(app_.Range("B1").Comment().Shape().Height(), 0);
  EXPECT_GT(app_.Range("B1").Comment().Shape().Width(), 0);
  EXPECT_EQ(Data().PageSetup().PrintArea(), "");
  EXPECT_EQ(Data().HPageBreaks().Count(), 0);
  EXPECT_EQ(Data().UsedRange().Address(kXlA1, false), "A1:B2");
  app_.Range("A1:B2").Select();
  app_.Range("A2").Activate();
  app_.Range("A1:B2").Copy();
  app_.Sheets().Item("Other").Activate();
  Data().Activate();
  EXPECT_EQ(book_->changes(), before);
  EXPECT_TRUE(book_->saved());
}

TEST_F(ChangeCounterTest, SavingRecordsTheCounterAndAnEditAfterwardsShows) {
  app_.Range("A1").SetText("x");
  EXPECT_FALSE(book_->saved());
  book_->set_saved(true);
  EXPECT_TRUE(book_->saved());
  app_.Range("A1").SetText("y");
  EXPECT_FALSE(book_->saved());
  // A new workbook holds nothing to lose.
  EXPECT_TRUE(app_.Workbooks().Add().saved());
}

TEST_F(ChangeCounterTest, SheetsMoveCopyAndDeleteAsTheHostDoes) {
  Sheet data = Data();
  Sheet other = app_.Sheets().Item("Other");
  data.Move(nullptr, &other);
  EXPECT_EQ(app_.Sheets().Item(1).Name(), "Other");
  EXPECT_EQ(app_.Sheets().Item(2).Name(), "Data");
  Sheet copy = data.Copy(&other, nullptr);
  EXPECT_EQ(copy.Name(), "Data (2)");
  EXPECT_EQ(copy.Index(), 1);
  EXPECT_EQ(app_.ActiveSheet().Name(), "Data (2)");
  EXPECT_EQ(copy.Range("A1").Text(), "漢字をかく");
  EXPECT_EQ(copy.Range("B1").Comment().Text(), "note");
  EXPECT_TRUE(copy.Range("D1").MergeCells());
  // The copy is its own: editing it leaves the original alone.
  copy.Range("A1").SetText("別");
  EXPECT_EQ(data.Range("A1").Text(), "漢字をかく");
  copy.Delete();
  EXPECT_EQ(app_.ActiveSheet().Name(), "Other");
  EXPECT_EQ(app_.Sheets().Count(), 2);
  app_.Sheets().Item("Data").Delete();
  EXPECT_THROW(app_.Sheets().Item("Other").Delete(), HostError);  // the last visible sheet
  EXPECT_EQ(app_.Sheets().Count(), 1);
}

}  // namespace
}  // namespace tessarin::host
