// Excel 97-2003 import: the compound-file container and BIFF record walk are read here to tell
// what a file is and to recover what libfreexl leaves out (exact numbers, Booleans, errors,
// formula results); libfreexl supplies the shared strings and which numbers are dates.
#include "core/ooxml/xls_import.h"

#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include <freexl.h>

#include "core/host/cell.h"
#include "core/host/date_serial.h"
#include "core/host/geometry.h"
#include "core/host/host_error.h"
#include "core/host/text_encoding.h"
#include "core/host/text_util.h"

namespace tessarin::ooxml {
namespace {

using host::HostError;

[[noreturn]] void Fail(const std::string& file_name, const std::string& what) {
  throw HostError(host::kErrApplicationDefined, "Cannot open " + file_name + ": " + what);
}

uint16_t U16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}
uint32_t U32(std::string_view b, size_t at) { return U16(b, at) | static_cast<uint32_t>(U16(b, at + 2)) << 16; }

constexpr std::string_view kCompoundSignature = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;

// A read-only view of an OLE compound file: its directory and the streams it holds. Every
// sector chain is checked against the file size and against cycles, so a damaged file costs at
// most one pass over its bytes.
class CompoundFile {
 public:
  struct Entry {
    std::string name;  // UTF-8
    int type = 0;      // 1 storage, 2 stream, 5 root
    uint32_t start = 0;
    uint64_t size = 0;
  };

  // Returns "" when the container is readable, else what is wrong with it.
  std::string Open(std::string_view bytes) {
    bytes_ = bytes;
    if (bytes.size() < 512 || bytes.substr(0, 8) != kCompoundSignature) return "the file is too short for its header";
    const uint16_t major = U16(bytes, 0x1A);
    const uint16_t sector_shift = U16(bytes, 0x1E);
    const uint16_t mini_shift = U16(bytes, 0x20);
    if ((sector_shift != 9 && sector_shift != 12) || mini_shift != 6) return "the header gives an invalid sector size";
    sector_size_ = 1u << sector_shift;
    major3_ = major == 3;
    mini_cutoff_ = U32(bytes, 0x38);
    const uint32_t fat_sectors = U32(bytes, 0x2C);
    const uint32_t first_dir = U32(bytes, 0x30);
    const uint32_t first_mini_fat = U32(bytes, 0x3C);
    uint32_t difat_sector = U32(bytes, 0x44);
    const uint64_t sector_count = (bytes.size() + sector_size_ - 1) / sector_size_;
    if (fat_sectors > sector_count) return "the header declares more allocation sectors than the file holds";

    // The allocation table: its sectors are listed in the header and then in a chain of DIFAT sectors.
    std::vector<uint32_t> fat_list;
    for (size_t i = 0; i < 109 && fat_list.size() < fat_sectors; ++i) fat_list.push_back(U32(bytes, 0x4C + 4 * i));
    for (uint64_t steps = 0; fat_list.size() < fat_sectors; ++steps) {
      if (difat_sector >= kEndOfChain || steps > sector_count) return "the allocation table index is cut short";
      std::string_view sector = Sector(difat_sector);
      if (sector.size() < sector_size_) return "the allocation table index points outside the file";
      for (size_t i = 0; i + 1 < sector_size_ / 4 && fat_list.size() < fat_sectors; ++i) fat_list.push_back(U32(sector, 4 * i));
      difat_sector = U32(sector, sector_size_ - 4);
    }
    fat_.reserve(fat_list.size() * (sector_size_ / 4));
    for (uint32_t s : fat_list) {
      std::string_view sector = Sector(s);
      if (sector.size() < sector_size_) return "an allocation table sector lies outside the file";
      for (size_t i = 0; i < sector_size_ / 4; ++i) fat_.push_back(U32(sector, 4 * i));
    }

    std::string directory;
    if (std::string why = ReadChain(first_dir, fat_, sector_size_, {}, UINT64_MAX, &directory); !why.empty()) {
      return "the directory is damaged (" + why + ")";
    }
    for (size_t off = 0; off + 128 <= directory.size(); off += 128) {
      std::string_view e = std::string_view(directory).substr(off, 128);
      Entry entry;
      entry.type = static_cast<unsigned char>(e[66]);
      const size_t name_bytes = std::min<size_t>(U16(e, 64), 64);
      if (name_bytes >= 2 && name_bytes % 2 == 0) {
        try {
          entry.name = host::Utf16LeToUtf8(e.substr(0, name_bytes - 2));
        } catch (const HostError&) {
          entry.name.clear();  // an undecodable name matches nothing we look for
        }
      }
      entry.start = U32(e, 116);
      entry.size = major3_ ? U32(e, 120) : (U32(e, 120) | uint64_t{U32(e, 124)} << 32);
      entries_.push_back(std::move(entry));
    }
    if (entries_.empty() || entries_[0].type != 5) return "the directory has no root entry";

    // Small streams live in the mini stream, which the root entry holds, with their own table.
    std::string mini_fat_bytes;
    if (first_mini_fat < kEndOfChain) {
      if (std::string why = ReadChain(first_mini_fat, fat_, sector_size_, {}, UINT64_MAX, &mini_fat_bytes); !why.empty()) {
        return "the small-stream table is damaged (" + why + ")";
      }
    }
    for (size_t i = 0; i + 4 <= mini_fat_bytes.size(); i += 4) mini_fat_.push_back(U32(mini_fat_bytes, i));
    return "";
  }

