// Deflating the parts of an archive being written: libdeflate on whole parts, on every core.
#pragma once

#include <string_view>
#include <vector>

#include "core/ooxml/package.h"

namespace tessarin::ooxml {

// The zip level a part of `size` bytes is deflated with: parts over 4 MiB (big sheets and
// string tables) trade a little size for a much faster save.
int DeflateLevel(uint64_t size);

// One part to deflate: `data` must outlive the call; the result is written to `*out`.
struct DeflateJob {
  std::string_view data;
  CompressedPart* out = nullptr;
};

// Deflates every job (method 8, with the checksum and size of its data), spreading the jobs
// over the machine's cores, biggest first. Throws HostError 1004 when a part cannot be
// compressed, and what a worker threw (std::bad_alloc) once all have stopped.
void DeflateParts(const std::vector<DeflateJob>& jobs);

}  // namespace tessarin::ooxml
