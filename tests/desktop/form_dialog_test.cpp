// Forms on screen: controls where the form puts them, gestures into the form's handlers, the
// Exit check keeping the focus, control arrays and pages.
#include "app/desktop/form_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "app/desktop/qt_ui.h"
#include "app/desktop/translations.h"
#include "tests/desktop/modal_driver.h"
#include "tests/forms/test_dialog.h"

namespace tessarin::desktop {
namespace {

using testing::ModalDriver;

// A shown window for the dialogs to open over.
struct Screen {
  Screen() { window.show(); }
  QWidget window;
};

// The test dialog gives most controls no size, so buttons are clicked without the mouse.
template <class T>
T* Widget(QWidget* dialog, const char* name) {
  return dialog->findChild<T*>(QString::fromUtf8(name));
}

TEST(FormDialog, BuildsEveryControlAtItsPositionWithItsCaption) {
  Screen screen;
  QtUi ui(&screen.window);
  forms::TestDialog form(ui);
  ModalDriver driver;
  bool seen = false;
  driver.Expect("TestForm1", [&](QWidget* dialog) {
    seen = true;
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("テスト"));
    EXPECT_EQ(dialog->size(), QSize(FormPixels(180), FormPixels(210)));
    auto* t1 = Widget<QLineEdit>(dialog, "T1");
    ASSERT_NE(t1, nullptr);
    EXPECT_EQ(t1->geometry(),
              QRect(FormPixels(55.5), FormPixels(42.7), FormPixels(30), FormPixels(15)));
    EXPECT_EQ(t1->text(), QStringLiteral("1"));
    EXPECT_TRUE(t1->hasFocus());
    EXPECT_EQ(Widget<QLabel>(dialog, "Label1")->text(), QStringLiteral("出題範囲"));
    EXPECT_EQ(Widget<QCheckBox>(dialog, "CBox")->text(), QStringLiteral("間違い度数を無視する"));
    EXPECT_TRUE(Widget<QPushButton>(dialog, "TB1")->isCheckable());
    EXPECT_NE(Widget<QPushButton>(dialog, "CMD(2)"), nullptr);
    auto* pages = Widget<QTabWidget>(dialog, "MultiPage1");
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(pages->count(), 2);
    // TextBox8 lives on the second page.
    EXPECT_EQ(Widget<QLineEdit>(dialog, "TextBox8")->parentWidget(), pages->widget(1));
    Widget<QPushButton>(dialog, "CommandButton2")->click();
  });
  form.Show(ui);
  EXPECT_TRUE(seen);
  EXPECT_EQ(form.unloads, 1);
  EXPECT_EQ(form.activations, 1);
}

TEST(FormDialog, ExitCheckKeepsTheFocusAndStopsTheClick) {
  Screen screen;
  QtUi ui(&screen.window);
  ui.set_title("ミラトス");  // as the add-in does when it attaches to the window's Ui
  forms::TestDialog form(ui);
  ModalDriver driver;
  driver.Expect("TestForm1", [&](QWidget* dialog) {
    auto* t1 = Widget<QLineEdit>(dialog, "T1");
    t1->selectAll();
    QTest::keyClicks(t1, "0");
    EXPECT_EQ(form.Get<forms::TextBox>("T1").text(), "0");
    QTest::keyClick(t1, Qt::Key_Tab);
    EXPECT_EQ(form.focus()->name(), "T1");
    // The create button does not run while the box refuses its text.
    Widget<QPushButton>(dialog, "CommandButton1")->click();
    EXPECT_EQ(form.creates, 0);
    EXPECT_EQ(form.focus()->name(), "T1");
    t1->selectAll();
    QTest::keyClicks(t1, "3");
    QTest::keyClick(t1, Qt::Key_Tab);
    EXPECT_EQ(form.focus()->name(), "T2");
    Widget<QPushButton>(dialog, "CommandButton1")->click();
    EXPECT_EQ(form.creates, 1);
    Widget<QPushButton>(dialog, "CMD(1)")->click();
    EXPECT_EQ(form.clicked, std::vector<int>{1});
    // Ticking one option clears the other on screen too.
    Widget<QCheckBox>(dialog, "CheckBox1")->click();
    Widget<QCheckBox>(dialog, "CBox")->click();
    EXPECT_FALSE(Widget<QCheckBox>(dialog, "CheckBox1")->isChecked());
    dialog->close();
  });
  form.Show(ui);
  EXPECT_EQ(driver.pending(), 0u);
  ASSERT_EQ(driver.messages.size(), 2u);
  EXPECT_EQ(driver.messages[0], "ミラトス|1以上の整数を入力して下さい。 ");
  EXPECT_EQ(form.unloads, 1);
}

TEST(FormDialog, CloseBoxThatTheFormRefusesKeepsItOpen) {
  Screen screen;
  QtUi ui(&screen.window);
  forms::TestDialog form(ui);
  form.refuse_close = true;
  ModalDriver driver;
  driver.Expect("TestForm1", [&](QWidget* dialog) {
    dialog->close();
    EXPECT_TRUE(dialog->isVisible());
    form.refuse_close = false;
    dialog->close();
  });
  form.Show(ui);
  EXPECT_FALSE(form.loaded());
}

TEST(FormDialog, HandlerErrorClosesTheDialogAndReachesTheCaller) {
  Screen screen;
  QtUi ui(&screen.window);
  forms::TestDialog form(ui);
  form.Get<forms::CommandButton>("CommandButton1").on_click = [] {
    throw host::HostError(1004, "protected");
  };
  ModalDriver driver;
  driver.Expect("TestForm1",
                [&](QWidget* dialog) { Widget<QPushButton>(dialog, "CommandButton1")->click(); });
  EXPECT_THROW(form.Show(ui), host::HostError);
  EXPECT_FALSE(form.visible());
}

TEST(QtUi, FileDialogFilterListsEveryFileTheHostOpens) {
  EXPECT_EQ(QtUi::FileDialogFilter("Microsoft Excelブック,*.xl*,テキストファイル,*.txt"),
            QStringLiteral("ブックとテキスト (*.xlsx *.xlsm *.xls *.csv *.txt);;"
                           "Microsoft Excelブック (*.xlsx *.xlsm *.xls);;"
                           "テキストファイル (*.txt *.csv)"));
  EXPECT_EQ(
      QtUi::FileDialogFilter("PDF,*.pdf;*.PDF"),
      QStringLiteral("ブックとテキスト (*.xlsx *.xlsm *.xls *.csv *.txt);;PDF (*.pdf *.PDF)"));
}

TEST(QtTranslations, QtsOwnDialogsSpeakTheUsersLanguage) {
  ASSERT_TRUE(InstallQtTranslations(*QCoreApplication::instance(), QLocale(QLocale::Japanese)));
  // The open-file dialog's own words, and a standard button's.
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "&Open"), QStringLiteral("開く(&O)"));
  EXPECT_NE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
  // A language Qt has no words for leaves it in English.
  EXPECT_FALSE(InstallQtTranslations(*QCoreApplication::instance(), QLocale(QLocale::Swahili)));
}

}  // namespace
}  // namespace tessarin::desktop
