// The window end to end: start-up, typing Japanese through the input method, the cell menu,
// the shortcut keys driving the add-in's dialogs, selection, undo, and closing with changes.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFileDialog>
#include <QHelpEvent>
#include <QInputDialog>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTest>
#include <QToolTip>
#include <QWheelEvent>
#include <filesystem>
#include <fstream>

#include "app/desktop/main_window.h"
#include "app/desktop/ng_chart.h"
#include "app/desktop/sheet_grid.h"
#include "app/desktop/sheet_tabs.h"
#include "core/host/range.h"
#include "render/page_layout.h"
#include "tests/desktop/modal_driver.h"
#include "tests/workbook/test_env.h"

namespace tessarin::desktop {
namespace {

using testing::ModalDriver;
using testing::WaitFor;

class WindowTest : public ::testing::Test {
 protected:
  // Starts the window and closes the file selection dialog without choosing a file.
  void StartBlank() {
    driver.Expect("FILE_Sentaku", [](QWidget* dialog) { dialog->close(); });
    window.Start();
    ASSERT_TRUE(WaitFor([&] { return window.app().active_workbook() != nullptr; }));
    Refocus();
  }
  // The offscreen platform does not give the focus back when a dialog closes.
  void Refocus() {
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.grid()->setFocus();
  }

  host::Worksheet& ActiveSheet() { return *window.app().active_workbook()->active_sheet(); }
  QPoint CellCenter(int32_t row, int32_t col) { return window.grid()->CellRect(row, col).center(); }
  void Click(int32_t row, int32_t col, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::mouseClick(window.grid()->viewport(), Qt::LeftButton, modifiers, CellCenter(row, col));
  }
  // Types `text` into the active cell as an input method commits it, then presses Enter.
  void Compose(const QString& text) {
    QInputMethodEvent preedit(text, {});
    QApplication::sendEvent(window.grid(), &preedit);
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(window.grid()->editor()->hasFocus()
                                ? static_cast<QWidget*>(window.grid()->editor())
                                : window.grid(),
                            &commit);
    QTest::keyClick(window.grid()->editor(), Qt::Key_Return);
  }
  std::string Text(int32_t row, int32_t col) {
    return std::string(ActiveSheet().TextView(row, col));
  }
  std::string Selection() { return window.app().Selection().Address(host::kXlA1, false); }
  host::Worksheet& Sheet(std::string_view name) {
    return *window.app().active_workbook()->FindSheet(name);
  }

  // Types three questions into column D and makes the 40-question test sheet with Ctrl+T; the
  // test sheet is left active.
  void MakeTestSheet() {
    Click(1, 4);
    Compose(QStringLiteral("漢字をかく"));
    Compose(QStringLiteral("海をわたる"));
    Compose(QStringLiteral("山にのぼる"));
    Click(1, 4);
    driver.Expect("KanjiForm1", [&](QWidget* dialog) {
      QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("CommandButton1")),
                        Qt::LeftButton);
      QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("CommandButton2")),
                        Qt::LeftButton);
    });
    QTest::keyClick(window.grid(), Qt::Key_T, Qt::ControlModifier);
    ASSERT_EQ(ActiveSheet().name(), "テスト用紙 【40】");
    Refocus();
  }
  // Moves the active cell with the keys, as a user walks to a cell off the first screen.
  void WalkTo(int32_t row, int32_t col) {
    QTest::keyClick(window.grid(), Qt::Key_Home, Qt::ControlModifier);
    for (int32_t r = 1; r < row; ++r) QTest::keyClick(window.grid(), Qt::Key_Down);
    for (int32_t c = 1; c < col; ++c) QTest::keyClick(window.grid(), Qt::Key_Right);
    ASSERT_EQ(window.grid()->active_cell(), (host::CellRef{row, col}));
  }

  tessarin::testing::TempHome home;
  ModalDriver driver;
  MainWindow window;
};

TEST_F(WindowTest, StartsWithABlankQuestionWorkbookAfterTheFileDialog) {
  StartBlank();
  EXPECT_EQ(driver.pending(), 0u);
  EXPECT_EQ(ActiveSheet().name(), "ミラトス");
  EXPECT_EQ(window.tabs()->tabText(window.tabs()->currentIndex()), QStringLiteral("ミラトス"));
  EXPECT_TRUE(window.windowTitle().contains(
      QString::fromStdString(window.app().active_workbook()->name())));
  EXPECT_EQ(window.app().MacroForKey("t"), "K_START");
}

