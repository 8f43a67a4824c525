// Questions too long to read: those of the test just made that shrink to fit prints well below
// their font size. The renderer knows the factor; the caller passes it in, so this stays free of
// printing code. The command line warns with the result after `create`; the window can show it
// after its test creation dialog made a test:
//
//   render::FontCatalog fonts;
//   for (const testgen::LongQuestion& q : testgen::FindLongQuestions(
//            module, form, [&](const host::Worksheet& s, int32_t r, int32_t c) {
//              return render::ShrinkFactor(fonts, s, r, c);
//            })) ...
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/host/worksheet.h"
#include "core/testgen/kanji_form.h"
#include "core/workbook/kanji_module.h"

namespace tessarin::testgen {

// Below this share of its font size a question is hard to read on paper.
inline constexpr double kReadableShrink = 0.7;

struct LongQuestion {
  int32_t row = 0;          // its row on the question sheet
  int32_t number = 0;       // its number on the test
  int32_t length = 0;       // characters of the question as shown
  double font_size = 0;     // points, as the cell asks
  double printed_size = 0;  // points, after shrink to fit
};

// How much shrink to fit scales the text of a cell as printed (1: not at all).
using ShrinkFactorOf =
    std::function<double(const host::Worksheet& sheet, int32_t row, int32_t col)>;

// The questions `form` placed on the current test sheet (module.Is40Sheet) by its last create
// that print below kReadableShrink of their font size, in test order. Reads only. Throws
// HostError 9 when the test sheet is missing.
std::vector<LongQuestion> FindLongQuestions(workbook::KanjiModule& module, const KanjiForm1& form,
                                            const ShrinkFactorOf& shrink);

}  // namespace tessarin::testgen
