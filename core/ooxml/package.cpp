// The zip container: bounded reading with libzip and writing into memory.
#include "core/ooxml/package.h"

#include <libdeflate.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <stdexcept>

#include "core/host/host_error.h"
#include "core/ooxml/part_compression.h"
#include "core/ooxml/xml_util.h"

namespace tessarin::ooxml {
namespace {

std::string MiB(uint64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

// An OLE compound file holding "EncryptedPackage" is a password-protected OOXML file.
bool IsEncryptedOle(std::string_view bytes) {
  static const char kName[] = "E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0";
  return std::string_view(bytes).find(std::string_view(kName, sizeof kName - 1)) !=
         std::string_view::npos;
}

// Why a zip entry name is not one a package part may have, or nullptr when it is fine.
const char* UnsafeEntryName(std::string_view name) {
  if (name.empty()) return "is empty";
  if (name.front() == '/') return "begins with \"/\"";
  if (name.find('\\') != std::string_view::npos) return "holds a backslash";
  if (name.find('\0') != std::string_view::npos) return "holds a NUL character";
  if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]))) {
    return "begins with a drive letter";
  }
  for (size_t i = 0; i <= name.size();) {
    size_t j = name.find('/', i);
    if (j == std::string_view::npos) j = name.size();
    if (name.substr(i, j - i) == "..") return "holds a \"..\" segment";
    i = j + 1;
  }
  return nullptr;
}

}  // namespace

static void DiscardZip(void* z) {
  if (z) zip_discard(static_cast<zip_t*>(z));
}

PackageReader::PackageReader(std::string_view bytes, const std::string& file_name,
                             const ReadLimits& limits)
    : zip_(nullptr, DiscardZip), file_(file_name), archive_size_(bytes.size()) {
  auto fail = [&](const std::string& what) { Fail(file_, {}, what); };
  if (bytes.size() >= 8 && std::memcmp(bytes.data(), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) == 0) {
    if (IsEncryptedOle(bytes))
      fail(
          "the workbook is encrypted with a password; remove the password in the program that made "
          "it.");
    fail("this is an OLE compound file (an .xls workbook?), not an .xlsx package.");
  }
  if (bytes.size() < 22)
    fail("the file is too short to be a zip package (" + std::to_string(bytes.size()) + " bytes).");

  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  if (!src) fail("cannot read the zip container.");
  zip_t* za = zip_open_from_source(src, ZIP_RDONLY, &error);
  if (!za) {
    zip_source_free(src);
    std::string why = zip_error_strerror(&error);
    zip_error_fini(&error);
    fail("the zip container is damaged (" + why + ").");
  }
  zip_error_fini(&error);
  zip_.reset(za);
  const zip_int64_t count = zip_get_num_entries(za, 0);
  if (count <= 0) fail("the zip container holds no parts.");
  if (static_cast<uint64_t>(count) > limits.max_entries) {
    fail("the zip container holds " + std::to_string(count) + " entries, more than the " +
         std::to_string(limits.max_entries) + " allowed.");
  }
  uint64_t total = 0;
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(za, i, 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME)) {
      fail("entry " + std::to_string(i) + " of the zip directory is damaged.");
    }
    std::string name = st.name;
    auto part_fail = [&](const std::string& what) { Fail(file_, name, what); };
    // Names that escape the package when unpacked, or that programs resolve differently.
    if (const char* why = UnsafeEntryName(name))
      part_fail(std::string("the entry name ") + why + ".");
    if (name.back() == '/') continue;  // folders
    if (const auto f = folded_.find(Lower(name)); f != folded_.end()) {
      // Programs disagree on which copy counts, so the file would mean different things.
      part_fail(
          "the package holds two entries of this name" +
          (f->second == name ? std::string() : " (\"" + f->second + "\" differs only in case)") +
          ".");
    }
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE) {
      part_fail("the entry is encrypted.");
    }
    const uint64_t size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
    const uint64_t comp = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
    if (size > limits.max_part_size) {
      part_fail("the part expands to " + MiB(size) + ", more than the " +
                MiB(limits.max_part_size) + " allowed.");
    }
    if (size > (uint64_t{1} << 20) && size / std::max<uint64_t>(comp, 1) > limits.max_ratio) {
      part_fail("the part is compressed " + std::to_string(size / std::max<uint64_t>(comp, 1)) +
                " to 1, which only a zip bomb does.");
    }
    total += size;
    if (total > limits.max_total_expanded) {
      part_fail("the package expands to more than " + MiB(limits.max_total_expanded) + ".");
    }
    entries_[name] = {static_cast<uint64_t>(i), size, false};
    folded_.emplace(Lower(name), name);
    names_.push_back(std::move(name));
  }
}

