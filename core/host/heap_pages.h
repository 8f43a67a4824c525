// Backing the process heap with huge pages for a command that builds a whole workbook model.
#pragma once

#include <cstddef>

namespace tessarin::host {

// Asks that the next `reserve` bytes of the heap be backed by the kernel's transparent huge
// pages, and keeps up to `reserve` freed bytes with the process for reuse instead of giving them
// back. A command that reads a big workbook and writes it again touches tens of megabytes of new
// memory once; taking it 4 KiB at a time costs about a fifth of its run in page faults. The
// price is resident memory: freed heap memory stays until the process ends. Best effort, at
// most once and early: where the heap does not grow by brk, the kernel gives no transparent
// huge pages, or `reserve` is under one huge page, nothing changes. Returns the bytes marked.
size_t BackHeapWithHugePages(size_t reserve);

}  // namespace tessarin::host
