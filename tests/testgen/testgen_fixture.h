// A host for test-generation tests: a real Application holding one question workbook, a scripted
// Ui that records its events, a module wired to both, and a temporary home for the settings file.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/forms/queued_ui.h"
#include "core/host/application.h"
#include "core/host/host_error.h"
#include "core/host/range.h"
#include "core/workbook/kanji_module.h"
#include "tests/support/temp_home.h"
#include "tests/testgen/reference_order.h"

namespace tessarin::testgen {

// What a user does on a shown form.
using forms::UserAction;
inline UserAction Set(std::string box, std::string text) { return UserAction::Set(box, text); }
inline UserAction Check(std::string box, bool value) { return UserAction::Check(box, value); }
inline UserAction Toggle(std::string box, bool value) { return UserAction::Toggle(box, value); }
inline UserAction Click(std::string button) { return UserAction::Click(button); }
inline UserAction Close() { return UserAction::Close(); }
using Kind = forms::UiEvent::Kind;

class TestgenTest : public ::testing::Test {
 protected:
  TestgenTest() {
    module_.XlApp = &app_;
    module_.ui = &ui_;
    ui_.set_title(std::string(workbook::kAddinTitle));  // as the add-in does when it is made
    app_.Workbooks().Add();
    app_.ActiveSheet().SetName("ミラトス");
    module_.QSheetName = module_.TestTitle = "ミラトス";
  }

  host::Sheet Questions() { return app_.Sheets().Item("ミラトス"); }
  host::Sheet Sheet(std::string_view name) { return app_.Sheets().Item(name); }

  // Types into a cell of the question sheet as a user would ("0427" a number, "'0427" text).
  void Put(std::string_view address, std::string_view typed) {
    Questions().Range(address).SetValue(host::ParseInput(typed));
  }
  // Questions "問<row>" in D1..D<count>.
  void MakeQuestions(int count) {
    for (int row = 1; row <= count; ++row) {
      Questions().Cells(row, 4).SetText("問" + std::to_string(row));
    }
  }

  // A varied sheet of `count` rows: marks, gaps, exclusions, must-appear rows and Q counts
  // spread by simple arithmetic, written both to the sheet and to the reference rows.
  std::vector<reference::Row> MakeVariedQuestions(int count) {
    static const char* kMarks[] = {"X", "x", "Ｘ", "", "除", "3", "X", "S", "X", "外"};
    std::vector<reference::Row> rows;
    for (int row = 1; row <= count; ++row) {
      reference::Row ref;
      Questions().Cells(row, 4).SetText("問" + std::to_string(row));
      const int marks = (row * 7) % 5;
      for (int m = 0; m < marks; ++m) {
        const char* mark = kMarks[(row + m * 3) % 10];
        if (row % 9 == 0 && m == marks - 1) mark = "除";
        ref.marks.push_back(mark);
        if (*mark) Questions().Cells(row, 6 + m).SetText(mark);
      }
      if (row % 11 == 4) {
        ref.must = true;
        Questions().Cells(row, 18).SetText("必出");
      }
      if (row % 6 == 1) {
        ref.times = row % 4;
        Questions().Cells(row, 17).SetNumber(ref.times);
      }
      rows.push_back(ref);
    }
    return rows;
  }

  // The settings file's text, "" when it does not exist.
  std::string SettingsText() {
    std::ifstream in(module_.settings.IniFilePath(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::vector<forms::UiEvent> Events(forms::UiEvent::Kind kind) const { return ui_.Events(kind); }
  std::vector<std::string> MessageTexts() const { return ui_.MessageTexts(); }
  // The dialog as shown after it activated and after each action.
  std::vector<forms::FormView> Views() const {
    std::vector<forms::FormView> views;
    for (const forms::UiEvent& e : Events(forms::UiEvent::Kind::kForm)) views.push_back(e.view);
    return views;
  }

  // Queues what the user does in the next showing of KanjiForm1.
  void QueueDialog(std::vector<forms::UserAction> actions) {
    ui_.QueueForm({"KanjiForm1", std::move(actions)});
  }

  testing::TempHome home_;  // the settings file starts absent
  host::Application app_;
  forms::QueuedUi ui_;
  workbook::KanjiModule module_;
};

// The number of a HostError that `action` throws, 0 when it throws none.
template <class F>
int ErrorNumber(F&& action) {
  try {
    action();
  } catch (const host::HostError& error) {
    return error.number();
  }
  return 0;
}

}  // namespace tessarin::testgen