PackageReader::~PackageReader() = default;

// Deflated entries are inflated here rather than by libzip: zlib straight into the reader's
// buffer, and the checksum by libdeflate, several times faster than zlib's.
struct PackageReader::Stream::Inflater {
  z_stream z{};
  std::string in = std::string(1 << 16, '\0');
  bool ended = false;
  ~Inflater() { inflateEnd(&z); }
};

PackageReader::Stream::~Stream() {
  if (!file_) return;
  std::lock_guard lock(*zip_mutex_);
  zip_fclose(static_cast<zip_file_t*>(file_));
}

// Counts what came and proves the whole entry sound once it has all come.
void PackageReader::Stream::Check(size_t n, bool ended) {
  got_ += n;
  // The declared size bounds what we accept: an entry that inflates to more is a bomb in disguise.
  if (got_ > declared_) Fail(file_name_, part_, "the entry expands beyond its declared size.");
  if (!ended) return;
  if (got_ != declared_) Fail(file_name_, part_, "the entry is truncated.");
  if (inflater_ && crc_ != declared_crc_)
    Fail(file_name_, part_, "the entry is damaged (CRC error).");
}

size_t PackageReader::Stream::ReadDeflated(char* out, size_t size) {
  Inflater& f = *inflater_;
  auto* zf = static_cast<zip_file_t*>(file_);
  f.z.next_out = reinterpret_cast<Bytef*>(out);
  f.z.avail_out = static_cast<uInt>(std::min<size_t>(size, UINT32_MAX));
  const uInt room = f.z.avail_out;
  while (f.z.avail_out > 0 && !f.ended) {
    if (f.z.avail_in == 0) {
      std::unique_lock lock(*zip_mutex_);
      const zip_int64_t n = zip_fread(zf, f.in.data(), f.in.size());
      if (n < 0)
        Fail(file_name_, part_,
             std::string("the entry is damaged (") + zip_file_strerror(zf) + ").");
      lock.unlock();
      if (n == 0) Fail(file_name_, part_, "the entry is truncated.");
      f.z.next_in = reinterpret_cast<Bytef*>(f.in.data());
      f.z.avail_in = static_cast<uInt>(n);
    }
    const int status = inflate(&f.z, Z_NO_FLUSH);
    if (status == Z_STREAM_END) {
      f.ended = true;
    } else if (status != Z_OK) {
      Fail(file_name_, part_,
           std::string("the entry is damaged (") + (f.z.msg ? f.z.msg : "inflate failed") + ").");
    }
  }
  const size_t n = room - f.z.avail_out;
  crc_ = libdeflate_crc32(crc_, out, n);
  Check(n, f.ended);
  return n;
}

size_t PackageReader::Stream::Read(char* out, size_t size) {
  if (!file_ || size == 0) return 0;
  if (inflater_) return ReadDeflated(out, size);
  auto* zf = static_cast<zip_file_t*>(file_);
  std::unique_lock lock(*zip_mutex_);
  const zip_int64_t n = zip_fread(zf, out, size);
  if (n < 0)
    Fail(file_name_, part_, std::string("the entry is damaged (") + zip_file_strerror(zf) + ").");
  lock.unlock();
  Check(static_cast<size_t>(n), n == 0);
  return static_cast<size_t>(n);
}