TEST_F(WindowTest, TypesJapaneseThroughTheInputMethodAndUndoesIt) {
  StartBlank();
  Click(1, 4);
  Compose(QStringLiteral("漢字をかく"));
  Compose(QStringLiteral("海をわたる"));
  Compose(QStringLiteral("0427"));
  EXPECT_EQ(Text(1, 4), "漢字をかく");
  EXPECT_EQ(Text(2, 4), "海をわたる");
  EXPECT_EQ(ActiveSheet().Value(3, 4), host::CellValue::Number(427));
  EXPECT_EQ(Selection(), "D4");
  EXPECT_TRUE(window.isWindowModified());
  QTest::keyClick(window.grid(), Qt::Key_Backspace, Qt::AltModifier);
  EXPECT_TRUE(ActiveSheet().Value(3, 4).IsEmpty());
  EXPECT_EQ(Text(2, 4), "海をわたる");
}

TEST_F(WindowTest, FormulaBarShowsAndEntersTheActiveCell) {
  StartBlank();
  Click(2, 4);
  Compose(QStringLiteral("0427"));
  Click(2, 4);
  EXPECT_EQ(window.formula_bar()->text(), QStringLiteral("427"));
  window.formula_bar()->setText(QStringLiteral("'0427"));
  QTest::keyClick(window.formula_bar(), Qt::Key_Return);
  EXPECT_EQ(ActiveSheet().Value(2, 4), host::CellValue::Text("0427"));
  EXPECT_EQ(window.formula_bar()->text(), QStringLiteral("'0427"));
  // Editing the cell and pressing Enter keeps it text.
  Click(2, 4);
  QTest::keyClick(window.grid(), Qt::Key_F2);
  QTest::keyClick(window.grid()->editor(), Qt::Key_Return);
  EXPECT_EQ(ActiveSheet().Value(2, 4), host::CellValue::Text("0427"));
}

TEST_F(WindowTest, SelectsRangesWholeColumnsAndSeveralAreasIntoTheHost) {
  StartBlank();
  Click(2, 2);
  Click(4, 3, Qt::ShiftModifier);
  EXPECT_EQ(Selection(), "B2:C4");
  Click(6, 5, Qt::ControlModifier);
  EXPECT_EQ(Selection(), "B2:C4,E6");
  EXPECT_EQ(window.app().ActiveCell().Address(host::kXlA1, false), "E6");
  const QRect column_d = window.grid()->CellRect(1, 4);
  QTest::mouseClick(window.grid()->viewport(), Qt::LeftButton, {},
                    QPoint(column_d.center().x(), 5));
  EXPECT_EQ(Selection(), "D:D");
  QTest::keyClick(window.grid(), Qt::Key_Down, Qt::ShiftModifier);
  Click(3, 1);
  QTest::keyClick(window.grid(), Qt::Key_Right, Qt::ShiftModifier);
  QTest::keyClick(window.grid(), Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(Selection(), "A3:B4");
}

TEST_F(WindowTest, CopiesAndPastesCellsWithTheirFormats) {
  StartBlank();
  Click(1, 4);
  Compose(QStringLiteral("書く"));
  ActiveSheet().SetStyle(1, 4, ActiveSheet().styles().Intern([&] {
    host::Style style = ActiveSheet().StyleAt(1, 4);
    style.font.bold = true;
    return style;
  }()));
  Click(1, 4);
  QTest::keyClick(window.grid(), Qt::Key_C, Qt::ControlModifier);
  Click(5, 6);
  QTest::keyClick(window.grid(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Text(5, 6), "書く");
  EXPECT_TRUE(ActiveSheet().StyleAt(5, 6).font.bold);
}

TEST_F(WindowTest, CellMenuHasTheSubmenuOnTopWithItsThirteenItems) {
  StartBlank();
  std::unique_ptr<QMenu> menu(window.BuildCellMenu());
  const QList<QAction*> actions = menu->actions();
  ASSERT_FALSE(actions.isEmpty());
  QMenu* submenu = actions.front()->menu();
  ASSERT_NE(submenu, nullptr);
  EXPECT_EQ(actions.front()->text(), QStringLiteral("ミラトス(&K)"));
  EXPECT_TRUE(actions.at(1)->isSeparator());
  int items = 0, separators = 0;
  for (QAction* action : submenu->actions()) {
    action->isSeparator() ? ++separators : ++items;
  }
  EXPECT_EQ(items, 13);
  EXPECT_EQ(separators, 6);
  EXPECT_EQ(submenu->actions().front()->text(), QStringLiteral("漢字テスト作成(&T)"));
  EXPECT_FALSE(submenu->actions().front()->icon().isNull());

  // The right click shows the same menu.
  QTest::mouseClick(window.grid()->viewport(), Qt::RightButton, {}, CellCenter(2, 2));
  ASSERT_TRUE(WaitFor([] { return QApplication::activePopupWidget() != nullptr; }));
  auto* shown = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->actions().front()->text(), QStringLiteral("ミラトス(&K)"));
  shown->close();
}

TEST_F(WindowTest, CtrlTMakesATestSheetThatTheWindowShows) {
  StartBlank();
  Click(1, 4);
  Compose(QStringLiteral("漢字をかく"));
  Compose(QStringLiteral("海をわたる"));
  Compose(QStringLiteral("山にのぼる"));
  Click(1, 4);
  bool shown = false;
  driver.Expect("KanjiForm1", [&](QWidget* dialog) {
    shown = true;
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("CommandButton1")),
                      Qt::LeftButton);
    // The sheet is on screen while the dialog stays open for another try.
    EXPECT_EQ(window.grid()->sheet()->name(), "テスト用紙 【40】");
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("CommandButton2")),
                      Qt::LeftButton);
  });
  QTest::keyClick(window.grid(), Qt::Key_T, Qt::ControlModifier);
  EXPECT_TRUE(shown);
  EXPECT_EQ(ActiveSheet().name(), "テスト用紙 【40】");
  EXPECT_EQ(window.tabs()->count(), 2);
  EXPECT_EQ(window.tabs()->tabText(window.tabs()->currentIndex()),
            QStringLiteral("テスト用紙 【40】"));
  // The three questions stand on the test sheet, position 1 in T2, which is in view.
  EXPECT_EQ(ActiveSheet().TextView(2, 20).empty(), false);
  EXPECT_TRUE(window.grid()->viewport()->rect().contains(window.grid()->CellRect(2, 20).center()));

  // Back on the question sheet through its tab: the add-in hears of it.
  window.tabs()->setCurrentIndex(0);
  EXPECT_EQ(ActiveSheet().name(), "ミラトス");
  EXPECT_TRUE(window.addin().module().Is40Sheet);
}

