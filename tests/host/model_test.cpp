// Tests of the model's storage: the string pool and the cell store.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/host/cell_store.h"
#include "core/host/string_pool.h"

namespace tessarin::host {
namespace {

TEST(StringPool, EqualTextsShareAnIdAndViewsStayValid) {
  StringPool pool;
  EXPECT_EQ(pool.Intern(""), 0u);
  // Texts that differ only in length, in a zero byte, or past the eight-byte steps of the hash.
  const std::vector<std::string> texts = {
      "a",        std::string("a\0", 2), "abcdefgh",       "abcdefghi",
      "abcdefgH", "漢字の書き取り",      "漢字の書き取る", std::string(300000, 'x')};
  std::vector<uint32_t> ids;
  for (const std::string& t : texts) ids.push_back(pool.Intern(t));
  const std::string_view first = pool.Get(ids[0]);
  // Grows many times, past the first chunk of entries: every id still gives back its text.
  std::vector<uint32_t> more;
  for (int i = 0; i < 200000; ++i) more.push_back(pool.Intern("q" + std::to_string(i)));
  for (int i = 0; i < 200000; ++i) {
    ASSERT_EQ(pool.Get(more[i]), "q" + std::to_string(i)) << i;
    ASSERT_EQ(pool.Intern("q" + std::to_string(i)), more[i]) << i;
  }
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(pool.Intern(texts[i]), ids[i]) << i;
    EXPECT_EQ(pool.Get(ids[i]), texts[i]) << i;
    for (size_t j = 0; j < i; ++j) EXPECT_NE(ids[i], ids[j]) << i << " " << j;
  }
  EXPECT_EQ(first.data(), pool.Get(ids[0]).data());
  EXPECT_EQ(pool.size(), texts.size() + 1 + 200000);
}

// Room made ahead (a big index, mapped fresh) and hashes computed ahead change no id.
TEST(StringPool, ReservingAndHashingAheadGiveTheSameIds) {
  StringPool plain, reserved;
  auto text = [](int i) { return "r" + std::to_string(i % 150000); };
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(reserved.Intern(text(i)), plain.Intern(text(i)));
  reserved.Reserve(400000);
  reserved.Reserve(10);  // never shrinks
  for (int i = 1000; i < 300000; ++i) {
    const uint32_t hash = StringPool::Hash(text(i));
    reserved.Prefetch(hash);
    ASSERT_EQ(reserved.Intern(text(i), hash), plain.Intern(text(i))) << i;
  }
  EXPECT_EQ(reserved.size(), plain.size());
  EXPECT_EQ(reserved.size(), 150001u);
  EXPECT_EQ(reserved.Get(reserved.Intern("r149999")), "r149999");
}

TEST(CellStore, RowsTypedLikeTheRowAboveAllocateOnce) {
  CellStore store;
  for (int c = 1; c <= 18; ++c) store.Obtain(1, c, kDefaultStyle);
  for (int c = 1; c <= 18; ++c) store.Obtain(2, c, kDefaultStyle);
  EXPECT_EQ(store.FindRow(2)->cells.capacity(), 18u);
  store.Obtain(2, 30, kDefaultStyle);  // a longer row still grows
  store.Obtain(2, 25, kDefaultStyle);  // and stays sorted
  ASSERT_NE(store.Find(2, 25), nullptr);
  EXPECT_EQ(store.FindRow(2)->cells[18].col, 25);
  EXPECT_EQ(store.CellCount(), 38u);
  EXPECT_EQ(store.MaxRow(), 2);
}

TEST(CellStore, FindsEachCellOfFullAndGappedRows) {
  CellStore store;
  // Row 1 full from column 3; row 2 with gaps, so a cell's place is not its offset from the first.
  for (int c = 3; c <= 12; ++c) store.Obtain(1, c, kDefaultStyle);
  for (int c : {2, 3, 5, 6, 9, 40}) store.Obtain(2, c, kDefaultStyle);
  for (int row = 1; row <= 2; ++row) {
    for (int c = 1; c <= 45; ++c) {
      const RowData& rd = *store.FindRow(row);
      const bool held = std::any_of(rd.cells.begin(), rd.cells.end(),
                                    [c](const Cell& cell) { return cell.col == c; });
      const Cell* found = store.Find(row, c);
      ASSERT_EQ(found != nullptr, held) << row << "," << c;
      if (found) {
        EXPECT_EQ(found->col, c);
      }
    }
  }
  EXPECT_EQ(store.Find(3, 1), nullptr);
}

}  // namespace
}  // namespace tessarin::host
