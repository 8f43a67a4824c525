// Range: the host's handle on cells of one sheet (one or more areas), with its values, formats,
// fonts and character runs, borders, comments and phonetic guides.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/host/address.h"
#include "core/host/cell.h"
#include "core/host/constants.h"
#include "core/host/style.h"
#include "core/host/typed_input.h"

namespace tessarin::host {

class Worksheet;
class RangeFont;
class RangeCharacters;
class CharacterEdits;
class RangeBorder;
class RangeComment;
class RangePhonetics;

// The displayed text of a cell (Range::Text), read without a Range, so that readers holding the
// sheet as const (the renderer) need no writable handle.
std::string DisplayedText(const Worksheet& sheet, int32_t row, int32_t col);
// DisplayedText(...).empty(), without making the text for a plain text cell: walks down a column
// of questions ask this of every row.
bool ShowsNothing(const Worksheet& sheet, int32_t row, int32_t col);

// A Range is a small value: the sheet it lives on (not owned; the sheet must outlive it) and its
// areas, in the order given. Copying it is cheap and a one-area range never allocates.
//
// Getters read the first cell of the first area (the host gives an array or Null for a mixed
// range; the add-in only ever reads single cells). Setters apply to every cell of every area and
// stay fast on huge areas: whole rows set the rows' formats, whole columns the columns' formats,
// and only stored cells are touched, plus empty cells whose look would really change. Every
// setter throws HostError 1004 when the sheet is protected.
class Range {
 public:
  // What Count and Item count: cells, or the rows or columns of a Rows/Columns collection.
  enum class Kind : uint8_t { kCells, kRows, kColumns };

  Range(Worksheet& sheet, const AreaList& areas, Kind kind = Kind::kCells)
      : sheet_(&sheet), areas_(areas), kind_(kind) {}
  // The sheet's Cells: every cell of the sheet.
  static Range All(Worksheet& sheet);

  Worksheet& sheet() const { return *sheet_; }
  const AreaList& areas() const { return areas_; }
  const Area& first_area() const { return areas_.front(); }
  Kind kind() const { return kind_; }

  // --- Addressing. All positions are relative to the first area's top-left cell; a result
  // outside the sheet throws HostError 1004.
  Range Cells() const { return Range(*sheet_, areas_, Kind::kCells); }
  Range Cells(int64_t row, int64_t col) const {  // inline: the hot path of typing a sheet
    const Area& a = areas_.front();
    const int64_t r = a.top + row - 1, c = a.left + col - 1;
    if (!IsValidCell(r, c)) ThrowOutsideSheet("Cells");
    return Range(*sheet_, Area::Cell(static_cast<int32_t>(r), static_cast<int32_t>(c)));
  }
  // The host's Range(address) on a range: A1 text taken relative to the first area's top-left
  // cell (Range("B2").SubRange("A1") is B2). Whole rows/columns stay whole in the other direction.
  Range SubRange(std::string_view address) const;
  // The rectangle spanning the top-left cells of `from` and `to` (the host's Range(Cell1, Cell2)).
  static Range Span(const Range& from, const Range& to);
  Range Offset(int64_t rows, int64_t cols) const;
  // The rows/columns of the range as a collection: Count counts rows/columns of the first area
  // (as the host does), Item(i) is the i-th whole row/column of it.
  Range Rows() const { return Range(*sheet_, areas_, Kind::kRows); }
  Range Columns() const { return Range(*sheet_, areas_, Kind::kColumns); }
  Range Rows(int64_t index) const { return Rows().Item(index); }
  Range Columns(int64_t index) const { return Columns().Item(index); }
  // The i-th member (1-based) as the kind counts them; cells run row by row through the first
  // area and may go past it, as the host allows.
  Range Item(int64_t index) const;
  Range EntireRow() const;
  Range EntireColumn() const;
  // Cells of all areas for kCells; rows or columns of the first area otherwise.
  int64_t Count() const;
  // Cells of all areas, whatever the kind (the host's CountLarge).
  int64_t CellsCount() const { return areas_.CellCount(); }
  int32_t Row() const { return areas_.front().top; }
  int32_t Column() const { return areas_.front().left; }
  int AreasCount() const { return static_cast<int>(areas_.size()); }
  // 1-based; HostError 9 when out of range.
  Range Areas(int index) const;
  // kXlA1: "$A$1:$B$2" ("A1:B2" without `absolute`); kXlR1C1: "R1C1:R2C2" (always absolute).
  // Areas joined with ",". Throws HostError 5 for another style.
  std::string Address(int reference_style = kXlA1, bool absolute = true) const;
  bool IsSingleCell() const { return areas_.size() == 1 && areas_.front().CellCount() == 1; }