  const Entry* Find(std::string_view name) const {
    for (const Entry& e : entries_) {
      if (e.type == 2 && e.name.size() == name.size() &&
          std::equal(name.begin(), name.end(), e.name.begin(),
                     [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b)); })) {
        return &e;
      }
    }
    return nullptr;
  }

  // Reads a whole stream into `out`; returns "" or what is wrong.
  std::string Read(const Entry& entry, uint64_t max_bytes, std::string* out) {
    if (entry.size > max_bytes) return "a stream is larger than the file allows";
    if (entry.size < mini_cutoff_) {
      if (!mini_loaded_) {
        mini_loaded_ = true;
        const Entry& root = entries_[0];
        if (std::string why = ReadChain(root.start, fat_, sector_size_, {}, bytes_.size(), &mini_stream_); !why.empty()) {
          return "the small-stream area is damaged (" + why + ")";
        }
        if (mini_stream_.size() > root.size) mini_stream_.resize(root.size);
      }
      return ReadChain(entry.start, mini_fat_, 64, mini_stream_, entry.size, out, entry.size);
    }
    return ReadChain(entry.start, fat_, sector_size_, {}, entry.size, out, entry.size);
  }

 private:
  std::string_view Sector(uint32_t s) const {
    const uint64_t off = (uint64_t{s} + 1) * sector_size_;
    if (off >= bytes_.size()) return {};
    return bytes_.substr(off, sector_size_);
  }

  // Follows a chain through `table`; sectors come from `area` when given (the mini stream),
  // else from the file. Stops at `limit` bytes; with `exact`, the chain must hold that many.
  std::string ReadChain(uint32_t start, const std::vector<uint32_t>& table, uint32_t size,
                        std::string_view area, uint64_t limit, std::string* out,
                        std::optional<uint64_t> exact = std::nullopt) const {
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

// --- BIFF8 records -------------------------------------------------------------------------

constexpr uint16_t kBof = 0x0809, kEof = 0x000A, kFilePass = 0x002F, kBoundSheet = 0x0085,
                   kNumber = 0x0203, kRk = 0x027E, kMulRk = 0x00BD, kBoolErr = 0x0205,
                   kFormula = 0x0006, kString = 0x0207, kContinue = 0x003C, kLabel = 0x0204,
                   kRString = 0x00D6, kCodePage = 0x0042, kDateMode = 0x0022, kFormat = 0x041E,
                   kXf = 0x00E0;

struct Record {
  uint16_t type;
  std::string_view data;
};

// Iterates the records of a stream from `pos`; stops at the end or at a truncated record.
class RecordReader {
 public:
  RecordReader(std::string_view stream, size_t pos) : stream_(stream), pos_(pos) {}
  std::optional<Record> Next() {
    if (pos_ + 4 > stream_.size()) return std::nullopt;
    const uint16_t type = U16(stream_, pos_), size = U16(stream_, pos_ + 2);
    if (pos_ + 4 + size > stream_.size()) return std::nullopt;
    Record r{type, stream_.substr(pos_ + 4, size)};
    pos_ += 4 + size;
    return r;
  }
  std::optional<Record> Peek() {
    const size_t saved = pos_;
    auto r = Next();
    pos_ = saved;
    return r;
  }

 private:
  std::string_view stream_;
  size_t pos_;
};

struct SheetRecord {
  std::string name;
  uint32_t offset = 0;
  int state = 0;  // 0 visible, 1 hidden, 2 very hidden
  int kind = 0;   // 0 worksheet, 2 chart, 6 module
};

// A value recovered from the records, for cells where libfreexl gives none or a rounded one.
struct RawCell {
  uint16_t row;
  uint16_t col;
  uint16_t xf;
  bool formula;
  host::CellValue value;
};

double RkValue(uint32_t rk) {
  double v;
  if (rk & 2) {
    v = static_cast<double>(static_cast<int32_t>(rk) >> 2);
  } else {
    const uint64_t bits = uint64_t{rk & 0xFFFFFFFCu} << 32;
    std::memcpy(&v, &bits, sizeof v);
  }
  return (rk & 1) ? v / 100 : v;
}

double DoubleAt(std::string_view b, size_t at) {
  const uint64_t bits = U32(b, at) | uint64_t{U32(b, at + 4)} << 32;
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

std::optional<host::CellError> BiffError(uint8_t code) {
  switch (code) {
    case 0x00: return host::CellError::kNull;
    case 0x07: return host::CellError::kDiv0;
    case 0x0F: return host::CellError::kValue;
    case 0x17: return host::CellError::kRef;
    case 0x1D: return host::CellError::kName;
    case 0x24: return host::CellError::kNum;
    case 0x2A: return host::CellError::kNA;
    case 0x2B: return host::CellError::kGettingData;
  }
  return std::nullopt;
}

// Appends `count` characters stored 8-bit (Latin-1) or as UTF-16LE; returns the bytes used.
size_t AppendChars(std::string_view data, size_t count, bool wide, std::u16string* out) {
  const size_t width = wide ? 2 : 1;
  const size_t n = std::min(count, data.size() / width);
  for (size_t i = 0; i < n; ++i) {
    out->push_back(wide ? U16(data, 2 * i) : static_cast<unsigned char>(data[i]));
  }
  return n * width;
}

std::string Utf16ToUtf8Lenient(const std::u16string& units) {
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t cp = units[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[++i] - 0xDC00);
    }
    host::AppendUtf8(out, cp);  // a lone surrogate becomes U+FFFD
  }
  return out;
}

