// The record guard on its own and in the file service's save, and the one-sheet list rule.
#include "core/workbook/record_guard.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/ooxml/workbook_io.h"
#include "core/workbook/list_sheet.h"
#include "core/workbook/question_sheet.h"
#include "tests/support/temp_home.h"

namespace tessarin::workbook {
namespace {

namespace fs = std::filesystem;

// A question workbook "ミラトス" with `rows` questions and no record.
std::unique_ptr<host::Workbook> Questions(int rows, const std::string& name = "record.xlsx") {
  auto book = std::make_unique<host::Workbook>(name);
  host::Worksheet& sheet = book->AddSheet("ミラトス", 1);
  for (int row = 1; row <= rows; ++row) {
    sheet.SetText(row, kQuestionColumn, "問" + std::to_string(row));
    sheet.SetText(row, kAnswerColumn, "答" + std::to_string(row));
  }
  return book;
}

host::Worksheet& Sheet(host::Workbook& book) { return *book.FindSheet("ミラトス"); }

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(RecordGuard, CountsMarksTestsAndMustAppearOfQuestionSheetsOnly) {
  auto book = Questions(5);
  Sheet(*book).SetText(1, kFirstMarkColumn, "X");
  Sheet(*book).SetText(1, kFirstMarkColumn + 1, "X");
  Sheet(*book).SetText(3, kLastMarkColumn, "除");
  Sheet(*book).SetNumber(2, kTimesSetColumn, 2);
  Sheet(*book).SetText(4, kTimesSetColumn, "3");
  Sheet(*book).SetText(5, kMustAppearColumn, "必出");
  book->AddSheet("メモ", 2).SetText(1, kFirstMarkColumn, "X");
  const RecordSummary record = CountRecord(*book);
  EXPECT_EQ(record.marks, 3);
  EXPECT_EQ(record.tests, 3);
  EXPECT_EQ(record.must, 1);
  EXPECT_EQ(DescribeRecord(record), "3 marks, 3 tests, 1 must-appear mark");
  EXPECT_TRUE(CountRecord(*Questions(3)).Empty());
}

TEST(RecordGuard, ContentHoldsARecordRowByRowEvenWhenReordered) {
  auto record = Questions(3);
  Sheet(*record).SetText(2, kFirstMarkColumn, "X");
  Sheet(*record).SetNumber(2, kTimesSetColumn, 1);
  Sheet(*record).SetText(3, kMustAppearColumn, "必出");

  auto later = Questions(3);  // the same record plus a test
  Sheet(*later).SetText(2, kFirstMarkColumn, "X");
  Sheet(*later).SetText(2, kFirstMarkColumn + 1, "X");
  Sheet(*later).SetNumber(2, kTimesSetColumn, 2);
  Sheet(*later).SetText(3, kMustAppearColumn, "必出");
  EXPECT_TRUE(HoldsRecord(*later, *record));
  EXPECT_FALSE(HoldsRecord(*record, *later));

  // Rows sorted another way keep their record by question and answer.
  auto sorted = Questions(0);
  const int order[] = {3, 1, 2};
  for (int row = 1; row <= 3; ++row) {
    const int from = order[row - 1];
    Sheet(*sorted).SetText(row, kQuestionColumn, "問" + std::to_string(from));
    Sheet(*sorted).SetText(row, kAnswerColumn, "答" + std::to_string(from));
    for (int col : {kFirstMarkColumn, kTimesSetColumn, kMustAppearColumn})
      Sheet(*sorted).SetValue(row, col, Sheet(*record).Value(from, col));
  }
  EXPECT_TRUE(HoldsRecord(*sorted, *record));

  // Without the must-appear marker, under another sheet name, or fresh from the list: lost.
  Sheet(*sorted).ClearValue(1, kMustAppearColumn);
  EXPECT_FALSE(HoldsRecord(*sorted, *record));
  auto renamed = Questions(3);
  renamed->RenameSheet(Sheet(*renamed), "Sheet1");
  EXPECT_FALSE(HoldsRecord(*renamed, *record));
  EXPECT_FALSE(HoldsRecord(*Questions(3), *record));
  EXPECT_TRUE(HoldsRecord(*Questions(3), *Questions(5)));  // nothing recorded, nothing to hold
}

class GuardedSave : public ::testing::Test {
 protected:
  GuardedSave() { files_.set_save_guard(MakeRecordGuard()); }
  std::string Path(const std::string& name) const { return home_.path() + "/" + name; }