  // --- Values.
  CellValue Value() const;
  // Stores the value as given (no conversion of text); an empty value clears values only.
  void SetValue(const CellValue& value) const;
  void SetNumber(double value) const;
  void SetText(std::string_view text) const;
  // The displayed text: numbers through the cell's number format, TRUE/FALSE, error texts.
  std::string Text() const;
  // The formula ("=" and R1C1 references) when the cell has one, else the constant as text
  // ("" for empty, numbers to 15 digits, TRUE/FALSE, error texts).
  std::string FormulaR1C1() const;
  // Text starting with "=" is stored as a formula (references converted to A1 relative to each
  // cell; nothing is calculated, the value becomes empty); anything else as ParseInput types it.
  void SetFormulaR1C1(std::string_view text) const;
  // As FormulaR1C1 with A1 references.
  std::string Formula() const;
  void SetFormula(std::string_view text) const;
  // Removes values, formulas, character runs and phonetic runs; keeps formats and comments.
  void ClearContents() const;

  // --- Selection and the clipboard. These need the sheet's workbook to belong to an
  // Application (HostError 1004 otherwise).
  // Selects the range; the active cell becomes its first cell. HostError 1004 when the sheet is
  // not the active sheet of the active workbook.
  void Select() const;
  // A single cell inside the selection only becomes the active cell; anything else is selected.
  void Activate() const;
  // Puts a copy of the cells (values, formats, runs, phonetic guides, comments, merges) on the
  // application's clipboard. HostError 1004 for several areas.
  void Copy() const;
  // Copies straight to `destination` (its top-left cell), leaving the clipboard alone.
  void Copy(const Range& destination) const;

  // --- Rows and columns.
  // Points, of the first row. Setting applies to every row of every area (all rows: the sheet's
  // default); 0..409.5, else HostError 1004. The text form converts as the host does (HostError
  // 13 when it is not a number).
  double RowHeight() const;
  void SetRowHeight(double points) const;
  void SetRowHeight(std::string_view points) const;
  // Characters of the default font, of the first column; 0..255, as RowHeight otherwise.
  double ColumnWidth() const;
  void SetColumnWidth(double width) const;
  void SetColumnWidth(std::string_view width) const;

  // --- Formats. Constants as in constants.h; a value the host does not know is HostError 1004.
  int HorizontalAlignment() const;
  void SetHorizontalAlignment(int value) const;
  int VerticalAlignment() const;
  void SetVerticalAlignment(int value) const;
  bool WrapText() const;
  void SetWrapText(bool on) const;
  bool ShrinkToFit() const;
  void SetShrinkToFit(bool on) const;
  bool AddIndent() const;
  void SetAddIndent(bool on) const;
  int IndentLevel() const;
  void SetIndentLevel(int level) const;  // 0..15
  // kXlHorizontal for unrotated text, kXlVertical for stacked text, kXlUpward/kXlDownward for
  // 90/-90, else degrees. Setting takes those or degrees -90..90 (0 is horizontal).
  int Orientation() const;
  void SetOrientation(int value) const;
  // True when the first cell lies inside a merged area. Setting True merges each area (merges it
  // overlaps are dissolved first); False dissolves every merge the range overlaps.
  bool MergeCells() const;
  void SetMergeCells(bool on) const;
  std::string NumberFormat() const;
  void SetNumberFormat(std::string_view code) const;
  // As NumberFormat with the Japanese host's local names ("G/標準" for "General").
  std::string NumberFormatLocal() const;
  void SetNumberFormatLocal(std::string_view code) const;
  RangeBorder Borders(int index) const;  // HostError 9 outside 5..12
  RangeFont Font() const;
  // start 1-based; length -1 runs to the end of the text. HostError 5 for start < 1.
  RangeCharacters Characters(int64_t start = 1, int64_t length = -1) const;
  // Applies gathered character edits in the order they were made, as each would have been
  // applied alone, but in one pass over each cell's runs: a cell given thousands of runs costs
  // time in proportion to them, not to their square. HostError 1004 on a protected sheet.
  void ApplyCharacterEdits(const CharacterEdits& edits) const;

