// What we save, we can open: the writer refuses, before writing, what the reader would refuse;
// and merged areas are written disjoint, whatever the model holds.
#include "core/host/host_error.h"
#include "tests/ooxml/xlsx_test_util.h"

namespace tessarin::ooxml::testing {
namespace {

using host::Area;

std::unique_ptr<host::Workbook> Sheets(int count) {
  auto book = std::make_unique<host::Workbook>("many.xlsx");
  for (int i = 1; i <= count; ++i) book->AddSheet("S" + std::to_string(i), i);
  book->set_active_sheet(&book->Sheet(1));
  return book;
}

std::string WriteRefusal(const host::Workbook& book, const ReadLimits& limits) {
  try {
    WriteXlsx(book, {limits, false});
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), host::kErrApplicationDefined);
    return e.description();
  }
  return {};
}

TEST(WriteLimits, MoreSheetsThanTheReaderOpensAreRefused) {
  ReadLimits limits;
  limits.max_sheets = 3;
  EXPECT_EQ(WriteRefusal(*Sheets(3), limits), "");
  EXPECT_NO_THROW(ReadXlsx(WriteXlsx(*Sheets(3), {limits, false}), "x.xlsx", limits));
  const std::string why = WriteRefusal(*Sheets(4), limits);
  EXPECT_NE(why.find("4 sheets"), std::string::npos) << why;
  EXPECT_NE(why.find("Nothing was written"), std::string::npos) << why;
  // The reader's own limit, with the defaults on both sides.
  EXPECT_NE(WriteRefusal(*Sheets(4097), ReadLimits{}), "");
}

TEST(WriteLimits, PartsAndCellsOverTheReadersLimitsAreRefused) {
  auto book = Sheets(1);
  for (int r = 1; r <= 200; ++r) book->Sheet(1).SetNumber(r, 1, r);
  ReadLimits parts;
  parts.max_part_size = 2048;
  EXPECT_NE(WriteRefusal(*book, parts).find("xl/worksheets/sheet1.xml"), std::string::npos);
  ReadLimits total;
  total.max_total_expanded = 4096;
  EXPECT_NE(WriteRefusal(*book, total).find("expand"), std::string::npos);
  ReadLimits cells;
  cells.max_cells = 199;
  EXPECT_NE(WriteRefusal(*book, cells).find("200 cells"), std::string::npos);
  cells.max_cells = 200;
  EXPECT_NO_THROW(ReadXlsx(WriteXlsx(*book, {cells, false}), "x.xlsx", cells));
}

TEST(WriteMerges, OverlapsKeepTheUpperLeftAreaAndTheOrder) {
  auto book = Sheets(1);
  std::vector<Area>& merges = book->Sheet(1).merges();
  merges = {Area{5, 1, 6, 2},   // kept
            Area{1, 1, 1, 3},   // kept
            Area{1, 2, 2, 2},   // overlaps the one above (same top, further right)
            Area{2, 3, 2, 3},   // one cell: never a merge
            Area{6, 2, 7, 4},   // starts inside the first
            Area{3, 1, 4, 9},   // kept
            Area{2, 1, 2, 2}};  // kept: touches nothing
  auto again = ReadXlsx(WriteXlsx(*book), "m.xlsx");
  EXPECT_EQ(again->Sheet(1).merges(), (std::vector<Area>{Area{5, 1, 6, 2}, Area{1, 1, 1, 3},
                                                         Area{3, 1, 4, 9}, Area{2, 1, 2, 2}}));
}

TEST(WriteMerges, ManyDisjointAreasAllSurvive) {
  auto book = Sheets(1);
  std::vector<Area>& merges = book->Sheet(1).merges();
  for (int32_t r = 1; r <= 20000; r += 2) {
    for (int32_t c = 1; c <= 10; c += 2) merges.push_back(Area{r, c, r + 1, c + 1});
  }
  merges.push_back(Area{1, 1, 40000, 1});  // overlaps many: dropped
  auto again = ReadXlsx(WriteXlsx(*book), "m.xlsx");
  EXPECT_EQ(again->Sheet(1).merges().size(), merges.size() - 1);
}

}  // namespace
}  // namespace tessarin::ooxml::testing
