// Tests of the create button end to end: the test sheet it makes, the order of the questions,
// numbers, notes, counts, identification, pages, the refused empty range and reproducibility.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <variant>
#include <vector>

#include "core/host/constants.h"
#include "core/testgen/kanji_form.h"
#include "core/testgen/selection.h"
#include "tests/testgen/reference_order.h"
#include "tests/testgen/testgen_fixture.h"

namespace tessarin::testgen {
namespace {

// Box texts and check values by control name, applied in name order.
using Settings = std::map<std::string, std::variant<std::string, bool>>;

// Row and column of the q-th question placed on a test sheet (from 1).
host::CellRef Place(int q) { return {4 * ((q - 1) / 20) + 2, 20 - ((q - 1) % 20)}; }

class CreateTest : public TestgenTest {
 protected:
  // Opens the dialog, sets the boxes and options, presses create once or more, then closes
  // through the window.
  void Create(const Settings& settings, int presses = 1) {
    std::vector<UserAction> actions;
    for (const auto& [key, value] : settings) {
      if (const std::string* text = std::get_if<std::string>(&value)) {
        actions.push_back(Set(key, *text));
      } else if (key == "TB1") {
        actions.push_back(Toggle(key, std::get<bool>(value)));
      } else {
        actions.push_back(Check(key, std::get<bool>(value)));
      }
    }
    for (int i = 0; i < presses; ++i) actions.push_back(Click("CommandButton1"));
    QueueDialog(std::move(actions));
    Questions().Select();  // the user goes back to the question sheet
    START(module_, form_);
  }

  host::Sheet Test40() { return Sheet("テスト用紙 【40】"); }
  host::Sheet Test20() { return Sheet("テスト用紙 【20】"); }

  // The question texts in placing order, as far as the sheet holds them.
  std::vector<std::string> PlacedQuestions(const host::Sheet& sheet, int count) {
    std::vector<std::string> out;
    for (int q = 1; q <= count; ++q) {
      out.push_back(sheet.Cells(Place(q).row, Place(q).col).Text());
    }
    return out;
  }

  // Every value of A1:U<rows> as text, keyed by address.
  std::map<std::string, std::string> Values(const host::Sheet& sheet, int rows) {
    std::map<std::string, std::string> out;
    for (int r = 1; r <= rows; ++r) {
      for (int c = 1; c <= 21; ++c) {
        const host::Range cell = sheet.Cells(r, c);
        if (!cell.Value().IsEmpty()) out[cell.Address(host::kXlA1, false)] = cell.Text();
      }
    }
    return out;
  }

