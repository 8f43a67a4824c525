// How the marking commands find a question in the question sheet.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/host/application.h"
#include "core/workbook/kanji_module.h"

namespace tessarin::marking {

// The first row of `question_sheet` whose column D holds `text`, looking at rows 1 to
// `last_row`; empty cells do not end the search. nullopt when none does. `text` must not be
// empty (an empty text would match every empty row).
std::optional<int32_t> FindQuestionRow(const host::Sheet& question_sheet, std::string_view text,
                                       int32_t last_row);

}  // namespace tessarin::marking