// The text of a STRING record (a formula's text result), following CONTINUE records.
std::string StringRecordText(const Record& first, RecordReader& reader) {
  if (first.data.size() < 3) return "";
  size_t remaining = U16(first.data, 0);
  std::u16string units;
  const bool wide = first.data[2] & 1;
  size_t used = AppendChars(first.data.substr(3), remaining, wide, &units);
  remaining -= used / (wide ? 2 : 1);
  while (remaining > 0) {
    auto next = reader.Peek();
    if (!next || next->type != kContinue || next->data.empty()) break;
    reader.Next();
    const bool cont_wide = next->data[0] & 1;
    used = AppendChars(next->data.substr(1), remaining, cont_wide, &units);
    remaining -= used / (cont_wide ? 2 : 1);
  }
  return Utf16ToUtf8Lenient(units);
}

// Decodes the 8-bit text of Excel 5.0/95 files in the code page the workbook declares.
class CodePageText {
 public:
  void SetCodePage(uint16_t code_page) {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    cd_ = iconv_open("UTF-8", CharsetName(code_page));
  }
  ~CodePageText() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  std::string Decode(std::string_view bytes) const {
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
      return std::string(bytes);
    }
    std::string out;
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {  // no converter: read as Latin-1
      for (char c : bytes) host::AppendUtf8(out, static_cast<unsigned char>(c));
      return out;
    }
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(bytes.data());
    size_t in_left = bytes.size();
    char buf[1024];
    while (in_left > 0) {
      char* o = buf;
      size_t o_left = sizeof buf;
      const size_t rc = iconv(cd_, &in, &in_left, &o, &o_left);
      out.append(buf, o - buf);
      if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
        host::AppendUtf8(out, 0xFFFD);  // a byte the code page does not define
        ++in, --in_left;
      }
    }
    return out;
  }

 private:
  static const char* CharsetName(uint16_t code_page) {
    switch (code_page) {
      case 367: return "ASCII";
      case 932: return "CP932";
      case 936: return "GBK";
      case 949: return "CP949";
      case 950: return "BIG5";
      case 10000:
      case 32768: return "MACINTOSH";
      case 1250: case 1251: case 1253: case 1254: case 1255: case 1256: case 1257: case 1258: {
        static thread_local char name[8];
        std::snprintf(name, sizeof name, "CP%u", code_page);
        return name;
      }
      case 437: case 850: case 852: case 855: case 857: case 860: case 861: case 862: case 863: case 864:
      case 865: case 866: case 869: case 874: {
        static thread_local char name[8];
        std::snprintf(name, sizeof name, "CP%u", code_page);
        return name;
      }
      default: return "CP1252";
    }
  }
  iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
};

struct WorkbookRecords {
  uint16_t version = 0;
  bool encrypted = false;
  bool date1904 = false;
  uint16_t code_page = 1252;
  std::vector<SheetRecord> sheets;
  std::vector<std::string> raw_sheet_names;   // Excel 5.0/95: in the code page
  std::vector<uint16_t> xf_formats;           // number format index of each XF record
  std::vector<std::pair<uint16_t, std::string>> formats;  // FORMAT records: index, raw code
};

WorkbookRecords ReadGlobals(std::string_view stream, const std::string& file_name) {
  WorkbookRecords wb;
  RecordReader reader(stream, 0);
  auto bof = reader.Next();
  if (!bof || bof->type != kBof || bof->data.size() < 4) {
    Fail(file_name, "the workbook stream does not begin with a BOF record; the file is damaged.");
  }
  wb.version = U16(bof->data, 0);
  while (auto r = reader.Next()) {
    if (r->type == kEof) break;
    const std::string_view d = r->data;
    if (r->type == kFilePass) wb.encrypted = true;
    if (r->type == kCodePage && d.size() >= 2) wb.code_page = U16(d, 0);
    if (r->type == kDateMode && d.size() >= 2) wb.date1904 = U16(d, 0) == 1;
    if (r->type == kXf && d.size() >= 4) wb.xf_formats.push_back(U16(d, 2));
    if (r->type == kFormat && d.size() >= 3 && wb.version != 0x0600) {
      wb.formats.emplace_back(U16(d, 0), std::string(d.substr(3, static_cast<unsigned char>(d[2]))));
    }
    if (r->type == kBoundSheet && d.size() >= 7 && wb.version != 0x0600) {
      SheetRecord s;
      s.offset = U32(d, 0);
      s.state = d[4] & 3;
      s.kind = static_cast<unsigned char>(d[5]);
      wb.raw_sheet_names.emplace_back(d.substr(7));
      wb.sheets.push_back(std::move(s));
    }
    if (r->type == kBoundSheet && r->data.size() >= 8 && wb.version == 0x0600) {
      SheetRecord s;
      s.offset = U32(r->data, 0);
      s.state = r->data[4] & 3;
      s.kind = static_cast<unsigned char>(r->data[5]);
      std::u16string units;
      AppendChars(r->data.substr(8), static_cast<unsigned char>(r->data[6]), r->data[7] & 1, &units);
      s.name = Utf16ToUtf8Lenient(units);
      wb.sheets.push_back(std::move(s));
    }
  }
  return wb;
}

