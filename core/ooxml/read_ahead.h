// ReadAhead: a streamed part's source run on a thread of its own, so that inflating the next
// pieces and scanning the last one share the cores.
#pragma once

#include <cstddef>
#include <memory>

#include "core/ooxml/xml_util.h"

namespace tessarin::ooxml {

// Wraps `source` so that it is called on a background thread, a piece of `piece` bytes at a
// time, at most `pieces` pieces ahead of the reader. A reader that asks whole multiples of
// `piece` sees exactly what calling `source` itself would show it: each call filled whole
// unless the source has ended, and an exception the source throws thrown at the call that would
// have met it (the calls before it get their bytes). `source` must fill each request whole until
// it ends, as a part's stream does. Dropping the wrapper stops the thread; the source is then
// dropped on the reader's thread.
XmlScanner::Source ReadAhead(XmlScanner::Source source, size_t piece = 256 * 1024, int pieces = 4);

}  // namespace tessarin::ooxml
