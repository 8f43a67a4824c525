// Tests of the answer key read from a test sheet: page order, answers by the question's text.
#include "core/marking/answer_key.h"

#include <gtest/gtest.h>

#include "core/host/application.h"
#include "core/host/host_error.h"
#include "core/host/range.h"

namespace tessarin::marking {
namespace {

class AnswerKeyTest : public ::testing::Test {
 protected:
  AnswerKeyTest() {
    app_.Workbooks().Add();
    questions_ = &app_.ActiveSheet().worksheet();
    app_.ActiveSheet().SetName("ミラトス");
    host::Sheet test = app_.Sheets().Add();
    test.SetName("テスト用紙 【20】");
    test_ = &test.worksheet();
  }
  host::Sheet Questions() { return host::Sheet(app_, *questions_); }
  host::Sheet Test() { return host::Sheet(app_, *test_); }
  // Puts question `number` of a 20-question sheet (4 rows a page) with `text`.
  void Place(int number, const std::string& text) {
    const int32_t row = 4 * ((number - 1) / 20) + 2, col = 20 - ((number - 1) % 20);
    Test().Cells(row - 1, col).SetValue(host::CellValue::Number(number));
    Test().Cells(row, col).SetText(text);
  }
  void Question(int32_t row, const std::string& text, const std::string& answer) {
    Questions().Cells(row, 4).SetText(text);
    Questions().Cells(row, 5).SetText(answer);
  }
  host::Application app_;
  host::Worksheet* questions_ = nullptr;
  host::Worksheet* test_ = nullptr;
};

TEST_F(AnswerKeyTest, PagesInOrderAnswersByTextFirstRowWinsUnknownIsEmpty) {
  Question(1, "ヤマ", "山");
  Question(2, "カワ", "川");
  Question(3, "ヤマ", "岳");  // the same text again: the upper row answers
  Question(5, "ソラ", "空");  // below the first empty question: not in the list
  for (int q = 1; q <= 22; ++q) Place(q, q % 2 ? "ヤマ" : "カワ");
  Place(23, "ソラ");
  std::string title;
  const auto pages = ReadAnswerKey(app_, "テスト用紙 【20】", &title);
  EXPECT_EQ(title, "ミラトス");
  ASSERT_EQ(pages.size(), 2u);
  ASSERT_EQ(pages[0].size(), 20u);
  ASSERT_EQ(pages[1].size(), 3u);
  EXPECT_EQ(pages[0][0].number, 1);
  EXPECT_EQ(pages[0][0].answer, "山");
  EXPECT_EQ(pages[0][19].number, 20);
  EXPECT_EQ(pages[0][19].answer, "川");
  EXPECT_EQ(pages[1][0].number, 21);
  EXPECT_EQ(pages[1][2].question, "ソラ");
  EXPECT_EQ(pages[1][2].answer, "");
}

TEST_F(AnswerKeyTest, MissingSheetsAreErrors) {
  std::string title;
  EXPECT_THROW(ReadAnswerKey(app_, "テスト用紙 【40】", &title), host::HostError);
  Questions().SetName("Sheet");
  EXPECT_THROW(ReadAnswerKey(app_, "テスト用紙 【20】", &title), host::HostError);
  Place(1, "ヤマ");
  Questions().SetName("ミラトス");
  EXPECT_EQ(ReadAnswerKey(app_, "テスト用紙 【20】", &title).size(), 1u);
}

}  // namespace
}  // namespace tessarin::marking