// Collects the cell values of one worksheet substream: for BIFF8 those that libfreexl rounds or
// drops; for Excel 5.0/95 (`text` given, strings in its code page) all of them.
std::vector<RawCell> ReadSheetCells(std::string_view stream, uint32_t offset, const CodePageText* text = nullptr) {
  std::vector<RawCell> cells;
  if (offset >= stream.size()) return cells;
  RecordReader reader(stream, offset);
  auto bof = reader.Next();
  if (!bof || bof->type != kBof) return cells;
  int depth = 1;  // embedded charts nest their own BOF ... EOF
  auto add = [&](std::string_view d, host::CellValue v, bool formula) {
    cells.push_back({U16(d, 0), U16(d, 2), U16(d, 4), formula, std::move(v)});
  };
  while (auto r = reader.Next()) {
    if (r->type == kBof) ++depth;
    if (r->type == kEof && --depth == 0) break;
    if (depth != 1) continue;
    const std::string_view d = r->data;
    switch (r->type) {
      case kNumber:
        if (d.size() >= 14) add(d, host::CellValue::Number(DoubleAt(d, 6)), false);
        break;
      case kRk:
        if (d.size() >= 10) add(d, host::CellValue::Number(RkValue(U32(d, 6))), false);
        break;
      case kMulRk:
        if (d.size() >= 6) {
          const uint16_t row = U16(d, 0), first = U16(d, 2);
          for (size_t i = 0; 4 + 6 * i + 6 <= d.size() - 2; ++i) {
            cells.push_back({row, static_cast<uint16_t>(first + i), U16(d, 4 + 6 * i), false,
                             host::CellValue::Number(RkValue(U32(d, 4 + 6 * i + 2)))});
          }
        }
        break;
      case kBoolErr:
        if (d.size() >= 8) {
          if (d[7] == 0) {
            add(d, host::CellValue::Boolean(d[6] != 0), false);
          } else if (auto e = BiffError(static_cast<uint8_t>(d[6]))) {
            add(d, host::CellValue::Error(*e), false);
          }
        }
        break;
      case kFormula:
        if (d.size() >= 20) {
          if (U16(d, 12) != 0xFFFF) {
            const double v = DoubleAt(d, 6);
            if (std::isfinite(v)) add(d, host::CellValue::Number(v), true);
            break;
          }
          switch (d[6]) {
            case 0: {  // the text follows in a STRING record, after any shared-formula records
              RecordReader look = reader;
              for (int i = 0; i < 4; ++i) {
                auto next = look.Next();
                if (!next) break;
                if (next->type == kString) {
                  if (!text) {
                    add(d, host::CellValue::Text(StringRecordText(*next, look)), true);
                  } else if (next->data.size() >= 2) {
                    add(d, host::CellValue::Text(text->Decode(next->data.substr(2))), true);
                  }
                  break;
                }
                if (next->type == kFormula || next->type == kEof) break;
              }
              break;
            }
            case 1: add(d, host::CellValue::Boolean(d[8] != 0), true); break;
            case 2:
              if (auto e = BiffError(static_cast<uint8_t>(d[8]))) add(d, host::CellValue::Error(*e), true);
              break;
            default: break;  // an empty text result leaves the cell empty
          }
        }
        break;
      case kLabel:
      case kRString:
        // The count is in characters, and Excel counts a double-byte character as one, so the
        // bytes are the rest of the record (before the formatting runs of RSTRING).
        if (text && d.size() >= 8) {
          size_t bytes = d.size() - 8;
          if (r->type == kRString) {
            for (size_t n = std::min<size_t>(U16(d, 6), bytes); n < bytes; ++n) {
              if (8 + n + 1 + 2 * static_cast<unsigned char>(d[8 + n]) == d.size()) {
                bytes = n;
                break;
              }
            }
          }
          add(d, host::CellValue::Text(text->Decode(d.substr(8, bytes))), false);
        }
        break;
      default: break;
    }
  }
  return cells;
}

// Whether a number format shows a date, a time or both (0 for neither). Built-in formats are
// known by index; others by their date and time codes outside quotes and brackets.
enum DateKind { kNotDate = 0, kDate = FREEXL_CELL_DATE, kDateTime = FREEXL_CELL_DATETIME, kTime = FREEXL_CELL_TIME };

DateKind FormatDateKind(uint16_t index, const WorkbookRecords& wb) {
  if ((index >= 14 && index <= 17) || (index >= 27 && index <= 31) || (index >= 34 && index <= 36) ||
      (index >= 50 && index <= 58)) {
    return kDate;
  }
  if ((index >= 18 && index <= 21) || index == 32 || index == 33 || (index >= 45 && index <= 47)) return kTime;
  if (index == 22) return kDateTime;
  for (const auto& [i, code] : wb.formats) {
    if (i != index) continue;
    bool date = false, time = false, quoted = false, bracket = false;
    for (size_t k = 0; k < code.size(); ++k) {
      const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(code[k])));
      if (c == '"') quoted = !quoted;
      else if (quoted) continue;
      else if (c == '\\' || c == '_' || c == '*') ++k;
      else if (c == '[') bracket = true;
      else if (c == ']') bracket = false;
      else if (bracket) continue;
      else if (c == 'y' || c == 'd' || c == 'e' || c == 'g') date = true;
      else if (c == 'h' || c == 's') time = true;
    }
    return date && time ? kDateTime : date ? kDate : time ? kTime : kNotDate;
  }
  return kNotDate;
}

// --- libfreexl -----------------------------------------------------------------------------