TEST_F(WindowTest, CtrlNMarksTheQuestionOfATestCellAndCtrlJJumpsBetweenThem) {
  StartBlank();
  MakeTestSheet();
  // Position 1 of the test stands in T2; find which question it is.
  const std::string question(ActiveSheet().TextView(2, 20));
  ASSERT_FALSE(question.empty());
  int32_t row = 1;
  while (row <= 3 && Sheet("ミラトス").TextView(row, 4) != question) ++row;
  ASSERT_LE(row, 3);

  WalkTo(4, 20);  // the answer row of the same strip counts as the question
  QTest::keyClick(window.grid(), Qt::Key_N, Qt::ControlModifier);
  EXPECT_EQ(Sheet("ミラトス").TextView(row, 6), "X");
  EXPECT_EQ(ActiveSheet().name(), "テスト用紙 【40】");
  // The number above the strip is the one the status bar names.
  const host::CellValue number = ActiveSheet().Value(1, 20);
  ASSERT_EQ(number.type, host::ValueType::kNumber);
  EXPECT_EQ(window.statusBar()->currentMessage(),
            QStringLiteral("問 %1 を間違いとして記録しました").arg(number.number));
  QTest::keyClick(window.grid(), Qt::Key_N, Qt::ControlModifier);
  EXPECT_EQ(Sheet("ミラトス").TextView(row, 7), "X");
  for (int32_t other = 1; other <= 3; ++other) {
    if (other != row) {
      EXPECT_TRUE(Sheet("ミラトス").TextView(other, 6).empty()) << other;
    }
  }
  EXPECT_TRUE(window.isWindowModified());

  // Ctrl+J: to the question's row, shown in the grid, and back to the test cell.
  QTest::keyClick(window.grid(), Qt::Key_J, Qt::ControlModifier);
  EXPECT_EQ(window.statusBar()->currentMessage(),
            QStringLiteral("問 %1 の問題文（%2 行目）へ移動しました").arg(number.number).arg(row));
  EXPECT_EQ(window.grid()->sheet()->name(), "ミラトス");
  EXPECT_EQ(window.tabs()->tabText(window.tabs()->currentIndex()), QStringLiteral("ミラトス"));
  EXPECT_EQ(window.grid()->active_cell(), (host::CellRef{row, 4}));
  QTest::keyClick(window.grid(), Qt::Key_J, Qt::ControlModifier);
  EXPECT_EQ(window.grid()->sheet()->name(), "テスト用紙 【40】");
  EXPECT_EQ(window.grid()->active_cell(), (host::CellRef{2, 20}));
  EXPECT_TRUE(window.grid()->viewport()->rect().contains(window.grid()->CellRect(2, 20).center()));
  EXPECT_EQ(window.statusBar()->currentMessage(),
            QStringLiteral("テスト用紙の問 %1 へ移動しました").arg(number.number));
}

