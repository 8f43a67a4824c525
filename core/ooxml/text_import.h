// Text import: tab-separated .txt and comma-separated .csv files opened as one-sheet workbooks.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/host/cell.h"
#include "core/host/workbook.h"

namespace tessarin::ooxml {

enum class TextEncoding { kUtf8, kUtf8Bom, kUtf16Le, kUtf16Be, kCp932 };

// "UTF-8", "UTF-16LE" ... for messages.
std::string_view TextEncodingName(TextEncoding encoding);

struct DecodedText {
  std::string utf8;
  TextEncoding encoding = TextEncoding::kUtf8;
};

// Decodes the bytes of a text file to UTF-8 as the host's text import reads them: a byte order
// mark selects UTF-16LE, UTF-16BE or UTF-8; without one, UTF-16LE is recognised by its zero high
// bytes, then well-formed UTF-8 is taken as UTF-8 and anything else as code page 932 (Shift_JIS).
// The mark is not part of the result. Throws HostError 1004 naming `file_name` and the byte
// offset when the bytes are none of these.
DecodedText DecodeText(std::string_view bytes, const std::string& file_name);

struct TextImportLimits {
  std::size_t max_bytes = std::size_t{64} << 20;  // the file as stored
  std::size_t max_cell_chars = 32767;             // the most a cell holds
};

// Reads delimited text into a new workbook named `file_name` (its last path component) with one
// sheet named after the file (see SheetNameForFile); the caller sets folder, format and stamp.
// Fields are split at `separator` (',' or '\t') and at line ends (CR LF, LF or CR). A field that
// begins with a double quote runs to the closing quote, "" inside it standing for one quote, and
// may hold separators and line breaks; text after the closing quote is kept as it stands. Each
// field becomes the value a user gets by typing it into a General cell, with the number format
// that comes with it (host::ReadTyped, an apostrophe being part of the text);
// empty fields leave the cell empty.
// Throws HostError 1004 naming the file (and the line where it applies) when the file is larger
// than `limits.max_bytes`, is not text (see DecodeText), has more rows or columns than a sheet
// holds, or has a field longer than `limits.max_cell_chars` characters.
std::unique_ptr<host::Workbook> ImportText(std::string_view bytes, const std::string& file_name,
                                           char separator, const TextImportLimits& limits = {});

// The sheet name the import gives a file: its name without folder and extension, with each of
// : \ / ? * [ ] and a leading or trailing apostrophe replaced by "_", cut to 31 characters;
// "Sheet1" when nothing is left.
std::string SheetNameForFile(std::string_view file_name);

}  // namespace tessarin::ooxml
