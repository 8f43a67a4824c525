// ReadingSuggester: where the phonetic-guide editor gets its proposed readings from. The add-in
// uses the MeCab one; anything that splits text into words with readings can stand in.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tessarin::marking {

// One word of a text with its reading.
struct Morpheme {
  uint32_t start = 0;  // 0-based, in characters (code points) of the text
  uint32_t length = 0;
  std::string reading;  // katakana or hiragana; "" when the word has none
};

class ReadingSuggester {
 public:
  virtual ~ReadingSuggester() = default;
  // The words of `text` (UTF-8) in order; empty when nothing can be said about it.
  virtual std::vector<Morpheme> Split(std::string_view text) = 0;
};

// MeCab with the system dictionary (mecab-ipadic-utf8). Without a dictionary the suggester is
// made all the same and splits nothing, so the editor proposes nothing. Loads the dictionary
// when first asked.
std::unique_ptr<ReadingSuggester> MakeMecabSuggester();

}  // namespace tessarin::marking
