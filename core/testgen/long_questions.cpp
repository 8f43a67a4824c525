// Finding the questions shrink to fit makes too small.
#include "core/testgen/long_questions.h"

#include "core/host/application.h"
#include "core/host/text_encoding.h"
#include "core/testgen/selection.h"

namespace tessarin::testgen {

std::vector<LongQuestion> FindLongQuestions(workbook::KanjiModule& module, const KanjiForm1& form,
                                            const ShrinkFactorOf& shrink) {
  const host::Sheet test = module.App().Sheets().Item(TestSheetName(module));
  const host::Worksheet& sheet = test.worksheet();
  std::vector<LongQuestion> found;
  // Places are filled in order; the number above a place names the candidate set there.
  for (int32_t place = 1; place < form.PlacedCount(); ++place) {
    const int32_t row = 4 * ((place - 1) / 20) + 2, col = 20 - ((place - 1) % 20);
    const host::CellValue number = sheet.Value(row - 1, col);
    if (number.type != host::ValueType::kNumber) continue;
    const double factor = shrink(sheet, row, col);
    if (factor >= kReadableShrink) continue;
    LongQuestion q;
    q.number = static_cast<int32_t>(number.number);
    q.row = form.CandidateRow(q.number);
    q.length = static_cast<int32_t>(host::Utf8Length(test.Cells(row, col).Text()));
    q.font_size = sheet.StyleAt(row, col).font.size;
    q.printed_size = q.font_size * factor;
    found.push_back(q);
  }
  return found;
}

}  // namespace tessarin::testgen