  testing::TempHome home_;
  ooxml::WorkbookFiles files_;
};

TEST_F(GuardedSave, AnotherWorkbookMayNotReplaceARecordNorItsBackup) {
  auto record = Questions(4);
  Sheet(*record).SetText(1, kFirstMarkColumn, "X");
  Sheet(*record).SetNumber(1, kTimesSetColumn, 2);
  files_.Save(*record, Path("record.xlsx"));
  files_.Save(*record, Path("record.xlsx"));  // its own file: a backup appears
  const std::string saved = ReadBytes(Path("record.xlsx"));
  const std::string backup = ReadBytes(Path("record.xlsx.bak"));

  auto fresh = Questions(4, "fresh.xlsx");
  try {
    files_.Save(*fresh, Path("record.xlsx"), {.force = true});
    FAIL() << "the record was replaced";
  } catch (const RecordConflict& refused) {
    EXPECT_EQ(refused.target(), Path("record.xlsx"));
    EXPECT_EQ(refused.record().marks, 1);
    EXPECT_EQ(refused.record().tests, 2);
    EXPECT_NE(refused.description().find("(1 mark, 2 tests)"), std::string::npos);
  }
  EXPECT_EQ(ReadBytes(Path("record.xlsx")), saved);
  EXPECT_EQ(ReadBytes(Path("record.xlsx.bak")), backup);
  for (const auto& entry : fs::directory_iterator(home_.path()))
    EXPECT_EQ(entry.path().extension() == ".tmp", false) << entry.path();

  // A workbook that holds the record (a copy with one more test) replaces it.
  Sheet(*fresh).SetText(1, kFirstMarkColumn, "X");
  Sheet(*fresh).SetNumber(1, kTimesSetColumn, 3);
  EXPECT_NO_THROW(files_.Save(*fresh, Path("record.xlsx")));
}

TEST_F(GuardedSave, MarksRemovedOnPurposeAreSavedUnlessTheFileChangedOnDisk) {
  auto book = Questions(2);
  Sheet(*book).SetText(1, kFirstMarkColumn, "X");
  files_.Save(*book, Path("record.xlsx"));
  Sheet(*book).ClearValue(1, kFirstMarkColumn);
  EXPECT_NO_THROW(files_.Save(*book, Path("record.xlsx")));  // the workbook being edited
  EXPECT_TRUE(CountRecord(*files_.Open(Path("record.xlsx"))).Empty());

  // Another program marks the file meanwhile: even a forced save may not drop that mark.
  auto other = files_.Open(Path("record.xlsx"));
  Sheet(*other).SetText(2, kFirstMarkColumn, "X");
  ooxml::WorkbookFiles().Save(*other, Path("record.xlsx"));
  EXPECT_THROW(files_.Save(*book, Path("record.xlsx"), {.force = true}), RecordConflict);
  EXPECT_EQ(CountRecord(*files_.Open(Path("record.xlsx"))).marks, 1);
}

TEST(ListSheet, TheOneSheetOfAListBecomesTheQuestionSheetNamedAfterTheFile) {
  host::Workbook list("4nen.csv");
  list.AddSheet("4nen", 1);
  host::Worksheet* sheet = FindListSheet(list);
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(TakeAsQuestionSheet(list, *sheet), "ミラトス4nen");
  EXPECT_FALSE(list.saved());
  EXPECT_EQ(FindListSheet(list), nullptr);  // a question sheet now

  host::Workbook odd("a[1]:b.xlsx");  // characters a sheet name may not hold
  odd.AddSheet("Sheet1", 1);
  EXPECT_EQ(QuestionSheetNameFor(odd), "ミラトスa_1__b");
  odd.AddSheet("Sheet2", 2);
  EXPECT_EQ(FindListSheet(odd), nullptr);  // two sheets: the user says which
}

}  // namespace
}  // namespace tessarin::workbook
