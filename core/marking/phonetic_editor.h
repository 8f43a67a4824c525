// Edit_Furigana: shows the phonetic guide of the selection and opens the phonetic-guide editor
// of the active cell, proposing a reading for each run of kanji.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/forms/ui.h"
#include "core/host/cell.h"
#include "core/marking/reading_suggester.h"
#include "core/workbook/kanji_module.h"

namespace tessarin::marking {

// The runs of kanji (CJK ideographs and the iteration marks 々 and 〆) of `text`, in order.
std::vector<forms::PhoneticSpan> KanjiSpans(std::string_view text);

// Fills the proposal of each span from the words of the text: a word's kana are matched
// against its reading, and what lies between them is the kanji's reading. A span gets a
// proposal only when its every character is covered that way.
void ProposeReadings(std::string_view text, const std::vector<Morpheme>& words,
                     std::vector<forms::PhoneticSpan>& spans);

// The phonetic runs an editor answer stands for (see forms::PhoneticEdit): one per span when
// the answer has as many parts, else one over the whole text; none for an empty answer.
std::vector<host::PhoneticRun> RunsFromAnswer(std::string_view text,
                                              const std::vector<forms::PhoneticSpan>& spans,
                                              std::string_view answer);

// Makes the selection's phonetic guides visible, then opens the editor of the active cell
// through the Ui port with the cell's current readings and `suggester`'s proposals (none when
// it is null). The answer replaces the cell's phonetic runs; cancelling changes nothing more.
// Throws the host's HostError (1004 on a protected sheet), with nothing undone.
void Edit_Furigana(workbook::KanjiModule& module, ReadingSuggester* suggester);

}  // namespace tessarin::marking