// libfreexl reads from a path; an anonymous memory file gives it the bytes we already hold, so
// what we import is exactly what we inspected.
class BytesAsPath {
 public:
  explicit BytesAsPath(std::string_view bytes) {
    fd_ = memfd_create("tessarin-xls", MFD_CLOEXEC);
    if (fd_ >= 0) {
      path_ = "/proc/self/fd/" + std::to_string(fd_);
    } else {
      const char* tmp = std::getenv("TMPDIR");
      std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/tessarin-xls-XXXXXX";
      fd_ = mkstemp(templ.data());
      if (fd_ < 0) throw HostError(host::kErrPathFileAccess, "Cannot make a temporary file to read the .xls workbook.");
      path_ = templ;
      unlink_ = true;
    }
    for (size_t done = 0; done < bytes.size();) {
      const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) throw HostError(host::kErrPathFileAccess, "Cannot stage the .xls workbook for reading.");
      done += static_cast<size_t>(n);
    }
  }
  ~BytesAsPath() {
    if (unlink_) unlink(path_.c_str());
    if (fd_ >= 0) close(fd_);
  }
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  bool unlink_ = false;
  std::string path_;
};

class FreeXlHandle {
 public:
  ~FreeXlHandle() {
    if (handle_) freexl_close(handle_);
  }
  const void** out() { return &handle_; }
  const void* get() const { return handle_; }
  void Close() {
    if (handle_) freexl_close(handle_);
    handle_ = nullptr;
  }

 private:
  const void* handle_ = nullptr;
};

std::string FreeXlProblem(int code) {
  switch (code) {
    case FREEXL_INVALID_CHARACTER:
    case FREEXL_UNSUPPORTED_CHARSET: return "its text is in a code page that cannot be read.";
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND: return "it is not an Excel workbook (the container holds no workbook stream).";
    default: break;
  }
  std::string what;
  switch (code) {
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_CFBF_INVALID_SIGNATURE:
    case FREEXL_CFBF_INVALID_SECTOR_SIZE: what = "the container header is invalid"; break;
    case FREEXL_CFBF_READ_ERROR:
    case FREEXL_CFBF_SEEK_ERROR: what = "it is cut short"; break;
    case FREEXL_CFBF_EMPTY_FAT_CHAIN:
    case FREEXL_CFBF_ILLEGAL_FAT_ENTRY:
    case FREEXL_INVALID_MINI_STREAM:
    case FREEXL_CFBF_ILLEGAL_MINI_FAT_ENTRY: what = "the container's sector chains are broken"; break;
    case FREEXL_BIFF_INVALID_BOF: what = "a record stream does not begin with a BOF record"; break;
    case FREEXL_BIFF_INVALID_SST:
    case FREEXL_BIFF_ILLEGAL_SST_INDEX: what = "the shared string table is invalid"; break;
    case FREEXL_ILLEGAL_CELL_ROW_COL: what = "a cell lies outside its sheet"; break;
    case FREEXL_ILLEGAL_RK_VALUE: what = "a number record is invalid"; break;
    default: what = "reader code " + std::to_string(code); break;
  }
  return "the file is damaged (" + what + ").";
}

// --- libfreexl, in a child process -----------------------------------------------------------

struct FreeXlCell {
  uint32_t row;
  uint16_t col;
  uint8_t type;
  double number;
  std::string text;
};

struct FreeXlSheet {
  std::string name;
  std::vector<FreeXlCell> cells;
};

// What libfreexl read, or why it could not: `status` is 0, a libfreexl error code, or kTooManySlots.
struct FreeXlReadout {
  static constexpr int32_t kTooManySlots = 1;
  int32_t status = 0;
  uint64_t slots = 0;
  uint32_t password = 0;
  uint32_t date_mode = 0;
  std::vector<FreeXlSheet> sheets;
};

void Put(std::string& out, const void* p, size_t n) { out.append(static_cast<const char*>(p), n); }
template <typename T>
void Put(std::string& out, T v) { Put(out, &v, sizeof v); }
void PutText(std::string& out, std::string_view text) {
  Put(out, static_cast<uint32_t>(text.size()));
  out.append(text);
}

class Taker {
 public:
  explicit Taker(std::string_view in) : in_(in) {}
  template <typename T>
  bool Take(T* v) {
    if (in_.size() < sizeof(T)) return false;
    std::memcpy(v, in_.data(), sizeof(T));
    in_.remove_prefix(sizeof(T));
    return true;
  }
  bool TakeText(std::string* text) {
    uint32_t n;
    if (!Take(&n) || in_.size() < n) return false;
    text->assign(in_.substr(0, n));
    in_.remove_prefix(n);
    return true;
  }

 private:
  std::string_view in_;
};

