// Printing a sheet on a QPrinter: the preview, the system's printers and PDF export share it.
#pragma once

#include "core/host/worksheet.h"

class QPrinter;

namespace tessarin::desktop {

// Prints the pages of `sheet` (its print area, else its used cells) on `printer`, set up from
// the sheet's paper size and orientation. Returns the number of pages.
int PrintSheetPages(const host::Worksheet& sheet, QPrinter& printer);
// Sets the printer's paper and orientation from the sheet's page setup.
void SetUpPrinter(const host::Worksheet& sheet, QPrinter& printer);

}  // namespace tessarin::desktop
