// Tests of Application: workbooks, sheets and their names, activation, hooks, shortcut keys and
// the cell command bar.
#include "core/host/application.h"

#include <gtest/gtest.h>

#include "core/host/host_error.h"
#include "core/host/text_encoding.h"
#include "core/host/workbook.h"
#include "tests/error_number.h"

namespace tessarin::host {
namespace {

using testing::ErrorNumber;

TEST(Application, StartsWithNothingOpen) {
  Application app;
  EXPECT_EQ(app.Workbooks().Count(), 0);
  EXPECT_EQ(app.active_workbook(), nullptr);
  EXPECT_EQ(ErrorNumber([&] { app.ActiveSheet(); }), kErrObjectVariableNotSet);
  EXPECT_EQ(ErrorNumber([&] { app.ActiveCell(); }), kErrObjectVariableNotSet);
  EXPECT_EQ(ErrorNumber([&] { app.Workbooks().Open("/nowhere/x.xlsx"); }), kErrApplicationDefined);
  EXPECT_EQ(app.DisplayCommentIndicator(), kXlCommentIndicatorOnly);
  EXPECT_TRUE(app.ScreenUpdating());
  EXPECT_DOUBLE_EQ(app.InchesToPoints(0.17), 12.24);
}

TEST(Application, WorkbooksAddMakesBookWithSheet1BothActive) {
  Application app;
  Workbook& first = app.Workbooks().Add();
  EXPECT_EQ(first.name(), "Book1");
  EXPECT_EQ(first.path(), "");
  ASSERT_EQ(first.SheetCount(), 1);
  EXPECT_EQ(first.Sheet(1).name(), "Sheet1");
  EXPECT_EQ(&app.ActiveWorkbook(), &first);
  EXPECT_EQ(app.ActiveSheet().Name(), "Sheet1");
  EXPECT_EQ(app.ActiveCell().Address(kXlA1, false), "A1");
  EXPECT_DOUBLE_EQ(app.Range("A1").RowHeight(), 13.5);
  EXPECT_EQ(app.Range("A1").Font().Name(), "ＭＳ Ｐゴシック");
  EXPECT_EQ(app.Range("A1").Font().Size(), 11);

  Workbook& second = app.Workbooks().Add();
  EXPECT_EQ(second.name(), "Book2");
  EXPECT_EQ(&app.ActiveWorkbook(), &second);
  EXPECT_EQ(&app.Workbooks().Item("book1"), &first);
  EXPECT_EQ(&app.Workbooks().Item(2), &second);
  EXPECT_EQ(ErrorNumber([&] { app.Workbooks().Item(3); }), kErrSubscriptOutOfRange);
  EXPECT_EQ(ErrorNumber([&] { app.Workbooks().Item("Book9"); }), kErrSubscriptOutOfRange);
  app.CloseWorkbook(second);
  EXPECT_EQ(&app.ActiveWorkbook(), &first);
  EXPECT_EQ(app.Workbooks().Add().name(), "Book3");  // numbers are not reused
  app.Workbooks().Close();
  EXPECT_EQ(app.active_workbook(), nullptr);
}

TEST(Application, SheetsAddAppendsAndActivates) {
  Application app;
  Workbook& book = app.Workbooks().Add();
  std::vector<std::string> activated;
  app.set_sheet_activate_hook([&](Worksheet& s) { activated.push_back(s.name()); });
  Sheet added = app.Sheets().Add(kXlWorksheet);
  EXPECT_EQ(added.Name(), "Sheet2");
  EXPECT_EQ(added.Index(), 2);
  EXPECT_EQ(app.ActiveSheet(), added);
  Sheet first = app.Sheets().Item(1);
  Sheet before = app.Sheets().Add(kXlWorksheet, &first);
  EXPECT_EQ(before.Index(), 1);
  EXPECT_EQ(before.Name(), "Sheet3");
  EXPECT_EQ(activated, (std::vector<std::string>{"Sheet2", "Sheet3"}));
  first.Activate();
  first.Activate();  // already active: no second notice
  EXPECT_EQ(activated.back(), "Sheet1");
  EXPECT_EQ(activated.size(), 3u);
  EXPECT_EQ(app.Sheets().Count(), 3);
  EXPECT_EQ(app.Sheets().Item("SHEET2"), added);
  EXPECT_EQ(ErrorNumber([&] { app.Sheets().Item("nope"); }), kErrSubscriptOutOfRange);
  EXPECT_EQ(ErrorNumber([&] { app.Sheets().Item(4); }), kErrSubscriptOutOfRange);
  EXPECT_EQ(ErrorNumber([&] { app.Sheets().Add(-4109); }), kErrApplicationDefined);
  book.Sheet(2).set_visibility(SheetVisibility::kHidden);
  EXPECT_EQ(ErrorNumber([&] { app.Sheets().Item(2).Activate(); }), kErrApplicationDefined);
}

TEST(Application, NewSheetTakesTheLowestFreeNumberInAnyCase) {
  Application app;
  Workbook& book = app.Workbooks().Add();
  book.RenameSheet(book.Sheet(1), "sheet1");
  book.AddSheet("SHEET3", 2);
  book.AddSheet("Sheet02", 3);  // not "Sheet2"
  book.AddSheet("Sheet", 4);
  EXPECT_EQ(app.Sheets().Add(kXlWorksheet).Name(), "Sheet2");
  EXPECT_EQ(app.Sheets().Add(kXlWorksheet).Name(), "Sheet4");
}

TEST(Application, NearestSheetNameIsOneRuleForEveryReader) {
  Workbook book("b.xlsx");
  book.AddSheet("Dup", 1);
  book.AddSheet(std::string(31, 'x'), 2);
  EXPECT_EQ(book.NearestSheetName("fine"), "fine");
  EXPECT_EQ(book.NearestSheetName("a:b/c?d*e[f]g\\h"), "a_b_c_d_e_f_g_h");
  EXPECT_EQ(book.NearestSheetName("'quoted'"), "_quoted_");
  EXPECT_EQ(book.NearestSheetName("a\x01"
                                  "b\tc\x7F"),
            "a_b_c_");
  EXPECT_EQ(book.NearestSheetName(""), "Sheet");
  EXPECT_EQ(book.NearestSheetName("history"), "history (2)");
  EXPECT_EQ(book.NearestSheetName("DUP"), "DUP (2)");
  EXPECT_EQ(book.NearestSheetName(std::string(40, 'x')), std::string(27, 'x') + " (2)");
  EXPECT_EQ(book.NearestSheetName(std::string(35, 'y')), std::string(31, 'y'));
  std::string kanji;
  for (int i = 0; i < 40; ++i) kanji += "漢";
  EXPECT_EQ(Utf8Length(book.NearestSheetName(kanji)), 31u);
}

TEST(Application, OpenWorkbooksAreCapped) {
  Application app;
  for (int i = 0; i < WorkbookCollection::kMaxOpenWorkbooks; ++i) app.Workbooks().Add();
  EXPECT_EQ(ErrorNumber([&] { app.Workbooks().Add(); }), kErrApplicationDefined);
  EXPECT_EQ(app.Workbooks().Count(), WorkbookCollection::kMaxOpenWorkbooks);
  app.CloseWorkbook(app.Workbooks().Item(1));
  EXPECT_NO_THROW(app.Workbooks().Add());
}

TEST(Application, SheetNamesFollowTheHostsRules) {
  Application app;
  app.Workbooks().Add();
  Sheet sheet = app.ActiveSheet();
  Sheet other = app.Sheets().Add();
  const std::vector<std::string> bad = {"",
                                        std::string(32, 'a'),
                                        "a:b",
                                        "a\\b",
                                        "a/b",
                                        "a?b",
                                        "a*b",
                                        "a[b",
                                        "a]b",
                                        "'quoted",
                                        "end'",
                                        "MIRATOSU",
                                        "miratosu",
                                        "history",
                                        "a\x01"
                                        "b",
                                        "tab\there",
                                        "two\nlines",
                                        "del\x7F",
                                        std::string("nul\0", 4)};
  other.SetName("Miratosu");
  for (const std::string& name : bad) {
    EXPECT_EQ(ErrorNumber([&] { sheet.SetName(name); }), kErrApplicationDefined) << name;
  }
  EXPECT_EQ(sheet.Name(), "Sheet1");
  other.SetName("ｔｅｓｔ");
  EXPECT_EQ(ErrorNumber([&] { sheet.SetName("ＴＥＳＴ"); }), kErrApplicationDefined);
  sheet.SetName(std::string(31, 'a'));
  sheet.SetName("テスト用紙 【40】");
  EXPECT_EQ(app.Sheets().Item("テスト用紙 【40】"), sheet);
  other.SetName("ｔｅｓｔ");  // its own name again is fine
}

TEST(Application, WindowAndPrintPreviewHook) {
  Application app;
  app.Workbooks().Add();
  EXPECT_TRUE(app.ActiveWindow().DisplayGridlines());
  app.ActiveWindow().SetDisplayGridlines(false);
  EXPECT_FALSE(app.ActiveSheet().worksheet().view().display_gridlines);
  std::vector<std::string> previewed;
  app.set_print_preview_hook([&](const std::vector<std::string>& sheets) { previewed = sheets; });
  app.ActiveWindow().SelectedSheets().PrintPreview();
  EXPECT_EQ(previewed, std::vector<std::string>{"Sheet1"});
}

TEST(Application, ManualPageBreaksAboveRows) {
  Application app;
  app.Workbooks().Add();
  const Sheet sheet = app.ActiveSheet();
  sheet.HPageBreaks().Add(sheet.Range("C17"));
  sheet.HPageBreaks().Add(sheet.Range("A9:B12"));
  sheet.HPageBreaks().Add(sheet.Range("A9"));
  ASSERT_EQ(sheet.HPageBreaks().Count(), 2);
  EXPECT_EQ(sheet.HPageBreaks().Item(1), 9);
  EXPECT_EQ(sheet.HPageBreaks().Item(2), 17);
  EXPECT_EQ(ErrorNumber([&] { sheet.HPageBreaks().Item(3); }), kErrSubscriptOutOfRange);
  EXPECT_EQ(ErrorNumber([&] { sheet.HPageBreaks().Add(sheet.Range("A1")); }),
            kErrApplicationDefined);
  sheet.Protect();
  EXPECT_EQ(ErrorNumber([&] { sheet.ResetAllPageBreaks(); }), kErrApplicationDefined);
  EXPECT_EQ(sheet.HPageBreaks().Count(), 2);
  sheet.Unprotect();
  sheet.ResetAllPageBreaks();
  EXPECT_EQ(sheet.HPageBreaks().Count(), 0);
}

TEST(Application, GetOpenFilenameGoesThroughItsHook) {
  Application app;
  EXPECT_EQ(app.GetOpenFilename("Excel,*.xls*"), "False");
  std::string seen_filter;
  app.set_get_open_filename_hook([&](std::string_view filter) {
    seen_filter = filter;
    return std::string("/home/u/問題.xlsx");
  });
  EXPECT_EQ(app.GetOpenFilename("Excel,*.xls*"), "/home/u/問題.xlsx");
  EXPECT_EQ(seen_filter, "Excel,*.xls*");
}

TEST(Application, DisplayCommentIndicatorTakesTheHostValues) {
  Application app;
  app.SetDisplayCommentIndicator(kXlCommentAndIndicator);
  EXPECT_EQ(app.DisplayCommentIndicator(), 1);
  EXPECT_EQ(ErrorNumber([&] { app.SetDisplayCommentIndicator(2); }), kErrApplicationDefined);
}

TEST(Application, MacroOptionsKeepsOneKeyPerMacroAndOneMacroPerKey) {
  Application app;
  app.MacroOptions("K_START", true, "t");
  app.MacroOptions("K_InPutAns", true, "a");
  EXPECT_EQ(app.MacroForKey("t"), "K_START");
  app.MacroOptions("K_START", true, "s");  // moves the macro
  EXPECT_FALSE(app.MacroForKey("t").has_value());
  app.MacroOptions("K_Other", true, "a");  // takes the key over
  EXPECT_EQ(app.MacroForKey("a"), "K_Other");
  EXPECT_FALSE(app.MacroForKey("A").has_value());  // Ctrl+Shift+A is another key
  app.MacroOptions("K_START", false, "");
  EXPECT_EQ(app.shortcuts().size(), 1u);
  EXPECT_EQ(ErrorNumber([&] { app.MacroOptions("K_X", true, "ab"); }), kErrApplicationDefined);
  EXPECT_EQ(ErrorNumber([&] { app.MacroOptions("K_X", true, "1"); }), kErrApplicationDefined);
}

TEST(Application, PageSetupValidatesAndStores) {
  Application app;
  app.Workbooks().Add();
  const PageSetupRef ps = app.ActiveSheet().PageSetup();
  ps.SetLeftMargin(app.InchesToPoints(0.17));
  ps.SetOrientation(kXlLandscape);
  ps.SetZoom(100);
  ps.SetPrintArea("$A$1:$U$16");
  EXPECT_DOUBLE_EQ(ps.LeftMargin(), 12.24);
  EXPECT_EQ(ps.Orientation(), kXlLandscape);
  EXPECT_EQ(ps.PrintArea(), "A1:U16");
  EXPECT_EQ(ErrorNumber([&] { ps.SetZoom(5); }), kErrApplicationDefined);
  EXPECT_EQ(ErrorNumber([&] { ps.SetOrientation(3); }), kErrApplicationDefined);
  EXPECT_EQ(ErrorNumber([&] { ps.SetLeftMargin(-1); }), kErrApplicationDefined);
  EXPECT_EQ(ErrorNumber([&] { ps.SetPrintArea("A1:"); }), kErrApplicationDefined);
  EXPECT_EQ(ps.PrintArea(), "A1:U16");
  ps.SetPrintArea("");
  EXPECT_EQ(ps.PrintArea(), "");
}

TEST(Application, RowsAndColumnsByText) {
  Application app;
  app.Workbooks().Add();
  EXPECT_EQ(app.Rows("3").Address(kXlR1C1), "R3");
  EXPECT_EQ(app.Rows("3:5").Count(), 3);
  EXPECT_EQ(app.Columns("B:D").Count(), 3);
  EXPECT_EQ(app.Columns(21).Address(kXlA1, false), "U:U");
  EXPECT_EQ(app.Rows().Count(), 1048576);
  EXPECT_EQ(ErrorNumber([&] { app.Rows("A1"); }), kErrApplicationDefined);
  EXPECT_EQ(ErrorNumber([&] { app.Columns("3"); }), kErrApplicationDefined);
}

TEST(CommandBars, CellBarResetRestoresExactlyTheBuiltIns) {
  Application app;
  CommandBar& cell = app.CommandBars().Item("cell");
  const int built_in = cell.Controls().Count();
  ASSERT_EQ(built_in, static_cast<int>(CellBarBuiltIns().size()));
  EXPECT_EQ(cell.Controls().Item(1).Caption(), "切り取り(&T)");
  EXPECT_EQ(cell.Controls().Item("コピー(&C)").FaceId(), 19);
  EXPECT_TRUE(cell.Controls().Item("コメントの挿入(&M)").BeginGroup());

  cell.Controls().Item(1).SetBeginGroup(true);
  cell.Controls().Item("コピー(&C)").SetCaption("changed");
  CommandBarControl& popup = cell.Controls().Add(kMsoControlPopup, 1);
  popup.SetCaption("ミラトス(&K)");
  EXPECT_FALSE(popup.FaceId().has_value());
  EXPECT_EQ(ErrorNumber([&] { popup.SetFaceId(1); }), kErrNotSupported);
  CommandBarControl& item = cell.Controls().Item("ミラトス(&K)").Controls().Add(kMsoControlButton);
  item.SetFaceId(176);
  item.SetCaption("漢字テスト作成(&T)");
  item.SetOnAction("K_START");
  EXPECT_EQ(cell.Controls().Count(), built_in + 1);
  EXPECT_EQ(cell.Controls().Item(1).Controls().Item("漢字テスト作成(&T)").OnAction(), "K_START");
  EXPECT_FALSE(item.BuiltIn());
  EXPECT_EQ(ErrorNumber([&] { item.Controls(); }), kErrNotSupported);

  cell.Reset();
  ASSERT_EQ(cell.Controls().Count(), built_in);
  for (int i = 1; i <= built_in; ++i) {
    const CommandBarControl& c = cell.Controls().Item(i);
    const BuiltInControl& want = CellBarBuiltIns()[i - 1];
    EXPECT_EQ(c.Caption(), want.caption);
    EXPECT_EQ(c.FaceId(), want.face_id);
    EXPECT_EQ(c.BeginGroup(), want.begin_group);
    EXPECT_TRUE(c.BuiltIn());
  }
  EXPECT_EQ(cell.Controls().Find("ミラトス(&K)"), nullptr);
}

TEST(CommandBars, LookupsAndAddPositionsFailAsTheHostDoes) {
  Application app;
  ControlList& controls = app.CommandBars().Item("Cell").Controls();
  EXPECT_EQ(ErrorNumber([&] { app.CommandBars().Item("nope"); }), kErrInvalidProcedureCall);
  EXPECT_EQ(ErrorNumber([&] { controls.Item(0); }), kErrInvalidProcedureCall);
  EXPECT_EQ(ErrorNumber([&] { controls.Item(controls.Count() + 1); }), kErrInvalidProcedureCall);
  EXPECT_EQ(ErrorNumber([&] { controls.Item("コピー(&c)"); }), kErrInvalidProcedureCall);  // exact
  EXPECT_EQ(ErrorNumber([&] { controls.Add(2); }), kErrInvalidProcedureCall);
  EXPECT_EQ(ErrorNumber([&] { controls.Add(1, controls.Count() + 2); }), kErrInvalidProcedureCall);
  const int n = controls.Count();
  controls.Add(kMsoControlButton, n + 1).SetCaption("last");
  EXPECT_EQ(controls.Item(n + 1).Caption(), "last");
  controls.Item("last").Delete();
  EXPECT_EQ(controls.Count(), n);
}

}  // namespace
}  // namespace tessarin::host
