// Print output to files: a PDF of every print page, or PNG images of the pages.
#pragma once

#include <QImage>
#include <cstddef>
#include <string>
#include <vector>

#include "core/host/env.h"
#include "core/host/worksheet.h"
#include "render/page_layout.h"

namespace tessarin::render {

// Writes every print page of `sheet` to a PDF at `path`, one sheet of paper per page at the
// setup's paper size and orientation, fonts embedded as subsets so the text stays searchable.
// The file is written by host::ReplaceFile: it appears complete or not at all, and the errors
// are that routine's (61 for a full disk, 75 for a read-only target, a FIFO or device ...).
// Returns the page count. Throws host::HostError 1004 when the sheet has nothing to print.
// Needs a QGuiApplication (EnsureGuiApplication).
int WritePdf(const host::Worksheet& sheet, const std::string& path,
             host::Env& env = *host::Env::Default());

// Writes the print pages as PNG images at `dpi`: one page goes to `path` itself, several to
// "STEM-1.png", "STEM-2.png" ... beside it. Returns the files written. Throws as WritePdf.
std::vector<std::string> WritePageImages(const host::Worksheet& sheet, const std::string& path,
                                         int dpi, host::Env& env = *host::Env::Default());

// Paints page `index` of `layout` into a white image at `dpi`.
QImage RenderPage(const host::Worksheet& sheet, const PrintLayout& layout, size_t index, int dpi);

}  // namespace tessarin::render