// Runs libfreexl over the bytes and serialises what it read. Runs in the child process.
std::string ReadWithFreeXl(std::string_view bytes, uint64_t max_slots) {
  std::string out;
  BytesAsPath staged(bytes);
  // libfreexl allocates every declared cell of every sheet at once; check the declared sizes first.
  uint64_t slots = 0;
  {
    FreeXlHandle info;
    const int rc = freexl_open_info(staged.path().c_str(), info.out());
    if (rc != FREEXL_OK || !info.get()) {
      Put(out, static_cast<int32_t>(rc == FREEXL_OK ? FREEXL_BIFF_INVALID_BOF : rc));
      return out;
    }
    unsigned int count = 0;
    freexl_get_info(info.get(), FREEXL_BIFF_SHEET_COUNT, &count);
    for (unsigned int i = 0; i < count; ++i) {
      unsigned int rows = 0;
      unsigned short cols = 0;
      if (freexl_select_active_worksheet(info.get(), static_cast<unsigned short>(i)) == FREEXL_OK &&
          freexl_worksheet_dimensions(info.get(), &rows, &cols) == FREEXL_OK) {
        slots += uint64_t{rows} * cols;
      }
    }
    if (slots > max_slots) {
      Put(out, FreeXlReadout::kTooManySlots);
      Put(out, slots);
      return out;
    }
  }
  FreeXlHandle xls;
  const int rc = freexl_open(staged.path().c_str(), xls.out());
  if (rc != FREEXL_OK || !xls.get()) {
    Put(out, static_cast<int32_t>(rc == FREEXL_OK ? FREEXL_BIFF_INVALID_BOF : rc));
    return out;
  }
  uint32_t password = 0, date_mode = 0, sheet_count = 0;
  freexl_get_info(xls.get(), FREEXL_BIFF_PASSWORD, &password);
  freexl_get_info(xls.get(), FREEXL_BIFF_DATEMODE, &date_mode);
  freexl_get_info(xls.get(), FREEXL_BIFF_SHEET_COUNT, &sheet_count);
  Put(out, int32_t{0});
  Put(out, slots);
  Put(out, password);
  Put(out, date_mode);
  std::string sheets;
  uint32_t read_sheets = 0;
  for (unsigned int i = 0; i < sheet_count && i < 65536; ++i) {
    const char* name = nullptr;
    unsigned int rows = 0;
    unsigned short cols = 0;
    if (freexl_get_worksheet_name(xls.get(), static_cast<unsigned short>(i), &name) != FREEXL_OK || !name ||
        freexl_select_active_worksheet(xls.get(), static_cast<unsigned short>(i)) != FREEXL_OK ||
        freexl_worksheet_dimensions(xls.get(), &rows, &cols) != FREEXL_OK) {
      continue;
    }
    ++read_sheets;
    PutText(sheets, name);
    std::string cells;
    uint32_t count = 0;
    rows = std::min<unsigned int>(rows, 65536);
    cols = std::min<unsigned short>(cols, 256);
    for (unsigned int r = 0; r < rows; ++r) {
      for (unsigned short c = 0; c < cols; ++c) {
        FreeXL_CellValue v;
        if (freexl_get_cell_value(xls.get(), r, c, &v) != FREEXL_OK || v.type == FREEXL_CELL_NULL) continue;
        const bool number = v.type == FREEXL_CELL_INT || v.type == FREEXL_CELL_DOUBLE;
        if (!number && !v.value.text_value) continue;
        Put(cells, static_cast<uint32_t>(r));
        Put(cells, static_cast<uint16_t>(c));
        Put(cells, static_cast<uint8_t>(v.type));
        if (number) {
          Put(cells, v.type == FREEXL_CELL_INT ? static_cast<double>(v.value.int_value) : v.value.double_value);
        } else {
          PutText(cells, v.value.text_value);
        }
        ++count;
      }
    }
    Put(sheets, count);
    sheets += cells;
  }
  Put(out, read_sheets);
  out += sheets;
  return out;
}

bool ParseReadout(std::string_view bytes, FreeXlReadout* readout) {
  Taker in(bytes);
  if (!in.Take(&readout->status)) return false;
  if (readout->status == FreeXlReadout::kTooManySlots) return in.Take(&readout->slots);
  if (readout->status != 0) return true;
  uint32_t sheets = 0;
  if (!in.Take(&readout->slots) || !in.Take(&readout->password) || !in.Take(&readout->date_mode) || !in.Take(&sheets)) {
    return false;
  }
  for (uint32_t i = 0; i < sheets; ++i) {
    FreeXlSheet sheet;
    uint32_t count = 0;
    if (!in.TakeText(&sheet.name) || !in.Take(&count)) return false;
    for (uint32_t k = 0; k < count; ++k) {
      FreeXlCell cell{};
      if (!in.Take(&cell.row) || !in.Take(&cell.col) || !in.Take(&cell.type)) return false;
      const bool number = cell.type == FREEXL_CELL_INT || cell.type == FREEXL_CELL_DOUBLE;
      if (number ? !in.Take(&cell.number) : !in.TakeText(&cell.text)) return false;
      sheet.cells.push_back(std::move(cell));
    }
    readout->sheets.push_back(std::move(sheet));
  }
  return true;
}

