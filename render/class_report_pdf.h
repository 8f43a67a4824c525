// The class report as a PDF: a bar chart of the kanji most learners missed, then every learner's
// tests and mistakes, on A4 portrait pages.
#pragma once

#include <string>

#include "core/reports/class_record.h"

namespace tessarin::render {

// Bars of the chart at most: the most missed kanji.
inline constexpr size_t kClassChartBars = 15;

// Writes the report of `record` headed `title` to `path` (written beside it, then renamed over
// it) and returns its page count. Throws host::HostError 75 when the file cannot be written.
// Needs a QGuiApplication (EnsureGuiApplication).
int WriteClassReportPdf(const reports::ClassRecord& record, const std::string& title,
                        const std::string& path);

}  // namespace tessarin::render
