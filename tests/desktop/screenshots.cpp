// desktop_screenshots: grabs the window, the test sheet and each dialog into PNG files under the
// folder given as the first argument, for the documentation and for looking at them.
#include <QApplication>
#include <QDir>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <utility>
#include <vector>

#include "app/desktop/main_window.h"
#include "app/desktop/paper_pictures.h"
#include "app/desktop/sheet_grid.h"
#include "app/desktop/sheet_tabs.h"
#include "app/desktop/translations.h"
#include "tests/desktop/modal_driver.h"
#include "tests/workbook/test_env.h"

using tessarin::desktop::MainWindow;
using tessarin::desktop::testing::ModalDriver;
using tessarin::desktop::testing::WaitFor;

namespace {

QString folder;

void Grab(QWidget* widget, const char* name) {
  QApplication::processEvents();
  const QString path = folder + "/" + name + ".png";
  widget->grab().save(path);
  std::printf("%s\n", qPrintable(path));
}

// The offscreen platform does not give the focus back when a dialog closes.
void Activate(MainWindow& window) {
  window.activateWindow();
  QApplication::setActiveWindow(&window);
  (void)QTest::qWaitForWindowActive(&window);  // may time out offscreen; the focus is set anyway
  window.grid()->setFocus();
}

void Type(MainWindow& window, int row, int col, const QString& text) {
  QTest::mouseClick(window.grid()->viewport(), Qt::LeftButton, {},
                    window.grid()->CellRect(row, col).center());
  QInputMethodEvent commit;
  commit.setCommitString(text);
  QApplication::sendEvent(window.grid(), &commit);
  QTest::keyClick(window.grid()->editor(), Qt::Key_Return);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  // Qt's own dialogs speak the locale's language (LANG=ja_JP.UTF-8 for Japanese).
  tessarin::desktop::InstallQtTranslations(app);
  folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
  QDir().mkpath(folder);
  tessarin::testing::TempHome home;
  ModalDriver driver;
  MainWindow window;
  window.resize(1100, 720);
  driver.Expect("FILE_Sentaku", [](QWidget* dialog) {
    Grab(dialog, "file-selection-dialog");
    dialog->close();
  });
  window.Start();
  WaitFor([&] { return window.app().active_workbook() != nullptr; });
  window.activateWindow();
  QApplication::setActiveWindow(&window);
  (void)QTest::qWaitForWindowActive(&window);  // may time out offscreen; the focus is set anyway
  const char* questions[][2] = {{"漢字をかく", "書"}, {"海をわたる", "渡"},
                                {"山にのぼる", "登"}, {"友だちとあそぶ", "遊"},
                                {"本をよむ", "読"},   {"花がさく", "咲"}};
  int row = 1;
  for (const auto& q : questions) {
    Type(window, row, 4, QString::fromUtf8(q[0]));
    Type(window, row, 5, QString::fromUtf8(q[1]));
    ++row;
  }
  QTest::mouseClick(window.grid()->viewport(), Qt::LeftButton, {},
                    window.grid()->CellRect(1, 4).center());
  Grab(&window, "main-window");

  // A visible phonetic guide, set in the editor and painted as ruby above the question.
  window.grid()->setFocus();
  driver.Expect("PhoneticEditor", [](QWidget* dialog) {
    Grab(dialog, "phonetic-editor");
    static_cast<QDialog*>(dialog)->accept();
  });
  QTest::keyClick(window.grid(), Qt::Key_E, Qt::ControlModifier);
  // At 200 percent (Ctrl and the wheel), where the small guide reads easily.
  window.app().active_workbook()->active_sheet()->view().zoom = 200;
  window.grid()->Reload();
  Grab(window.grid(), "phonetic-guide-in-grid");
  window.app().active_workbook()->active_sheet()->view().zoom = 100;
  window.grid()->Reload();

  Activate(window);
  driver.Expect("KanjiForm1", [&](QWidget* dialog) {
    Grab(dialog, "test-creation-dialog");
    dialog->findChild<QPushButton*>(QStringLiteral("CommandButton1"))->click();
    dialog->findChild<QPushButton*>(QStringLiteral("CommandButton2"))->click();
  });
  QTest::keyClick(window.grid(), Qt::Key_T, Qt::ControlModifier);
  Grab(&window, "test-sheet");

  driver.Expect("PrintPreview", [](QWidget* preview) {
    preview->resize(900, 760);
    Grab(preview, "print-preview");
    preview->close();
  });
  window.findChild<QAction*>(QStringLiteral("PrintPreviewAction"))->trigger();

  driver.Expect("QMessageBox", [](QWidget* box) {
    Grab(box, "version-box");
    static_cast<QDialog*>(box)->accept();
  });
  window.RunMacro("K_QVersion");

  std::unique_ptr<QMenu> menu(window.BuildCellMenu());
  menu->popup(window.mapToGlobal(QPoint(200, 200)));
  QApplication::processEvents();
  QMenu* sub = menu->actions().front()->menu();
  sub->popup(window.mapToGlobal(QPoint(200 + menu->width(), 200)));
  Grab(menu.get(), "cell-menu");
  Grab(sub, "cell-submenu");
  sub->close();
  menu->close();

  for (const char* macro : {"K_SetPaper", "K_Command2"}) {
    driver.Expect(
        macro == std::string("K_SetPaper") ? "PrintForm" : "Form1", [macro](QWidget* dialog) {
          Grab(dialog, macro == std::string("K_SetPaper") ? "paper-dialog" : "grade-dialog");
          dialog->close();
        });
  }
  window.RunMacro("K_SetPaper");
  window.RunMacro("K_Command2");
  // The wrong-answer report with its chart: marks of three attempts.
  window.tabs()->setCurrentIndex(0);
  auto& sheet = *window.app().active_workbook()->active_sheet();
  for (const auto& [r, c] :
       std::vector<std::pair<int, int>>{{1, 6}, {2, 6}, {4, 6}, {5, 6}, {2, 7}, {5, 7}, {5, 8}}) {
    sheet.SetText(r, c, "X");
  }
  window.grid()->Reload();
  driver.Expect("QMessageBox", [&window, &driver](QWidget* box) {
    Grab(&window, "ng-report-chart");
    Grab(box, "ng-report-message");
    // Only now: grabbing runs the event loop, which would hand this box to the next handler.
    driver.Expect("QMessageBox", [](QWidget* next) {
      static_cast<QMessageBox*>(next)->button(QMessageBox::No)->click();
    });
    static_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
  });
  window.RunMacro("K_NG_Report");
  // The paper dialog's two pictures, as the dialog shows them.
  for (const char* name : {"Image1", "Image2"}) {
    tessarin::forms::Image image(name);
    const QString path =
        folder + "/paper-picture-" + (name == std::string("Image1") ? "40" : "20") + ".png";
    tessarin::desktop::PaperPicture(image, QSize(272, 264)).save(path);
    std::printf("%s\n", qPrintable(path));
  }

  // A teacher's own list kept as CSV: Ctrl+T offers its sheet as the question sheet, renames it
  // and makes the test, shown from its first question.
  const std::string csv = home.path() + "/Documents/4nen.csv";
  {
    std::ofstream out(csv);
    const char* list[] = {"漢字をかく,書", "海をわたる,渡", "山にのぼる,登", "友だちとあそぶ,遊",
                          "本をよむ,読",   "花がさく,咲",   "雨がふる,降",   "川でおよぐ,泳"};
    for (const char* line : list) out << ",,," << line << "\n";
  }
  for (const auto& book : window.app().workbooks()) book->set_saved(true);
  window.findChild<QWidget*>(QStringLiteral("NgChartDock"))->hide();
  window.OpenPath(QString::fromStdString(csv));
  Activate(window);
  driver.Expect("ListSheetBox", [](QWidget* box) {
    Grab(box, "list-sheet-offer");
    static_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click();
  });
  driver.Expect("KanjiForm1", [&](QWidget* dialog) {
    dialog->findChild<QPushButton*>(QStringLiteral("CommandButton1"))->click();
    Grab(&window, "test-from-csv");
    dialog->findChild<QPushButton*>(QStringLiteral("CommandButton2"))->click();
  });
  QTest::keyClick(window.grid(), Qt::Key_T, Qt::ControlModifier);

  // File > Open: Qt's own dialog, in the locale's language.
  driver.Expect("OpenBookBox", [](QWidget* dialog) {
    dialog->resize(820, 520);
    Grab(dialog, "open-file-dialog");
    dialog->close();
  });
  window.findChild<QAction*>(QStringLiteral("OpenAction"))->trigger();

  for (const std::string& message : driver.messages) std::printf("message: %s\n", message.c_str());
  window.app().active_workbook()->set_saved(true);
  for (const auto& book : window.app().workbooks()) book->set_saved(true);
  window.close();
  return 0;
}
