// The stroke-order answer key: a test's answers in test order on A4 portrait pages, each
// question's number and sentence, and every kanji of its answer in its own square drawn in the
// stroke-order font (each stroke numbered), the kana beside them in the ordinary font.
#pragma once

#include <QRectF>
#include <string>
#include <string_view>
#include <vector>

#include "core/marking/answer_key.h"

class QPainter;

namespace tessarin::render {

class FontCatalog;

// The family fontconfig knows the stroke-order font by (package fonts-kanjistrokeorders).
inline constexpr std::string_view kStrokeFontFamily = "KanjiStrokeOrders";

// True when the stroke-order font is installed. Needs a QGuiApplication.
bool StrokeFontInstalled();

// Where one question of the key goes on its key page.
struct KeyEntryPlace {
  size_t question = 0;  // index into the test page's questions
  QRectF box;           // points from the paper's top-left corner
};

// One sheet of the key: questions of one test page (a test page fills one or more key pages,
// never shares one with another test page).
struct StrokeKeyPage {
  size_t test_page = 0;  // index into the test's pages
  int part = 1;          // this sheet's number among those of its test page
  int parts = 1;
  std::vector<KeyEntryPlace> entries;
};

// The key's pages: questions flow down two columns, the answers' squares wrapping within their
// column, and a question that does not fit starts the next column or page.
std::vector<StrokeKeyPage> LayoutStrokeKey(
    const std::vector<std::vector<marking::KeyQuestion>>& test_pages);

// Paints `page` on a painter whose units are points of A4 paper. `title` heads every page.
void PaintStrokeKeyPage(QPainter& painter, FontCatalog& fonts, const std::string& title,
                        const std::vector<std::vector<marking::KeyQuestion>>& test_pages,
                        const StrokeKeyPage& page);

// Writes the key of `test_pages` to a PDF at `path` (written beside it, then renamed over it)
// and returns its page count. Throws host::HostError 53 when the stroke-order font is not
// installed, 1004 when the test holds no question, 75 when the file cannot be written. Needs a
// QGuiApplication (EnsureGuiApplication).
int WriteStrokeKeyPdf(const std::string& title,
                      const std::vector<std::vector<marking::KeyQuestion>>& test_pages,
                      const std::string& path);

}  // namespace tessarin::render
