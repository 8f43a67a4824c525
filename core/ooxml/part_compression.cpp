// Deflating parts with libdeflate, which compresses a whole buffer several times faster than
// zlib's stream at a size as small; the parts of one archive go to as many threads as cores.
#include "core/ooxml/part_compression.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
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
  // The checksums are a tenth of the work: one thread sums every part while the others
  // compress, so a single big part no longer waits for its own sum.
  auto sum = [&jobs] {
    for (const DeflateJob& j : jobs) j.out->crc = libdeflate_crc32(0, j.data.data(), j.data.size());
  };
  // Small parts are not worth a thread: only parts over 64 KiB count towards the helpers.
  const size_t big = std::count_if(
      order.begin(), order.end(), [](const DeflateJob* j) { return j->data.size() > (64u << 10); });
  const size_t helpers = std::min<size_t>(big > 0 ? big - 1 : 0,
                                          std::max(1u, std::thread::hardware_concurrency()) - 1);
  std::vector<std::thread> threads;
  threads.reserve(helpers + 1);  // no allocation may fail once a thread runs
  bool summing = big > 0;
  if (summing) {
    try {
      threads.emplace_back(sum);
    } catch (const std::system_error&) {
      summing = false;
    }
  }
  for (size_t t = 0; t < helpers; ++t) {
    try {
      threads.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // no thread to be had: fewer hands do the same work
    }
  }
  work();
  if (!summing) sum();
  for (std::thread& t : threads) t.join();
  if (failure) std::rethrow_exception(failure);
}

namespace {

// The farthest back a deflate block may refer.
constexpr size_t kWindow = 32768;
// How far into a part the search for a block boundary to cut at goes before giving up.
constexpr size_t kMostInflated = 8u << 20;

using Inflater = std::unique_ptr<z_stream, void (*)(z_stream*)>;
using Deflater = std::unique_ptr<z_stream, void (*)(z_stream*)>;

// Deflate bits, least significant first, as whole bytes and the bits of one more.
struct BitWriter {
  std::string bytes;
  unsigned partial = 0;  // the bits of the byte not yet whole
  uint64_t bits = 0;
  void Put(unsigned value, unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
      partial |= ((value >> i) & 1u) << (bits % 8);
      if (++bits % 8 == 0) {
        bytes.push_back(static_cast<char>(partial));
        partial = 0;
      }
    }
  }
  // Not final, fixed codes, the end-of-block code (seven 0 bits): 10 bits.
  void EmptyFixedBlock() { Put(0b010, 3), Put(0, 7); }
  // Not final, dynamic codes that are complete (literal 0 and end of block, two distances, code
  // length symbols 1 and 18, all one bit long), then the end of block: 95 bits, so that an odd
  // bit within a byte can be reached as well.
  void EmptyDynamicBlock() {
    Put(0b100, 3);
    Put(0, 5);  // 257 literal/length codes
    Put(1, 5);  // 2 distance codes
    Put(15,
        4);  // 19 code length codes, in their order 16 17 18 0 8 7 9 6 10 5 11 4 12 3 13 2 14 1 15
    for (int i = 0; i < 19; ++i) Put(i == 2 || i == 17 ? 1 : 0, 3);
    // The lengths: literal 0 is 1, literals 1-255 are 0 (runs of 138 and 117 zeros), end of
    // block 1, both distances 1. Symbol 1 has the code 0, symbol 18 the code 1.
    Put(0, 1);
    Put(1, 1), Put(138 - 11, 7);
    Put(1, 1), Put(117 - 11, 7);
    Put(0, 1), Put(0, 1), Put(0, 1);
    Put(1, 1);  // end of block: literal 0 has the code 0, end of block 1
  }
};

