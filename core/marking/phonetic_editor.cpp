// Edit_Furigana and the matching of proposed readings to kanji runs.
#include "core/marking/phonetic_editor.h"

#include <optional>

#include "core/host/application.h"
#include "core/host/text_encoding.h"

namespace tessarin::marking {

namespace {

using Text32 = std::vector<char32_t>;

bool IsKanji(char32_t c) {
  return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) ||
         (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x3FFFF) || c == U'々' || c == U'〆';
}

// Katakana as hiragana, so that a word's kana and its reading compare whichever they use.
char32_t Hiragana(char32_t c) { return (c >= 0x30A1 && c <= 0x30F6) ? c - 0x60 : c; }

Text32 ToHiragana(std::string_view text) {
  Text32 out = host::CodePoints(text);
  for (char32_t& c : out) c = Hiragana(c);
  return out;
}

struct Segment {
  uint32_t start;  // in the word
  uint32_t length;
  bool kanji;
};

std::vector<Segment> Segments(const Text32& word) {
  std::vector<Segment> out;
  for (uint32_t i = 0; i < word.size(); ++i) {
    const bool kanji = IsKanji(word[i]);
    if (out.empty() || out.back().kanji != kanji) out.push_back({i, 0, kanji});
    ++out.back().length;
  }
  return out;
}

bool SameAt(const Text32& reading, size_t pos, const Text32& word, const Segment& s) {
  if (pos + s.length > reading.size()) return false;
  for (uint32_t i = 0; i < s.length; ++i) {
    if (reading[pos + i] != word[s.start + i]) return false;
  }
  return true;
}

// Splits `reading` over the segments of `word`: kana segments must appear as they are, each
// kanji segment takes at least one character. The shortest reading for the earlier kanji wins.
bool Align(const Text32& word, const std::vector<Segment>& segs, const Text32& reading, size_t seg,
           size_t pos, std::vector<Text32>& kanji_readings) {
  if (seg == segs.size()) return pos == reading.size();
  const Segment& s = segs[seg];
  if (!s.kanji)
    return SameAt(reading, pos, word, s) &&
           Align(word, segs, reading, seg + 1, pos + s.length, kanji_readings);
  for (size_t end = pos + 1; end <= reading.size(); ++end) {
    if (seg + 1 == segs.size() && end != reading.size()) continue;
    kanji_readings.emplace_back(reading.begin() + pos, reading.begin() + end);
    if (Align(word, segs, reading, seg + 1, end, kanji_readings)) return true;
    kanji_readings.pop_back();
  }
  return false;
}

}  // namespace

std::vector<forms::PhoneticSpan> KanjiSpans(std::string_view text) {
  const Text32 chars = host::CodePoints(text);
  std::vector<forms::PhoneticSpan> spans;
  for (uint32_t i = 0; i < chars.size(); ++i) {
    if (!IsKanji(chars[i])) continue;
    if (spans.empty() || spans.back().start + spans.back().length != i)
      spans.push_back({i, 0, "", "", ""});
    ++spans.back().length;
    host::AppendUtf8(spans.back().base, chars[i]);
  }
  return spans;
}

void ProposeReadings(std::string_view text, const std::vector<Morpheme>& words,
                     std::vector<forms::PhoneticSpan>& spans) {
  const Text32 chars = ToHiragana(text);
  // The reading of each kanji character position, from the word that covers it.
  std::vector<std::optional<Text32>> piece_at(chars.size());
  std::vector<uint32_t> piece_length(chars.size(), 0);
  for (const Morpheme& word : words) {
    if (word.reading.empty() || word.start + word.length > chars.size()) continue;
    const Text32 surface(chars.begin() + word.start, chars.begin() + word.start + word.length);
    const std::vector<Segment> segs = Segments(surface);
    std::vector<Text32> readings;
    if (!Align(surface, segs, ToHiragana(word.reading), 0, 0, readings)) continue;
    size_t next = 0;
    for (const Segment& s : segs) {
      if (!s.kanji) continue;
      piece_at[word.start + s.start] = std::move(readings[next++]);
      piece_length[word.start + s.start] = s.length;
    }
  }
  for (forms::PhoneticSpan& span : spans) {
    Text32 proposal;
    uint32_t pos = span.start;
    while (pos < span.start + span.length && piece_at[pos]) {
      proposal.insert(proposal.end(), piece_at[pos]->begin(), piece_at[pos]->end());
      pos += piece_length[pos];
    }
    // A word that ran past the span (kanji next to kanji of another run cannot happen) or a
    // gap leaves the span without a proposal.
    span.proposal = pos == span.start + span.length ? host::ToUtf8(proposal) : "";
  }
}

std::vector<host::PhoneticRun> RunsFromAnswer(std::string_view text,
                                              const std::vector<forms::PhoneticSpan>& spans,
                                              std::string_view answer) {
  std::vector<std::string> parts(1);
  for (char32_t c : host::CodePoints(answer)) {
    if (c == U' ' || c == U'　') {
      if (!parts.back().empty()) parts.emplace_back();
    } else {
      host::AppendUtf8(parts.back(), c);
    }
  }
  if (parts.back().empty()) parts.pop_back();

  std::vector<host::PhoneticRun> runs;
  if (parts.empty()) return runs;
  if (parts.size() == spans.size()) {
    for (size_t i = 0; i < spans.size(); ++i)
      runs.push_back({spans[i].start, spans[i].length, parts[i]});
    return runs;
  }
  std::string whole;
  for (const std::string& part : parts) whole += part;
  const uint32_t length = static_cast<uint32_t>(host::Utf8Length(text));
  if (length > 0) runs.push_back({0, length, whole});
  return runs;
}

void Edit_Furigana(workbook::KanjiModule& module, ReadingSuggester* suggester) {
  host::Application& app = module.App();
  app.Selection().Phonetics().SetVisible(true);

  const host::Range cell = app.ActiveCell();
  forms::PhoneticEdit edit;
  edit.cell = cell.Address(host::kXlA1, false);
  edit.text = cell.Value().type == host::ValueType::kText ? cell.Value().text : "";
  edit.spans = KanjiSpans(edit.text);
  if (const host::CellExtra* extra = cell.sheet().Extra(cell.Row(), cell.Column());
      extra && extra->phonetic) {
    for (forms::PhoneticSpan& span : edit.spans) {
      for (const host::PhoneticRun& run : extra->phonetic->runs) {
        if (run.start < span.start + span.length && span.start < run.start + run.length)
          span.reading += run.text;
      }
    }
  }
  if (suggester != nullptr && !edit.spans.empty())
    ProposeReadings(edit.text, suggester->Split(edit.text), edit.spans);

  const std::optional<std::string> answer = module.Dialogs().EditPhonetic(edit);
  if (!answer) return;
  const host::Range phonetics_of = cell;
  phonetics_of.Phonetics().SetText("");
  for (const host::PhoneticRun& run : RunsFromAnswer(edit.text, edit.spans, *answer)) {
    phonetics_of.Phonetics().Add(run.start + 1, run.length, run.text);
  }
}

}  // namespace tessarin::marking
