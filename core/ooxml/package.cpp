// The zip container: bounded reading with libzip and writing into memory.
#include "core/ooxml/package.h"

#include <zip.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "core/host/host_error.h"
#include "core/ooxml/xml_util.h"

namespace tessarin::ooxml {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

std::string MiB(uint64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

struct ZipCloser {
  void operator()(zip_t* z) const { zip_discard(z); }
};

// An OLE compound file holding "EncryptedPackage" is a password-protected OOXML file.
bool IsEncryptedOle(std::string_view bytes) {
  static const char kName[] = "E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0";
  return std::string_view(bytes).find(std::string_view(kName, sizeof kName - 1)) != std::string_view::npos;
}

}  // namespace

PackageReader::PackageReader(std::string_view bytes, const std::string& file_name, const ReadLimits& limits)
    : file_(file_name) {
  auto fail = [&](const std::string& what) { Fail(file_, {}, what); };
  if (bytes.size() >= 8 && std::memcmp(bytes.data(), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) == 0) {
    if (IsEncryptedOle(bytes)) fail("the workbook is encrypted with a password; remove the password in the program that made it.");
    fail("this is an OLE compound file (an .xls workbook?), not an .xlsx package.");
  }
  if (bytes.size() < 22) fail("the file is too short to be a zip package (" + std::to_string(bytes.size()) + " bytes).");

  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  if (!src) fail("cannot read the zip container.");
  std::unique_ptr<zip_t, ZipCloser> za(zip_open_from_source(src, ZIP_RDONLY, &error));
  if (!za) {
    zip_source_free(src);
    std::string why = zip_error_strerror(&error);
    zip_error_fini(&error);
    fail("the zip container is damaged (" + why + ").");
  }
  zip_error_fini(&error);
  const zip_int64_t count = zip_get_num_entries(za.get(), 0);
  if (count <= 0) fail("the zip container holds no parts.");
  if (static_cast<uint64_t>(count) > limits.max_entries) {
    fail("the zip container holds " + std::to_string(count) + " entries, more than the " +
         std::to_string(limits.max_entries) + " allowed.");
  }
  uint64_t total = 0;
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(za.get(), i, 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME)) {
      fail("entry " + std::to_string(i) + " of the zip directory is damaged.");
    }
    std::string name = st.name;
    while (!name.empty() && name.front() == '/') name.erase(0, 1);
    if (name.empty() || name.back() == '/') continue;  // folders
    auto part_fail = [&](const std::string& what) { Fail(file_, name, what); };
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE) {
      part_fail("the entry is encrypted.");
    }
    const uint64_t size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
    const uint64_t comp = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
    if (size > limits.max_part_size) {
      part_fail("the part expands to " + MiB(size) + ", more than the " + MiB(limits.max_part_size) + " allowed.");
    }
    if (size > (uint64_t{1} << 20) && size / std::max<uint64_t>(comp, 1) > limits.max_ratio) {
      part_fail("the part is compressed " + std::to_string(size / std::max<uint64_t>(comp, 1)) +
                " to 1, which only a zip bomb does.");
    }
    total += size;
    if (total > limits.max_total_expanded) {
      part_fail("the package expands to more than " + MiB(limits.max_total_expanded) + ".");
    }
    if (parts_.count(name)) continue;

    zip_file_t* zf = zip_fopen_index(za.get(), i, 0);
    if (!zf) part_fail(std::string("the entry cannot be opened (") + zip_strerror(za.get()) + ").");
    std::string data;
    data.resize(size);
    uint64_t got = 0;
    for (;;) {
      // Read one byte past the declared size to catch an entry that inflates to more.
      if (got == data.size()) data.resize(data.size() + 1);
      const zip_int64_t n = zip_fread(zf, data.data() + got, data.size() - got);
      if (n < 0) {
        std::string why = zip_file_strerror(zf);
        zip_fclose(zf);
        part_fail("the entry is damaged (" + why + ").");
      }
      if (n == 0) break;
      got += static_cast<uint64_t>(n);
      if (got > size) {
        zip_fclose(zf);
        part_fail("the entry expands beyond its declared size.");
      }
    }
    zip_fclose(zf);
    if (got != size) part_fail("the entry is truncated.");
    data.resize(got);
    folded_.emplace(Lower(name), name);
    names_.push_back(name);
    parts_.emplace(std::move(name), std::move(data));
  }
}

const std::string* PackageReader::FindEntry(std::string_view part) const {
  while (!part.empty() && part.front() == '/') part.remove_prefix(1);
  auto it = parts_.find(std::string(part));
  if (it != parts_.end()) return &it->second;
  auto f = folded_.find(Lower(part));
  if (f == folded_.end()) return nullptr;
  return &parts_.at(f->second);
}

bool PackageReader::Has(std::string_view part) const { return FindEntry(part) != nullptr; }

const std::string* PackageReader::Find(std::string_view part) const { return FindEntry(part); }

const std::string& PackageReader::Get(std::string_view part) const {
  const std::string* s = FindEntry(part);
  if (!s) Fail(file_, part, "the part is missing from the package.");
  return *s;
}

