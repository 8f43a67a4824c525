// Reading the test sheets and looking questions up by text.
#include "core/marking/test_sheet_cells.h"

#include "core/workbook/question_sheet.h"

namespace tessarin::marking {

std::string_view CurrentTestSheet(const workbook::KanjiModule& module) {
  return module.Is40Sheet ? workbook::kTestSheet40 : workbook::kTestSheet20;
}

int32_t RowsPerPage(const workbook::KanjiModule& module) { return module.Is40Sheet ? 8 : 4; }

bool IsTestSheetName(std::string_view name) {
  return name == workbook::kTestSheet40 || name == workbook::kTestSheet20;
}

}  // namespace tessarin::marking