TEST_F(WindowTest, PaperDialogRejectsABadHeightAndKeepsTheFocus) {
  StartBlank();
  MakeTestSheet();
  bool shown = false;
  size_t messages_before = 0;
  driver.Expect("PrintForm", [&](QWidget* dialog) {
    shown = true;
    auto* height = dialog->findChild<QLineEdit*>(QStringLiteral("TextBox1"));
    ASSERT_NE(height, nullptr);
    EXPECT_EQ(height->text(), QStringLiteral("20"));
    QTest::mouseClick(height, Qt::LeftButton);
    QApplication::processEvents();
    for (const QString& bad : {QStringLiteral("0"), QStringLiteral("x1"), QStringLiteral("-3")}) {
      height->selectAll();
      QTest::keyClicks(height, bad);
      messages_before = driver.messages.size();
      QTest::keyClick(height, Qt::Key_Tab);
      ASSERT_TRUE(WaitFor([&] { return driver.messages.size() > messages_before; }))
          << bad.toStdString();
      EXPECT_NE(driver.messages.back().find("1以上の整数を入力して下さい。(既定値：20)"),
                std::string::npos);
      EXPECT_TRUE(WaitFor([&] { return QApplication::focusWidget() == height; }))
          << bad.toStdString();
    }
    // A good height passes, and saving stores it.
    height->selectAll();
    QTest::keyClicks(height, QStringLiteral("25"));
    messages_before = driver.messages.size();
    QTest::keyClick(height, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), height);
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("CommandButton4")),
                      Qt::LeftButton);
  });
  QTest::keyClick(window.grid(), Qt::Key_P, Qt::ControlModifier);
  EXPECT_TRUE(shown);
  EXPECT_EQ(driver.messages.size(), messages_before);
  EXPECT_EQ(window.addin().module().GetIniValue("No", ""), "25");
}

TEST_F(WindowTest, WrongAnswerReportShowsTheTotalsOfEachAttemptInItsChart) {
  StartBlank();
  host::Worksheet& questions = ActiveSheet();
  for (int32_t row = 1; row <= 5; ++row) questions.SetText(row, 4, "問題" + std::to_string(row));
  questions.SetText(7, 4, "空行の後の問題");  // after the first empty question: not counted
  questions.SetText(7, 6, "X");
  // Attempt 1: "X", "x" and the full-width mark count; a doubled mark does not.
  questions.SetText(1, 6, "X");
  questions.SetText(2, 6, "x");
  questions.SetText(3, 6, "XX");
  questions.SetText(4, 6, "Ｘ");
  questions.SetText(2, 7, "X");  // attempt 2
  questions.SetText(5, 9, "X");  // attempt 4, after an attempt without marks
  EXPECT_FALSE(window.findChild<QWidget*>(QStringLiteral("NgChartDock"))->isVisible());
  QTest::keyClick(window.grid(), Qt::Key_Q, Qt::ControlModifier);
  const NgChart* chart = window.ng_chart();
  EXPECT_EQ(chart->totals(), (std::vector<int32_t>{3, 1, 0, 1}));
  EXPECT_TRUE(chart->isVisible());
  ASSERT_FALSE(driver.messages.empty());
  EXPECT_NE(driver.messages.front().find("第 1 回目の間違い総数は、 3 問です。"),
            std::string::npos);
  // Bars stand in proportion to the totals; an attempt without marks has none.
  EXPECT_NEAR(chart->BarRect(0).height(), 3 * chart->BarRect(1).height(), 1.0);
  EXPECT_TRUE(chart->BarRect(2).isEmpty());
  EXPECT_DOUBLE_EQ(chart->BarRect(3).height(), chart->BarRect(1).height());
  EXPECT_TRUE(chart->rect().contains(chart->BarRect(0).toRect()));
  EXPECT_LT(chart->BarRect(0).right(), chart->BarRect(1).left());
}

