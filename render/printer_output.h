// Printer output: the print pages of a sheet on a QPrinter (Qt PrintSupport), painted by the
// same page painter as the PDF.
#pragma once

#include "core/host/worksheet.h"

class QPrinter;

namespace tessarin::render {

// Sets the printer's paper (no margins: the pages carry their own) and orientation from the
// sheet's page setup, as PrintSheet prints it; a print dialog opened afterwards shows them.
void SetUpPrinter(const host::Worksheet& sheet, QPrinter& printer);

// Sets the printer up as SetUpPrinter does and prints every page.
// Returns the pages printed; throws host::HostError 1004 when the sheet has nothing to print or
// the printer cannot start.
int PrintSheet(const host::Worksheet& sheet, QPrinter& printer);

}  // namespace tessarin::render
