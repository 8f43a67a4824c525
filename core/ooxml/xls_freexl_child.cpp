// The libfreexl child process: stages the bytes where libfreexl can open them, checks the
// declared sheet sizes, reads every cell, and sends the readout to the parent over a pipe in a
// small length-prefixed form that the parent parses with bounds checks.
#include "core/ooxml/xls_freexl_child.h"

#include <errno.h>
#include <fcntl.h>
#include <freexl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

#include "core/host/host_error.h"
#include "core/ooxml/xls_bytes.h"

namespace tessarin::ooxml::xls {
namespace {

using host::HostError;

// libfreexl reads from a path; an anonymous memory file gives it the bytes we already hold, so
// what we import is exactly what we inspected.
class BytesAsPath {
 public:
  explicit BytesAsPath(std::string_view bytes) {
    fd_ = memfd_create("tessarin-xls", MFD_CLOEXEC);
    if (fd_ >= 0) {
      path_ = "/proc/self/fd/" + std::to_string(fd_);
    } else {
      const char* tmp = std::getenv("TMPDIR");
      std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/tessarin-xls-XXXXXX";
      fd_ = mkstemp(templ.data());
      if (fd_ < 0)
        throw HostError(host::kErrPathFileAccess,
                        "Cannot make a temporary file to read the .xls workbook.");
      path_ = templ;
      unlink_ = true;
    }
    for (size_t done = 0; done < bytes.size();) {
      const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
      if (n <= 0)
        throw HostError(host::kErrPathFileAccess, "Cannot stage the .xls workbook for reading.");
      done += static_cast<size_t>(n);
    }
  }
  ~BytesAsPath() {
    if (unlink_) unlink(path_.c_str());
    if (fd_ >= 0) close(fd_);
  }
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  bool unlink_ = false;
  std::string path_;
};

class FreeXlHandle {
 public:
  ~FreeXlHandle() {
    if (handle_) freexl_close(handle_);
  }
  const void** out() { return &handle_; }
  const void* get() const { return handle_; }
  void Close() {
    if (handle_) freexl_close(handle_);
    handle_ = nullptr;
  }

 private:
  const void* handle_ = nullptr;
};

std::string FreeXlProblem(int code) {
  switch (code) {
    case FREEXL_INVALID_CHARACTER:
    case FREEXL_UNSUPPORTED_CHARSET:
      return "its text is in a code page that cannot be read.";
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
      return "it is not an Excel workbook (the container holds no workbook stream).";
    default:
      break;
  }
  std::string what;
  switch (code) {
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_CFBF_INVALID_SIGNATURE:
    case FREEXL_CFBF_INVALID_SECTOR_SIZE:
      what = "the container header is invalid";
      break;
    case FREEXL_CFBF_READ_ERROR:
    case FREEXL_CFBF_SEEK_ERROR:
      what = "it is cut short";
      break;
    case FREEXL_CFBF_EMPTY_FAT_CHAIN:
    case FREEXL_CFBF_ILLEGAL_FAT_ENTRY:
    case FREEXL_INVALID_MINI_STREAM:
    case FREEXL_CFBF_ILLEGAL_MINI_FAT_ENTRY:
      what = "the container's sector chains are broken";
      break;
    case FREEXL_BIFF_INVALID_BOF:
      what = "a record stream does not begin with a BOF record";
      break;
    case FREEXL_BIFF_INVALID_SST:
    case FREEXL_BIFF_ILLEGAL_SST_INDEX:
      what = "the shared string table is invalid";
      break;
    case FREEXL_ILLEGAL_CELL_ROW_COL:
      what = "a cell lies outside its sheet";
      break;
    case FREEXL_ILLEGAL_RK_VALUE:
      what = "a number record is invalid";
      break;
    default:
      what = "reader code " + std::to_string(code);
      break;
  }
  return "the file is damaged (" + what + ").";
}

// What libfreexl read, or why it could not: `status` is 0, a libfreexl error code, or
// kTooManySlots.
struct FreeXlReadout {
  static constexpr int32_t kTooManySlots = 1;
  int32_t status = 0;
  uint64_t slots = 0;
  uint32_t password = 0;
  uint32_t date_mode = 0;
  std::vector<FreeXlSheet> sheets;
};

void Put(std::string& out, const void* p, size_t n) { out.append(static_cast<const char*>(p), n); }
template <typename T>
void Put(std::string& out, T v) {
  Put(out, &v, sizeof v);
}
void PutText(std::string& out, std::string_view text) {
  Put(out, static_cast<uint32_t>(text.size()));
  out.append(text);
}

class Taker {
 public:
  explicit Taker(std::string_view in) : in_(in) {}
  template <typename T>
  bool Take(T* v) {
    if (in_.size() < sizeof(T)) return false;
    std::memcpy(v, in_.data(), sizeof(T));
    in_.remove_prefix(sizeof(T));
    return true;
  }
  bool TakeText(std::string* text) {
    uint32_t n;
    if (!Take(&n) || in_.size() < n) return false;
    text->assign(in_.substr(0, n));
    in_.remove_prefix(n);
    return true;
  }

