// The zip container of a package: bounded reading of its entries and writing of a new archive.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/ooxml/xlsx.h"

namespace tessarin::ooxml {

// Reads every entry of a zip archive held in memory, inflating each under the limits (entry
// count, size of one part, total size, compression ratio), so a zip bomb costs at most the
// limits. Part names are kept as stored, without a leading "/".
// Throws HostError 1004 naming the file (and the entry) when the archive is damaged, encrypted
// or over a limit.
class PackageReader {
 public:
  PackageReader(std::string_view bytes, const std::string& file_name, const ReadLimits& limits);

  bool Has(std::string_view part) const;
  // The part's bytes; throws HostError 1004 naming the part when it is missing.
  const std::string& Get(std::string_view part) const;
  // nullptr when missing. Lookup ignores case, as package part names do.
  const std::string* Find(std::string_view part) const;
  // Gives up the part's bytes (the entry stays, empty).
  std::string Take(std::string_view part);
  const std::map<std::string, std::string>& parts() const { return parts_; }
  // Names in archive order.
  const std::vector<std::string>& names() const { return names_; }

 private:
  const std::string* FindEntry(std::string_view part) const;
  std::map<std::string, std::string> parts_;
  std::map<std::string, std::string> folded_;  // lower-case name -> stored name
  std::vector<std::string> names_;
  std::string file_;
};

// One entry of an archive to write.
struct ZipEntry {
  std::string name;
  std::string_view data;
  bool compress = true;
};

// Writes a zip archive of `entries` in order and returns its bytes. Throws HostError 1004 if
// the archive cannot be built.
std::string WriteZip(const std::vector<ZipEntry>& entries);

// Resolves a relationship target against the part that owns the relationship: "../x.xml" from
// "xl/worksheets/sheet1.xml" gives "xl/x.xml"; an absolute "/xl/x.xml" gives "xl/x.xml".
std::string ResolvePartName(std::string_view source_part, std::string_view target);
// The target that reaches `part` from `source_part`, relative when they share a folder prefix.
std::string RelativeTarget(std::string_view source_part, std::string_view part);
// "xl/worksheets/_rels/sheet1.xml.rels" for "xl/worksheets/sheet1.xml"; "_rels/.rels" for "".
std::string RelsPartName(std::string_view part);

}  // namespace tessarin::ooxml
