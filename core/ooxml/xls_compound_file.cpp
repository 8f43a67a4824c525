// The OLE compound file reader: header, allocation tables (FAT, DIFAT, mini FAT), directory and
// the sector chains of streams, each checked against the file's size and against loops.
#include "core/ooxml/xls_compound_file.h"

#include <algorithm>

#include "core/host/host_error.h"
#include "core/host/text_encoding.h"
#include "core/host/text_util.h"
#include "core/ooxml/xls_bytes.h"
#include "core/ooxml/xls_import.h"

namespace tessarin::ooxml {

bool LooksLikeCompoundFile(std::string_view bytes) {
  return bytes.substr(0, 8) == xls::kCompoundSignature;
}

namespace xls {
namespace {
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
}  // namespace

// The allocation table comes whole from the header and DIFAT chain before the directory is read,
// so every later chain is followed through a table already bounded by the file.
std::string CompoundFile::Open(std::string_view bytes) {
  bytes_ = bytes;
  if (bytes.size() < 512 || bytes.substr(0, 8) != kCompoundSignature)
    return "the file is too short for its header";
  const uint16_t major = U16(bytes, 0x1A);
  const uint16_t sector_shift = U16(bytes, 0x1E);
  const uint16_t mini_shift = U16(bytes, 0x20);
  if ((sector_shift != 9 && sector_shift != 12) || mini_shift != 6)
    return "the header gives an invalid sector size";
  sector_size_ = 1u << sector_shift;
  major3_ = major == 3;
  mini_cutoff_ = U32(bytes, 0x38);
  const uint32_t fat_sectors = U32(bytes, 0x2C);
  const uint32_t first_dir = U32(bytes, 0x30);
  const uint32_t first_mini_fat = U32(bytes, 0x3C);
  uint32_t difat_sector = U32(bytes, 0x44);
  const uint64_t sector_count = (bytes.size() + sector_size_ - 1) / sector_size_;
  if (fat_sectors > sector_count)
    return "the header declares more allocation sectors than the file holds";

  // The allocation table: its sectors are listed in the header and then in a chain of DIFAT
  // sectors.
  std::vector<uint32_t> fat_list;
  for (size_t i = 0; i < 109 && fat_list.size() < fat_sectors; ++i)
    fat_list.push_back(U32(bytes, 0x4C + 4 * i));
  for (uint64_t steps = 0; fat_list.size() < fat_sectors; ++steps) {
    if (difat_sector >= kEndOfChain || steps > sector_count)
      return "the allocation table index is cut short";
    std::string_view sector = Sector(difat_sector);
    if (sector.size() < sector_size_) return "the allocation table index points outside the file";
    for (size_t i = 0; i + 1 < sector_size_ / 4 && fat_list.size() < fat_sectors; ++i)
      fat_list.push_back(U32(sector, 4 * i));
    difat_sector = U32(sector, sector_size_ - 4);
  }
  fat_.reserve(fat_list.size() * (sector_size_ / 4));
  for (uint32_t s : fat_list) {
    std::string_view sector = Sector(s);
    if (sector.size() < sector_size_) return "an allocation table sector lies outside the file";
    for (size_t i = 0; i < sector_size_ / 4; ++i) fat_.push_back(U32(sector, 4 * i));
  }

  std::string directory;
  if (std::string why = ReadChain(first_dir, fat_, sector_size_, {}, UINT64_MAX, &directory);
      !why.empty()) {
    return "the directory is damaged (" + why + ")";
  }
  for (size_t off = 0; off + 128 <= directory.size(); off += 128) {
    std::string_view e = std::string_view(directory).substr(off, 128);
    Entry entry;
    entry.type = static_cast<unsigned char>(e[66]);
    const size_t name_bytes = std::min<size_t>(U16(e, 64), 64);
    if (name_bytes >= 2 && name_bytes % 2 == 0) {
      // An undecodable name stays empty and matches nothing we look for.
      entry.name = host::TryUtf16LeToUtf8(e.substr(0, name_bytes - 2)).value_or("");
    }
    entry.start = U32(e, 116);
    entry.size = major3_ ? U32(e, 120) : (U32(e, 120) | uint64_t{U32(e, 124)} << 32);
    entries_.push_back(std::move(entry));
  }
  if (entries_.empty() || entries_[0].type != 5) return "the directory has no root entry";

  // Small streams live in the mini stream, which the root entry holds, with their own table.
  std::string mini_fat_bytes;
  if (first_mini_fat < kEndOfChain) {
    if (std::string why =
            ReadChain(first_mini_fat, fat_, sector_size_, {}, UINT64_MAX, &mini_fat_bytes);
        !why.empty()) {
      return "the small-stream table is damaged (" + why + ")";
    }
  }
  for (size_t i = 0; i + 4 <= mini_fat_bytes.size(); i += 4)
    mini_fat_.push_back(U32(mini_fat_bytes, i));
  return "";
}

const CompoundFile::Entry* CompoundFile::Find(std::string_view name) const {
  for (const Entry& e : entries_) {
    if (e.type == 2 && host::EqualsIgnoringAsciiCase(e.name, name)) {
      return &e;
    }
  }
  return nullptr;
}

std::string CompoundFile::Read(const Entry& entry, uint64_t max_bytes, std::string* out) {
  if (entry.size > max_bytes) return "a stream is larger than the file allows";
  if (entry.size < mini_cutoff_) {
    if (!mini_loaded_) {
      mini_loaded_ = true;
      const Entry& root = entries_[0];
      if (std::string why =
              ReadChain(root.start, fat_, sector_size_, {}, bytes_.size(), &mini_stream_);
          !why.empty()) {
        return "the small-stream area is damaged (" + why + ")";
      }
      if (mini_stream_.size() > root.size) mini_stream_.resize(root.size);
    }
    return ReadChain(entry.start, mini_fat_, 64, mini_stream_, entry.size, out, entry.size);
  }
  return ReadChain(entry.start, fat_, sector_size_, {}, entry.size, out, entry.size);
}

std::string_view CompoundFile::Sector(uint32_t s) const {
  const uint64_t off = (uint64_t{s} + 1) * sector_size_;
  if (off >= bytes_.size()) return {};
  return bytes_.substr(off, sector_size_);
}

// Follows a chain through `table`; sectors come from `area` when given (the mini stream),
// else from the file. Stops at `limit` bytes; with `exact`, the chain must hold that many.
std::string CompoundFile::ReadChain(uint32_t start, const std::vector<uint32_t>& table,
                                    uint32_t size, std::string_view area, uint64_t limit,
                                    std::string* out, std::optional<uint64_t> exact) const {
  out->clear();
  uint64_t steps = 0;
  for (uint32_t s = start; s != kEndOfChain && out->size() < limit; s = table[s]) {
    if (s >= table.size() || ++steps > table.size()) return "a sector chain is broken or loops";
    std::string_view piece;
    if (area.data()) {
      const uint64_t off = uint64_t{s} * size;
      if (off >= area.size()) return "a small sector lies outside its area";
      piece = area.substr(off, size);
    } else {
      piece = Sector(s);
      if (piece.empty()) return "a sector lies outside the file";
    }
    out->append(piece.substr(0, std::min<uint64_t>(piece.size(), limit - out->size())));
  }
  if (exact && out->size() < *exact) return "a stream is shorter than its directory entry says";
  return "";
}

}  // namespace xls
}  // namespace tessarin::ooxml