 private:
  std::string_view in_;
};

// Runs libfreexl over the bytes and serialises what it read. Runs in the child process.
std::string ReadWithFreeXl(std::string_view bytes, uint64_t max_slots) {
  std::string out;
  BytesAsPath staged(bytes);
  // libfreexl allocates every declared cell of every sheet at once; check the declared sizes first.
  uint64_t slots = 0;
  {
    FreeXlHandle info;
    const int rc = freexl_open_info(staged.path().c_str(), info.out());
    if (rc != FREEXL_OK || !info.get()) {
      Put(out, static_cast<int32_t>(rc == FREEXL_OK ? FREEXL_BIFF_INVALID_BOF : rc));
      return out;
    }
    unsigned int count = 0;
    freexl_get_info(info.get(), FREEXL_BIFF_SHEET_COUNT, &count);
    for (unsigned int i = 0; i < count; ++i) {
      unsigned int rows = 0;
      unsigned short cols = 0;
      if (freexl_select_active_worksheet(info.get(), static_cast<unsigned short>(i)) == FREEXL_OK &&
          freexl_worksheet_dimensions(info.get(), &rows, &cols) == FREEXL_OK) {
        slots += uint64_t{rows} * cols;
      }
    }
    if (slots > max_slots) {
      Put(out, FreeXlReadout::kTooManySlots);
      Put(out, slots);
      return out;
    }
  }
  FreeXlHandle xls;
  const int rc = freexl_open(staged.path().c_str(), xls.out());
  if (rc != FREEXL_OK || !xls.get()) {
    Put(out, static_cast<int32_t>(rc == FREEXL_OK ? FREEXL_BIFF_INVALID_BOF : rc));
    return out;
  }
  uint32_t password = 0, date_mode = 0, sheet_count = 0;
  freexl_get_info(xls.get(), FREEXL_BIFF_PASSWORD, &password);
  freexl_get_info(xls.get(), FREEXL_BIFF_DATEMODE, &date_mode);
  freexl_get_info(xls.get(), FREEXL_BIFF_SHEET_COUNT, &sheet_count);
  Put(out, int32_t{0});
  Put(out, slots);
  Put(out, password);
  Put(out, date_mode);
  std::string sheets;
  uint32_t read_sheets = 0;
  for (unsigned int i = 0; i < sheet_count && i < 65536; ++i) {
    const char* name = nullptr;
    unsigned int rows = 0;
    unsigned short cols = 0;
    if (freexl_get_worksheet_name(xls.get(), static_cast<unsigned short>(i), &name) != FREEXL_OK ||
        !name ||
        freexl_select_active_worksheet(xls.get(), static_cast<unsigned short>(i)) != FREEXL_OK ||
        freexl_worksheet_dimensions(xls.get(), &rows, &cols) != FREEXL_OK) {
      continue;
    }
    ++read_sheets;
    PutText(sheets, name);
    std::string cells;
    uint32_t count = 0;
    rows = std::min<unsigned int>(rows, 65536);
    cols = std::min<unsigned short>(cols, 256);
    for (unsigned int r = 0; r < rows; ++r) {
      for (unsigned short c = 0; c < cols; ++c) {
        FreeXL_CellValue v;
        if (freexl_get_cell_value(xls.get(), r, c, &v) != FREEXL_OK || v.type == FREEXL_CELL_NULL)
          continue;
        const bool number = v.type == FREEXL_CELL_INT || v.type == FREEXL_CELL_DOUBLE;
        if (!number && !v.value.text_value) continue;
        Put(cells, static_cast<uint32_t>(r));
        Put(cells, static_cast<uint16_t>(c));
        Put(cells, static_cast<uint8_t>(v.type));
        if (number) {
          Put(cells, v.type == FREEXL_CELL_INT ? static_cast<double>(v.value.int_value)
                                               : v.value.double_value);
        } else {
          PutText(cells, v.value.text_value);
        }
        ++count;
      }
    }
    Put(sheets, count);
    sheets += cells;
  }
  Put(out, read_sheets);
  out += sheets;
  return out;
}

std::optional<FreeXlCell::Kind> CellKind(uint8_t type) {
  switch (type) {
    case FREEXL_CELL_INT:
    case FREEXL_CELL_DOUBLE:
      return FreeXlCell::Kind::kNumber;
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
      return FreeXlCell::Kind::kText;
    case FREEXL_CELL_DATE:
      return FreeXlCell::Kind::kDate;
    case FREEXL_CELL_DATETIME:
      return FreeXlCell::Kind::kDateTime;
    case FREEXL_CELL_TIME:
      return FreeXlCell::Kind::kTime;
  }
  return std::nullopt;
}

bool ParseReadout(std::string_view bytes, FreeXlReadout* readout) {
  Taker in(bytes);
  if (!in.Take(&readout->status)) return false;
  if (readout->status == FreeXlReadout::kTooManySlots) return in.Take(&readout->slots);
  if (readout->status != 0) return true;
  uint32_t sheets = 0;
  if (!in.Take(&readout->slots) || !in.Take(&readout->password) || !in.Take(&readout->date_mode) ||
      !in.Take(&sheets)) {
    return false;
  }
  for (uint32_t i = 0; i < sheets; ++i) {
    FreeXlSheet sheet;
    uint32_t count = 0;
    if (!in.TakeText(&sheet.name) || !in.Take(&count)) return false;
    for (uint32_t k = 0; k < count; ++k) {
      FreeXlCell cell;
      uint8_t type = 0;
      if (!in.Take(&cell.row) || !in.Take(&cell.col) || !in.Take(&type)) return false;
      const bool number = type == FREEXL_CELL_INT || type == FREEXL_CELL_DOUBLE;
      if (number ? !in.Take(&cell.number) : !in.TakeText(&cell.text)) return false;
      if (auto kind = CellKind(type)) {
        cell.kind = *kind;
        sheet.cells.push_back(std::move(cell));
      }
    }
    readout->sheets.push_back(std::move(sheet));
  }
  return true;
}

// libfreexl is a C parser of untrusted input that can crash on a damaged file and allocates what
// the file declares; it runs in a child process with bounded memory and time, so neither a crash
// nor a runaway allocation reaches the host.
FreeXlReadout ReadIsolated(std::string_view bytes, const XlsImportLimits& limits,
                           const std::string& file_name) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0)
    throw HostError(host::kErrPathFileAccess,
                    "Cannot read " + file_name + ": no pipe for the .xls reader.");
  const pid_t child = fork();
  if (child < 0) {
    close(fds[0]), close(fds[1]);
    throw HostError(host::kErrOutOfMemory,
                    "Cannot read " + file_name + ": the .xls reader could not be started.");
  }
  if (child == 0) {
    close(fds[0]);
    if (limits.max_reader_bytes > 0) {
      // On top of what the process already maps, which the child shares.
      long pages = 0;
      if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
        std::fclose(statm);
      }
      const rlim_t cap = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) +
                         limits.max_reader_bytes;
      struct rlimit rl = {cap, cap};
      setrlimit(RLIMIT_AS, &rl);
    }
    int status = 0;
    try {
      const std::string out = ReadWithFreeXl(bytes, limits.max_cell_slots);
      for (size_t done = 0; done < out.size();) {
        const ssize_t n = write(fds[1], out.data() + done, out.size() - done);
        if (n <= 0) {
          status = 2;
          break;
        }
        done += static_cast<size_t>(n);
      }
    } catch (...) {
      status = 3;  // out of memory under the cap, most likely
    }
    _exit(status);  // no destructors or exit handlers of the parent's state
  }
  close(fds[1]);
  std::string out;
  char buf[65536];
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(limits.max_reader_seconds);
  bool timed_out = false;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) {
      timed_out = true;
      break;
    }
    struct pollfd pfd = {fds[0], POLLIN, 0};
    const int ready = poll(&pfd, 1, static_cast<int>(std::min<long long>(left, 1000)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) continue;
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  close(fds[0]);
  if (timed_out) kill(child, SIGKILL);
  int wstatus = 0;
  while (waitpid(child, &wstatus, 0) < 0 && errno == EINTR) {
  }
  if (timed_out) {
    Fail(file_name, "reading it took longer than " + std::to_string(limits.max_reader_seconds) +
                        " seconds; the file is damaged.");
  }
  FreeXlReadout readout;
  if (!WIFEXITED(wstatus) || WEXITSTATUS(wstatus) != 0 || !ParseReadout(out, &readout)) {
    if (WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 3) {
      Fail(file_name,
           "reading it needs more memory than an .xls workbook may take; the file is damaged or "
           "too large.");
    }
    Fail(file_name, "the file is damaged (the .xls reader stopped on it).");
  }
  if (readout.status == FreeXlReadout::kTooManySlots) {
    Fail(file_name, "its sheets declare " + std::to_string(readout.slots) +
                        " cells, more than the " + std::to_string(limits.max_cell_slots) +
                        " that can be imported.");
  }
  if (readout.status == FREEXL_INSUFFICIENT_MEMORY) {
    Fail(file_name,
         "reading it needs more memory than an .xls workbook may take; the file is damaged or too "
         "large.");
  }
  if (readout.status != 0) Fail(file_name, FreeXlProblem(readout.status));
  return readout;
}

}  // namespace

FreeXlBook ReadFreeXlIsolated(std::string_view bytes, const XlsImportLimits& limits,
                              const std::string& file_name) {
  FreeXlReadout readout = ReadIsolated(bytes, limits, file_name);
  FreeXlBook book;
  book.password_obfuscated = readout.password == FREEXL_BIFF_OBFUSCATED;
  book.date1904 = readout.date_mode == FREEXL_BIFF_DATEMODE_1904;
  book.sheets = std::move(readout.sheets);
  return book;
}

}  // namespace tessarin::ooxml::xls
