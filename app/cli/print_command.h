// PrintCommand: `tessarin print BOOK [--sheet NAME] -o OUT.pdf`, writes a sheet's print pages to
// a PDF (or PNG page images with -o page.png --dpi 100).
#pragma once

#include <string>

#include "app/cli/command.h"
#include "core/host/application.h"

namespace tessarin::cli {

// Prints `sheet` of the active workbook into `out`: a PDF unless `out` ends in ".png" (any case),
// then page images at `dpi`. Returns the problem in plain words, or "" with `pages` set.
std::string PrintSheetTo(host::Application& app, const std::string& sheet, const std::string& out,
                         int dpi, int& pages);

// The test sheet of the active workbook: the active sheet when it is one, else the
// 40-question sheet, else the 20-question sheet; "" when there is none.
std::string DefaultTestSheet(host::Application& app);

class PrintCommand : public Command {
 public:
  CLI::App* Register(CLI::App& app) override;
  // Exit 0 when the pages were written (their count and place on the output stream); 1 when the
  // workbook, the sheet or the output file fails (the reason on the error stream); 2 for bad
  // options.
  int Run(Streams& streams) override;

 private:
  std::string book_;
  std::string sheet_;
  std::string out_;
  int dpi_ = 100;
};

}  // namespace tessarin::cli
