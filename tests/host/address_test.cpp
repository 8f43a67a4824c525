// Tests of A1 parsing and A1/R1C1 formatting.
#include "core/host/address.h"

#include <gtest/gtest.h>

#include "core/host/host_error.h"

namespace tessarin::host {
namespace {

int ErrorOf(std::string_view text) {
  try {
    ParseAddress(text);
  } catch (const HostError& e) {
    EXPECT_NE(e.description().find(std::string(text)), std::string::npos) << e.description();
    return e.number();
  }
  return 0;
}

TEST(ColumnLetters, RoundTripsAtTheBoundaries) {
  for (int32_t col : {1, 26, 27, 52, 53, 702, 703, 16384}) {
    EXPECT_EQ(ColumnNumber(ColumnLetters(col)), col) << col;
  }
  EXPECT_EQ(ColumnLetters(28), "AB");
  EXPECT_EQ(ColumnLetters(16384), "XFD");
  EXPECT_EQ(ColumnNumber("xfd"), 16384);
  EXPECT_EQ(ColumnNumber("XFE"), 0);
  EXPECT_EQ(ColumnNumber("AAAA"), 0);
  EXPECT_EQ(ColumnNumber("A1"), 0);
}

TEST(ParseAddress, ReadsCellsRectanglesRowsAndColumns) {
  EXPECT_EQ(ParseArea("B3"), Area::Cell(3, 2));
  EXPECT_EQ(ParseArea("$B$3"), Area::Cell(3, 2));
  EXPECT_EQ(ParseArea("u1"), Area::Cell(1, 21));
  EXPECT_EQ(ParseArea("A1:T8"), (Area{1, 1, 8, 20}));
  EXPECT_EQ(ParseArea("T8:A1"), (Area{1, 1, 8, 20}));
  EXPECT_EQ(ParseArea("B8:T1"), (Area{1, 2, 8, 20}));
  EXPECT_EQ(ParseArea("3:5"), (Area{3, 1, 5, kMaxColumns}));
  EXPECT_EQ(ParseArea("$5:$3"), (Area{3, 1, 5, kMaxColumns}));
  EXPECT_EQ(ParseArea("B:D"), (Area{1, 2, kMaxRows, 4}));
  EXPECT_EQ(ParseArea("A:A"), (Area{1, 1, kMaxRows, 1}));
  EXPECT_EQ(ParseArea("XFD1048576"), Area::Cell(kMaxRows, kMaxColumns));
}

TEST(ParseAddress, KeepsSeveralAreasInOrder) {
  const AreaList areas = ParseAddress("A9:U65536,A1:T8");
  ASSERT_EQ(areas.size(), 2u);
  EXPECT_EQ(areas[0], (Area{9, 1, 65536, 21}));
  EXPECT_EQ(areas[1], (Area{1, 1, 8, 20}));
  EXPECT_EQ(areas.CellCount(), int64_t{65528} * 21 + 160);
  EXPECT_EQ(ParseAddress("A1:T1,A5:T5,3:3,C:C").size(), 4u);
}

TEST(ParseAddress, RefusesMalformedTextWith1004) {
  for (std::string_view bad :
       {"",    "A",   "1",      "A0",       "A1048577",  "XFE1", "A1:",   ":A1",
        "A1,", ",A1", "A1::B2", "A1:B2:C3", "A1 ",       " A1",  "A1:3",  "B:3",
        "1A",  "A$",  "$",      "A$1$",     "Sheet1!A1", "R1C1", "A1;B2", "AAAA1"}) {
    EXPECT_EQ(ErrorOf(bad), kErrApplicationDefined) << "\"" << bad << "\"";
  }
}

TEST(FormatA1, WritesEveryShapeWithAndWithoutDollars) {
  EXPECT_EQ(FormatA1(Area::Cell(3, 2)), "B3");
  EXPECT_EQ(FormatA1(Area{1, 1, 8, 21}), "A1:U8");
  EXPECT_EQ(FormatA1(Area{3, 1, 5, kMaxColumns}), "3:5");
  EXPECT_EQ(FormatA1(Area{3, 1, 3, kMaxColumns}), "3:3");
  EXPECT_EQ(FormatA1(Area{1, 2, kMaxRows, 4}), "B:D");
  EXPECT_EQ(FormatA1(Area{1, 1, kMaxRows, kMaxColumns}), "1:1048576");
  EXPECT_EQ(FormatA1(Area{1, 1, 8, 21}, true), "$A$1:$U$8");
  EXPECT_EQ(FormatA1(Area{3, 1, 5, kMaxColumns}, true), "$3:$5");
  EXPECT_EQ(FormatA1(ParseAddress("A1:B2,D4")), "A1:B2,D4");
}

TEST(FormatR1C1, WritesEveryShapeTheGradeSearchReads) {
  EXPECT_EQ(FormatR1C1(Area::Cell(3, 2)), "R3C2");
  EXPECT_EQ(FormatR1C1(Area{3, 2, 5, 4}), "R3C2:R5C4");
  EXPECT_EQ(FormatR1C1(Area{3, 1, 5, kMaxColumns}), "R3:R5");
  EXPECT_EQ(FormatR1C1(Area{3, 1, 3, kMaxColumns}), "R3");
  EXPECT_EQ(FormatR1C1(Area{1, 2, kMaxRows, 4}), "C2:C4");
  EXPECT_EQ(FormatR1C1(Area{1, 2, kMaxRows, 2}), "C2");
  EXPECT_EQ(FormatR1C1(ParseAddress("A1:T1,A5:T5")), "R1C1:R1C20,R5C1:R5C20");
}

TEST(FormatA1, RoundTripsThroughParse) {
  for (std::string_view text : {"A1", "B2:C9", "4:4", "4:9", "Q:Q", "A1:T8,A9:U65536,2:3,B:B"}) {
    EXPECT_EQ(FormatA1(ParseAddress(text)), text);
  }
}

}  // namespace
}  // namespace tessarin::host