  // --- Comments and phonetic guides.
  // Adds a comment to the first cell; HostError 1004 when it already has one.
  RangeComment AddComment(std::string_view text) const;
  // The first cell's comment (exists() false when it has none).
  RangeComment Comment() const;
  RangePhonetics Phonetics() const;

  friend bool operator==(const Range& a, const Range& b) {
    return a.sheet_ == b.sheet_ && a.areas_ == b.areas_;
  }

 private:
  [[noreturn]] static void ThrowOutsideSheet(const char* what);

  friend class RangeFont;
  friend class RangeBorder;
  friend class RangePhonetics;
  friend class RangeCharacters;

  Worksheet* sheet_;
  AreaList areas_;
  Kind kind_ = Kind::kCells;
};

// Font edits of character spans gathered from RangeFont setters (RangeFont::GatherInto), to be
// applied together by Range::ApplyCharacterEdits.
class CharacterEdits {
 public:
  struct Edit {
    uint32_t start;
    uint32_t length;  // UINT32_MAX for "to the end"
    std::function<void(Font&)> change;
  };
  bool empty() const { return edits_.empty(); }

 private:
  friend class RangeFont;
  friend class Range;
  std::vector<Edit> edits_;
};

// The font of a range's cells, or of characters of their text (Range::Characters).
// Getters read the first cell of the first area (for characters: the first character of the
// span). Setters apply to every cell of every area and throw HostError 1004 on a protected sheet
// and for a value the host refuses (an unknown FontStyle, a size outside 1..409).
class RangeFont {
 public:
  // The whole font, as the getters see it.
  Font Get() const;

  std::string Name() const;
  void SetName(std::string_view name) const;
  // "標準", "太字", "斜体" or "太字 斜体"; English names are accepted when setting.
  std::string FontStyle() const;
  void SetFontStyle(std::string_view style) const;
  double Size() const;
  void SetSize(double points) const;
  bool Bold() const;
  void SetBold(bool on) const;
  bool Italic() const;
  void SetItalic(bool on) const;
  bool Strikethrough() const;
  void SetStrikethrough(bool on) const;
  // Superscript and Subscript exclude each other: setting one on clears the other.
  bool Superscript() const;
  void SetSuperscript(bool on) const;
  bool Subscript() const;
  void SetSubscript(bool on) const;
  bool OutlineFont() const;
  void SetOutlineFont(bool on) const;
  bool Shadow() const;
  void SetShadow(bool on) const;
  // kXlUnderlineStyleNone, ...Single, ...Double, ...SingleAccounting, ...DoubleAccounting.
  int Underline() const;
  void SetUnderline(int style) const;
  // kXlAutomatic or 1..56.
  int ColorIndex() const;
  void SetColorIndex(int index) const;

  // For characters only: a copy whose setters check their value as usual and then, instead of
  // changing the cells, add the change to `edits` (which must outlive the copy).
  RangeFont GatherInto(CharacterEdits& edits) const;

 private:
  friend class Range;
  friend class RangeCharacters;
  // Applies `change` to the fonts the proxy covers (cell fonts and their runs, or runs).
  void Edit(const std::function<void(Font&)>& change) const;
  RangeFont(Range range, uint32_t start, uint32_t length, bool characters)
      : range_(std::move(range)), start_(start), length_(length), characters_(characters) {}
  Range range_;
  uint32_t start_;   // characters only: 0-based first character
  uint32_t length_;  // characters only: count, UINT32_MAX for "to the end"
  bool characters_;
  CharacterEdits* gather_ = nullptr;
};

// Characters(Start, Length) of the text of a range's cells: 1-based, in characters (code
// points). A span past the end is clipped; on a cell that holds no text the font applies to the
// whole cell, as the host does for numbers. Like every proxy here it holds a copy of its Range.
class RangeCharacters {
 public:
  RangeFont Font() const;
  // The characters of the first cell's text.
  std::string Text() const;