std::unique_ptr<PackageReader::Stream> PackageReader::Open(std::string_view part) {
  const std::string* name = Resolve(part);
  if (!name) Fail(file_, part, "the part is missing from the package.");
  const Entry& e = entries_.at(*name);
  auto* za = static_cast<zip_t*>(zip_.get());
  std::unique_ptr<Stream> s(new Stream());
  s->zip_mutex_ = &zip_mutex_;
  zip_stat_t st;
  zip_stat_init(&st);
  const zip_uint64_t need = ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC;
  bool deflated;
  {
    std::lock_guard lock(zip_mutex_);
    deflated = zip_stat_index(za, e.index, 0, &st) == 0 && (st.valid & need) == need &&
               st.comp_method == ZIP_CM_DEFLATE;
    s->file_ = zip_fopen_index(za, e.index, deflated ? ZIP_FL_COMPRESSED : 0);
    if (!s->file_)
      Fail(file_, *name, std::string("the entry cannot be opened (") + zip_strerror(za) + ").");
  }
  s->declared_ = e.size;
  s->file_name_ = file_;
  s->part_ = *name;
  if (deflated) {
    s->inflater_ = std::make_unique<Stream::Inflater>();
    if (inflateInit2(&s->inflater_->z, -MAX_WBITS) != Z_OK) throw std::bad_alloc();
    s->declared_crc_ = st.crc;
  }
  return s;
}

std::string PackageReader::Inflate(const std::string& name) {
  auto stream = Open(name);
  std::string data;
  data.resize(entries_.at(name).size + 1);
  size_t got = 0;
  for (;;) {
    if (got == data.size()) data.resize(data.size() + 1);
    const size_t n = stream->Read(data.data() + got, data.size() - got);
    if (n == 0) break;
    got += n;
  }
  data.resize(got);
  return data;
}

const std::string* PackageReader::Resolve(std::string_view part) const {
  while (!part.empty() && part.front() == '/') part.remove_prefix(1);
  auto it = entries_.find(std::string(part));
  if (it != entries_.end()) return &it->first;
  auto f = folded_.find(Lower(part));
  return f == folded_.end() ? nullptr : &f->second;
}

bool PackageReader::Has(std::string_view part) const { return Resolve(part) != nullptr; }

uint64_t PackageReader::DeclaredSize(std::string_view part) const {
  const std::string* name = Resolve(part);
  return name ? entries_.at(*name).size : 0;
}

const std::string* PackageReader::Find(std::string_view part) {
  const std::string* name = Resolve(part);
  if (!name) return nullptr;
  Entry& e = entries_.at(*name);
  if (!e.loaded) {
    parts_[*name] = Inflate(*name);
    e.loaded = true;
  }
  return &parts_.at(*name);
}

const std::string& PackageReader::Get(std::string_view part) {
  const std::string* s = Find(part);
  if (!s) Fail(file_, part, "the part is missing from the package.");
  return *s;
}

std::string PackageReader::Take(std::string_view part) {
  const std::string* name = Resolve(part);
  if (!name) return {};
  Entry& e = entries_.at(*name);
  if (!e.loaded) return Inflate(*name);
  std::string out = std::move(parts_[*name]);
  parts_.erase(*name);
  e.loaded = false;
  return out;
}

CompressedPart PackageReader::TakeCompressed(std::string_view part,
                                             const std::function<void(std::string_view)>& check) {
  const std::string* found = Resolve(part);
  if (!found) Fail(file_, part, "the part is missing from the package.");
  const std::string name = *found;
  Entry& e = entries_.at(name);
  if (e.loaded) {
    parts_.erase(name);
    e.loaded = false;
  }
  {
    auto stream = Open(name);
    std::string piece(256 * 1024, '\0');
    while (const size_t n = stream->Read(piece.data(), piece.size()))
      check(std::string_view(piece.data(), n));
  }
  return Stored(name);
}

