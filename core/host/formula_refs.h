// The cell references of formula text: between A1 and R1C1 notation, and moved as a copy moves
// them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tessarin::host {

// Rewrites the references of a formula (text after "=") written in A1 style ("$B$3", "B3",
// "A1:B2") into R1C1 style relative to the cell at (row, col) ("R3C2", "R[1]C[-1]"). Quoted
// strings, function names and other names are left alone.
std::string FormulaA1ToR1C1(std::string_view formula, int32_t row, int32_t col);

// The reverse: "R3C2" becomes "$B$3", "R[1]C[-1]" the A1 text of that cell relative to (row,
// col), "RC" the cell itself. A relative reference that leaves the sheet becomes "#REF!".
std::string FormulaR1C1ToA1(std::string_view formula, int32_t row, int32_t col);

// Moves the relative references of an A1 formula by `rows` and `cols`, as copying the formula
// that many rows down and columns right does ("B3" -> "C5" for 2 and 1; "$B$3" stays). A
// reference moved off the sheet becomes "#REF!". Quoted text and function and sheet names stay.
std::string ShiftFormula(std::string_view formula, int32_t rows, int32_t cols);

// For formula text with a quote (" or ') at `open`: the position just past the matching closing
// quote (doubled quotes stand inside), or the end of the text when it is not closed. Formula
// scanners copy such strings and quoted sheet names as they stand.
size_t QuotedEnd(std::string_view formula, size_t open);

}  // namespace tessarin::host
