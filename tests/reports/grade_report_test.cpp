// Tests of the grade classification: the compiled tables, the code page 932 kanji test, the
// report texts of both views and the table operations.
#include "core/reports/grade_report.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/host/host_error.h"
#include "core/host/text_encoding.h"
#include "core/reports/grade_cp932.h"
#include "core/reports/kanji_tables.h"

namespace tessarin::reports {
namespace {

// Table `level` as the not-set view lists it: every kanji followed by "、" but the last.
std::string Listed(int level, size_t skip = 0) {
  std::string out;
  const std::vector<char32_t> kanji = host::CodePoints(KanjiTableText(level));
  for (size_t i = skip; i < kanji.size(); ++i) {
    if (!out.empty()) out += "、";
    host::AppendUtf8(out, kanji[i]);
  }
  return out;
}

TEST(KanjiTables, SizesAndBeginningsAreThoseOfTheAllocation) {
  const int32_t sizes[] = {80, 160, 200, 200, 185, 181, 316, 286, 337};
  const char* starts[] = {"一右雨円王音", "引羽雲園遠何", "悪安暗医委意",
                          "愛案以衣位囲", "圧移因永営衛", "異遺域宇映延",
                          "握扱依偉威為", "哀慰詠悦閲宴", "亜尉逸姻韻渦"};
  for (int g = 1; g <= kLevelCount; ++g) {
    SCOPED_TRACE(g);
    EXPECT_EQ(KanjiTableSize(g), sizes[g - 1]);
    EXPECT_EQ(static_cast<int32_t>(host::CodePoints(KanjiTableText(g)).size()), sizes[g - 1]);
    EXPECT_TRUE(KanjiTableText(g).starts_with(starts[g - 1]));
  }
  EXPECT_TRUE(KanjiTableText(9).ends_with("鈴賄枠"));
}

TEST(KanjiTables, NoKanjiInTwoTablesAndAllAreCodePageKanji) {
  std::set<char32_t> all;
  size_t total = 0;
  for (int g = 1; g <= kLevelCount; ++g) {
    for (char32_t c : host::CodePoints(KanjiTableText(g))) {
      EXPECT_TRUE(all.insert(c).second) << "U+" << std::hex << static_cast<uint32_t>(c) << " twice";
      EXPECT_TRUE(IsCp932Kanji(c)) << "U+" << std::hex << static_cast<uint32_t>(c);
      ++total;
    }
  }
  EXPECT_EQ(total, 1945u);
  EXPECT_EQ(all.size(), 1945u);
}

TEST(Cp932Kanji, TheCodeRangeDecidesNotTheScript) {
  EXPECT_TRUE(IsCp932Kanji(U'亜'));  // 0x889F, the first code
  EXPECT_TRUE(IsCp932Kanji(U'黑'));  // 0xFC4B, the last code
  EXPECT_TRUE(IsCp932Kanji(U'嵐'));
  EXPECT_TRUE(IsCp932Kanji(U'髙'));  // vendor rows
  EXPECT_TRUE(IsCp932Kanji(U'ⅰ'));   // 0xFA40: a vendor row symbol counts by its code
  for (char32_t c :
       {U'々', U'〇', U'ー', U'あ', U'ア', U'ｱ', U'Ａ', U'A', U'1', U'。', U'￢', U'∵', U'\0'}) {
    EXPECT_FALSE(IsCp932Kanji(c)) << "U+" << std::hex << static_cast<uint32_t>(c);
  }
  EXPECT_FALSE(IsCp932Kanji(U'丂'));          // a kanji the code page lacks
  EXPECT_FALSE(IsCp932Kanji(U'\U00020BB7'));  // beyond the BMP
  EXPECT_FALSE(IsCp932Kanji(0xD800));
}

TEST(FormatShare, OneDecimalHalvesRoundedUp) {
  EXPECT_EQ(FormatShare(2, 80), "2.5");
  EXPECT_EQ(FormatShare(1, 80), "1.3");  // 1.25
  EXPECT_EQ(FormatShare(3, 80), "3.8");  // 3.75
  EXPECT_EQ(FormatShare(0, 80), "0.0");
  EXPECT_EQ(FormatShare(80, 80), "100.0");
  EXPECT_EQ(FormatShare(1, 316), "0.3");
  EXPECT_EQ(FormatShare(2, 3), "66.7");
  try {
    FormatShare(1, 0);
    ADD_FAILURE() << "no error";
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), 11);
  }
}

TEST(LevelLabel, GradesThenSecondaryWithTestLevels) {
  EXPECT_EQ(LevelLabel(1), "【小学 1 年生で習う漢字】（漢検10級）");
  EXPECT_EQ(LevelLabel(6), "【小学 6 年生で習う漢字】（漢検5級）");
  EXPECT_EQ(LevelLabel(7), "【中学で習う漢字】（漢検4級）");
  EXPECT_EQ(LevelLabel(9), "【中学で習う漢字】（漢検2級）");
}

TEST(KanjiHantei, OneCellOfTwoFirstGradeKanji) {
  KanjiGrades grades;
  EXPECT_EQ(grades.Kanji_Hantei("一右"),
            "【小学 1 年生で習う漢字】（漢検10級）2字 /80字 [2.5％]\r\n一、右\r\n");
  // Only the table that held them was consulted.
  EXPECT_EQ(grades.TotalCount[1], 80);
  EXPECT_EQ(grades.TotalCount[2], 0);
  EXPECT_EQ(grades.KanjiList[1], "一、右、");
}

