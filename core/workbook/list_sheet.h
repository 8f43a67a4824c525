// A question list kept as a plain one-sheet file (.csv, .txt, .xls, or a .xlsx whose one sheet
// has another name) becomes the question sheet: its sheet is renamed after the product word and
// the file. The command line's `create` and the window's Ctrl+T both go through here.
#pragma once

#include <string>

#include "core/host/workbook.h"
#include "core/host/worksheet.h"

namespace tessarin::workbook {

// The sheet of `book` that holds a plain list: its only sheet, when that sheet is not a
// question sheet already; nullptr otherwise (several sheets, or a question sheet there is).
host::Worksheet* FindListSheet(const host::Workbook& book);

// The name a list sheet of `book` takes as its question sheet: the product word followed by the
// workbook's file name without its extension ("4nen.csv" -> "ミラトス4nen"), made an allowed,
// free sheet name (Workbook::NearestSheetName).
std::string QuestionSheetNameFor(const host::Workbook& book);

// Renames `sheet` (of `book`) to QuestionSheetNameFor(book), unless it is a question sheet
// already, and marks the workbook changed. Returns the sheet's name afterwards.
std::string TakeAsQuestionSheet(host::Workbook& book, host::Worksheet& sheet);

}  // namespace tessarin::workbook
