// WorkbookFiles: opening workbook files of every supported kind and saving them safely as .xlsx.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/host/file_service.h"
#include "core/host/file_writer.h"
#include "core/host/host_error.h"
#include "core/host/save_guard.h"
#include "core/host/workbook.h"
#include "core/ooxml/xlsx.h"

namespace tessarin::ooxml {

// Puts the bytes of a save on disk: the host's seam, which tests replace with one that fails
// part way to prove that a failed save keeps the old file.
using FileWriter = host::FileWriter;

// Thrown by Save (as HostError 1004) when writing would silently replace a file that this
// workbook does not own: the file changed on disk since it was opened or last saved, or an
// imported workbook's .xlsx name is taken by another file. A front end asks the user and, if
// told to, saves again with SaveOptions::force.
class SaveConflict : public host::HostError {
 public:
  enum class Kind { kChangedOnDisk, kTargetExists };
  SaveConflict(Kind kind, std::string target, std::string description)
      : HostError(host::kErrApplicationDefined, std::move(description)),
        kind_(kind),
        target_(std::move(target)) {}
  Kind kind() const { return kind_; }
  const std::string& target() const { return target_; }

 private:
  Kind kind_;
  std::string target_;
};

struct SaveOptions {
  // Write even when the target changed on disk or belongs to another file (see SaveConflict).
  bool force = false;
  // Keep the file being replaced as BackupPath(target).
  bool keep_backup = true;
};

struct OpenLimits {
  uint64_t max_file_bytes = uint64_t{256} << 20;
  // What a package may hold; Save refuses to write what Open would then refuse.
  ReadLimits read;
};

class WorkbookFiles : public host::FileService {
 public:
  // `writer` puts saved bytes on disk; nullptr selects the default FileWriter.
  explicit WorkbookFiles(std::shared_ptr<FileWriter> writer = nullptr, OpenLimits limits = {});

  // Opens `path` by its content: a zip package as .xlsx/.xlsm, an OLE container as .xls (or
  // refused when it holds an encrypted package); other files by extension, .csv as comma- and
  // .txt/.tsv as tab-separated text. Sets the workbook's name (the file name), folder (absolute),
  // format, disk stamp, and saved flag. Throws HostError 53 naming the path when it does not
  // exist, 76 when its folder does not, 70 when it may not be read, 75 for other access failures
  // (a folder, a device), and 1004 naming the file and what is wrong when the content cannot be
  // read (see ReadXlsx, ImportText, ImportXls) or the file is larger than the limit.
  std::unique_ptr<host::Workbook> Open(const std::string& path) override;

  // The check every later Save runs before it replaces a file other than the workbook's own,
  // unchanged one (see host::SaveGuard); nullptr (the default) checks nothing. Front ends
  // install the add-in's record guard here.
  void set_save_guard(std::shared_ptr<const host::SaveGuard> guard) { guard_ = std::move(guard); }

  // Save with default options: refuses to overwrite changes made by another program.
  std::string Save(host::Workbook& workbook, const std::string& path) override;

  // Writes `workbook` as .xlsx to SaveTarget(path) and returns that path, which differs from
  // `path` for imported formats: a .xls, .txt or .csv is never written over, the workbook goes
  // to NAME.xlsx beside it. The bytes go to a temporary file in the same folder, are flushed,
  // and the temporary file is renamed over the target, so the target holds the old or the new
  // content at every moment; the replaced file is kept as BackupPath(target) and the new one
  // gets the old one's owner, group and mode. A symbolic link at the target is followed, not
  // replaced, unless another user planted it in a shared sticky folder (such as /tmp). Temporary
  // files left in the folder by a killed save are removed. On success the workbook's name,
  // folder, format, disk stamp and saved flag describe the new file.
  // Throws (leaving every existing file as it was and no temporary file behind): whatever the
  // save guard throws, even with `options.force` (it is asked before the conflicts); SaveConflict
  // (1004) as described there unless `options.force`; HostError 52 for an empty path or one
  // ending in "/" or a file name too long, 75 when the path is a folder, the target is read-only
  // (even for root), or it is a planted link; 76 when the folder does not exist, 70 when it or
  // the target may not be written or the target's owner cannot be kept, 61 when the disk is full,
  // 75 for other write failures, each naming the file and the reason; and whatever WriteXlsx
  // throws (1004 when the package would be over the limits Open accepts).
  std::string Save(host::Workbook& workbook, const std::string& path, const SaveOptions& options);

  // The file a save of `path` writes: `path` made absolute, with .xls, .txt, .csv, .tsv or .prn
  // replaced by .xlsx and ".xlsx" added when there is no extension.
  static std::string SaveTarget(const std::string& path);
  // Where the previous version of `target` is kept: the full file name plus ".bak" (the name
  // shortened first when it would be too long for the file system).
  static std::string BackupPath(const std::string& target);
  // Size and modification time of `path`, or an unknown stamp when it does not exist.
  static host::FileStamp StampOf(const std::string& path);

 private:
  // Throws the HostError of a path that can name no workbook file (see Save).
  static void CheckSavePath(const std::string& path);
  // Reads the file at `real_target` and lets the save guard judge its replacement; a file that
  // cannot be read as a workbook holds nothing the guard could keep.
  void AskGuard(const host::Workbook& workbook, const std::string& real_target,
                const std::string& target);

  std::shared_ptr<FileWriter> writer_;
  OpenLimits limits_;
  std::shared_ptr<const host::SaveGuard> guard_;
};

}  // namespace tessarin::ooxml