CompressedPart PackageReader::Stored(std::string_view part) {
  const std::string* found = Resolve(part);
  if (!found) Fail(file_, part, "the part is missing from the package.");
  const std::string& name = *found;
  const Entry& e = entries_.at(name);
  auto* za = static_cast<zip_t*>(zip_.get());
  std::lock_guard lock(zip_mutex_);
  zip_stat_t st;
  zip_stat_init(&st);
  const zip_uint64_t need =
      ZIP_STAT_COMP_METHOD | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC | ZIP_STAT_SIZE;
  if (zip_stat_index(za, e.index, 0, &st) != 0 || (st.valid & need) != need) {
    Fail(file_, name, "the entry's directory record is damaged.");
  }
  // The directory's word is not trusted: an entry cannot hold more bytes than the whole file.
  if (st.comp_size > archive_size_) {
    Fail(file_, name,
         "the entry's directory record claims more compressed bytes than the file holds.");
  }
  CompressedPart out;
  out.method = st.comp_method;
  out.crc = st.crc;
  out.size = st.size;
  out.bytes.resize(st.comp_size);
  zip_file_t* zf = zip_fopen_index(za, e.index, ZIP_FL_COMPRESSED);
  if (!zf) Fail(file_, name, std::string("the entry cannot be opened (") + zip_strerror(za) + ").");
  size_t got = 0;
  while (got < out.bytes.size()) {
    const zip_int64_t n = zip_fread(zf, out.bytes.data() + got, out.bytes.size() - got);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  zip_fclose(zf);
  if (got != out.bytes.size()) Fail(file_, name, "the entry is truncated.");
  return out;
}

const std::map<std::string, std::string>& PackageReader::parts() {
  for (const std::string& n : names_) Find(n);
  return parts_;
}

namespace {

// What both kinds of source below answer alike: errors, freeing, the commands they support.
zip_int64_t OtherCommand(zip_error_t& error, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
  switch (cmd) {
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&error, data, len);
    case ZIP_SOURCE_FREE:
      return 0;
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                            ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
      zip_error_set(&error, ZIP_ER_OPNOTSUPP, 0);
      return -1;
  }
}

// Feeds a generated entry to libzip piece by piece. Exceptions must not cross libzip's C code:
// they are kept and thrown again once zip_close has returned.
struct Generated {
  const ZipEntry* entry;
  std::string piece;
  size_t pos = 0;
  uint64_t produced = 0;
  bool done = false;
  std::exception_ptr failure;
  zip_error_t error;
};

zip_int64_t GeneratedCallback(void* user, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
  auto* g = static_cast<Generated*>(user);
  switch (cmd) {
    case ZIP_SOURCE_OPEN:
      g->piece.clear(), g->pos = 0, g->produced = 0, g->done = false;
      return 0;
    case ZIP_SOURCE_READ: {
      try {
        while (g->pos == g->piece.size() && !g->done) {
          g->piece.clear();
          g->pos = 0;
          g->done = !g->entry->generate(g->piece);
          g->produced += g->piece.size();
          if (g->produced > g->entry->size)
            throw std::logic_error("generated part longer than measured: " + g->entry->name);
        }
        if (g->done && g->pos == g->piece.size() && g->produced != g->entry->size) {
          throw std::logic_error("generated part shorter than measured: " + g->entry->name);
        }
      } catch (...) {
        g->failure = std::current_exception();
        zip_error_set(&g->error, ZIP_ER_INTERNAL, 0);
        return -1;
      }
      const size_t n = std::min<size_t>(len, g->piece.size() - g->pos);
      std::memcpy(data, g->piece.data() + g->pos, n);
      g->pos += n;
      return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_CLOSE:
      g->piece = std::string();
      return 0;
    case ZIP_SOURCE_STAT: {
      auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, len, &g->error);
      if (!st) return -1;
      zip_stat_init(st);
      st->size = g->entry->size;
      st->valid |= ZIP_STAT_SIZE;
      return sizeof(*st);
    }
    default:
      return OtherCommand(g->error, data, len, cmd);
  }
}

// Serves a part compressed elsewhere as it is: libzip writes data whose stated method is the
// entry's own without compressing it again.
struct Compressed {
  const CompressedPart* part;
  size_t pos = 0;
  zip_error_t error;
};

zip_int64_t CompressedCallback(void* user, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
  auto* c = static_cast<Compressed*>(user);
  switch (cmd) {
    case ZIP_SOURCE_OPEN:
      c->pos = 0;
      return 0;
    case ZIP_SOURCE_READ: {
      const size_t n = std::min<size_t>(len, c->part->bytes.size() - c->pos);
      std::memcpy(data, c->part->bytes.data() + c->pos, n);
      c->pos += n;
      return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_CLOSE:
      return 0;
    case ZIP_SOURCE_STAT: {
      auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, len, &c->error);
      if (!st) return -1;
      zip_stat_init(st);
      st->size = c->part->size;
      st->comp_size = c->part->bytes.size();
      st->comp_method = c->part->method;
      st->crc = c->part->crc;
      st->encryption_method = ZIP_EM_NONE;
      st->valid |= ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC |
                   ZIP_STAT_ENCRYPTION_METHOD;
      return sizeof(*st);
    }
    default:
      return OtherCommand(c->error, data, len, cmd);
  }
}

// The generated entry whole, checked against its measured size.
std::string GenerateWhole(const ZipEntry& e) {
  // No room is reserved: a sheet kept whole is handed over in one piece, buffer and all.
  std::string out;
  for (bool more = true; more;) {
    more = e.generate(out);
    if (out.size() > e.size)
      throw std::logic_error("generated part longer than measured: " + e.name);
  }
  if (out.size() != e.size)
    throw std::logic_error("generated part shorter than measured: " + e.name);
  return out;
}

}  // namespace

