// Tab-separated cell text, written and read.
#include "app/desktop/clipboard_text.h"

#include <algorithm>

#include "core/host/range.h"

namespace tessarin::desktop {

std::string TabSeparatedText(host::Worksheet& sheet, const host::Area& area) {
  // Whole columns would be a million empty lines: only the used part is text.
  const host::Area used = sheet.UsedArea();
  const host::Area text_area{area.top, area.left, std::min(area.bottom, used.bottom),
                             std::min(area.right, used.right)};
  std::string text;
  for (int32_t row = text_area.top; row <= text_area.bottom; ++row) {
    for (int32_t col = text_area.left; col <= text_area.right; ++col) {
      if (col > text_area.left) text += '\t';
      text += host::Range(sheet, host::Area::Cell(row, col)).Text();
    }
    text += '\n';
  }
  return text;
}

std::vector<std::vector<std::string>> ParseTabSeparated(std::string_view text) {
  std::vector<std::vector<std::string>> rows;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    std::vector<std::string>& cells = rows.emplace_back();
    for (;;) {
      const size_t tab = line.find('\t');
      cells.emplace_back(line.substr(0, tab));
      if (tab == std::string_view::npos) break;
      line.remove_prefix(tab + 1);
    }
  }
  return rows;
}

}  // namespace tessarin::desktop
