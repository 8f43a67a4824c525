// Deflating parts with libdeflate, which compresses a whole buffer several times faster than
// zlib's stream at a size as small; the parts of one archive go to as many threads as cores.
#include "core/ooxml/part_compression.h"

#include <libdeflate.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "core/host/host_error.h"

namespace tessarin::ooxml {
namespace {

using Compressor = std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)>;

void Deflate(const DeflateJob& job, Compressor& compressor, int& compressor_level) {
  const int level = DeflateLevel(job.data.size());
  if (!compressor || compressor_level != level) {
    compressor.reset(libdeflate_alloc_compressor(level));
    compressor_level = level;
    if (!compressor) throw std::bad_alloc();
  }
  CompressedPart& out = *job.out;
  out.method = 8;
  out.size = job.data.size();
  out.crc = libdeflate_crc32(0, job.data.data(), job.data.size());
  // XML shrinks several times over: try room for half the text before the worst case. The room
  // is not cleared, so only the pages the compressed bytes take are ever touched.
  size_t written = 0;
  for (const size_t room : {job.data.size() / 2 + 1024,
                            libdeflate_deflate_compress_bound(compressor.get(), job.data.size())}) {
    const std::unique_ptr<char[]> buffer(new char[room]);
    written = libdeflate_deflate_compress(compressor.get(), job.data.data(), job.data.size(),
                                          buffer.get(), room);
    if (written > 0) {
      out.bytes.assign(buffer.get(), written);
      break;
    }
  }
  if (written == 0) {
    throw host::HostError(host::kErrApplicationDefined,
                          "Cannot build the workbook package: a part could not be compressed.");
  }
}

}  // namespace

int DeflateLevel(uint64_t size) { return size > (4u << 20) ? 1 : 6; }

void DeflateParts(const std::vector<DeflateJob>& jobs) {
  std::vector<const DeflateJob*> order;
  for (const DeflateJob& j : jobs) order.push_back(&j);
  std::stable_sort(order.begin(), order.end(), [](const DeflateJob* a, const DeflateJob* b) {
    return a->data.size() > b->data.size();
  });
  std::atomic<size_t> next{0};
  std::exception_ptr failure;
  std::mutex failure_lock;
  auto work = [&] {
    Compressor compressor(nullptr, libdeflate_free_compressor);
    int level = 0;
    try {
      for (size_t i; (i = next.fetch_add(1)) < order.size();) Deflate(*order[i], compressor, level);
    } catch (...) {
      std::lock_guard<std::mutex> hold(failure_lock);
      if (!failure) failure = std::current_exception();
      next = order.size();  // the others stop after their current part
    }
  };
  // Small parts are not worth a thread: only parts over 64 KiB count towards the helpers.
  const size_t big = std::count_if(
      order.begin(), order.end(), [](const DeflateJob* j) { return j->data.size() > (64u << 10); });
  const size_t helpers = std::min<size_t>(big > 0 ? big - 1 : 0,
                                          std::max(1u, std::thread::hardware_concurrency()) - 1);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < helpers; ++t) {
    try {
      threads.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // no thread to be had: fewer hands do the same work
    }
  }
  work();
  for (std::thread& t : threads) t.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace tessarin::ooxml