  KanjiForm1 form_{module_};
};

TEST_F(CreateTest, FirstTestAddsTheSheetAndPlacesTheReferenceOrder) {
  const std::vector<reference::Row> rows = MakeVariedQuestions(60);
  Create({{"T1", "1"}, {"T2", "60"}, {"T3", "40"}, {"T4", "1234"}});
  ASSERT_EQ(app_.Sheets().Count(), 2);
  host::Sheet test = Test40();
  EXPECT_EQ(app_.ActiveSheet(), test);
  EXPECT_FALSE(app_.ActiveWindow().DisplayGridlines());

  const std::vector<int> weights = reference::Weights(rows, {});
  const std::vector<int> order = reference::Order(weights, 1, 60, 40, 1234, {});
  const int placed = std::min<int>(40, order.size() - 1);
  ASSERT_GT(placed, 20);
  for (int q = 1; q <= placed; ++q) {
    const host::CellRef at = Place(q);
    EXPECT_EQ(test.Cells(at.row, at.col).Text(), "問" + std::to_string(order[q])) << q;
    EXPECT_EQ(test.Cells(at.row - 1, at.col).Value(), host::CellValue::Number(q));
    const host::Range cell = test.Cells(at.row, at.col);
    EXPECT_EQ(cell.Orientation(), host::kXlVertical);
    EXPECT_EQ(cell.VerticalAlignment(), host::kXlTop);
    EXPECT_EQ(cell.HorizontalAlignment(), host::kXlGeneral);
    EXPECT_TRUE(cell.ShrinkToFit());
  }
  EXPECT_EQ(test.Range("U8").Text(), "1234[1-60]40");
  EXPECT_EQ(test.PageSetup().PrintArea(), "A1:U8");
  EXPECT_EQ(form_.Get("CommandButton1").caption(), "再作成");
  EXPECT_EQ(Events(Kind::kBeep).size(), 1u);
  EXPECT_TRUE(app_.ScreenUpdating());
  EXPECT_EQ(SettingsText(),
            "RND:1234\r\nFMU:False\r\nKMU:False\r\nHST:False\r\nSTN:True\r\n1P40:True\r\n");
}

TEST_F(CreateTest, EveryOptionGivesTheReferenceTest) {
  const std::vector<reference::Row> rows = MakeVariedQuestions(70);
  struct Case {
    Settings settings;
    reference::Options options;
  };
  const std::vector<Case> cases = {
      {{{"CBox", true}}, {true, false, false}},
      {{{"CheckBox1", true}}, {false, true, false}},
      {{{"CheckBox2", true}}, {false, false, true}},
      {{{"CBox", true}, {"CheckBox2", true}}, {true, false, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.settings.begin()->first);
    Settings settings = c.settings;
    settings.insert({{"T1", "5"}, {"T2", "64"}, {"T3", "30"}, {"T4", "0427"}});
    // Q grows with every test; the reference takes the counts as they stand now.
    std::vector<reference::Row> now = rows;
    for (size_t i = 0; i < now.size(); ++i) {
      now[i].times = static_cast<int>(Questions().Cells(i + 1, 17).Value().number);
    }
    Create(settings);
    const std::vector<int> weights = reference::Weights(now, c.options);
    const std::vector<int> order = reference::Order(weights, 5, 64, 30, 427, c.options);
    const int placed = std::min<int>(30, order.size() - 1);
    std::vector<std::string> expected;
    for (int q = 1; q <= placed; ++q) expected.push_back("問" + std::to_string(order[q]));
    EXPECT_EQ(PlacedQuestions(Test40(), placed), expected);
    EXPECT_EQ(Test40().Range("U8").Text(), "0427[5-64]30");
    for (int q = placed + 1; q <= 40; ++q) {
      EXPECT_TRUE(Test40().Cells(Place(q).row, Place(q).col).Value().IsEmpty()) << q;
    }
    // The next case starts from a fresh dialog state.
    for (const char* key : {"FMU", "KMU", "HST"}) module_.SetIniValue(key, "False", false);
  }
}

TEST_F(CreateTest, TwentyFiveOnTheTwentySheetCountsEveryQuestion) {
  MakeQuestions(40);
  Put("Q3", "2");
  Put("Q4", "abc");
  Create({{"TB1", false}, {"T1", "1"}, {"T2", "25"}, {"T3", "25"}});
  host::Sheet test = Test20();
  for (int q = 21; q <= 25; ++q) {
    EXPECT_EQ(test.Cells(5, 20 - (q - 21)).Value(), host::CellValue::Number(q));
  }
  EXPECT_TRUE(test.Range("O5").Value().IsEmpty());
  EXPECT_EQ(test.Range("U5").Value(), host::CellValue::Number(2));
  EXPECT_EQ(test.Range("U8").Text(), "1234[1-25]25");
  EXPECT_EQ(test.PageSetup().PrintArea(), "A1:U8");
  for (int row = 1; row <= 25; ++row) {
    const double expected = row == 3 ? 3 : 1;
    EXPECT_EQ(Questions().Cells(row, 17).Value(), host::CellValue::Number(expected)) << row;
  }
  EXPECT_TRUE(Questions().Range("Q26").Value().IsEmpty());
  EXPECT_EQ(test.Rows(6).RowHeight(), 353);
}

TEST_F(CreateTest, FewerEligibleRowsThanAskedLeaveLaterPagesBare) {
  MakeQuestions(40);
  for (int row = 31; row <= 40; ++row) Questions().Cells(row, 6).SetText("E");
  Create({{"T1", "1"}, {"T2", "40"}, {"T3", "45"}});
  host::Sheet test = Test40();
  EXPECT_EQ(module_.RequestedCount, 40);  // cut to the 40 question rows
  EXPECT_EQ(module_.CandidateCount, 30);
  EXPECT_EQ(test.Range("U8").Text(), "1234[1-40]40");
  EXPECT_TRUE(test.Range("A6").Value().IsEmpty());
  EXPECT_FALSE(test.Range("K6").Value().IsEmpty());  // question 30 stands in K6
  EXPECT_TRUE(test.Range("J6").Value().IsEmpty());
  EXPECT_EQ(test.PageSetup().PrintArea(), "A1:U8");
}

TEST_F(CreateTest, FortyFiveAskedOfThirtyEligibleTakesTwoPages) {
  MakeQuestions(60);
  for (int row = 31; row <= 60; ++row) Questions().Cells(row, 6).SetText("止");
  Create({{"T1", "1"}, {"T2", "60"}, {"T3", "45"}});
  host::Sheet test = Test40();
  EXPECT_EQ(module_.PageCount, 2);
  EXPECT_EQ(test.Range("U8").Text(), "1234[1-60]45");
  EXPECT_EQ(test.Range("U16").Text(), "1234[1-60]45");
  EXPECT_EQ(test.Range("U9").Text(), "No.2");
  EXPECT_EQ(test.PageSetup().PrintArea(), "A1:U16");
  const std::map<std::string, std::string> page2 = Values(test, 16);
  for (const auto& [address, text] : page2) {
    const int row = std::stoi(address.substr(1));
    if (row > 8) {
      EXPECT_EQ(address[0], 'U') << address << " " << text;
    }
  }
  EXPECT_EQ(test.Rows(16).RowHeight(), 10.5);
  EXPECT_EQ(test.Range("K11").Borders(host::kXlEdgeLeft).LineStyle(), host::kXlContinuous);
}

TEST_F(CreateTest, SourceNotesFollowTheEntriesAbove) {
  MakeQuestions(12);
  Put("A5", "教科書");
  Put("B7", "第2章");
  Put("C9", "p.12");
  Put("C11", "12");
  EXPECT_EQ(form_.SourceNote(9), "教科書-第2章-p.12");
  EXPECT_EQ(form_.SourceNote(7), "教科書-第2章-");
  EXPECT_EQ(form_.SourceNote(11), "教科書-第2章-12");
  EXPECT_EQ(form_.SourceNote(6), "");  // no B entry at or above row 6
  EXPECT_EQ(form_.SourceNote(4), "");

  Create({{"T1", "9"}, {"T2", "9"}, {"T3", "1"}});
  EXPECT_EQ(Test40().Range("T2").Text(), "問9");
  EXPECT_EQ(Test40().Range("T4").Text(), "教科書-第2章-p.12");

  Questions().Range("A5").ClearContents();
  Create({{"T1", "9"}, {"T2", "10"}, {"T3", "1"}});
  EXPECT_TRUE(Test40().Range("T4").Value().IsEmpty());
}

// An entry above is any value that reads as text, even one its format hides.
TEST_F(CreateTest, NoteEntriesAreValuesNotWhatTheCellsShow) {
  MakeQuestions(12);
  Put("A2", "0");
  Questions().Range("A2").SetNumberFormat(";;;");
  Put("B3", "FALSE");
  Put("B5", "上");
  Questions().Range("B5").SetNumberFormat(";;;");
  Put("C6", "3");
  EXPECT_EQ(form_.SourceNote(4), "0-False-");
  EXPECT_EQ(form_.SourceNote(6), "0-上-3");
  EXPECT_EQ(form_.SourceNote(1), "");
  EXPECT_EQ(ErrorNumber([&] { form_.SourceNote(host::kMaxRows + 1); }), 1004);
}

// The notes written with a test share their walks up columns A and B; each must still be the
// note of its row alone, whatever order the rows come in and wherever the first entries are.
TEST_F(CreateTest, EveryNoteOfATestMatchesItsRow) {
  MakeQuestions(200);
  for (int row = 3; row <= 200; row += 7) Questions().Cells(row, 3).SetNumber(row);
  for (bool entry_on_row_1 : {true, false}) {
    Questions().Range("A1:B200").ClearContents();
    if (entry_on_row_1) {
      Put("A1", "上巻"), Put("A50", "中巻"), Put("A120", "下巻");
      Put("B10", "一"), Put("B130", "二"), Put("B131", "三");
    } else {
      Put("A60", "中巻"), Put("A150", "下巻");
      Put("B10", "一"), Put("B61", "二"), Put("B190", "三");
    }
    for (const char* code : {"31", "7", "4242"}) {
      SCOPED_TRACE(std::string("code ") + code + (entry_on_row_1 ? "" : ", no entry on row 1"));
      Create({{"T2", "200"}, {"T3", "40"}, {"T4", code}});
      int notes = 0;
      for (int q = 1; q <= 40; ++q) {
        const host::CellRef at = Place(q);
        const int row = std::stoi(Test40().Cells(at.row, at.col).Text().substr(3));
        const std::string expected = form_.SourceNote(row);
        notes += !expected.empty();
        EXPECT_EQ(Test40().Cells(at.row + 2, at.col).Text(), expected) << row;
      }
      EXPECT_GT(notes, entry_on_row_1 ? 30 : 15);
      if (!entry_on_row_1) {
        EXPECT_LT(notes, 36);
      }
    }
  }
}

TEST_F(CreateTest, NotesCanBeLeftOut) {
  MakeQuestions(5);
  Put("A1", "本"), Put("B1", "一");
  Create({{"CheckBox3", false}, {"T2", "5"}, {"T3", "5"}});
  for (int q = 1; q <= 5; ++q) {
    EXPECT_TRUE(Test40().Cells(4, 21 - q).Value().IsEmpty()) << q;
  }
  EXPECT_NE(SettingsText().find("STN:False"), std::string::npos);
}

TEST_F(CreateTest, AQuestionThatShowsNothingTakesNoPlace) {
  MakeQuestions(5);
  Questions().Range("D3").SetNumberFormat(";;;");
  Questions().Range("D3").SetNumber(33);
  Create({{"CBox", true}, {"T2", "5"}, {"T3", "5"}});
  const std::vector<int> order = reference::Order({0, 0, 0, 0, 0, 0}, 1, 5, 5, 1234, {true});
  std::vector<std::string> expected;
  std::vector<double> numbers;
  for (int i = 1; i <= 5; ++i) {
    if (order[i] == 3) continue;
    expected.push_back("問" + std::to_string(order[i]));
    numbers.push_back(i);
  }
  EXPECT_EQ(PlacedQuestions(Test40(), 4), expected);
  for (int q = 1; q <= 4; ++q) EXPECT_EQ(Test40().Cells(1, 21 - q).Value().number, numbers[q - 1]);
  EXPECT_TRUE(Test40().Range("P2").Value().IsEmpty());
  EXPECT_TRUE(Questions().Range("Q3").Value().IsEmpty());  // not counted as set
}

TEST_F(CreateTest, ThePastedQuestionLeavesItsCommentBehind) {
  MakeQuestions(3);
  Questions().Range("D1").AddComment("【重要項目】");
  Questions().Range("D1").Font().SetName("Klee One");
  Create({{"T2", "3"}, {"T3", "3"}});
  EXPECT_EQ(Test40().Comments().Count(), 0);
  EXPECT_EQ(Questions().Comments().Count(), 1);
  // The question keeps its own font; the answer boxes take it too.
  bool found = false;
  for (int q = 1; q <= 3; ++q) {
    const host::Range cell = Test40().Cells(2, 21 - q);
    if (cell.Text() == "問1") found = cell.Font().Name() == "Klee One";
  }
  EXPECT_TRUE(found);
  EXPECT_EQ(Test40().Range("R3").Font().Name(), "Klee One");
}

TEST_F(CreateTest, ARangeBelowTheLastRowIsRefusedAndWritesNothing) {
  MakeQuestions(30);
  Create({{"T1", "35"}, {"T2", "50"}, {"T3", "40"}, {"T4", "77"}});
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"出題範囲に問題がありません。"});
  EXPECT_EQ(Events(Kind::kMsgBox)[0].caption, "エラー");
  EXPECT_EQ(app_.Sheets().Count(), 1);
  EXPECT_TRUE(Questions().Range("Q1").Value().IsEmpty());
  EXPECT_EQ(form_.Get("CommandButton1").caption(), "作成");
  EXPECT_TRUE(Events(Kind::kBeep).empty());
  // The choices shown in the dialog are still stored.
  EXPECT_NE(SettingsText().find("RND:77"), std::string::npos);