std::string WriteZip(const std::vector<ZipEntry>& input) {
  // The parts are deflated first, on every core; libzip then writes them as they are.
  std::vector<ZipEntry> entries = input;
  std::deque<CompressedPart> deflated;
  {
    std::deque<std::string> whole;
    std::vector<DeflateJob> jobs;
    uint64_t held = 0;
    for (ZipEntry& e : entries) {
      if (e.generated_whole) held += e.data.size();
      if (e.compressed || !e.compress) continue;
      if (e.generate && (e.size > kWholePartLimit || held + e.size > kWholePartsLimit)) continue;
      if (e.generate) held += e.size;
      const std::string_view data = e.generate ? whole.emplace_back(GenerateWhole(e)) : e.data;
      jobs.push_back({data, &deflated.emplace_back()});
      e.compressed = jobs.back().out;
    }
    DeflateParts(jobs);
  }
  auto fail = [](const std::string& what) {
    throw host::HostError(host::kErrApplicationDefined,
                          "Cannot build the workbook package: " + what);
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
  std::deque<Generated> generated;
  std::deque<Compressed> compressed;
  for (const ZipEntry& e : entries) {
    zip_source_t* s;
    if (e.compressed) {
      Compressed& c = compressed.emplace_back();
      c.part = e.compressed;
      zip_error_init(&c.error);
      s = zip_source_function(za, CompressedCallback, &c);
    } else if (e.generate) {
      Generated& g = generated.emplace_back();
      g.entry = &e;
      zip_error_init(&g.error);
      s = zip_source_function(za, GeneratedCallback, &g);
    } else {
      s = zip_source_buffer(za, e.data.data(), e.data.size(), 0);
    }
    const zip_int64_t idx =
        s ? zip_file_add(za, e.name.c_str(), s, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) : -1;
    if (idx < 0) {
      if (s) zip_source_free(s);
      std::string why = zip_strerror(za);
      zip_discard(za);
      zip_source_free(src);
      fail(e.name + ": " + why);
    }
    zip_file_set_mtime(za, idx, 315532800 + 86400 * 365 * 30,
                       0);       // a fixed stamp keeps output stable
    if (e.compressed) continue;  // already in its method; setting one would compress it again
    // Big sheets trade a little size for a much faster save.
    const zip_uint32_t level = std::max<uint64_t>(e.data.size(), e.size) > (4u << 20) ? 1 : 6;
    zip_set_file_compression(za, idx, e.compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE, level);
  }
  if (zip_close(za) != 0) {
    std::string why = zip_strerror(za);
    zip_discard(za);
    zip_source_free(src);
    for (Generated& g : generated) {
      if (g.failure) std::rethrow_exception(g.failure);
    }
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

std::string InflatePart(const CompressedPart& part) {
  // libzip knows every method a package may use: a one-entry archive lets it do the work.
  const std::string zip = WriteZip({ZipEntry{"part", {}, true, {}, 0, &part}});
  ReadLimits limits;
  limits.max_ratio = UINT64_MAX;  // the caller decided to hold this part
  PackageReader reader(zip, "part", limits);
  return reader.Take("part");
}

std::string ResolvePartName(std::string_view source_part, std::string_view target) {
  std::string path;
  if (!target.empty() && target.front() == '/') {
    path = std::string(target.substr(1));
  } else {
    const size_t slash = source_part.rfind('/');
    path = slash == std::string_view::npos ? std::string()
                                           : std::string(source_part.substr(0, slash + 1));
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
  std::string_view dir =
      slash == std::string_view::npos ? std::string_view() : source_part.substr(0, slash + 1);
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
  return std::string(part.substr(0, slash + 1)) + "_rels/" + std::string(part.substr(slash + 1)) +
         ".rels";
}

}  // namespace tessarin::ooxml
