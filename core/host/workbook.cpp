// Workbook: sheet list and the host's sheet-naming rules.
#include "core/host/workbook.h"

#include <algorithm>
#include <charconv>

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
    throw HostError(kErrSubscriptOutOfRange, "Subscript out of range: workbook " + name_ +
                                                 " has no sheet " + std::to_string(index) + ".");
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
    throw HostError(kErrApplicationDefined,
                    "The sheet name \"" + std::string(name) + "\" is not allowed: " + why);
  };
  if (name.empty()) fail("a sheet name cannot be empty.");
  if (Utf8Length(name) > 31) fail("a sheet name can have at most 31 characters.");
  if (name.find_first_of(":\\/?*[]") != std::string_view::npos) {
    fail("a sheet name cannot contain any of : \\ / ? * [ ].");
  }
  // A control character cannot be typed on a tab, and an .xlsx file cannot hold most of them.
  if (std::any_of(name.begin(), name.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; })) {
    fail("a sheet name cannot contain control characters.");
  }
  if (name.front() == '\'' || name.back() == '\'')
    fail("a sheet name cannot begin or end with an apostrophe.");
  if (SheetNamesEqual(name, "History")) fail("the name History is reserved.");
  for (const auto& s : sheets_) {
    if (s.get() != sheet && SheetNamesEqual(s->name(), name)) {
      fail("another sheet of workbook " + name_ + " is already called \"" + s->name() + "\".");
    }
  }
}

std::string Workbook::NearestSheetName(std::string_view wanted) const {
  auto allowed = [&](const std::string& name) {
    try {
      CheckSheetName(name, nullptr);
      return true;
    } catch (const HostError&) {
      return false;
    }
  };
  if (allowed(std::string(wanted))) return std::string(wanted);
  std::string base;
  for (std::size_t pos = 0; pos < wanted.size();) {
    char32_t cp = NextCodePoint(wanted, pos);
    if (cp < 0x20 || cp == 0x7F ||
        (cp < 0x80 && std::string_view(":\\/?*[]").find(char(cp)) != std::string_view::npos))
      cp = '_';
    AppendUtf8(base, cp);
  }
  base = Utf8Mid(base, 1, 31);
  if (!base.empty() && base.front() == '\'') base.front() = '_';
  if (!base.empty() && base.back() == '\'') base.back() = '_';
  if (base.empty()) base = "Sheet";
  if (allowed(base)) return base;
  for (int n = 2;; ++n) {
    const std::string suffix = " (" + std::to_string(n) + ")";
    std::string candidate = Utf8Mid(base, 1, 31 - suffix.size());
    if (!candidate.empty() && candidate.back() == '\'') candidate.back() = '_';
    candidate += suffix;
    if (allowed(candidate)) return candidate;
  }
}

Worksheet& Workbook::AddSheet(std::string name, int position) {
  CheckSheetName(name, nullptr);
  position = std::clamp(position, 1, SheetCount() + 1);
  auto sheet = std::make_unique<Worksheet>(this, std::move(name));
  Worksheet& ref = *sheet;
  sheets_.insert(sheets_.begin() + (position - 1), std::move(sheet));
  NoteChange();
  return ref;
}

std::string Workbook::NextSheetName() const {
  // One pass over the names ("SheetN" in any case) instead of a search per candidate, which
  // made adding sheets one by one cubic.
  std::vector<bool> taken(sheets_.size() + 2, false);
  for (const auto& s : sheets_) {
    const std::string_view name = s->name();
    if (name.size() < 6 || name.size() > 15 || !SheetNamesEqual(name.substr(0, 5), "Sheet"))
      continue;
    size_t n = 0;
    const auto [end, ec] = std::from_chars(name.data() + 5, name.data() + name.size(), n);
    if (ec == std::errc() && end == name.data() + name.size() && name[5] != '0' && n < taken.size())
      taken[n] = true;
  }
  size_t n = 1;
  while (taken[n]) ++n;
  return "Sheet" + std::to_string(n);
}

void Workbook::RemoveSheet(int index) {
  Worksheet& sheet = Sheet(index);
  if (SheetCount() == 1) {
    throw HostError(kErrApplicationDefined,
                    "A workbook must contain at least one visible worksheet.");
  }
  if (active_sheet_ == &sheet) active_sheet_ = nullptr;
  sheets_.erase(sheets_.begin() + (index - 1));
  NoteChange();
  if (!active_sheet_) active_sheet_ = sheets_[std::min(index, SheetCount()) - 1].get();
}

void Workbook::MoveSheet(int from, int to) {
  Sheet(from);
  Sheet(to);
  if (from == to) return;
  NoteChange();
  auto sheet = std::move(sheets_[from - 1]);
  sheets_.erase(sheets_.begin() + (from - 1));
  sheets_.insert(sheets_.begin() + (to - 1), std::move(sheet));
}

void Workbook::RenameSheet(Worksheet& sheet, std::string name) {
  if (sheet.name() == name) return;
  CheckSheetName(name, &sheet);
  sheet.set_name_unchecked(std::move(name));
  NoteChange();
}

}  // namespace tessarin::host