// `text` deflated as the first blocks of a stream that goes on: none of them final, and the
// output ends on a byte boundary (after an empty stored block), so more blocks may follow.
std::optional<std::string> DeflateOpening(std::string_view text) {
  Deflater z(new z_stream{}, [](z_stream* s) {
    deflateEnd(s);
    delete s;
  });
  // A writer's big blocks make the opening a few hundred KiB: the fastest level then.
  const int level = text.size() > (256u << 10) ? 1 : 6;
  if (deflateInit2(z.get(), level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    return std::nullopt;
  std::string out(deflateBound(z.get(), text.size()) + 64, '\0');
  z->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z->avail_in = static_cast<uInt>(text.size());
  z->next_out = reinterpret_cast<Bytef*>(out.data());
  z->avail_out = static_cast<uInt>(out.size());
  if (deflate(z.get(), Z_SYNC_FLUSH) != Z_OK || z->avail_in != 0 || z->avail_out == 0)
    return std::nullopt;
  out.resize(z->total_out);
  return out;
}

}  // namespace

std::optional<CompressedPart> EditPartStart(
    const CompressedPart& part,
    const std::function<std::optional<StartEdit>(std::string_view start)>& edit) {
  if (part.method != 8 || part.bytes.empty()) return std::nullopt;
  Inflater z(new z_stream{}, [](z_stream* s) {
    inflateEnd(s);
    delete s;
  });
  if (inflateInit2(z.get(), -MAX_WBITS) != Z_OK) return std::nullopt;
  z->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(part.bytes.data()));
  z->avail_in = static_cast<uInt>(std::min<size_t>(part.bytes.size(), UINT32_MAX));
  // Inflated block by block: at each boundary, data_type tells whether inflate stopped there
  // and how many bits of the last byte it read belong to the next block.
  std::string start(1 << 17, '\0');
  std::optional<StartEdit> change;
  uint64_t cut_bit = 0;
  for (;;) {
    if (start.size() - z->total_out < (1 << 16)) start.resize(start.size() * 2);
    z->next_out = reinterpret_cast<Bytef*>(start.data() + z->total_out);
    z->avail_out = static_cast<uInt>(start.size() - z->total_out);
    const int status = inflate(z.get(), Z_BLOCK);
    if (status != Z_OK && status != Z_BUF_ERROR) return std::nullopt;  // the end, or damage
    if (status == Z_BUF_ERROR && z->avail_in == 0) return std::nullopt;
    if (z->total_out > kMostInflated) return std::nullopt;
    if (!(z->data_type & 128)) continue;  // stopped for room, not at a boundary
    if (!change) {
      if (z->total_out < (1 << 16)) continue;
      change = edit(std::string_view(start.data(), z->total_out));
      if (!change || change->length > z->total_out) return std::nullopt;
    }
    const uint64_t bit = uint64_t{z->total_in} * 8 - (z->data_type & 7);
    if (z->total_out >= change->length + kWindow) {
      cut_bit = bit;
      break;
    }
  }
  const size_t cut = z->total_out;  // inflated bytes before the blocks passed on
  std::string opening = change->text;
  opening.append(start, change->length, cut - change->length);
  std::optional<std::string> bytes = DeflateOpening(opening);
  if (!bytes) return std::nullopt;
  // Empty blocks until the next bit is where the blocks passed on begin within their first byte.
  const unsigned shift = cut_bit % 8;
  BitWriter padding;
  if (shift % 2 == 1) padding.EmptyDynamicBlock();
  while (padding.bits % 8 != shift) padding.EmptyFixedBlock();
  bytes->append(padding.bytes);
  const size_t first = cut_bit / 8;
  const auto head = static_cast<unsigned char>(part.bytes[first]);
  bytes->push_back(static_cast<char>((head & (0xFFu << shift)) | padding.partial));
  bytes->append(part.bytes, first + 1, std::string::npos);

  CompressedPart out;
  out.method = 8;
  out.bytes = std::move(*bytes);
  // The checksum of the bytes passed on, from the part's own: crc(A + R) = shift(crc(A)) ^ crc(R).
  const uint64_t rest = part.size - cut;
  const uLong crc_before = crc32(0, reinterpret_cast<const Bytef*>(start.data()), cut);
  const uLong crc_rest = part.crc ^ crc32_combine64(crc_before, 0, static_cast<z_off64_t>(rest));
  const uLong crc_opening =
      crc32(0, reinterpret_cast<const Bytef*>(opening.data()), opening.size());
  out.crc =
      static_cast<uint32_t>(crc32_combine64(crc_opening, crc_rest, static_cast<z_off64_t>(rest)));
  out.size = opening.size() + rest;
  return out;
}

}  // namespace tessarin::ooxml
