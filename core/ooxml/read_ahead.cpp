// ReadAhead: a ring of pieces between a producing thread and the reader.
#include "core/ooxml/read_ahead.h"

#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace tessarin::ooxml {
namespace {

class Pipe {
 public:
  Pipe(XmlScanner::Source source, size_t piece, int pieces)
      : source_(std::move(source)), piece_(piece), slots_(static_cast<size_t>(pieces)) {
    for (Slot& s : slots_) s.bytes.reset(new char[piece_]);
  }

  // Starts the producer; false when no thread is to be had.
  bool Start() {
    try {
      thread_ = std::thread([this] { Produce(); });
      return true;
    } catch (const std::system_error&) {
      return false;
    }
  }
  XmlScanner::Source TakeSource() { return std::move(source_); }

  ~Pipe() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

  // Fills `out` from the pieces in order; throws what the source threw once it is reached.
  size_t Read(char* out, size_t size) {
    size_t got = 0;
    while (got < size && !ended_) {
      Slot& s = slots_[head_ % slots_.size()];
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return filled_ > 0; });
      }
      if (s.error) {
        ended_ = true;
        std::rethrow_exception(s.error);
      }
      if (s.size == 0) {
        ended_ = true;
        break;
      }
      const size_t n = std::min(size - got, s.size - s.taken);
      std::memcpy(out + got, s.bytes.get() + s.taken, n);
      s.taken += n;
      got += n;
      if (s.taken == s.size) {
        ++head_;
        {
          std::lock_guard lock(mutex_);
          --filled_;
        }
        changed_.notify_all();
      }
    }
    return got;
  }

 private:
  struct Slot {
    std::unique_ptr<char[]> bytes;
    size_t size = 0, taken = 0;
    std::exception_ptr error;
  };

  // Fills free slots in turn until the source ends or throws, or the reader goes.
  void Produce() {
    for (size_t tail = 0;; ++tail) {
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || filled_ < slots_.size(); });
        if (stop_) return;
      }
      Slot& s = slots_[tail % slots_.size()];
      s.taken = 0;
      s.size = 0;
      try {
        s.size = source_(s.bytes.get(), piece_);
      } catch (...) {
        s.error = std::current_exception();
      }
      {
        std::lock_guard lock(mutex_);
        ++filled_;
      }
      changed_.notify_all();
      if (s.size == 0) return;
    }
  }

  XmlScanner::Source source_;
  const size_t piece_;
  std::vector<Slot> slots_;
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t filled_ = 0;  // slots the producer has filled and the reader not yet emptied
  bool stop_ = false;
  size_t head_ = 0;     // the reader's slot
  bool ended_ = false;  // the reader has met the end or the error
  std::thread thread_;
};

}  // namespace

XmlScanner::Source ReadAhead(XmlScanner::Source source, size_t piece, int pieces) {
  auto pipe = std::make_shared<Pipe>(std::move(source), piece, pieces);
  if (!pipe->Start()) return pipe->TakeSource();  // read in turn, as without the wrapper
  return [pipe](char* out, size_t size) { return pipe->Read(out, size); };
}

}  // namespace tessarin::ooxml
