// desktop_bench: the window on a question workbook of ROWS rows (100,000 unless given). Times
// opening the .xlsx and showing its first screen, then scrolling page after page (each page
// repainted in full, as a frame), and reports the peak resident memory of opening and showing
// and of the whole run. The workbook is made by a child process, so the peak is the window's
// alone. Usage: desktop_bench [ROWS]. Prints one JSON object; runs under QT_QPA_PLATFORM=offscreen.
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/desktop/main_window.h"
#include "app/desktop/sheet_grid.h"
#include "app/desktop/sheet_tabs.h"
#include "core/host/workbook.h"
#include "core/ooxml/xlsx.h"

namespace {

// A question sheet as users keep them: source notes, question, answer, marks and counts.
std::string MakeWorkbook(const std::string& folder, int rows) {
  tessarin::host::Workbook book("questions.xlsx");
  tessarin::host::Worksheet& sheet = book.AddSheet("ミラトス", 1);
  for (int row = 1; row <= rows; ++row) {
    if (row % 50 == 1) sheet.SetText(row, 1, "教科書");
    sheet.SetText(row, 4, "問題文その" + std::to_string(row) + "をかく");
    sheet.SetText(row, 5, "書");
    if (row % 7 == 0) sheet.SetText(row, 6, "X");
    sheet.SetNumber(row, 17, row % 5);
  }
  sheet.SetColumnWidth(4, 40);
  // A sheet written vertically as test sheets are: every cell stacked, centred, many per row.
  // As long as a test of 100,000 questions at most, however long the question sheet: the
  // figures of a long question sheet are the question sheet's.
  const int vertical_rows = std::min(rows / 20, 5000);
  tessarin::host::Worksheet& vertical = book.AddSheet("縦書き", 2);
  tessarin::host::Style style = vertical.styles().Get(tessarin::host::kDefaultStyle);
  style.orientation = tessarin::host::kXlVertical;
  style.horizontal = tessarin::host::kXlCenter;
  style.font.size = 14;
  const tessarin::host::StyleId stacked = vertical.styles().Intern(style);
  for (int row = 1; row <= vertical_rows; ++row) {
    vertical.SetRowHeight(row, 150);
    for (int col = 1; col <= 20; ++col) {
      vertical.SetText(row, col, "問題その" + std::to_string(row * 20 + col) + "をかく");
      vertical.SetStyle(row, col, stacked);
    }
  }
  const std::string path = folder + "/questions.xlsx";
  std::ofstream(path, std::ios::binary) << tessarin::ooxml::WriteXlsx(book);
  return path;
}

// The peak resident set of this process so far, in MiB (VmHWM).
double PeakMib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024;
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
  if (rows <= 0) {
    std::fprintf(stderr, "usage: desktop_bench [ROWS]\n");
    return 2;
  }
  QTemporaryDir dir;
  setenv("HOME", dir.path().toLocal8Bit().constData(), 1);
  // Made in a child process: the memory it takes to build and save the book is not the window's.
  const std::string path = dir.path().toStdString() + "/questions.xlsx";
  const pid_t child = fork();
  if (child == 0) _exit(MakeWorkbook(dir.path().toStdString(), rows) == path ? 0 : 1);
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "desktop_bench: making the workbook failed\n");
    return 1;
  }
  QApplication app(argc, argv);

  tessarin::desktop::MainWindow window;
  window.resize(1280, 800);
  window.show();
  QApplication::processEvents();

  QElapsedTimer clock;
  clock.start();
  window.OpenPath(QString::fromStdString(path));
  window.grid()->viewport()->repaint();
  const double open_ms = clock.nsecsElapsed() / 1e6;
  const double open_peak_mib = PeakMib();

  // Scroll down a page at a time through the sheet, repainting each page.
  std::vector<double> frames;
  QScrollBar* bar = window.grid()->verticalScrollBar();
  for (int i = 0; i < 200; ++i) {
    clock.restart();
    bar->setValue(bar->value() + bar->pageStep());
    window.grid()->viewport()->repaint();
    frames.push_back(clock.nsecsElapsed() / 1e6);
  }
  // And a jump to the end and back, as dragging the scroll box does.
  clock.restart();
  bar->setValue(bar->maximum());
  window.grid()->viewport()->repaint();
  const double jump_ms = clock.nsecsElapsed() / 1e6;

  // The vertical sheet, page by page: every visible cell shaped and stacked each frame.
  window.tabs()->setCurrentIndex(1);
  window.grid()->viewport()->repaint();
  std::vector<double> vertical_frames;
  for (int i = 0; i < 100; ++i) {
    clock.restart();
    bar->setValue(bar->value() + bar->pageStep());
    window.grid()->viewport()->repaint();
    vertical_frames.push_back(clock.nsecsElapsed() / 1e6);
  }
  const auto summary = [](std::vector<double> f) {
    std::sort(f.begin(), f.end());
    double sum = 0;
    for (double x : f) sum += x;
    char text[200];
    std::snprintf(text, sizeof text,
                  "{\"mean\": %.2f, \"median\": %.2f, \"p95\": %.2f, \"max\": %.2f}",
                  sum / f.size(), f[f.size() / 2], f[f.size() * 95 / 100], f.back());
    return std::string(text);
  };
  std::printf(
      "{\"rows\": %d, \"open_and_show_ms\": %.1f, \"open_peak_mib\": %.1f, \"scroll_page_ms\": "
      "%s, \"jump_to_end_ms\": %.2f, \"vertical_scroll_page_ms\": %s, \"peak_mib\": %.1f}\n",
      rows, open_ms, open_peak_mib, summary(frames).c_str(), jump_ms,
      summary(vertical_frames).c_str(), PeakMib());
  for (const auto& book : window.app().workbooks()) book->set_saved(true);
  return 0;
}