// libfreexl is a C parser of untrusted input that can crash on a damaged file and allocates what
// the file declares; it runs in a child process with bounded memory and time, so neither a crash
// nor a runaway allocation reaches the host.
FreeXlReadout ReadIsolated(std::string_view bytes, const XlsImportLimits& limits, const std::string& file_name) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw HostError(host::kErrPathFileAccess, "Cannot read " + file_name + ": no pipe for the .xls reader.");
  const pid_t child = fork();
  if (child < 0) {
    close(fds[0]), close(fds[1]);
    throw HostError(host::kErrOutOfMemory, "Cannot read " + file_name + ": the .xls reader could not be started.");
  }
  if (child == 0) {
    close(fds[0]);
    if (limits.max_reader_bytes > 0) {
      // On top of what the process already maps, which the child shares.
      long pages = 0;
      if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
        std::fclose(statm);
      }
      const rlim_t cap = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + limits.max_reader_bytes;
      struct rlimit rl = {cap, cap};
      setrlimit(RLIMIT_AS, &rl);
    }
    int status = 0;
    try {
      const std::string out = ReadWithFreeXl(bytes, limits.max_cell_slots);
      for (size_t done = 0; done < out.size();) {
        const ssize_t n = write(fds[1], out.data() + done, out.size() - done);
        if (n <= 0) {
          status = 2;
          break;
        }
        done += static_cast<size_t>(n);
      }
    } catch (...) {
      status = 3;  // out of memory under the cap, most likely
    }
    _exit(status);  // no destructors or exit handlers of the parent's state
  }
  close(fds[1]);
  std::string out;
  char buf[65536];
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limits.max_reader_seconds);
  bool timed_out = false;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
      timed_out = true;
      break;
    }
    struct pollfd pfd = {fds[0], POLLIN, 0};
    const int ready = poll(&pfd, 1, static_cast<int>(std::min<long long>(left, 1000)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) continue;
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  close(fds[0]);
  if (timed_out) kill(child, SIGKILL);
  int wstatus = 0;
  while (waitpid(child, &wstatus, 0) < 0 && errno == EINTR) {
  }
  if (timed_out) {
    Fail(file_name, "reading it took longer than " + std::to_string(limits.max_reader_seconds) + " seconds; the file is damaged.");
  }
  FreeXlReadout readout;
  if (!WIFEXITED(wstatus) || WEXITSTATUS(wstatus) != 0 || !ParseReadout(out, &readout)) {
    if (WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 3) {
      Fail(file_name, "reading it needs more memory than an .xls workbook may take; the file is damaged or too large.");
    }
    Fail(file_name, "the file is damaged (the .xls reader stopped on it).");
  }
  if (readout.status == FreeXlReadout::kTooManySlots) {
    Fail(file_name, "its sheets declare " + std::to_string(readout.slots) + " cells, more than the " +
                        std::to_string(limits.max_cell_slots) + " that can be imported.");
  }
  if (readout.status == FREEXL_INSUFFICIENT_MEMORY) {
    Fail(file_name, "reading it needs more memory than an .xls workbook may take; the file is damaged or too large.");
  }
  if (readout.status != 0) Fail(file_name, FreeXlProblem(readout.status));
  return readout;
}

// The styles given to date and time cells, one per kind, made on first use.
class DateStyles {
 public:
  explicit DateStyles(host::Workbook& workbook) : workbook_(workbook) {}
  host::StyleId operator()(int kind) {
    for (auto [k, id] : ids_) {
      if (k == kind) return id;
    }
    host::Style style = workbook_.styles().Get(host::kDefaultStyle);
    style.number_format = kind == FREEXL_CELL_DATE ? "yyyy/m/d" : kind == FREEXL_CELL_TIME ? "h:mm:ss" : "yyyy/m/d h:mm";
    const host::StyleId id = workbook_.styles().Intern(style);
    ids_.emplace_back(kind, id);
    return id;
  }

 private:
  host::Workbook& workbook_;
  std::vector<std::pair<int, host::StyleId>> ids_;
};

void SetActiveSheet(host::Workbook& workbook) {
  for (int i = 1; i <= workbook.SheetCount(); ++i) {
    if (workbook.Sheet(i).visibility() == host::SheetVisibility::kVisible) {
      workbook.set_active_sheet(&workbook.Sheet(i));
      return;
    }
  }
  workbook.Sheet(1).set_visibility(host::SheetVisibility::kVisible);
  workbook.set_active_sheet(&workbook.Sheet(1));
}

host::SheetVisibility Visibility(int state) {
  return state == 0 ? host::SheetVisibility::kVisible
         : state == 1 ? host::SheetVisibility::kHidden
                      : host::SheetVisibility::kVeryHidden;
}

// Excel 5.0/95 workbooks, which libfreexl does not read: every value comes from the record walk.
std::unique_ptr<host::Workbook> ImportBiff5(std::string_view stream, const WorkbookRecords& records,
                                            const std::string& file_name) {
  CodePageText text;
  text.SetCodePage(records.code_page);
  auto workbook = std::make_unique<host::Workbook>(std::string(host::BaseName(file_name)));
  workbook->set_date1904(records.date1904);
  DateStyles date_style(*workbook);
  for (size_t i = 0; i < records.sheets.size(); ++i) {
    const SheetRecord& record = records.sheets[i];
    if (record.kind != 0) continue;
    host::Worksheet& sheet = workbook->AddSheet(
        workbook->NearestSheetName(text.Decode(records.raw_sheet_names[i])),
        workbook->SheetCount() + 1);
    sheet.set_visibility(Visibility(record.state));
    for (const RawCell& raw : ReadSheetCells(stream, record.offset, &text)) {
      if (raw.col >= 256) continue;
      const int32_t row = raw.row + 1, col = raw.col + 1;
      if (raw.value.type == host::ValueType::kNumber && !std::isfinite(raw.value.number)) continue;
      sheet.SetValue(row, col, raw.value);
      if (raw.value.type == host::ValueType::kNumber && !raw.formula && raw.xf < records.xf_formats.size()) {
        if (DateKind kind = FormatDateKind(records.xf_formats[raw.xf], records)) {
          sheet.SetStyle(row, col, date_style(kind));
        }
      }
    }
  }
  if (workbook->SheetCount() == 0) Fail(file_name, "it holds no worksheet.");
  SetActiveSheet(*workbook);
  workbook->set_saved(true);
  return workbook;
}

}  // namespace

