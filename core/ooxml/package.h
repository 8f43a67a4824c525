// The zip container of a package: bounded reading of its entries and writing of a new archive.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/ooxml/xlsx.h"

namespace tessarin::ooxml {

// A part as an archive stores it: its compressed bytes, how they are compressed and the
// checksum and size of what they inflate to. Parts we only pass on are kept so, never inflated.
struct CompressedPart {
  std::string bytes;
  uint16_t method = 0;  // the zip compression method (0 stored, 8 deflated ...)
  uint32_t crc = 0;
  uint64_t size = 0;  // inflated
};

// Reads the entries of a zip archive held in memory (which must outlive the reader), inflating
// each under the limits (entry count, size of one part, total size, compression ratio), so a zip
// bomb costs at most the limits. Parts are inflated when first asked for; big ones can be
// streamed. Part names are kept as stored, without a leading "/".
// Throws HostError 1004 naming the file (and the entry) when the archive is damaged, encrypted
// or over a limit. Streams of different parts may be read on different threads at once (the
// archive is touched under a lock); everything else belongs to one thread.
class PackageReader {
 public:
  PackageReader(std::string_view bytes, const std::string& file_name, const ReadLimits& limits);
  ~PackageReader();
  PackageReader(const PackageReader&) = delete;
  PackageReader& operator=(const PackageReader&) = delete;

  // Lookup ignores case, as package part names do.
  bool Has(std::string_view part) const;
  // The size the part declares it inflates to (0 when missing); reading proves it.
  uint64_t DeclaredSize(std::string_view part) const;
  // The part's bytes; throws HostError 1004 naming the part when it is missing.
  const std::string& Get(std::string_view part);
  // nullptr when missing.
  const std::string* Find(std::string_view part);
  // Gives up the part's bytes (inflating them if needed).
  std::string Take(std::string_view part);
  // The part as stored, for passing it on unchanged. Its inflated bytes are first streamed
  // through `check` piece by piece, which also proves the entry sound (size and checksum) as
  // Get does, without ever holding them whole. Throws HostError 1004 as Get does.
  CompressedPart TakeCompressed(std::string_view part,
                                const std::function<void(std::string_view)>& check);
  // The part as stored, without inflating it: for a part whose content a read through Open has
  // proved sound. Throws HostError 1004 when the entry's directory record is damaged.
  CompressedPart Stored(std::string_view part);
  // Reads the part in pieces: each call fills up to `size` bytes and returns how many, 0 at the
  // end. Throws HostError 1004 as Get does.
  class Stream {
   public:
    ~Stream();
    size_t Read(char* out, size_t size);

   private:
    friend class PackageReader;
    struct Inflater;  // a deflated entry's own inflation, read raw from the archive
    Stream() = default;
    size_t ReadDeflated(char* out, size_t size);
    void Check(size_t n, bool ended);
    void* file_ = nullptr;
    std::mutex* zip_mutex_ = nullptr;  // the reader's, held while the archive is touched
    std::unique_ptr<Inflater> inflater_;
    uint64_t declared_ = 0;
    uint64_t got_ = 0;
    uint32_t crc_ = 0, declared_crc_ = 0;
    std::string file_name_, part_;
  };
  std::unique_ptr<Stream> Open(std::string_view part);
  // Every part, inflated.
  const std::map<std::string, std::string>& parts();
  // Names in archive order.
  const std::vector<std::string>& names() const { return names_; }

 private:
  struct Entry {
    uint64_t index = 0;
    uint64_t size = 0;
    bool loaded = false;
  };
  const std::string* Resolve(std::string_view part) const;  // stored name, or nullptr
  std::string Inflate(const std::string& name);

  std::unique_ptr<void, void (*)(void*)> zip_;
  // libzip reads every entry through the one source over the archive's bytes, which keeps a
  // position: streams read on other threads take turns under this lock.
  std::mutex zip_mutex_;
  std::map<std::string, Entry> entries_;
  std::map<std::string, std::string> parts_;
  std::map<std::string, std::string> folded_;  // lower-case name -> stored name
  std::vector<std::string> names_;
  std::string file_;
  uint64_t archive_size_ = 0;
};

// One entry of an archive to write: its bytes, or a generator that appends the next piece to
// its argument and returns false after the last one, with the exact total size given.
struct ZipEntry {
  std::string name;
  std::string_view data;
  bool compress = true;
  std::function<bool(std::string&)> generate;
  uint64_t size = 0;
  // A part passed on from another archive: written as it was compressed there, `data` unused.
  const CompressedPart* compressed = nullptr;
  // `data` is a generated part its generator already held whole: it counts towards
  // kWholePartsLimit as one generated here would.
  bool generated_whole = false;
};

// Generated entries of up to kWholePartLimit bytes are generated whole and deflated in one
// piece, as long as those held whole stay within kWholePartsLimit together; the others are
// compressed while they are generated, never held whole.
constexpr uint64_t kWholePartLimit = 16u << 20;
constexpr uint64_t kWholePartsLimit = 2 * kWholePartLimit;

// Writes a zip archive of `entries` in order and returns its bytes. Throws HostError 1004 if
// the archive cannot be built.
std::string WriteZip(const std::vector<ZipEntry>& entries);

// The inflated bytes of a part kept compressed (a small one: a relationships part, a test's).
// Throws HostError 1004 when they do not inflate to what the part says.
std::string InflatePart(const CompressedPart& part);

// Resolves a relationship target against the part that owns the relationship: "../x.xml" from
// "xl/worksheets/sheet1.xml" gives "xl/x.xml"; an absolute "/xl/x.xml" gives "xl/x.xml".
std::string ResolvePartName(std::string_view source_part, std::string_view target);
// The target that reaches `part` from `source_part`, relative when they share a folder prefix.
std::string RelativeTarget(std::string_view source_part, std::string_view part);
// "xl/worksheets/_rels/sheet1.xml.rels" for "xl/worksheets/sheet1.xml"; "_rels/.rels" for "".
std::string RelsPartName(std::string_view part);

}  // namespace tessarin::ooxml
