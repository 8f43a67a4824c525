// Writing archives: every part, whatever its size and however it is given, comes back whole.
#include <gtest/gtest.h>

#include <stdexcept>

#include "core/ooxml/package.h"
#include "core/ooxml/part_compression.h"
#include "core/ooxml/xlsx.h"

namespace tessarin::ooxml {
namespace {

// Text of `size` bytes that compresses as sheet XML does, different at every offset.
std::string SheetLike(size_t size, int seed) {
  std::string out;
  for (int row = 1; out.size() < size; ++row) {
    out += "<row r=\"" + std::to_string(row) + "\"><c r=\"D" + std::to_string(row) +
           "\" t=\"s\"><v>" + std::to_string(row * 7 + seed) + "</v></c></row>";
  }
  out.resize(size);
  return out;
}

// A generator handing out `text` in pieces of `piece` bytes, claiming `claimed` bytes in all.
ZipEntry Generated(const std::string& name, const std::string& text, size_t piece,
                   uint64_t claimed) {
  auto pos = std::make_shared<size_t>(0);
  ZipEntry e{name, {}, true, {}, claimed};
  e.generate = [&text, piece, pos](std::string& out) {
    const size_t n = std::min(piece, text.size() - *pos);
    out.append(text, *pos, n);
    *pos += n;
    return *pos < text.size();
  };
  return e;
}

std::string ReadBack(const std::string& zip, const std::string& part) {
  ReadLimits limits;
  PackageReader reader(zip, "test.xlsx", limits);
  return reader.Get(part);
}

TEST(WriteZip, PartsOfEverySizeComeBackWhole) {
  const std::string empty, small = "<a/>", big = SheetLike(5u << 20, 1),
                           generated = SheetLike(3u << 20, 2), streamed = SheetLike(17u << 20, 3);
  std::vector<ZipEntry> entries = {{"empty.xml", empty, true, {}, 0},
                                   {"small.xml", small, true, {}, 0},
                                   {"big.xml", big, true, {}, 0},
                                   {"stored.bin", small, false, {}, 0}};
  entries.push_back(Generated("generated.xml", generated, 1 << 20, generated.size()));
  entries.push_back(Generated("streamed.xml", streamed, 1 << 20, streamed.size()));
  const std::string zip = WriteZip(entries);
  EXPECT_LT(zip.size(), (big.size() + generated.size() + streamed.size()) / 4);
  EXPECT_EQ(ReadBack(zip, "empty.xml"), empty);
  EXPECT_EQ(ReadBack(zip, "small.xml"), small);
  EXPECT_EQ(ReadBack(zip, "big.xml"), big);
  EXPECT_EQ(ReadBack(zip, "stored.bin"), small);
  EXPECT_EQ(ReadBack(zip, "generated.xml"), generated);
  EXPECT_EQ(ReadBack(zip, "streamed.xml"), streamed);
}

// Parts held whole have an allowance together: past it, generated parts are streamed, and
// all come back alike.
TEST(WriteZip, GeneratedPartsPastTheWholeAllowanceAreStreamed) {
  const size_t size = kWholePartsLimit / 3 + 1;
  const std::string a = SheetLike(size, 5), b = SheetLike(size, 6), c = SheetLike(size, 7);
  const std::string zip =
      WriteZip({Generated("a.xml", a, 1 << 20, a.size()), Generated("b.xml", b, 1 << 20, b.size()),
                Generated("c.xml", c, 1 << 20, c.size())});
  EXPECT_EQ(ReadBack(zip, "a.xml"), a);
  EXPECT_EQ(ReadBack(zip, "b.xml"), b);
  EXPECT_EQ(ReadBack(zip, "c.xml"), c);
}

// A writer that measured wrongly would leave a part that other programs read cut short.
TEST(WriteZip, GeneratedPartsOfAnotherLengthThanMeasuredAreRefused) {
  const std::string text = SheetLike(100000, 4);
  for (const uint64_t claimed : {text.size() - 1, text.size() + 1}) {
    EXPECT_THROW(WriteZip({Generated("sheet.xml", text, 4096, claimed)}), std::logic_error)
        << claimed;
  }
}

TEST(DeflateParts, ManyPartsOnAllCoresKeepTheirOwnBytes) {
  std::vector<std::string> texts;
  for (int i = 0; i < 12; ++i) texts.push_back(SheetLike((i % 3 + 1) * 300000 + i, i));
  std::vector<CompressedPart> parts(texts.size());
  std::vector<DeflateJob> jobs;
  for (size_t i = 0; i < texts.size(); ++i) jobs.push_back({texts[i], &parts[i]});
  DeflateParts(jobs);
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(parts[i].size, texts[i].size());
    EXPECT_EQ(InflatePart(parts[i]), texts[i]) << i;
  }
}

}  // namespace
}  // namespace tessarin::ooxml