  // An existing test stays as it was, and the dialog stays open for a correction.
  Create({{"T1", "1"}, {"T2", "30"}, {"T3", "10"}});
  const std::map<std::string, std::string> before = Values(Test40(), 24);
  std::vector<host::CellValue> counts;
  for (int row = 1; row <= 30; ++row) counts.push_back(Questions().Cells(row, 17).Value());
  ui_.ClearEvents();
  Create({{"T1", "31"}, {"T2", "40"}});
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"出題範囲に問題がありません。"});
  EXPECT_EQ(Values(Test40(), 24), before);
  for (int row = 1; row <= 30; ++row)
    EXPECT_EQ(Questions().Cells(row, 17).Value(), counts[row - 1]);

  QueueDialog({Set("T1", "31"), Set("T2", "40"), Click("CommandButton1"), Set("T1", "21"),
               Click("CommandButton1")});
  Questions().Select();
  START(module_, form_);
  EXPECT_EQ(Test40().Range("U8").Text(), "77[21-30]10");
  EXPECT_EQ(ui_.ErrorCount(), 0u);
}

TEST_F(CreateTest, SameInputsTwiceGiveTheSameSheet) {
  MakeVariedQuestions(80);
  Create({{"T1", "3"}, {"T2", "77"}, {"T3", "45"}, {"T4", "0815"}});
  const std::map<std::string, std::string> first = Values(Test40(), 16);
  Create({{"T1", "3"}, {"T2", "77"}, {"T3", "45"}, {"T4", "0815"}});
  EXPECT_EQ(Values(Test40(), 16), first);
  EXPECT_EQ(app_.Sheets().Count(), 2);  // the sheet is reused
  Create({{"T1", "3"}, {"T2", "77"}, {"T3", "45"}, {"T4", "0816"}});
  EXPECT_NE(Values(Test40(), 16), first);
}

TEST_F(CreateTest, ExcludeAskedLeavesOutTheQuestionsOfTheLastTest) {
  MakeQuestions(20);
  Create({{"CheckBox1", true}, {"T2", "20"}, {"T3", "10"}}, 2);
  // Each row was set exactly once: the second test took the ten the first one left.
  for (int row = 1; row <= 20; ++row) {
    EXPECT_EQ(Questions().Cells(row, 17).Value(), host::CellValue::Number(1)) << row;
  }
}

TEST_F(CreateTest, AProtectedTestSheetEndsTheCommandWithItsError) {
  MakeQuestions(5);
  app_.Sheets().Add().SetName("テスト用紙 【40】");
  Test40().Protect();
  app_.Sheets().Item("ミラトス").Select();
  QueueDialog({Click("CommandButton1")});
  EXPECT_EQ(ErrorNumber([&] { START(module_, form_); }), 1004);
  EXPECT_FALSE(form_.loaded());
}

}  // namespace
}  // namespace tessarin::testgen
