// The folder of workbooks made by other programs, looked up when a test runs (not when it is
// built), so a corpus that appears later is used and a missing one skips instead of failing.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace tessarin::test_corpus {

struct Location {
  std::string root;   // the corpus folder, "" when there is none
  std::string error;  // set when TESSARIN_CORPUS names something that is not a folder
};

// $TESSARIN_CORPUS when set; else the shared folder beside the source tree when it exists.
inline Location Find() {
  std::error_code ec;
  if (const char* env = std::getenv("TESSARIN_CORPUS"); env != nullptr && *env != '\0') {
    if (std::filesystem::is_directory(env, ec)) return {env, ""};
    // A path given on purpose that leads nowhere is a mistake to report, not a reason to skip.
    return {"", std::string("TESSARIN_CORPUS is set to ") + env + ", which is not a folder"};
  }
  const std::string beside = TESSARIN_SOURCE_DIR "/../shared/corpus";
  if (std::filesystem::is_directory(beside, ec)) return {beside, ""};
  return {};
}

// The corpus's folder of workbooks with a trailing "/", or "" when there is no corpus.
inline std::string XlsxDir() {
  const Location corpus = Find();
  return corpus.root.empty() ? "" : corpus.root + "/xlsx/";
}

inline constexpr char kNoCorpusReason[] =
    "no corpus of workbooks made by other programs: set TESSARIN_CORPUS to its folder "
    "(or keep it in ../shared/corpus beside the source tree)";

}  // namespace tessarin::test_corpus

// Ends the current test as skipped when there is no corpus, and as failed when TESSARIN_CORPUS
// names no folder. For use in a TEST body (it returns from the function).
#define TESSARIN_REQUIRE_CORPUS()                                                            \
  do {                                                                                       \
    const ::tessarin::test_corpus::Location corpus_found = ::tessarin::test_corpus::Find();  \
    if (!corpus_found.error.empty()) GTEST_FAIL() << corpus_found.error;                     \
    if (corpus_found.root.empty()) GTEST_SKIP() << ::tessarin::test_corpus::kNoCorpusReason; \
  } while (false)
