// The learner's name on a made test: written into the name box of every page, for a class whose
// tests print together.
#pragma once

#include <string_view>

#include "core/host/worksheet.h"

namespace tessarin::testgen {

// Writes `name` into the name box of every page of the test sheet `test` ("テスト用紙 【40】"
// or "テスト用紙 【20】"; a page counts while its page-number cell in column U is filled). On the
// 40-question sheet the box is the column-U cell of the page's second question row, under the
// "氏名" label, and the name stands vertically in it; on the 20-question sheet the name takes
// the place of the first spaces after "氏名" in the name-and-score cell. Returns the pages
// written; 0 for any other sheet.
int WriteLearnerName(host::Worksheet& test, std::string_view name);

}  // namespace tessarin::testgen
