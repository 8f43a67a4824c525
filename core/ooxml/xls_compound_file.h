// The OLE compound file (the container of .xls workbooks) read-only: its directory and streams.
// Used by the .xls import only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessarin::ooxml::xls {

inline constexpr std::string_view kCompoundSignature = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";

// A read-only view of a compound file held in memory (the bytes must outlive it). Every sector
// chain is checked against the file size and against cycles, so a damaged file costs at most one
// pass over its bytes and never a read outside them.
class CompoundFile {
 public:
  struct Entry {
    std::string name;  // UTF-8; empty when the stored name cannot be decoded
    int type = 0;      // 1 storage, 2 stream, 5 root
    uint32_t start = 0;
    uint64_t size = 0;
  };

  // Reads the header, allocation tables and directory. Returns "" when the container is
  // readable, else what is wrong with it (a phrase to put after "the file is damaged: ").
  std::string Open(std::string_view bytes);

  // The stream named `name` (ASCII case-insensitive), or null. Valid while this object lives.
  const Entry* Find(std::string_view name) const;

  // Reads the whole stream of `entry` into `out`; returns "" or what is wrong. A stream declared
  // larger than `max_bytes` is refused before anything is read.
  std::string Read(const Entry& entry, uint64_t max_bytes, std::string* out);

 private:
  std::string_view Sector(uint32_t s) const;
  std::string ReadChain(uint32_t start, const std::vector<uint32_t>& table, uint32_t size,
                        std::string_view area, uint64_t limit, std::string* out,
                        std::optional<uint64_t> exact = std::nullopt) const;

  std::string_view bytes_;
  uint32_t sector_size_ = 512;
  uint32_t mini_cutoff_ = 4096;
  bool major3_ = true;
  std::vector<uint32_t> fat_;
  std::vector<uint32_t> mini_fat_;
  std::vector<Entry> entries_;
  bool mini_loaded_ = false;
  std::string mini_stream_;
};

}  // namespace tessarin::ooxml::xls
