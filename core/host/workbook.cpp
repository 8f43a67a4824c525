// Workbook: sheet list and the host's sheet-naming rules.
#include "core/host/workbook.h"

#include <algorithm>

#include "core/host/host_error.h"
#include "core/host/text_encoding.h"

namespace tessarin::host {
namespace {

char32_t FoldCase(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 32;  // full-width Latin capitals
  if (c >= 0x0391 && c <= 0x03A9) return c + 32;  // Greek capitals
  if (c >= 0x0410 && c <= 0x042F) return c + 32;  // Cyrillic capitals
  return c;
}

}  // namespace

bool SheetNamesEqual(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (FoldCase(NextCodePoint(a, i)) != FoldCase(NextCodePoint(b, j))) return false;
  }
  return i == a.size() && j == b.size();
}

Workbook::Workbook(std::string name) : name_(std::move(name)) {}
Workbook::~Workbook() = default;

std::string Workbook::FullName() const { return path_.empty() ? name_ : path_ + "/" + name_; }

Worksheet& Workbook::Sheet(int index) const {
  if (index < 1 || index > SheetCount()) {
    throw HostError(kErrSubscriptOutOfRange,
                    "Subscript out of range: workbook " + name_ + " has no sheet " + std::to_string(index) + ".");
  }
  return *sheets_[index - 1];
}

Worksheet* Workbook::FindSheet(std::string_view name) const {
  for (const auto& s : sheets_) {
    if (SheetNamesEqual(s->name(), name)) return s.get();
  }
  return nullptr;
}

int Workbook::IndexOf(const Worksheet& sheet) const {
  for (size_t i = 0; i < sheets_.size(); ++i) {
    if (sheets_[i].get() == &sheet) return static_cast<int>(i) + 1;
  }
  return 0;
}

void Workbook::CheckSheetName(std::string_view name, const Worksheet* sheet) const {
  auto fail = [&](const std::string& why) {
    throw HostError(kErrApplicationDefined, "The sheet name \"" + std::string(name) + "\" is not allowed: " + why);
  };
  if (name.empty()) fail("a sheet name cannot be empty.");
  if (Utf8Length(name) > 31) fail("a sheet name can have at most 31 characters.");
  if (name.find_first_of(":\\/?*[]") != std::string_view::npos) {
    fail("a sheet name cannot contain any of : \\ / ? * [ ].");
  }
  if (name.front() == '\'' || name.back() == '\'') fail("a sheet name cannot begin or end with an apostrophe.");
  if (SheetNamesEqual(name, "History")) fail("the name History is reserved.");
  for (const auto& s : sheets_) {
    if (s.get() != sheet && SheetNamesEqual(s->name(), name)) {
      fail("another sheet of workbook " + name_ + " is already called \"" + s->name() + "\".");
    }
  }
}

Worksheet& Workbook::AddSheet(std::string name, int position) {
  CheckSheetName(name, nullptr);
  position = std::clamp(position, 1, SheetCount() + 1);
  auto sheet = std::make_unique<Worksheet>(this, std::move(name));
  Worksheet& ref = *sheet;
  sheets_.insert(sheets_.begin() + (position - 1), std::move(sheet));
  return ref;
}

std::string Workbook::NextSheetName() const {
  for (int n = 1;; ++n) {
    std::string candidate = "Sheet" + std::to_string(n);
    if (!FindSheet(candidate)) return candidate;
  }
}

void Workbook::RemoveSheet(int index) {
  Worksheet& sheet = Sheet(index);
  if (SheetCount() == 1) {
    throw HostError(kErrApplicationDefined, "A workbook must contain at least one visible worksheet.");
  }
  if (active_sheet_ == &sheet) active_sheet_ = nullptr;
  sheets_.erase(sheets_.begin() + (index - 1));
  if (!active_sheet_) active_sheet_ = sheets_[std::min(index, SheetCount()) - 1].get();
}

void Workbook::MoveSheet(int from, int to) {
  Sheet(from);
  Sheet(to);
  auto sheet = std::move(sheets_[from - 1]);
  sheets_.erase(sheets_.begin() + (from - 1));
  sheets_.insert(sheets_.begin() + (to - 1), std::move(sheet));
}

void Workbook::RenameSheet(Worksheet& sheet, std::string name) {
  if (sheet.name() == name) return;
  CheckSheetName(name, &sheet);
  sheet.set_name_unchecked(std::move(name));
}

}  // namespace tessarin::host
