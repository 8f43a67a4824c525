// One print page: the page's cells, scaled by the zoom, inside the margins; and the pages of a
// print one after another, each laid out a page ahead on a second thread.
#include "render/page_painter.h"

#include <QPen>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "core/host/address.h"

namespace tessarin::render {

void PagePainter::Paint(QPainter& painter, const host::Worksheet& sheet, const PrintLayout& layout,
                        const PrintPage& page) {
  PaintPrepared(painter, sheet, layout, page, Prepare(sheet, page), nullptr);
}

PreparedCells PagePainter::Prepare(const host::Worksheet& sheet, const PrintPage& page) {
  PaintOptions options;
  options.gridlines = sheet.page_setup().print_gridlines;
  return cells_.Prepare(sheet, page.area, QPointF(), options);
}

void PagePainter::PaintPrepared(QPainter& painter, const host::Worksheet& sheet,
                                const PrintLayout& layout, const PrintPage& page,
                                const PreparedCells& cells, FontCatalog* twins) {
  painter.save();
  painter.translate(page.frame.topLeft());
  painter.scale(layout.scale, layout.scale);
  CellPainter::PaintPrepared(painter, cells, twins);
  if (!layout.headings.isEmpty()) PaintHeadings(painter, sheet, layout.headings, page.area);
  painter.restore();
}

void PagePainter::PaintHeadings(QPainter& painter, const host::Worksheet& sheet, QSizeF size,
                                const host::Area& area) {
  const GridGeometry grid(sheet, area);
  host::Style style = sheet.styles().Get(host::kDefaultStyle);
  style.horizontal = style.vertical = host::kXlCenter;
  style.shrink = true;
  painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 0.5));
  const auto label = [&](const std::string& text, const QRectF& box) {
    painter.drawRect(box);
    CellPainter::PaintText(
        painter, LayoutCellText(fonts_, StyledText::Plain(text, style.font), style, box, 0), box,
        box);
    painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 0.5));
  };
  for (int32_t c = area.left; c <= area.right; ++c) {
    label(host::ColumnLetters(c),
          QRectF(QPointF(grid.ColumnLeft(c), -size.height()), QPointF(grid.ColumnLeft(c + 1), 0)));
  }
  for (int32_t r = area.top; r <= area.bottom; ++r) {
    label(std::to_string(r),
          QRectF(QPointF(-size.width(), grid.RowTop(r)), QPointF(0, grid.RowTop(r + 1))));
  }
}

namespace {

// Prepared pages passed from the thread that lays them out to the one that paints them.
struct Handoff {
  static constexpr size_t kAhead = 2;  // pages laid out and not yet painted, at most
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<PreparedCells> ready;
  // Painted pages go back to be freed where they were made: memory freed on the thread that
  // took it is cheap, and freeing across threads contends for the allocator.
  std::vector<PreparedCells> spent;
  std::exception_ptr error;
  bool stop = false;  // the painting thread is done, or gave up
};

// Lays out the pages in order into `handoff` with fonts made, used and destroyed on this thread
// (Qt keeps a thread's font files to that thread). The fonts stay until the painter is done, as
// the prepared glyphs name them.
void LayOutPages(const host::Worksheet& sheet, const PrintLayout& layout, Handoff& handoff) {
  FontCatalog fonts;
  PagePainter pages(fonts);
  std::vector<PreparedCells> spent;
  std::unique_lock lock(handoff.mutex);
  for (const PrintPage& page : layout.pages) {
    spent.swap(handoff.spent);
    lock.unlock();
    spent.clear();
    PreparedCells cells;
    std::exception_ptr error;
    try {
      cells = pages.Prepare(sheet, page);
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    if (error) {
      handoff.error = error;
      handoff.changed.notify_all();
      break;
    }
    handoff.changed.wait(lock,
                         [&] { return handoff.stop || handoff.ready.size() < Handoff::kAhead; });
    if (handoff.stop) break;
    handoff.ready.push_back(std::move(cells));
    handoff.changed.notify_all();
  }
  handoff.changed.wait(lock, [&] { return handoff.stop; });
}

}  // namespace

void PaintPages(const host::Worksheet& sheet, const PrintLayout& layout, FontCatalog& fonts,
                const std::function<QPainter&(size_t)>& start_page) {
  PagePainter pages(fonts);
  if (layout.pages.size() < 2) {
    // One page has nothing to overlap with.
    for (size_t i = 0; i < layout.pages.size(); ++i)
      pages.Paint(start_page(i), sheet, layout, layout.pages[i]);
    return;
  }
  Handoff handoff;
  std::thread layout_thread([&] { LayOutPages(sheet, layout, handoff); });
  // However this thread leaves, the other is told to stop and is waited for.
  struct Join {
    Handoff& handoff;
    std::thread& thread;
    ~Join() {
      {
        std::lock_guard lock(handoff.mutex);
        handoff.stop = true;
      }
      handoff.changed.notify_all();
      thread.join();
    }
  } join{handoff, layout_thread};
  for (size_t i = 0; i < layout.pages.size(); ++i) {
    PreparedCells cells;
    {
      std::unique_lock lock(handoff.mutex);
      handoff.changed.wait(lock, [&] { return !handoff.ready.empty() || handoff.error; });
      if (handoff.ready.empty()) std::rethrow_exception(handoff.error);
      cells = std::move(handoff.ready.front());
      handoff.ready.pop_front();
    }
    handoff.changed.notify_all();
    pages.PaintPrepared(start_page(i), sheet, layout, layout.pages[i], cells, &fonts);
    std::lock_guard lock(handoff.mutex);
    handoff.spent.push_back(std::move(cells));
  }
}

}  // namespace tessarin::render
