// Workbook: its sheets in order, the shared string and style pools, and where it lives on disk.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/host/string_pool.h"
#include "core/host/style.h"
#include "core/host/worksheet.h"

namespace tessarin::host {

class Application;

// Size and modification time of the file as it was opened or last saved, so a save can tell
// whether someone else changed it meanwhile.
struct FileStamp {
  int64_t size = -1;
  int64_t mtime_ns = 0;
  bool Known() const { return size >= 0; }
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

enum class FileFormat { kNone, kXlsx, kXlsm, kXls, kText, kCsv };

class Workbook {
 public:
  explicit Workbook(std::string name);
  Workbook(const Workbook&) = delete;
  Workbook& operator=(const Workbook&) = delete;
  ~Workbook();

  // "Book1" style name while never saved; the file name afterwards.
  const std::string& name() const { return name_; }
  void set_name(std::string name) { name_ = std::move(name); }
  // The folder, "" while never saved.
  const std::string& path() const { return path_; }
  void set_path(std::string path) { path_ = std::move(path); }
  std::string FullName() const;

  int SheetCount() const { return static_cast<int>(sheets_.size()); }
  // 1-based. Throws HostError 9 when out of range.
  Worksheet& Sheet(int index) const;
  // By name, case-insensitively as the host does; nullptr when missing.
  Worksheet* FindSheet(std::string_view name) const;
  // 1-based position of a sheet.
  int IndexOf(const Worksheet& sheet) const;

  // Adds a sheet at 1-based `position` (SheetCount() + 1 appends). The name is checked.
  Worksheet& AddSheet(std::string name, int position);
  // A free name "Sheet<N>" for a new sheet.
  std::string NextSheetName() const;
  void RemoveSheet(int index);
  void MoveSheet(int from, int to);
  // Throws HostError 1004 with a clear description when `name` breaks the host's rules for
  // `sheet` (empty, over 31 characters, one of : \ / ? * [ ], a control character (U+0000 to
  // U+001F, U+007F), a leading or trailing apostrophe, the reserved name History, or the name of
  // another sheet without regard to case).
  void CheckSheetName(std::string_view name, const Worksheet* sheet) const;
  // The allowed name nearest to `wanted`, for a sheet a file names against those rules (other
  // programs write names the host refuses, and refusing the file for that helps no one):
  // `wanted` itself when allowed; else control characters and : \ / ? * [ ] become "_", as do a
  // leading and a trailing apostrophe, the name is cut to 31 characters ("Sheet" when nothing
  // is left), and a name taken (or reserved) gets " (2)", " (3)" ... within the 31.
  std::string NearestSheetName(std::string_view wanted) const;
  void RenameSheet(Worksheet& sheet, std::string name);

  Worksheet* active_sheet() const { return active_sheet_; }
  void set_active_sheet(Worksheet* sheet) { active_sheet_ = sheet; }

  StringPool& strings() { return strings_; }
  StylePool& styles() { return styles_; }
  const Font& default_font() const { return styles_.Get(kDefaultStyle).font; }

  // The change counter. Every edit of the workbook's content moves it: values, formulas,
  // formats, character and phonetic runs, comments, rows and columns, merges, page setup and
  // breaks, protection, the sheets, their names, order and visibility. Reading moves nothing,
  // nor do selecting and scrolling. Edits made through the mutable cells(), merges(),
  // page_setup() or view() of a Worksheet are the caller's to note (Worksheet::NoteChange).
  uint64_t changes() const { return changes_; }
  void NoteChange() { ++changes_; }
  // True while the counter stands where the last open or save recorded it.
  bool saved() const { return changes_ == saved_changes_; }
  // true records the counter (a file now holds this content); false marks the workbook changed,
  // as the host's Saved = False does.
  void set_saved(bool saved) {
    if (saved) {
      saved_changes_ = changes_;
    } else if (changes_ == saved_changes_) {
      ++changes_;
    }
  }
  bool date1904() const { return date1904_; }
  void set_date1904(bool v) { date1904_ = v; }
  FileFormat file_format() const { return file_format_; }
  void set_file_format(FileFormat f) { file_format_ = f; }
  const FileStamp& disk_stamp() const { return disk_stamp_; }
  void set_disk_stamp(FileStamp s) { disk_stamp_ = s; }

  // The Application that holds the workbook (set when it adopts it), nullptr for a workbook
  // made on its own (file tests, tools).
  Application* application() const { return application_; }
  void set_application(Application* app) { application_ = app; }

  // What the reader of the file kept of it beyond the model, for saving in the same format;
  // null for a workbook made here.
  std::shared_ptr<FileExtras>& file_extras() { return file_extras_; }
  const std::shared_ptr<FileExtras>& file_extras() const { return file_extras_; }

 private:
  std::string name_;
  std::string path_;
  std::vector<std::unique_ptr<Worksheet>> sheets_;
  Worksheet* active_sheet_ = nullptr;
  StringPool strings_;
  StylePool styles_;
  uint64_t changes_ = 0;
  uint64_t saved_changes_ = 0;
  bool date1904_ = false;
  FileFormat file_format_ = FileFormat::kNone;
  FileStamp disk_stamp_;
  std::shared_ptr<FileExtras> file_extras_;
  Application* application_ = nullptr;
};

// Compares two names as the host compares sheet names: without regard to case (ASCII and
// full-width Latin letters).
bool SheetNamesEqual(std::string_view a, std::string_view b);

}  // namespace tessarin::host
