// The one-sheet list rule.
#include "core/workbook/list_sheet.h"

#include "core/workbook/question_sheet.h"

namespace tessarin::workbook {

host::Worksheet* FindListSheet(const host::Workbook& book) {
  if (book.SheetCount() != 1) return nullptr;
  host::Worksheet& only = book.Sheet(1);
  return IsQuestionSheetName(only.name()) ? nullptr : &only;
}

std::string QuestionSheetNameFor(const host::Workbook& book) {
  std::string stem = book.name();
  // A leading dot names a hidden file, not an extension.
  if (const size_t dot = stem.find_last_of('.'); dot != std::string::npos && dot > 0)
    stem.resize(dot);
  return book.NearestSheetName(std::string(kProductWord) + stem);
}

std::string TakeAsQuestionSheet(host::Workbook& book, host::Worksheet& sheet) {
  if (IsQuestionSheetName(sheet.name())) return sheet.name();
  book.RenameSheet(sheet, QuestionSheetNameFor(book));
  book.set_saved(false);
  return sheet.name();
}

}  // namespace tessarin::workbook
