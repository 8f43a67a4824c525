// The MeCab reading suggester. Only this file knows MeCab.
#include <mecab.h>

#include <memory>

#include "core/host/text_encoding.h"
#include "core/marking/reading_suggester.h"

namespace tessarin::marking {

namespace {

// The reading among a word's features: the eighth field of the dictionary's CSV line
// (part of speech x4, conjugation x2, base form, reading, pronunciation).
std::string ReadingField(const char* feature) {
  std::string_view rest(feature);
  for (int field = 0; field < 7; ++field) {
    const size_t comma = rest.find(',');
    if (comma == std::string_view::npos) return "";
    rest.remove_prefix(comma + 1);
  }
  const std::string_view reading = rest.substr(0, rest.find(','));
  return reading == "*" ? "" : std::string(reading);
}

class MecabSuggester : public ReadingSuggester {
 public:
  std::vector<Morpheme> Split(std::string_view text) override {
    if (!tried_) {
      tried_ = true;
      tagger_.reset(MeCab::createTagger(""));
    }
    std::vector<Morpheme> words;
    if (!tagger_) return words;
    const std::string input(text);
    size_t byte_pos = 0;
    uint32_t char_pos = 0;
    for (const MeCab::Node* node = tagger_->parseToNode(input.c_str()); node; node = node->next) {
      if (node->stat == MECAB_BOS_NODE || node->stat == MECAB_EOS_NODE || node->length == 0)
        continue;
      const size_t start = static_cast<size_t>(node->surface - input.c_str());
      // Characters between words (spaces MeCab skips) still count for positions.
      char_pos += static_cast<uint32_t>(
          host::Utf8Length(std::string_view(input).substr(byte_pos, start - byte_pos)));
      const uint32_t length =
          static_cast<uint32_t>(host::Utf8Length(std::string_view(node->surface, node->length)));
      words.push_back({char_pos, length, ReadingField(node->feature)});
      char_pos += length;
      byte_pos = start + node->length;
    }
    return words;
  }

 private:
  bool tried_ = false;
  std::unique_ptr<MeCab::Tagger> tagger_;
};

}  // namespace

std::unique_ptr<ReadingSuggester> MakeMecabSuggester() {
  return std::make_unique<MecabSuggester>();
}

}  // namespace tessarin::marking