 private:
  friend class Range;
  RangeCharacters(Range range, uint32_t start, uint32_t length)
      : range_(std::move(range)), start_(start), length_(length) {}
  Range range_;
  uint32_t start_;
  uint32_t length_;
};

// Borders(index) of a range, index 5..12. 5 and 6 (the diagonals) apply to every cell; 7..10
// to the outer edge of each area (the left column's left sides ...); 11 and 12 to the lines
// inside each area, stored as the left/right (or top/bottom) sides of the cells along them.
// Setting LineStyle kXlNone removes the line; setting Weight or ColorIndex on a missing line
// draws it continuous, as the host does. Getters read the first area's first cell on that side
// (for 11/12: its right/bottom side when the area has a second column/row, else kXlNone).
class RangeBorder {
 public:
  int LineStyle() const;
  void SetLineStyle(int style) const;
  int Weight() const;
  void SetWeight(int weight) const;
  int ColorIndex() const;
  void SetColorIndex(int index) const;

 private:
  friend class Range;
  RangeBorder(Range range, int index) : range_(std::move(range)), index_(index) {}
  const BorderLine& Line() const;
  void Edit(const std::function<void(BorderLine&)>& change) const;
  Range range_;
  int index_;
};

// A comment's drawing shape: its size in points.
class CommentShape {
 public:
  double Width() const;
  double Height() const;
  // Scale relative to the current size (relative_to_original 0) or to the default size
  // (relative_to_original -1, the host's True), from the top-left corner (scale 0; the shape is
  // not positioned, so other anchors scale the same). Factor must be positive (else HostError 5).
  void ScaleHeight(double factor, int relative_to_original = 0, int scale = 0) const;
  void ScaleWidth(double factor, int relative_to_original = 0, int scale = 0) const;

 private:
  friend class RangeComment;
  CommentShape(Worksheet* sheet, int32_t row, int32_t col) : sheet_(sheet), row_(row), col_(col) {}
  Worksheet* sheet_;
  int32_t row_, col_;
};

// The comment of one cell. A handle made for a cell without a comment reports exists() false,
// and every other member then throws HostError 91, as using the host's Nothing does.
class RangeComment {
 public:
  bool exists() const;
  std::string Text() const;
  // Replaces the text (the host's Comment.Text Text:=...).
  void SetText(std::string_view text) const;
  bool Visible() const;
  void SetVisible(bool visible) const;
  CommentShape Shape() const;
  void Delete() const;

 private:
  friend class Range;
  friend class SheetComments;
  RangeComment(Worksheet* sheet, int32_t row, int32_t col) : sheet_(sheet), row_(row), col_(col) {}
  const Comment& Get() const;
  Worksheet* sheet_;
  int32_t row_, col_;
};

// Phonetics of a range: the phonetic guide (furigana) of its cells.
class RangePhonetics {
 public:
  // Whether the guide of the first cell is shown.
  bool Visible() const;
  // Shows or hides the guide of every stored cell of the range, and of the cell itself when the
  // range is a single cell (the guide may be typed later).
  void SetVisible(bool visible) const;
  // The reading of the first cell: its phonetic runs joined, "" when it has none.
  std::string Text() const;
  // Sets the reading of every text cell of the range as one run over its whole text; "" removes
  // the runs (visibility stays).
  void SetText(std::string_view reading) const;
  // Adds a reading over characters start .. start + length - 1 (1-based) of the first cell's
  // text, replacing the runs it overlaps (the host's Phonetics.Add). HostError 5 for a span
  // outside the text or an empty reading; 1004 on a protected sheet.
  void Add(int64_t start, int64_t length, std::string_view text) const;

 private:
  friend class Range;
  explicit RangePhonetics(Range range) : range_(std::move(range)) {}
  Range range_;
};

// The host's local name of a number format and back: "General" <-> "G/標準" wherever it stands
// outside quotes; other codes are the same in both.
std::string NumberFormatToLocal(std::string_view code);
std::string NumberFormatFromLocal(std::string_view code);

}  // namespace tessarin::host
