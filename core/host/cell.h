// A cell's value and the rarer things a cell can carry: character runs, phonetic runs, a comment,
// a formula.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/host/style.h"

namespace tessarin::host {

enum class ValueType : uint8_t { kEmpty, kNumber, kText, kBoolean, kError };

// The host's error values, in the order of their ERROR.TYPE numbers.
enum class CellError : uint8_t { kNull = 1, kDiv0, kValue, kRef, kName, kNum, kNA, kGettingData };

std::string_view CellErrorText(CellError e);  // "#DIV/0!" ...
std::optional<CellError> ParseCellError(std::string_view text);

// A value detached from any pool, for passing around.
struct CellValue {
  ValueType type = ValueType::kEmpty;
  double number = 0;
  std::string text;
  bool boolean = false;
  CellError error = CellError::kNA;

  static CellValue Number(double v) {
    CellValue c;
    c.type = ValueType::kNumber;
    c.number = v;
    return c;
  }
  static CellValue Text(std::string v) {
    CellValue c;
    c.type = ValueType::kText;
    c.text = std::move(v);
    return c;
  }
  static CellValue Boolean(bool v) {
    CellValue c;
    c.type = ValueType::kBoolean;
    c.boolean = v;
    return c;
  }
  static CellValue Error(CellError e) {
    CellValue c;
    c.type = ValueType::kError;
    c.error = e;
    return c;
  }
  bool IsEmpty() const { return type == ValueType::kEmpty; }
  friend bool operator==(const CellValue&, const CellValue&) = default;
};

// A stored cell: 16 bytes. Text is an id in the workbook's StringPool.
struct Cell {
  uint16_t col = 0;
  ValueType type = ValueType::kEmpty;
  uint8_t flags = 0;
  StyleId style = kDefaultStyle;
  union {
    double number;
    uint32_t text;
    bool boolean;
    CellError error;
  } v{0.0};

  static constexpr uint8_t kHasExtra = 1;
  bool has_extra() const { return flags & kHasExtra; }
};
static_assert(sizeof(Cell) == 16);

// A run of characters with its own font; start is 0-based in characters (code points).
struct TextRun {
  uint32_t start = 0;
  uint32_t length = 0;
  Font font;
  friend bool operator==(const TextRun&, const TextRun&) = default;
};

// A reading over base characters [start, start + length) of the cell text.
struct PhoneticRun {
  uint32_t start = 0;
  uint32_t length = 0;
  std::string text;
  friend bool operator==(const PhoneticRun&, const PhoneticRun&) = default;
};

struct Phonetic {
  std::vector<PhoneticRun> runs;
  bool visible = false;
  // The phonetic properties as a file gave them (font, type, alignment), written back as is.
  FileExtrasRef file_extras;
  friend bool operator==(const Phonetic&, const Phonetic&) = default;
};

// Comment sizes are in points; zero means "the host's default size".
inline constexpr double kDefaultCommentWidth = 108.0;
inline constexpr double kDefaultCommentHeight = 59.25;

struct Comment {
  std::string text;
  std::string author;
  std::vector<TextRun> runs;  // formatted runs of the comment text, when the file had them
  double width = kDefaultCommentWidth;
  double height = kDefaultCommentHeight;
  bool visible = false;
  // The comment's drawing shape from a file, kept so that position and looks survive a save.
  FileExtrasRef file_shape;
  friend bool operator==(const Comment&, const Comment&) = default;
};

// Everything a cell may carry beyond value and style. Absent for almost all cells.
struct CellExtra {
  std::vector<TextRun> runs;
  std::optional<Phonetic> phonetic;
  std::optional<Comment> comment;
  std::string formula;           // A1 text without "=", the cell value being its last result
  FileExtrasRef formula_extras;  // how a file shared the formula (shared or array), as it wrote it
  FileExtrasRef value_extras;    // other attributes a file gave the cell with its value (vm, cm)
  bool Empty() const {
    return runs.empty() && !phonetic && !comment && formula.empty() && !value_extras;
  }
  // Drops what belongs to the value (runs, reading, formula, the file's value attributes) and
  // keeps the comment: what a new value or clearing the contents leaves.
  void ClearContent() {
    runs.clear(), phonetic.reset(), formula.clear(), formula_extras.reset(), value_extras.reset();
  }
  friend bool operator==(const CellExtra&, const CellExtra&) = default;
};

}  // namespace tessarin::host
