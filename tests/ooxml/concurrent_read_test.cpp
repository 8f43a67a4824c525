// Reading on several threads: the shared strings come in while the sheets are read, and big parts
// are inflated ahead of their scanner. Whatever the timing, the model, the errors and their
// messages must be those of reading one part after the other.
#include <atomic>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <tuple>

#include "core/host/host_error.h"
#include "core/ooxml/read_ahead.h"
#include "core/ooxml/shared_strings_part.h"
#include "tests/ooxml/xlsx_test_util.h"

namespace tessarin::ooxml::testing {
namespace {

// A source of `total` bytes (byte i is 'a' + i % 23) that throws at the call that would hand
// out byte `fail_at`, as a damaged entry does.
XmlScanner::Source Counting(size_t total, size_t fail_at = SIZE_MAX) {
  auto at = std::make_shared<size_t>(0);
  return [=](char* out, size_t size) {
    const size_t n = std::min(size, total - *at);
    if (*at + n > fail_at) throw std::runtime_error("damaged");
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<char>('a' + (*at + i) % 23);
    *at += n;
    return n;
  };
}

// What the reader of `source` sees asking `request` bytes a call: the bytes, then "!" and the
// message when a call threw.
std::string Drain(XmlScanner::Source source, size_t request) {
  std::string seen, piece(request, '\0');
  try {
    while (size_t n = source(piece.data(), request)) seen.append(piece.data(), n);
  } catch (const std::runtime_error& e) {
    seen += std::string("!") + e.what();
  }
  return seen;
}

// The scanner asks whole pieces, so a failure comes at the same call as when it reads the source
// itself.
TEST(ReadAhead, HandsOutWhatTheSourceWouldCallByCall) {
  for (size_t total : {0, 1, 6, 7, 8, 50, 333}) {
    for (size_t request : {7, 14, 63}) {
      for (size_t fail_at : {SIZE_MAX, size_t{0}, size_t{9}, size_t{40}}) {
        const std::string direct = Drain(Counting(total, fail_at), request);
        const std::string ahead = Drain(ReadAhead(Counting(total, fail_at), 7, 3), request);
        EXPECT_EQ(ahead, direct) << total << " bytes asked " << request << " failing at "
                                 << fail_at;
      }
    }
  }
}

TEST(ReadAhead, DroppedEarlyItStopsItsThread) {
  std::atomic<int> calls{0};
  {
    XmlScanner::Source source = ReadAhead(
        [&](char* out, size_t size) {
          ++calls;
          std::memset(out, 'x', size);
          return size;  // never ends
        },
        16, 2);
    char buf[8];
    EXPECT_EQ(source(buf, sizeof buf), 8u);
  }  // would hang here if the producer were not stopped
  EXPECT_GE(calls.load(), 1);
}

TEST(SharedStrings, TextsStayWholeAcrossBlocks) {
  SharedStrings sst;
  sst.Open();
  std::vector<std::string> texts;
  // Big texts cross the 1 MiB blocks at different offsets; empty ones fall on the boundaries.
  for (int i = 0; i < 60; ++i) {
    texts.push_back(i % 7 == 3 ? std::string() : std::string(40000 + 997 * i, 'a' + i % 26));
    texts.push_back(std::to_string(i));
  }
  for (const std::string& t : texts) sst.Add(t);
  sst.Finish();
  ASSERT_EQ(sst.size(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(sst.Text(i), texts[i]) << i;
  EXPECT_FALSE(sst.Wait(texts.size()));
}

TEST(SharedStrings, TheReaderMeetsEachItemAsItComes) {
  SharedStrings sst;
  sst.Open();
  constexpr size_t kItems = 200000;
  std::thread writer([&] {
    for (size_t i = 0; i < kItems; ++i) {
      RichText rich;
      if (i % 1000 == 999) rich.runs.push_back({0, 1, host::Font{}});
      sst.Add("s" + std::to_string(i), rich.runs.empty() ? nullptr : &rich);
    }
    sst.Finish(std::make_exception_ptr(std::runtime_error("the table broke")));
  });
  host::StringPool pool;
  // The last item first: the reader waits for the whole table.
  ASSERT_TRUE(sst.Wait(kItems - 1));
  EXPECT_EQ(pool.Get(sst.Id(kItems - 1, pool)), "s" + std::to_string(kItems - 1));
  for (size_t i = 0; i < kItems; i += 37) {
    ASSERT_TRUE(sst.Wait(i));
    EXPECT_EQ(sst.Text(i), "s" + std::to_string(i));
    EXPECT_EQ(sst.Rich(i) != nullptr, i % 1000 == 999) << i;
  }
  // Past the end, the error that stopped the table.
  EXPECT_THROW(sst.Wait(kItems), std::runtime_error);
  EXPECT_THROW(sst.WaitFinished(), std::runtime_error);
  writer.join();
}

// A one-sheet book with a table of `items` strings ("s0", "s1", ... the multiples of 1000 in
// bold) and the given sheet data, its parts deflated as a saved book's are.
std::string BookWithTable(const std::string& sheet_data, int items,
                          const std::string& table_tail = "</sst>") {
  auto parts = OneSheetBook(sheet_data, {{"sharedStrings", "sharedStrings.xml"}});
  std::string sst =
      "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
      "uniqueCount=\"" +
      std::to_string(items) + "\">";
  for (int i = 0; i < items; ++i) {
    const std::string t = "<t>s" + std::to_string(i) + "</t>";
    sst += i % 1000 == 0 ? "<si><r><rPr><b/></rPr>" + t + "</r></si>" : "<si>" + t + "</si>";
  }
  parts.emplace_back("xl/sharedStrings.xml", sst + table_tail);
  return Zip(parts);
}

// Rows of `rows` cells each referring to a shared string, by row and column.
std::string StringRows(int rows, int cols, int (*index)(int row, int col)) {
  std::string data;
  for (int r = 1; r <= rows; ++r) {
    data += "<row r=\"" + std::to_string(r) + "\">";
    for (int c = 1; c <= cols; ++c)
      data += "<c t=\"s\"><v>" + std::to_string(index(r, c)) + "</v></c>";
    data += "</row>";
  }
  return data;
}

std::string Refusal(const std::string& bytes) {
  try {
    ReadXlsx(bytes, "big.xlsx");
  } catch (const host::HostError& e) {
    return e.description();
  }
  return "(opened)";
}

constexpr int kItems = 120000;  // a table of about 3 MB, read on its own thread
constexpr int kRows = 6000, kCols = 10;

TEST(ConcurrentRead, CellsGetTheirStringsWhereverTheyPoint) {
  // Forward from the start, backward from the end, and the first and the last item.
  auto index = [](int r, int c) {
    return c == 1   ? kItems - 1
           : c == 2 ? 0
           : c % 2  ? (r * 20 + c) % kItems
                    : kItems - 1 - (r * 20 + c) % kItems;
  };
  const auto book = ReadXlsx(BookWithTable(StringRows(kRows, kCols, index), kItems), "big.xlsx");
  const host::Worksheet& s = book->Sheet(1);
  size_t rich = 0;
  for (int r = 1; r <= kRows; ++r) {
    for (int c = 1; c <= kCols; ++c) {
      const int i = index(r, c);
      ASSERT_EQ(s.TextView(r, c), "s" + std::to_string(i)) << r << "," << c;
      const host::CellExtra* extra = s.Extra(r, c);
      const bool bold = extra && !extra->runs.empty() && extra->runs[0].font.bold;
      ASSERT_EQ(bold, i % 1000 == 0) << r << "," << c;
      rich += bold;
    }
  }
  EXPECT_GT(rich, 0u);
}

TEST(ConcurrentRead, ErrorsAreThoseOfReadingOnePartAfterTheOther) {
  const std::string good_rows = StringRows(kRows, kCols, [](int r, int c) { return r + c; });
  const std::string broken_table_tail = "<si><t>unterminated</si></sst>";
  // The table broken at its end, the sheet sound: the table's error.
  std::string why = Refusal(BookWithTable(good_rows, kItems, broken_table_tail));
  EXPECT_NE(why.find("xl/sharedStrings.xml"), std::string::npos) << why;
  // Both broken, the sheet at its start: the table's error still, as the table is read first.
  why = Refusal(
      BookWithTable("<row r=\"1\"><c r=\"A1\"></row>" + good_rows, kItems, broken_table_tail));
  EXPECT_NE(why.find("xl/sharedStrings.xml"), std::string::npos) << why;
  // Only the sheet broken: its own error, though the table is still coming in.
  why = Refusal(BookWithTable("<row r=\"1\"><c r=\"A1\"></row>" + good_rows, kItems));
  EXPECT_NE(why.find("xl/worksheets/sheet1.xml"), std::string::npos) << why;
  EXPECT_EQ(why.find("sharedStrings"), std::string::npos) << why;
  // A cell past the end of the table, or not a number: the whole table's count.
  for (const std::string& bad : {std::to_string(kItems), std::string("x"), std::string("-1")}) {
    why = Refusal(BookWithTable(
        "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>" + bad + "</v></c></row>" + good_rows, kItems));
    EXPECT_NE(why.find("cell A1 refers to shared string " + bad + ", but the table has " +
                       std::to_string(kItems) + "."),
              std::string::npos)
        << why;
  }
}

// References are mostly the next column of the row, taken by comparison; every other shape is
// read as written, and one past the last column is refused as before.
TEST(CellReferences, TheExpectedAndTheOthersLandWhereTheySay) {
  auto book_of = [](const std::string& data) { return Zip(OneSheetBook(data)); };
  const auto book =
      ReadXlsx(book_of("<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\"><v>2</v></c>"
                       "<c r=\"D1\"><v>4</v></c><c r=\"Z1\"><v>26</v></c><c r=\"AA1\"><v>27</v></c>"
                       "<c r=\"XFD1\"><v>16384</v></c></row><row r=\"10\"><c r=\"A10\"><v>1</v></c>"
                       "<c r=\"B9\"><v>2</v></c><c><v>3</v></c>"
                       "<c r=\"F1\"><v>6</v></c></row>"),
               "refs.xlsx");
  const host::Worksheet& s = book->Sheet(1);
  const std::vector<std::tuple<int, int, double>> expected = {
      {1, 1, 1},         {1, 2, 2},  {1, 4, 4}, {1, 26, 26}, {1, 27, 27},
      {1, 16384, 16384}, {10, 1, 1}, {9, 2, 2}, {10, 3, 3},  {1, 6, 6}};
  for (const auto& [row, col, value] : expected)
    EXPECT_EQ(s.Value(row, col), host::CellValue::Number(value)) << row << "," << col;
  EXPECT_EQ(s.cells().CellCount(), expected.size());
  const std::string why =
      Refusal(book_of("<row r=\"1\"><c r=\"XFD1\"><v>1</v></c><c r=\"XFE1\"><v>2</v></c></row>"));
  EXPECT_NE(why.find("the cell reference \"XFE1\" is outside the sheet or malformed"),
            std::string::npos)
      << why;
}

}  // namespace
}  // namespace tessarin::ooxml::testing