std::string PackageReader::Take(std::string_view part) {
  std::string* s = const_cast<std::string*>(FindEntry(part));
  return s ? std::move(*s) : std::string();
}

std::string WriteZip(const std::vector<ZipEntry>& entries) {
  auto fail = [](const std::string& what) {
    throw host::HostError(host::kErrApplicationDefined, "Cannot build the workbook package: " + what);
  };
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* src = zip_source_buffer_create(nullptr, 0, 0, &error);
  if (!src) fail("out of memory");
  zip_source_keep(src);
  zip_t* za = zip_open_from_source(src, ZIP_TRUNCATE, &error);
  if (!za) {
    zip_source_free(src);
    fail(zip_error_strerror(&error));
  }
  for (const ZipEntry& e : entries) {
    zip_source_t* s = zip_source_buffer(za, e.data.data(), e.data.size(), 0);
    const zip_int64_t idx = s ? zip_file_add(za, e.name.c_str(), s, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) : -1;
    if (idx < 0) {
      if (s) zip_source_free(s);
      std::string why = zip_strerror(za);
      zip_discard(za);
      zip_source_free(src);
      fail(e.name + ": " + why);
    }
    // Big sheets trade a little size for a much faster save.
    const zip_uint32_t level = e.data.size() > (4u << 20) ? 1 : 6;
    zip_set_file_compression(za, idx, e.compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE, level);
    zip_file_set_mtime(za, idx, 315532800 + 86400 * 365 * 30, 0);  // a fixed stamp keeps output stable
  }
  if (zip_close(za) != 0) {
    std::string why = zip_strerror(za);
    zip_discard(za);
    zip_source_free(src);
    fail(why);
  }
  std::string out;
  if (zip_source_open(src) == 0) {
    zip_source_seek(src, 0, SEEK_END);
    const zip_int64_t size = zip_source_tell(src);
    zip_source_seek(src, 0, SEEK_SET);
    if (size > 0) {
      out.resize(static_cast<size_t>(size));
      const zip_int64_t n = zip_source_read(src, out.data(), out.size());
      if (n != size) out.clear();
    }
    zip_source_close(src);
  }
  zip_source_free(src);
  if (out.empty()) fail("the archive could not be read back from memory");
  return out;
}

std::string ResolvePartName(std::string_view source_part, std::string_view target) {
  std::string path;
  if (!target.empty() && target.front() == '/') {
    path = std::string(target.substr(1));
  } else {
    const size_t slash = source_part.rfind('/');
    path = slash == std::string_view::npos ? std::string() : std::string(source_part.substr(0, slash + 1));
    path.append(target);
  }
  // Normalise "." and ".." segments.
  std::vector<std::string> segs;
  size_t i = 0;
  while (i <= path.size()) {
    size_t j = path.find('/', i);
    if (j == std::string::npos) j = path.size();
    std::string seg = path.substr(i, j - i);
    if (seg == "..") {
      if (!segs.empty()) segs.pop_back();
    } else if (!seg.empty() && seg != ".") {
      segs.push_back(seg);
    }
    i = j + 1;
  }
  std::string out;
  for (size_t k = 0; k < segs.size(); ++k) {
    if (k) out.push_back('/');
    out += segs[k];
  }
  // Percent-encoded names ("%20") name the same part.
  if (out.find('%') != std::string::npos) {
    std::string dec;
    for (size_t k = 0; k < out.size(); ++k) {
      if (out[k] == '%' && k + 2 < out.size() && isxdigit(static_cast<unsigned char>(out[k + 1])) &&
          isxdigit(static_cast<unsigned char>(out[k + 2]))) {
        dec.push_back(static_cast<char>(std::stoi(out.substr(k + 1, 2), nullptr, 16)));
        k += 2;
      } else {
        dec.push_back(out[k]);
      }
    }
    out = dec;
  }
  return out;
}

std::string RelativeTarget(std::string_view source_part, std::string_view part) {
  const size_t slash = source_part.rfind('/');
  std::string_view dir = slash == std::string_view::npos ? std::string_view() : source_part.substr(0, slash + 1);
  if (part.substr(0, dir.size()) == dir) return std::string(part.substr(dir.size()));
  // Climb out of the source folder as far as needed.
  std::string up;
  std::string_view d = dir;
  while (!d.empty()) {
    d.remove_suffix(1);
    const size_t s = d.rfind('/');
    d = s == std::string_view::npos ? std::string_view() : d.substr(0, s + 1);
    up += "../";
    if (part.substr(0, d.size()) == d) return up + std::string(part.substr(d.size()));
  }
  return "/" + std::string(part);
}

std::string RelsPartName(std::string_view part) {
  const size_t slash = part.rfind('/');
  if (slash == std::string_view::npos) return "_rels/" + std::string(part) + ".rels";
  return std::string(part.substr(0, slash + 1)) + "_rels/" + std::string(part.substr(slash + 1)) + ".rels";
}

}  // namespace tessarin::ooxml