TEST(KanjiHantei, RepeatsCountOnceAtTheirFirstPosition) {
  KanjiGrades grades;
  EXPECT_EQ(grades.Kanji_Hantei("右へ一。右、一と円右"),
            "【小学 1 年生で習う漢字】（漢検10級）3字 /80字 [3.8％]\r\n右、一、円\r\n");
  EXPECT_EQ(grades.HitCount[1], 3);
}

TEST(KanjiHantei, TwoGradesAreSeparatedByABlankLineAndEmptyOnesLeftOut) {
  KanjiGrades grades;
  EXPECT_EQ(grades.Kanji_Hantei("悪い山"),
            "【小学 1 年生で習う漢字】（漢検10級）1字 /80字 [1.3％]\r\n山\r\n"
            "\r\n"
            "【小学 3 年生で習う漢字】（漢検8級）1字 /200字 [0.5％]\r\n悪\r\n");
}

TEST(KanjiHantei, KanjiOutsideTheTablesGoToTheHighSchoolGroupWithoutShare) {
  KanjiGrades grades;
  EXPECT_EQ(grades.Kanji_Hantei("嵐"), "【高校で習う漢字】1字\r\n嵐");
  for (int g = 1; g <= kLevelCount; ++g) EXPECT_EQ(grades.TotalCount[g], KanjiTableSize(g));
  KanjiGrades fresh;
  EXPECT_EQ(
      fresh.Kanji_Hantei("握嵐"),
      "【中学で習う漢字】（漢検4級）1字 /316字 [0.3％]\r\n握\r\n\r\n【高校で習う漢字】1字\r\n嵐");
}

TEST(KanjiHantei, TextWithoutKanji) {
  KanjiGrades grades;
  EXPECT_EQ(grades.Kanji_Hantei("ひらがなとカタカナ、abc 123 々〇"), "漢字が含まれていません。");
  EXPECT_EQ(grades.Kanji_Hantei(""), "漢字が含まれていません。");
  EXPECT_EQ(grades.Kanji_Hantei("\xff\xfe"), "漢字が含まれていません。");  // malformed bytes
}

TEST(KanjiHantei, CountersAreResetButListsKept) {
  KanjiGrades grades;
  grades.Kanji_Hantei("一");
  grades.Kanji_Hantei("右");
  EXPECT_EQ(grades.KanjiList[1], "一、右、");
  EXPECT_EQ(grades.HitCount[1], 1);
}

TEST(NotSetReport, CoveredGradeAndUntouchedGrade) {
  KanjiGrades grades;
  grades.Kanji_Hantei(std::string(KanjiTableText(1)));
  const std::string report = grades.NotSetReport();
  EXPECT_TRUE(report.starts_with(
      "【小学 1 年生で習う漢字】（漢検10級）0字 /80字 [0.0％]\r\nすべて網羅されています。\r\n"
      "\r\n【小学 2 年生で習う漢字】（漢検9級）160字 /160字 [100.0％]\r\n" +
      Listed(2) + "\r\n\r\n"))
      << report;
  EXPECT_TRUE(report.ends_with("【中学で習う漢字】（漢検2級）337字 /337字 [100.0％]\r\n" +
                               Listed(9) + "\r\n"));
  EXPECT_EQ(grades.KanjiList[1], "NG");
  EXPECT_EQ(grades.HitCount[2], 160);
}

TEST(NotSetReport, NothingFoundListsEveryLevelWhole) {
  KanjiGrades grades;
  EXPECT_EQ(grades.Kanji_Hantei("かな"), "漢字が含まれていません。");
  std::string expected;
  for (int g = 1; g <= kLevelCount; ++g) {
    if (g > 1) expected += "\r\n";
    const std::string size = std::to_string(KanjiTableSize(g));
    expected += LevelLabel(g) + size + "字 /" + size + "字 [100.0％]\r\n" + Listed(g) + "\r\n";
  }
  EXPECT_EQ(grades.NotSetReport(), expected);
}

TEST(NotSetReport, FoundKanjiLeaveTheirLevelInTableOrder) {
  KanjiGrades grades;
  grades.Kanji_Hantei("右一嵐");
  const std::string report = grades.NotSetReport();
  EXPECT_TRUE(report.starts_with("【小学 1 年生で習う漢字】（漢検10級）78字 /80字 [97.5％]\r\n" +
                                 Listed(1, 2) + "\r\n"))
      << report.substr(0, 200);
  EXPECT_EQ(report.find("嵐"), std::string::npos);
}

TEST(KanjiTable, TestModeFindsAndComplementModeLists) {
  KanjiGrades grades;
  bool found = false;
  grades.KanjiTable2("一", 0, found);
  EXPECT_FALSE(found);
  EXPECT_EQ(grades.TotalCount[2], 160);
  grades.KanjiTable1("一", 0, found);
  EXPECT_TRUE(found);

  found = false;
  grades.HitCount[1] = 5;  // complement mode counts onto what is there
  grades.KanjiTable1("王一右雨円", 1, found);
  EXPECT_FALSE(found);
  EXPECT_EQ(grades.HitCount[1], 5 + 75);
  EXPECT_TRUE(grades.KanjiList[1].starts_with("音、下、火、"));
  EXPECT_TRUE(grades.KanjiList[1].ends_with("六、"));
}

}  // namespace
}  // namespace tessarin::reports