TEST(NgChartTotals, KeepsAttemptOneAndDropsTheAttemptsAfterTheLastMark) {
  NgChart chart;
  chart.resize(260, 180);
  chart.SetTotals({0, 0, 0}, QStringLiteral("ミラトス"));
  EXPECT_EQ(chart.totals(), std::vector<int32_t>{0});
  EXPECT_TRUE(chart.BarRect(0).isEmpty());
  chart.SetTotals({2, 0, 5, 0, 0, 0, 0, 0, 0, 0}, QStringLiteral("ミラトス"));
  EXPECT_EQ(chart.totals(), (std::vector<int32_t>{2, 0, 5}));
  EXPECT_TRUE(chart.BarRect(3).isEmpty());
  // The tallest bar reaches most of the way up without leaving the widget.
  chart.SetTotals({7}, QStringLiteral("ミラトス"));
  const QRectF tallest = chart.BarRect(0);
  chart.SetTotals({8}, QStringLiteral("ミラトス"));
  EXPECT_GT(tallest.top(), 0);
  EXPECT_DOUBLE_EQ(chart.BarRect(0).bottom(), tallest.bottom());
  EXPECT_NEAR(tallest.height() / chart.BarRect(0).height(), 7.0 / 8.0, 1e-9);
  chart.SetTotals({1000000}, QStringLiteral("ミラトス"));
  EXPECT_GT(chart.BarRect(0).top(), 0);
}

TEST_F(WindowTest, PrintPreviewAndPdfTakeTheirPagesFromThePrintLayout) {
  StartBlank();
  MakeTestSheet();
  const render::PrintLayout layout = render::LayoutPrintPages(ActiveSheet());
  int pages = -1;
  driver.Expect("PrintPreview", [&](QWidget* preview) {
    auto* view = preview->findChild<QPrintPreviewWidget*>();
    pages = view->pageCount();
    view->setZoomFactor(2.0);
    view->setCurrentPage(pages);
    EXPECT_EQ(view->currentPage(), pages);
    preview->close();
  });
  // One preview item in the File menu.
  int previews = 0;
  for (QAction* action : window.menuBar()->actions().front()->menu()->actions()) {
    previews += action->text() == QStringLiteral("印刷プレビュー(&V)");
  }
  EXPECT_EQ(previews, 1);
  window.findChild<QAction*>(QStringLiteral("PrintPreviewAction"))->trigger();
  EXPECT_EQ(pages, static_cast<int>(layout.pages.size()));
  const std::string pdf = home.path() + "/Documents/test.pdf";
  ASSERT_TRUE(window.ExportPdfTo(QString::fromStdString(pdf)));
  std::ifstream in(pdf, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes.rfind("%PDF", 0), 0u);
  EXPECT_TRUE(window.statusBar()->currentMessage().startsWith(
      QStringLiteral("%1 ページ").arg(layout.pages.size())));
  // An unwritable place is refused with a message, never reported as written.
  EXPECT_FALSE(window.ExportPdfTo(QStringLiteral("/nonexistent-folder/x.pdf")));
  ASSERT_FALSE(driver.messages.empty());
  EXPECT_NE(driver.messages.back().find("76"), std::string::npos);
}

TEST_F(WindowTest, TheStrokeKeyIsWrittenFromTheFileMenu) {
  StartBlank();
  MakeTestSheet();
  bool offered = false;
  for (QAction* action : window.findChildren<QAction*>()) {
    offered |= action->text().startsWith(QStringLiteral("書き順つき解答を PDF に書き出し"));
  }
  EXPECT_TRUE(offered);
  const std::string pdf = home.path() + "/Documents/key.pdf";
  ASSERT_TRUE(window.ExportStrokeKeyTo(QString::fromStdString(pdf)));
  std::ifstream in(pdf, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes.rfind("%PDF", 0), 0u);
  EXPECT_TRUE(
      window.statusBar()->currentMessage().startsWith(QStringLiteral("書き順つき解答 1 ページ")));
  // An unwritable place is refused with a message, never reported as written.
  EXPECT_FALSE(window.ExportStrokeKeyTo(QStringLiteral("/nonexistent-folder/key.pdf")));
  ASSERT_FALSE(driver.messages.empty());
  EXPECT_NE(driver.messages.back().find("76"), std::string::npos);
}

