// ReplaceFile: the one way this program puts a file on disk (workbooks, their backups, the
// settings file, PDFs and page images), so that no crash, full disk, planted link or second
// program ever leaves a broken or foreign file in place of a good one.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/host/env.h"

namespace tessarin::host {

struct ReplaceOptions {
  // The verb of messages: "Cannot save /a/b.xlsx: the disk is full (...)".
  std::string action = "write";
  // Keep the file being replaced as BackupPath(written file).
  bool keep_backup = false;
  // Called once the new bytes are durable and just before they take the target's place, with
  // the file actually written (a followed link's target). It may throw to abandon the write:
  // the temporary file goes and the target stays as it was.
  std::function<void(const std::string& written)> before_rename;
};

// Replaces the file at `target` with `bytes` and returns the file written, which is `target` or,
// when `target` is a symbolic link, the file it leads to (a link is written through, as an
// editor does, unless another user planted it in a shared sticky folder such as /tmp).
//
// The bytes go to a new temporary file in the same folder, created exclusively (a link planted
// under its name is never followed) with a name short enough for any target name the file system
// allows; every write, the flush to disk and the close are checked; the temporary file takes the
// replaced file's owner, group and mode; then it is renamed over the target and the folder is
// synced. At every moment the target holds the old or the new content in full. Temporary files
// of ours left in that folder by a killed process are removed first.
//
// Throws HostError naming `target` and the reason, with the target and every other file left as
// they were and no temporary file behind: 52 for an empty path, one ending in "/" or a file name
// over 255 bytes; 76 when the folder does not exist; 75 when the target is read-only (even for
// root), is a folder, FIFO, device or other non-regular file, or is a link planted by another
// user; 70 when writing is not allowed or the replaced file's owner cannot be kept; 61 when the
// disk is full; 75 for any other failure; or what `before_rename` throws.
std::string ReplaceFile(Env& env, const std::string& target, std::string_view bytes,
                        const ReplaceOptions& options = {});

// Where the previous version of `target` is kept: the full file name plus ".bak" (the name
// shortened first, at a character boundary, when it would be too long for the file system).
std::string BackupPath(const std::string& target);

// The file a write to `target` reaches: `target`, or the file a symbolic link there leads to.
// Throws HostError 75 for a link that another user planted in a shared sticky folder, and for a
// loop of links.
std::string ResolveWriteTarget(Env& env, const std::string& target, std::string_view action);

// Throws the HostError for the errno value `err` of `action` on `file` (see ReplaceFile for the
// numbers), with `tail` added to the description.
[[noreturn]] void ThrowFileError(int err, std::string_view action, const std::string& file,
                                 const std::string& tail = "");

// True for the names of the temporary files ReplaceFile makes.
bool IsReplaceTemporary(std::string_view name);

}  // namespace tessarin::host
