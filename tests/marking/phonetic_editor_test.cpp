// Kanji runs, proposed readings and the runs an editor answer stands for.
#include "core/marking/phonetic_editor.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/host/application.h"
#include "tests/workbook/test_env.h"

namespace tessarin::marking {
namespace {

std::vector<std::string> Proposals(std::string_view text, const std::vector<Morpheme>& words) {
  std::vector<forms::PhoneticSpan> spans = KanjiSpans(text);
  ProposeReadings(text, words, spans);
  std::vector<std::string> out;
  for (const auto& span : spans) out.push_back(span.base + "=" + span.proposal);
  return out;
}

TEST(KanjiSpans, RunsOfIdeographsAndIterationMarks) {
  const std::vector<forms::PhoneticSpan> spans = KanjiSpans("人々は漢字をカナで𠮟る");
  ASSERT_EQ(spans.size(), 3u);
  EXPECT_EQ(spans[0].base, "人々");
  EXPECT_EQ(spans[1].base, "漢字");
  EXPECT_EQ(spans[1].start, 3u);
  EXPECT_EQ(spans[1].length, 2u);
  EXPECT_EQ(spans[2].base, "𠮟");  // beyond the basic plane: still one character
  EXPECT_EQ(spans[2].start, 9u);
  EXPECT_EQ(spans[2].length, 1u);
}

TEST(ProposeReadings, KanaOfTheWordAnchorTheKanjiReadings) {
  // 読み取り as one word: the kana み and り split the reading between 読 and 取.
  EXPECT_EQ(Proposals("読み取り", {{0, 4, "ヨミトリ"}}),
            (std::vector<std::string>{"読=よ", "取=と"}));
  // Two words inside one run of kanji join their readings.
  EXPECT_EQ(Proposals("漢字検定", {{0, 2, "カンジ"}, {2, 2, "ケンテイ"}}),
            std::vector<std::string>{"漢字検定=かんじけんてい"});
}

TEST(ProposeReadings, NoProposalWhenTheReadingDoesNotFitOrIsMissing) {
  EXPECT_EQ(Proposals("書く", {{0, 2, "ヨム"}}), std::vector<std::string>{"書="});
  EXPECT_EQ(Proposals("漢字検定", {{0, 2, "カンジ"}, {2, 2, ""}}),
            std::vector<std::string>{"漢字検定="});
  EXPECT_EQ(Proposals("山", {}), std::vector<std::string>{"山="});
}

TEST(RunsFromAnswer, PartsGoToTheRunsElseOneRunOverTheText) {
  const std::string text = "漢字を書く";
  const auto spans = KanjiSpans(text);
  EXPECT_EQ(RunsFromAnswer(text, spans, "かんじ　か"),
            (std::vector<host::PhoneticRun>{{0, 2, "かんじ"}, {3, 1, "か"}}));
  EXPECT_EQ(RunsFromAnswer(text, spans, "かんじをかく"),
            (std::vector<host::PhoneticRun>{{0, 5, "かんじをかく"}}));
  EXPECT_EQ(RunsFromAnswer(text, spans, "  "), std::vector<host::PhoneticRun>{});
}

// The editor sees the cell's current readings and the suggester's proposals.
class FixedSuggester : public ReadingSuggester {
 public:
  std::vector<Morpheme> Split(std::string_view) override {
    return {{0, 2, "カンジ"}, {2, 1, ""}, {3, 2, "カク"}};
  }
};

TEST(Edit_Furigana, ShowsCurrentReadingsAndProposalsAndStoresTheAnswer) {
  testing::ScriptedHost host;
  host.app.Workbooks().Add();
  host.app.Range("B2").SetText("漢字を書く");
  host.app.Range("B2").Phonetics().Add(1, 2, "かんじ");
  host.app.Range("B2").Select();

  std::vector<forms::PhoneticSpan> seen;
  struct Capture : forms::QueuedUi {
    std::vector<forms::PhoneticSpan>* seen;
    std::optional<std::string> EditPhonetic(const forms::PhoneticEdit& edit) override {
      *seen = edit.spans;
      return "おとこ かく";
    }
  } ui;
  ui.seen = &seen;
  host.module.ui = &ui;
  FixedSuggester suggester;
  Edit_Furigana(host.module, &suggester);

  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].reading, "かんじ");
  EXPECT_EQ(seen[0].proposal, "かんじ");
  EXPECT_EQ(seen[1].reading, "");
  EXPECT_EQ(seen[1].proposal, "か");
  EXPECT_TRUE(host.app.Range("B2").Phonetics().Visible());
  EXPECT_EQ(host.app.Range("B2").Phonetics().Text(), "おとこかく");
}

TEST(MecabSuggester, ProposesFromTheSystemDictionary) {
  if (!std::filesystem::exists("/var/lib/mecab/dic/debian"))
    GTEST_SKIP() << "no MeCab dictionary installed";
  auto suggester = MakeMecabSuggester();
  EXPECT_EQ(Proposals("漢字を書く", suggester->Split("漢字を書く")),
            (std::vector<std::string>{"漢字=かんじ", "書=か"}));
}

}  // namespace
}  // namespace tessarin::marking