TEST_F(WindowTest, RestingOnACellShowsItsComment) {
  StartBlank();
  // The blank template explains its columns in comments on row 1.
  const QPoint at = CellCenter(1, 4);
  QHelpEvent help(QEvent::ToolTip, at, window.grid()->viewport()->mapToGlobal(at));
  QApplication::sendEvent(window.grid()->viewport(), &help);
  EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("問題文を入力します")));
  const QPoint empty = CellCenter(5, 4);
  QHelpEvent none(QEvent::ToolTip, empty, window.grid()->viewport()->mapToGlobal(empty));
  QApplication::sendEvent(window.grid()->viewport(), &none);
  EXPECT_TRUE(WaitFor([] { return !QToolTip::isVisible(); }, 2000));
}

TEST_F(WindowTest, HostPrintPreviewOpensAPreviewOfTheSheet) {
  StartBlank();
  Click(1, 4);
  Compose(QStringLiteral("字を書く"));
  bool previewed = false;
  driver.Expect("PrintPreview", [&](QWidget* preview) {
    previewed = true;
    EXPECT_TRUE(preview->windowTitle().contains(QStringLiteral("ミラトス")));
    preview->close();
  });
  window.app().ActiveWindow().SelectedSheets().PrintPreview();
  EXPECT_TRUE(previewed);
}

TEST_F(WindowTest, OpensTheSampleWorkbookInPlaceOfTheUntouchedBlankOne) {
  StartBlank();
  ASSERT_TRUE(window.OpenPath(QStringLiteral(TESSARIN_SAMPLE_WORKBOOK)));
  EXPECT_EQ(window.app().Workbooks().Count(), 1);  // the blank one nobody touched gave way
  EXPECT_FALSE(window.isWindowModified());
  EXPECT_FALSE(ActiveSheet().TextView(1, 4).empty());
  EXPECT_GT(window.tabs()->count(), 0);
}

TEST_F(WindowTest, SavingAnImportedTextFileAsksWhereTheWorkbookGoes) {
  StartBlank();
  const std::string text_path = home.path() + "/Documents/questions.txt";
  std::ofstream(text_path) << "a\tb\tc\t漢字をかく\t書\n";
  ASSERT_TRUE(window.OpenPath(QString::fromStdString(text_path)));
  QString suggested;
  driver.Expect("SaveFileBox", [&](QWidget* box) {
    suggested = box->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
    box->close();
  });
  EXPECT_FALSE(window.SaveActive());
  EXPECT_EQ(suggested, QStringLiteral("questions.xlsx"));
  std::ifstream still(text_path);
  std::string line;
  std::getline(still, line);
  EXPECT_EQ(line, "a\tb\tc\t漢字をかく\t書");
}