bool LooksLikeCompoundFile(std::string_view bytes) { return bytes.substr(0, 8) == kCompoundSignature; }

std::unique_ptr<host::Workbook> ImportXls(std::string_view bytes, const std::string& file_name,
                                          const XlsImportLimits& limits) {
  const std::string name = std::string(host::BaseName(file_name));
  if (bytes.size() > limits.max_bytes) {
    Fail(file_name, "the file has " + std::to_string(bytes.size()) + " bytes, more than the " +
                   std::to_string(limits.max_bytes) + " an .xls workbook may have.");
  }
  if (!LooksLikeCompoundFile(bytes)) {
    Fail(file_name, "it is not an Excel 97-2003 workbook (the file does not begin with the .xls container signature).");
  }
  CompoundFile container;
  if (std::string why = container.Open(bytes); !why.empty()) Fail(file_name, "the file is damaged: " + why + ".");
  if (container.Find("EncryptedPackage") || container.Find("EncryptionInfo")) {
    Fail(file_name, "the workbook is encrypted with a password; remove the password in the program that made it and save it again.");
  }
  // Excel 97 and later name the stream "Workbook"; Excel 5.0/95 named it "Book".
  const CompoundFile::Entry* stream_entry = container.Find("Workbook");
  if (!stream_entry) stream_entry = container.Find("Book");
  if (!stream_entry) Fail(file_name, "it is not an Excel workbook (the container holds no workbook stream).");
  std::string stream;
  if (std::string why = container.Read(*stream_entry, bytes.size(), &stream); !why.empty()) {
    Fail(file_name, "the file is damaged: " + why + ".");
  }
  const WorkbookRecords records = ReadGlobals(stream, file_name);
  if (records.encrypted) {
    Fail(file_name, "the workbook is protected with a password; remove the password in the program that made it and save it again.");
  }
  if (records.version == 0x0500) return ImportBiff5(stream, records, file_name);
  if (records.version != 0x0600) {
    Fail(file_name, "it is a workbook of Excel 4.0 or older, which cannot be read; save it as an Excel workbook (.xlsx) in the program that made it.");
  }

  const FreeXlReadout readout = ReadIsolated(bytes, limits, file_name);
  if (readout.password == FREEXL_BIFF_OBFUSCATED) {
    Fail(file_name, "the workbook is protected with a password; remove the password in the program that made it and save it again.");
  }

  auto workbook = std::make_unique<host::Workbook>(name);
  workbook->set_date1904(readout.date_mode == FREEXL_BIFF_DATEMODE_1904);
  DateStyles date_style(*workbook);
  std::vector<bool> sheet_record_used(records.sheets.size(), false);
  for (const FreeXlSheet& read : readout.sheets) {
    const std::string& sheet_name = read.name;
    // Pair libfreexl's sheet with its BOUNDSHEET record by name, in order.
    const SheetRecord* record = nullptr;
    for (size_t k = 0; k < records.sheets.size(); ++k) {
      if (!sheet_record_used[k] && records.sheets[k].name == sheet_name) {
        sheet_record_used[k] = true;
        record = &records.sheets[k];
        break;
      }
    }
    if (record && record->kind != 0) continue;  // chart or macro sheet

    host::Worksheet& sheet = workbook->AddSheet(workbook->NearestSheetName(sheet_name),
                                                workbook->SheetCount() + 1);
    if (record) sheet.set_visibility(Visibility(record->state));
    for (const FreeXlCell& cell : read.cells) {
      const int32_t row = static_cast<int32_t>(cell.row) + 1, col = cell.col + 1;
      switch (cell.type) {
        case FREEXL_CELL_INT:
        case FREEXL_CELL_DOUBLE: sheet.SetNumber(row, col, cell.number); break;
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
          if (!cell.text.empty()) {
            if (host::IsValidUtf8(cell.text)) {
              sheet.SetText(row, col, cell.text);
            } else {
              sheet.SetText(row, col, host::ToUtf8(host::CodePoints(cell.text)));
            }
          }
          break;
        case FREEXL_CELL_DATE:
        case FREEXL_CELL_DATETIME:
        case FREEXL_CELL_TIME:
          if (auto serial = host::SerialFromIsoDate(cell.text, workbook->date1904())) {
            sheet.SetNumber(row, col, *serial);
            sheet.SetStyle(row, col, date_style(cell.type));
          } else if (host::IsValidUtf8(cell.text)) {
            sheet.SetText(row, col, cell.text);
          }
          break;
        default: break;
      }
    }
    // Exact numbers (libfreexl rounds dates to their format), Booleans, errors, formula results.
    if (record) {
      for (const RawCell& raw : ReadSheetCells(stream, record->offset)) {
        const int32_t row = raw.row + 1, col = raw.col + 1;
        if (col > 256) continue;
        const host::CellValue current = sheet.Value(row, col);
        if (!raw.formula && raw.value.type == host::ValueType::kNumber) {
          if (current.type == host::ValueType::kNumber && std::isfinite(raw.value.number)) sheet.SetNumber(row, col, raw.value.number);
        } else if (raw.formula || current.type == host::ValueType::kEmpty || current.type == host::ValueType::kNumber) {
          sheet.SetValue(row, col, raw.value);
        }
      }
    }
  }
  if (workbook->SheetCount() == 0) Fail(file_name, "it holds no worksheet.");
  SetActiveSheet(*workbook);
  workbook->set_saved(true);
  return workbook;
}

}  // namespace tessarin::ooxml
