// Deflating the parts of an archive being written: libdeflate on whole parts, on every core.
#pragma once

#include <functional>
#include <optional>
#include <string>
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

// A change to the start of a part: its first `length` bytes become `text`.
struct StartEdit {
  size_t length = 0;
  std::string text;
};

// The deflated `part` with only its start changed, for a big part of which a save changes no
// more than a counter in its root tag. `edit` sees at least the first 64 KiB of the inflated part
// (all of it when shorter) and gives the change, or nullopt to refuse it. The deflate blocks up
// to the first block boundary 32 KiB past the change (the farthest a later block may refer back)
// are inflated and compressed again; every later block is passed on bit for bit, its checksum
// derived from the part's own. nullopt when the part is not deflated, when it ends before such a
// boundary (a small part is simply written anew), or when its bits do not inflate.
std::optional<CompressedPart> EditPartStart(
    const CompressedPart& part,
    const std::function<std::optional<StartEdit>(std::string_view start)>& edit);

}  // namespace tessarin::ooxml
