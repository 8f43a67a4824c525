// WorkbookFiles: format dispatch on open, and the save with its conflict checks and backup.
#include "core/ooxml/workbook_io.h"

#include <errno.h>
#include <limits.h>

#include <filesystem>
#include <string>

#include "core/host/safe_replace.h"
#include "core/ooxml/text_import.h"
#include "core/ooxml/xls_import.h"
#include "core/ooxml/xlsx.h"

namespace tessarin::ooxml {
namespace {

namespace fs = std::filesystem;
using host::HostError;

std::string LowerExtension(const std::string& path) {
  std::string ext = fs::path(path).extension().string();
  for (char& c : ext) c = (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
  return ext;
}

std::string Absolute(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::absolute(path, ec);
  if (ec) p = path;
  return p.lexically_normal().string();
}

host::FileStamp StampFromInfo(const host::FileInfo& info) { return {info.size, info.mtime_ns}; }

}  // namespace

WorkbookFiles::WorkbookFiles(std::shared_ptr<host::Env> env, OpenLimits limits)
    : env_(env ? std::move(env) : host::Env::Default()), limits_(limits) {}

std::string WorkbookFiles::SaveTarget(const std::string& path) {
  fs::path p(Absolute(path));
  const std::string ext = LowerExtension(p.string());
  if (ext == ".xls" || ext == ".txt" || ext == ".csv" || ext == ".tsv" || ext == ".prn") {
    p.replace_extension(".xlsx");
  } else if (ext.empty()) {
    p += ".xlsx";
  }
  return p.string();
}

std::string WorkbookFiles::BackupPath(const std::string& target) {
  return host::BackupPath(target);
}

void WorkbookFiles::CheckSavePath(const std::string& path) const {
  if (path.empty() || path.back() == '/') {
    throw HostError(host::kErrBadFileName,
                    path.empty()
                        ? std::string("Cannot save: no file name was given.")
                        : "Cannot save " + path + ": the path names a folder, not a file.");
  }
  // Looked at before the name is changed to .xlsx, so /dev/null or a folder named on the
  // command line never turns into a new file beside it.
  host::FileInfo info;
  if (env_->Stat(path, &info) == 0 && info.kind == host::FileKind::kFolder) {
    throw HostError(host::kErrPathFileAccess,
                    "Cannot save " + path + ": it is a folder, not a file.");
  }
  if (env_->Stat(path, &info) == 0 && info.kind != host::FileKind::kRegular) {
    throw HostError(host::kErrPathFileAccess,
                    "Cannot save " + path + ": it is not a regular file (a pipe or a device).");
  }
  const std::string name = fs::path(SaveTarget(path)).filename().string();
  if (name.size() > NAME_MAX) {
    throw HostError(host::kErrBadFileName,
                    "Cannot save " + path + ": the file name is longer than the " +
                        std::to_string(NAME_MAX) + " bytes a file name may have.");
  }
}

void WorkbookFiles::AskGuard(const host::Workbook& workbook, const std::string& real_target,
                             const std::string& target) {
  std::unique_ptr<host::Workbook> on_disk;
  try {
    on_disk = Open(real_target);
  } catch (const HostError&) {
    return;
  }
  guard_->CheckReplace(workbook, *on_disk, target);
}

host::FileStamp WorkbookFiles::StampOf(const std::string& path) {
  host::FileInfo info;
  if (host::Env::Default()->Stat(path, &info) != 0) return {};
  return StampFromInfo(info);
}

std::unique_ptr<host::Workbook> WorkbookFiles::Open(const std::string& path) {
  const std::string full = Absolute(path);
  std::string bytes;
  host::FileInfo info;
  if (const int err = env_->ReadFile(full, limits_.max_file_bytes, &bytes, &info)) {
    if (err == ENOENT) {
      // Tell a missing file from a missing folder, as the host does.
      host::FileInfo folder;
      if (env_->Stat(fs::path(full).parent_path().string(), &folder) == 0 &&
          folder.kind == host::FileKind::kFolder) {
        throw HostError(host::kErrFileNotFound, "File not found: '" + path + "'.");
      }
      throw HostError(host::kErrPathNotFound,
                      "Path not found: '" + path + "' (the folder does not exist).");
    }
    if (err == EISDIR)
      throw HostError(host::kErrPathFileAccess,
                      "Cannot open '" + path + "': it is a folder, not a file.");
    if (err == EINVAL)
      throw HostError(host::kErrPathFileAccess,
                      "Cannot open '" + path + "': it is not a regular file.");
    if (err == EFBIG)
      throw HostError(host::kErrApplicationDefined,
                      "Cannot open " + full + ": the file has " + std::to_string(info.size) +
                          " bytes, more than the " + std::to_string(limits_.max_file_bytes) +
                          " a workbook file may have.");
    host::ThrowFileError(err, "open", "'" + path + "'");
  }
  const host::FileStamp stamp = StampFromInfo(info);

  const std::string ext = LowerExtension(full);
  std::unique_ptr<host::Workbook> workbook;
  host::FileFormat format;
  if (LooksLikeZip(bytes)) {
    workbook = ReadXlsx(bytes, full, limits_.read);
    format = ext == ".xlsm" ? host::FileFormat::kXlsm : host::FileFormat::kXlsx;
  } else if (LooksLikeCompoundFile(bytes)) {
    workbook = ImportXls(bytes, full);  // also names an encrypted .xlsx for what it is
    format = host::FileFormat::kXls;
  } else if (ext == ".csv") {
    workbook = ImportText(bytes, full, ',');
    format = host::FileFormat::kCsv;
  } else if (ext == ".txt" || ext == ".tsv" || ext == ".prn") {
    workbook = ImportText(bytes, full, '\t');
    format = host::FileFormat::kText;
  } else if (ext == ".xlsx" || ext == ".xlsm") {
    throw HostError(
        host::kErrApplicationDefined,
        "Cannot open " + full + ": the file is not an Excel workbook (it is not a zip package).");
  } else if (ext == ".xls") {
    throw HostError(
        host::kErrApplicationDefined,
        "Cannot open " + full +
            ": the file is not an Excel 97-2003 workbook (it is not an OLE container).");
  } else {
    throw HostError(
        host::kErrApplicationDefined,
        "Cannot open " + full +
            ": the file format is not recognised (expected .xlsx, .xlsm, .xls, .csv or .txt).");
  }
  const fs::path p(full);
  workbook->set_name(p.filename().string());
  workbook->set_path(p.parent_path().string());
  workbook->set_file_format(format);
  workbook->set_disk_stamp(stamp);
  workbook->set_saved(true);
  return workbook;
}

std::string WorkbookFiles::Save(host::Workbook& workbook, const std::string& path) {
  return Save(workbook, path, SaveOptions{});
}

std::string WorkbookFiles::Save(host::Workbook& workbook, const std::string& path,
                                const SaveOptions& options) {
  CheckSavePath(path);
  const std::string target = SaveTarget(path);
  const bool redirected = target != Absolute(path);
  const fs::path target_path(target);
  std::string folder = target_path.parent_path().string();
  if (folder.empty()) folder = "/";

  // Write through a symbolic link rather than replacing it (unless it was planted on us).
  const std::string real_target = host::ResolveWriteTarget(*env_, target, "save");
  host::FileInfo target_info;
  const bool exists = env_->Stat(real_target, &target_info) == 0;
  const bool own_file = !workbook.path().empty() && Absolute(workbook.FullName()) == target &&
                        (workbook.file_format() == host::FileFormat::kXlsx ||
                         workbook.file_format() == host::FileFormat::kXlsm);
  // Replacing another file, or our own that changed on disk, may lose a record: the guard says.
  if (exists && guard_ && target_info.kind == host::FileKind::kRegular &&
      (!own_file ||
       (workbook.disk_stamp().Known() && StampFromInfo(target_info) != workbook.disk_stamp()))) {
    AskGuard(workbook, real_target, target);
  }
  const bool check = exists && !options.force && target_info.kind == host::FileKind::kRegular;
  if (check) {
    const host::FileStamp current = StampFromInfo(target_info);
    if (own_file && workbook.disk_stamp().Known() && current != workbook.disk_stamp()) {
      throw SaveConflict(SaveConflict::Kind::kChangedOnDisk, target,
                         "Cannot save " + target +
                             ": the file was changed by another program after it was opened "
                             "or last saved here. Saving now would discard those changes.");
    }
    if (redirected && !own_file) {
      throw SaveConflict(SaveConflict::Kind::kTargetExists, target,
                         "Cannot save " + target_path.filename().string() + " beside " +
                             fs::path(path).filename().string() +
                             ": a file of that name already exists in " + folder +
                             " and would be replaced.");
    }
  }

  // A .xlsx cannot hold macros: the macro project is left out, as spreadsheet programs do.
  const std::string bytes = WriteXlsx(workbook, {limits_.read, LowerExtension(target) != ".xlsm"});
  host::ReplaceOptions replace;
  replace.action = "save";
  replace.keep_backup = options.keep_backup;
  if (check) {
    // Writing took a while: look again, so a save made meanwhile by another program is not lost.
    replace.before_rename = [&](const std::string& written) {
      host::FileInfo again;
      if (env_->Stat(written, &again) == 0 && StampFromInfo(again) != StampFromInfo(target_info)) {
        throw SaveConflict(SaveConflict::Kind::kChangedOnDisk, target,
                           "Cannot save " + target +
                               ": the file was changed by another program while it was being "
                               "saved here. Saving now would discard those changes.");
      }
    };
  }
  host::ReplaceFile(*env_, target, bytes, replace);

  workbook.set_name(target_path.filename().string());
  workbook.set_path(folder);
  workbook.set_file_format(LowerExtension(target) == ".xlsm" ? host::FileFormat::kXlsm
                                                             : host::FileFormat::kXlsx);
  host::FileInfo now;
  workbook.set_disk_stamp(env_->Stat(real_target, &now) == 0 ? StampFromInfo(now)
                                                             : host::FileStamp{});
  workbook.set_saved(true);
  return target;
}

}  // namespace tessarin::ooxml
