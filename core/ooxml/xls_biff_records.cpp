// The BIFF record walk: the workbook globals, the cell records of a worksheet substream (with
// the STRING and CONTINUE records that carry a formula's text), the date codes of number formats,
// and Excel 5.0/95 text through iconv.
#include "core/ooxml/xls_biff_records.h"

#include <errno.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "core/host/text_encoding.h"
#include "core/ooxml/xls_bytes.h"

namespace tessarin::ooxml::xls {
namespace {

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

std::optional<host::CellError> BiffError(uint8_t code) {
  switch (code) {
    case 0x00:
      return host::CellError::kNull;
    case 0x07:
      return host::CellError::kDiv0;
    case 0x0F:
      return host::CellError::kValue;
    case 0x17:
      return host::CellError::kRef;
    case 0x1D:
      return host::CellError::kName;
    case 0x24:
      return host::CellError::kNum;
    case 0x2A:
      return host::CellError::kNA;
    case 0x2B:
      return host::CellError::kGettingData;
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
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
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

// iconv's name for a Windows code page number; one we do not know reads as Windows Latin-1.
const char* CharsetName(uint16_t code_page) {
  switch (code_page) {
    case 367:
      return "ASCII";
    case 932:
      return "CP932";
    case 936:
      return "GBK";
    case 949:
      return "CP949";
    case 950:
      return "BIG5";
    case 10000:
    case 32768:
      return "MACINTOSH";
    case 1250:
    case 1251:
    case 1253:
    case 1254:
    case 1255:
    case 1256:
    case 1257:
    case 1258:
    case 437:
    case 850:
    case 852:
    case 855:
    case 857:
    case 860:
    case 861:
    case 862:
    case 863:
    case 864:
    case 865:
    case 866:
    case 869:
    case 874: {
      static thread_local char name[8];
      std::snprintf(name, sizeof name, "CP%u", code_page);
      return name;
    }
    default:
      return "CP1252";
  }
}

}  // namespace

CodePageText::~CodePageText() {
  if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
}

void CodePageText::SetCodePage(uint16_t code_page) {
  if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  cd_ = iconv_open("UTF-8", CharsetName(code_page));
}

std::string CodePageText::Decode(std::string_view bytes) const {
  if (std::all_of(bytes.begin(), bytes.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
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
    if (r->type == kFormat && d.size() >= 3 && wb.version != kBiff8) {
      wb.formats.emplace_back(U16(d, 0),
                              std::string(d.substr(3, static_cast<unsigned char>(d[2]))));
    }
    if (r->type == kBoundSheet && d.size() >= 7 && wb.version != kBiff8) {
      SheetRecord s;
      s.offset = U32(d, 0);
      s.state = d[4] & 3;
      s.kind = static_cast<unsigned char>(d[5]);
      wb.raw_sheet_names.emplace_back(d.substr(7));
      wb.sheets.push_back(std::move(s));
    }
    if (r->type == kBoundSheet && r->data.size() >= 8 && wb.version == kBiff8) {
      SheetRecord s;
      s.offset = U32(r->data, 0);
      s.state = r->data[4] & 3;
      s.kind = static_cast<unsigned char>(r->data[5]);
      std::u16string units;
      AppendChars(r->data.substr(8), static_cast<unsigned char>(r->data[6]), r->data[7] & 1,
                  &units);
      s.name = Utf16ToUtf8Lenient(units);
      wb.sheets.push_back(std::move(s));
    }
  }
  return wb;
}

namespace {

// The cached result of the FORMULA record `d`; a text result is read from the STRING record
// that follows (`reader` stands after the FORMULA record). nullopt when there is none to keep.
std::optional<host::CellValue> FormulaResult(std::string_view d, const RecordReader& reader,
                                             const CodePageText* text) {
  if (U16(d, 12) != 0xFFFF) {
    const double v = DoubleAt(d, 6);
    if (std::isfinite(v)) return host::CellValue::Number(v);
    return std::nullopt;
  }
  switch (d[6]) {
    case 0: {  // the text follows in a STRING record, after any shared-formula records
      RecordReader look = reader;
      for (int i = 0; i < 4; ++i) {
        auto next = look.Next();
        if (!next) break;
        if (next->type == kString) {
          if (!text) return host::CellValue::Text(StringRecordText(*next, look));
          if (next->data.size() >= 2)
            return host::CellValue::Text(text->Decode(next->data.substr(2)));
          break;
        }
        if (next->type == kFormula || next->type == kEof) break;
      }
      return std::nullopt;
    }
    case 1:
      return host::CellValue::Boolean(d[8] != 0);
    case 2:
      if (auto e = BiffError(static_cast<uint8_t>(d[8]))) return host::CellValue::Error(*e);
      return std::nullopt;
    default:
      return std::nullopt;  // an empty text result leaves the cell empty
  }
}

}  // namespace

// Collects the cell values of one worksheet substream: for BIFF8 those that libfreexl rounds or
// drops; for Excel 5.0/95 (`text` given, strings in its code page) all of them.
std::vector<RawCell> ReadSheetCells(std::string_view stream, uint32_t offset,
                                    const CodePageText* text) {
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
          if (auto result = FormulaResult(d, reader, text)) add(d, std::move(*result), true);
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
      default:
        break;
    }
  }
  return cells;
}

DateKind FormatDateKind(uint16_t index, const WorkbookRecords& wb) {
  if ((index >= 14 && index <= 17) || (index >= 27 && index <= 31) ||
      (index >= 34 && index <= 36) || (index >= 50 && index <= 58)) {
    return DateKind::kDate;
  }
  if ((index >= 18 && index <= 21) || index == 32 || index == 33 || (index >= 45 && index <= 47))
    return DateKind::kTime;
  if (index == 22) return DateKind::kDateTime;
  for (const auto& [i, code] : wb.formats) {
    if (i != index) continue;
    bool date = false, time = false, quoted = false, bracket = false;
    for (size_t k = 0; k < code.size(); ++k) {
      const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(code[k])));
      if (c == '"')
        quoted = !quoted;
      else if (quoted)
        continue;
      else if (c == '\\' || c == '_' || c == '*')
        ++k;
      else if (c == '[')
        bracket = true;
      else if (c == ']')
        bracket = false;
      else if (bracket)
        continue;
      else if (c == 'y' || c == 'd' || c == 'e' || c == 'g')
        date = true;
      else if (c == 'h' || c == 's')
        time = true;
    }
    return date && time ? DateKind::kDateTime
           : date       ? DateKind::kDate
           : time       ? DateKind::kTime
                        : DateKind::kNotDate;
  }
  return DateKind::kNotDate;
}

}  // namespace tessarin::ooxml::xls
