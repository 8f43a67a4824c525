// Whether a workbook changed since it was opened or saved: a fingerprint of everything a save
// would write, compared after each command (the host model keeps no change flag of its own for
// the add-in's edits).
#pragma once

#include <cstdint>

#include "core/host/workbook.h"

namespace tessarin::desktop {

// A hash of the workbook's sheets, cells, formats, sizes, merges, comments and page setups.
// Equal workbooks give equal fingerprints; a change almost surely gives another.
uint64_t Fingerprint(const host::Workbook& workbook);

}  // namespace tessarin::desktop