TEST_F(WindowTest, CtrlWheelZoomsTheSheetWindow) {
  StartBlank();
  const int width = window.grid()->CellRect(1, 4).width();
  QWheelEvent wheel(CellCenter(2, 2), window.grid()->viewport()->mapToGlobal(CellCenter(2, 2)), {},
                    {0, 120}, Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(window.grid()->viewport(), &wheel);
  EXPECT_EQ(ActiveSheet().view().zoom, 110);
  EXPECT_NEAR(window.grid()->CellRect(1, 4).width(), width * 1.1, 2);
}

TEST_F(WindowTest, MethodErrorsShowTheirNumberAndDescription) {
  StartBlank();
  window.app().Sheets().Item(1).Protect();
  Click(1, 4);
  QInputMethodEvent commit;
  commit.setCommitString(QStringLiteral("字"));
  QApplication::sendEvent(window.grid(), &commit);
  QTest::keyClick(window.grid()->editor(), Qt::Key_Return);
  ASSERT_FALSE(driver.messages.empty());
  EXPECT_NE(driver.messages.back().find("1004"), std::string::npos);
  EXPECT_TRUE(ActiveSheet().Value(1, 4).IsEmpty());
}

TEST_F(WindowTest, ClosingAsksToSaveChangesAndRunsShutDown) {
  StartBlank();
  Click(1, 4);
  Compose(QStringLiteral("字を書く"));
  bool asked = false;
  driver.Expect("SaveChangesBox", [&](QWidget* box) {
    asked = true;
    QTest::keyClick(box, Qt::Key_Escape);  // cancel: the window stays
  });
  EXPECT_FALSE(window.close());
  EXPECT_TRUE(asked);
  EXPECT_TRUE(window.isVisible());
  driver.Expect("SaveChangesBox", [&](QWidget* box) {
    static_cast<QMessageBox*>(box)->button(QMessageBox::Discard)->click();
  });
  EXPECT_TRUE(window.close());
  // END_Shori took the add-in's submenu down.
  EXPECT_EQ(window.app().CommandBars().Item("cell").Controls().Item(1).Caption(), "切り取り(&T)");
}

TEST_F(WindowTest, ClosingAsksAfterAnyChangeOfTheModelAndNotAfterSaving) {
  StartBlank();
  EXPECT_FALSE(window.isWindowModified());  // the blank template holds nothing to lose
  // Changes a look at cell values would miss: a page break, a comment shown.
  host::Sheet sheet = window.app().ActiveSheet();
  sheet.HPageBreaks().Add(window.app().Range("A9"));
  window.app().Range("D1").Comment().SetVisible(true);
  bool asked = false;
  driver.Expect("SaveChangesBox", [&](QWidget* box) {
    asked = true;
    QTest::keyClick(box, Qt::Key_Escape);
  });
  EXPECT_FALSE(window.close());
  EXPECT_TRUE(asked);
  const std::string path = home.path() + "/Documents/record.xlsx";
  driver.Expect("SaveFileBox", [&](QWidget* box) {
    box->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
        ->setText(QString::fromStdString(path));
    QMetaObject::invokeMethod(box, "accept");
  });
  ASSERT_TRUE(window.SaveActive());
  const size_t shown = driver.messages.size();
  EXPECT_TRUE(window.close());
  EXPECT_EQ(driver.messages.size(), shown);  // nothing moved since the save: no question
}

TEST_F(WindowTest, SheetTabsRenameCopyInsertAndDeleteSheets) {
  StartBlank();
  std::unique_ptr<QMenu> menu(window.tabs()->BuildMenu(0));
  QStringList items;
  for (QAction* action : menu->actions()) items << action->text();
  EXPECT_EQ(items, (QStringList{QStringLiteral("挿入(&I)"), QStringLiteral("削除(&D)"),
                                QStringLiteral("名前の変更(&R)"),
                                QStringLiteral("移動またはコピー(&M)...")}));
  const auto names = [&] {
    std::vector<std::string> out;
    for (int i = 0; i < window.tabs()->count(); ++i)
      out.push_back(window.tabs()->tabText(i).toStdString());
    return out;
  };

  // A double-click renames; a name the host refuses is explained and may be corrected.
  int asked = 0;
  const auto rename_to = [&](QString name) {
    driver.Expect("RenameSheetBox", [&, name](QWidget* box) {
      ++asked;
      auto* dialog = static_cast<QInputDialog*>(box);
      dialog->setTextValue(name);
      dialog->accept();
    });
  };
  rename_to(QStringLiteral("bad/name"));
  rename_to(QStringLiteral("ミラトス4nen"));
  QTest::mouseDClick(window.tabs(), Qt::LeftButton, {}, window.tabs()->tabRect(0).center());
  EXPECT_EQ(asked, 2);
  ASSERT_FALSE(driver.messages.empty());
  EXPECT_NE(driver.messages.back().find("1004"), std::string::npos);
  EXPECT_EQ(names(), (std::vector<std::string>{"ミラトス4nen"}));
  EXPECT_TRUE(window.isWindowModified());

  // A copy at the end, which becomes the active sheet.
  driver.Expect("MoveOrCopyBox", [](QWidget* box) {
    box->findChild<QCheckBox*>(QStringLiteral("MakeCopy"))->setChecked(true);
    box->findChild<QListWidget*>(QStringLiteral("BeforeSheet"))->setCurrentRow(1);
    static_cast<QDialog*>(box)->accept();
  });
  menu->actions().at(3)->trigger();
  EXPECT_EQ(names(), (std::vector<std::string>{"ミラトス4nen", "ミラトス4nen (2)"}));
  EXPECT_EQ(ActiveSheet().name(), "ミラトス4nen (2)");
  EXPECT_EQ(ActiveSheet().CommentCount(), Sheet("ミラトス4nen").CommentCount());

  // Inserting before the copy, then deleting the copy after saying yes.
  std::unique_ptr<QMenu>(window.tabs()->BuildMenu(1))->actions().at(0)->trigger();
  EXPECT_EQ(names(), (std::vector<std::string>{"ミラトス4nen", "Sheet1", "ミラトス4nen (2)"}));
  EXPECT_EQ(ActiveSheet().name(), "Sheet1");
  driver.Expect("DeleteSheetBox", [](QWidget* box) {
    static_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click();
  });
  std::unique_ptr<QMenu>(window.tabs()->BuildMenu(2))->actions().at(1)->trigger();
  EXPECT_EQ(names(), (std::vector<std::string>{"ミラトス4nen", "Sheet1"}));
  EXPECT_EQ(driver.pending(), 0u);
}

TEST_F(WindowTest, CtrlTOnAListOffersItsSheetAsTheQuestionSheet) {
  StartBlank();
  const std::string csv = home.path() + "/Documents/4nen.csv";
  // The third question is far too long for its cell.
  std::string long_question;
  for (int i = 0; i < 12; ++i) long_question += "あいうえお";
  std::ofstream(csv) << ",,,漢字をかく,書\n,,,海をわたる,渡\n,,," << long_question << "漢字,字\n";
  ASSERT_TRUE(window.OpenPath(QString::fromStdString(csv)));
  ASSERT_EQ(ActiveSheet().name(), "4nen");
  // Declined: nothing is renamed, and the add-in says what it needs.
  driver.Expect("ListSheetBox", [](QWidget* box) {
    static_cast<QMessageBox*>(box)->button(QMessageBox::No)->click();
  });
  QTest::keyClick(window.grid(), Qt::Key_T, Qt::ControlModifier);
  EXPECT_EQ(ActiveSheet().name(), "4nen");
  ASSERT_FALSE(driver.messages.empty());
  EXPECT_NE(driver.messages.back().find("ミラトス"), std::string::npos);
  Refocus();
  // Accepted: the sheet takes the command line's name and the test is made from it.
  QString offer;
  driver.Expect("ListSheetBox", [&](QWidget* box) {
    offer = static_cast<QMessageBox*>(box)->text();
    static_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click();
  });
  driver.Expect("KanjiForm1", [&](QWidget* dialog) {
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("CommandButton1")),
                      Qt::LeftButton);
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("CommandButton2")),
                      Qt::LeftButton);
  });
  QTest::keyClick(window.grid(), Qt::Key_T, Qt::ControlModifier);
  EXPECT_TRUE(offer.contains(QStringLiteral("ミラトス4nen")));
  EXPECT_EQ(ActiveSheet().name(), "テスト用紙 【40】");
  EXPECT_NE(Sheet("ミラトス4nen").TextView(1, 4), "");
  EXPECT_EQ(driver.pending(), 0u);
  // After the dialog, the question that prints too small is named by its row.
  ASSERT_FALSE(driver.messages.empty());
  EXPECT_NE(driver.messages.back().find("3 行目"), std::string::npos) << driver.messages.back();
  EXPECT_NE(driver.messages.back().find("62 文字"), std::string::npos) << driver.messages.back();
}

TEST_F(WindowTest, SavingOverAFileChangedOnDiskAsksFirst) {
  StartBlank();
  Click(1, 4);
  Compose(QStringLiteral("字"));
  const std::string path = home.path() + "/Documents/問題.xlsx";
  driver.Expect("SaveFileBox", [&](QWidget* box) {
    auto* dialog = static_cast<QFileDialog*>(box);
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
        ->setText(QString::fromStdString(path));
    QMetaObject::invokeMethod(dialog, "accept");
  });
  ASSERT_TRUE(window.SaveActive());
  EXPECT_FALSE(window.isWindowModified());
  ASSERT_EQ(window.app().active_workbook()->FullName(), path);
  std::ofstream(path, std::ios::app) << "someone else";
  const auto size = std::filesystem::file_size(path);
  Click(2, 4);
  Compose(QStringLiteral("字"));
  bool asked = false;
  driver.Expect("QMessageBox", [&](QWidget* box) {
    asked = true;
    static_cast<QMessageBox*>(box)->button(QMessageBox::No)->click();
  });
  EXPECT_FALSE(window.SaveActive());
  EXPECT_TRUE(asked);
  EXPECT_EQ(std::filesystem::file_size(path), size);
}

}  // namespace
}  // namespace tessarin::desktop
