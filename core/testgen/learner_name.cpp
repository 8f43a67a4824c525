// WriteLearnerName: the name box of each page of a test sheet.
#include "core/testgen/learner_name.h"

#include <string>

#include "core/host/constants.h"
#include "core/host/text_encoding.h"
#include "core/testgen/test_sheet.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::testgen {
namespace {

constexpr std::string_view kIdeographicSpace = "　";

// "氏名　山田　　　　　　得点": the name in the blank of the 20-question header, which keeps its
// length while the name fits.
std::string NameAndScore(std::string_view name) {
  const size_t length = host::CodePoints(name).size();
  std::string text = "氏名";
  text += kIdeographicSpace;
  text += name;
  for (size_t blank = length; blank < 8; ++blank) text += kIdeographicSpace;
  text += kIdeographicSpace;
  return text + "得点";
}

}  // namespace

int WriteLearnerName(host::Worksheet& test, std::string_view name) {
  const bool forty = test.name() == workbook::kTestSheet40;
  if (!forty && test.name() != workbook::kTestSheet20) return 0;
  const int32_t rows = forty ? 8 : 4;
  int pages = 0;
  for (int32_t base = 0; test.Value(base + 1, kHeaderColumn).type != host::ValueType::kEmpty;
       base += rows) {
    if (forty) {
      const int32_t row = base + 6;
      host::Style style = test.StyleAt(row, kHeaderColumn);
      style.horizontal = host::kXlCenter;
      style.vertical = host::kXlCenter;
      style.orientation = host::kXlVertical;
      style.shrink = true;
      style.font.size = 14;
      test.SetStyle(row, kHeaderColumn, test.styles().Intern(style));
      test.SetText(row, kHeaderColumn, name);
    } else {
      test.SetText(base + 3, kHeaderColumn, NameAndScore(name));
    }
    ++pages;
  }
  return pages;
}

}  // namespace tessarin::testgen
