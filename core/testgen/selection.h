// Question selection and numbering: the weight pass over the question sheet, the range and
// count limits, the page count, and the page numbers and test identification on the test sheet.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/host/application.h"
#include "core/workbook/kanji_module.h"

namespace tessarin::testgen {

// Weights of a question row (QuestionWeight).
inline constexpr int32_t kExcludedWeight = -1000;
inline constexpr int32_t kMustAppearWeight = 100000;
inline constexpr int32_t kWrongAnswerWeight = 10;

// The options that decide a row's weight.
struct RatingOptions {
  bool consider_must_appear = false;
  bool exclude_asked = false;
  bool ignore_wrong_count = false;
};

// Why a row is left out of every test (its weight is kExcludedWeight).
enum class LeftOutBy {
  kNothing,
  kMustAppearOff,  // a must-appear row while must-appear questions are not considered
  kAlreadySet,     // set before (Q above 0) while questions already set are left out
  kExclusionMark,  // an exclusion marker among its mark cells
};

struct RowRating {
  int32_t weight = 0;
  LeftOutBy left_out = LeftOutBy::kNothing;
};

// The weight of one question row from its mark cells F..O, its times-set count in Q and its
// must-appear marker in R, and why it is left out when it is. Reads only. Throws HostError 6
// when the Q count does not fit a 32-bit integer.
RowRating RateRow(const host::Sheet& sheet, int32_t row, const RatingOptions& options);

// Walks column D of the sheet module.QSheetName from row 1 down to the row above the first
// empty D (at most the sheet's last row) and gives every row its weight from its mark cells
// F..O, its times-set count in Q, its must-appear marker in R and the three option flags.
// Fills module.QuestionWeight (index 0 .. QuestionRowCount, at least 0 .. 1; index 0 holds 0)
// and module.QuestionRowCount. Cells are read as their values converted to text, so an error
// value reads as its text. Throws HostError 9 when the sheet is missing, 6 when a Q count
// does not fit a 32-bit integer.
void RateQuestions(workbook::KanjiModule& module);

// The number of rows of module.QSheetName from row 1 before the first row whose D displays no
// text (the displayed Text, not the value). Throws HostError 9 when the sheet is missing.
int32_t CountQuestions(workbook::KanjiModule& module);

// The range and count of a test after the limits.
struct TestLimits {
  int32_t start = 0;
  int32_t end = 0;
  int32_t requested = 0;
  int32_t page_count = 0;
  friend bool operator==(const TestLimits&, const TestLimits&) = default;
};

// Applies the limits to the rounded box values: a backwards range is turned round, the end and
// the count are cut to module.QuestionRowCount and the count to the size of the range, and the
// page count is the count over module.QuestionsPerPage rounded up. Changes no state: the
// caller stores requested and page_count into RequestedCount and PageCount. A start below the
// last question row gives requested <= 0. Throws HostError 11 when QuestionsPerPage is not
// positive.
TestLimits LimitRange(const workbook::KanjiModule& module, int32_t start, int32_t end,
                      int32_t requested);
// The same from the dialog's box texts, each converted to a 32-bit integer as the runtime does
// (halves to even; full-width digits are digits). Throws HostError 13 for a text that is not a
// number, 6 for one out of range.
TestLimits LimitRange(const workbook::KanjiModule& module, std::string_view start_text,
                      std::string_view end_text, std::string_view count_text);

// The test identification: code text as stored, "[", start, "-", end, "]", count.
std::string TestIdentification(std::string_view code, int32_t start, int32_t end, int32_t count);

// Selects the current test sheet, writes the identification (from the RND setting, start, end
// and module.RequestedCount) into its identification cell and page number 1 into U1, copies
// page 1 to pages 2 .. module.PageCount with their page numbers, selects the pages, ends copy
// mode and sets the print area to A1:U(PageCount * rows per page). Needs PageCount >= 1.
void NumberTestPages(workbook::KanjiModule& module, const int32_t& start, const int32_t& end);

}  // namespace tessarin::testgen
