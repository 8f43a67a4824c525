// Fuzzes the script runner with well-formed steps: the input chooses steps and their arguments
// from pools of odd values (addresses off the sheet, huge numbers, reserved sheet names ...), so
// runs get past the JSON parser into the host and the add-in. The runner must never crash and
// every transcript line must be JSON. No step touches a file.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli/script_runner.h"

namespace {

using nlohmann::json;

const std::vector<json> kAddresses = {"A1",    "D5:D12",    "A1:B2,D4",   "3:5", "B:D",
                                      "A:XFD", "1:1048576", "XFD1048576", "A0",  "",
                                      "ZZZZ1", "$A$1:$C$3", "A1:A1,A1"};
// Values go into a few cells only: filling millions makes every later dump slow, not wrong.
const std::vector<json> kCells = {"A1", "D5:D12", "A1:B2,D4", "XFD1048576", "A0", "", "A1:A1,A1"};
const std::vector<json> kTexts = {"",     "x",      "漢字", "'0427",     "12",
                                  "TRUE", "#N/A",   "=A1",  "1,234",     std::string(300, 'a'),
                                  "50%",  "Sheet1", "a:b",  "2024/4/27", "テスト用紙 【40】"};
const std::vector<json> kNumbers = {0, -1, 1, 2, 409.5, 1e308, -4108, -4166, 12.24, 100000};

class StepMaker {
 public:
  explicit StepMaker(FuzzedDataProvider& in) : in_(in) {}

  json Step() {
    switch (in_.ConsumeIntegralInRange(0, 16)) {
      case 0:
        return {{"new", true}};
      case 1:
        return {{"select", Pick(kAddresses)}};
      case 2:
        return {{"type", {{"cell", Pick(kCells)}, {"value", Any()}}}};
      case 3:
        return {{"clear", Pick(kAddresses)}};
      case 4:
        return {
            {"format", {{"cell", Pick(kAddresses)}, {"font", Font()}, {"numfmt", Pick(kTexts)}}}};
      case 5:
        return {{"format",
                 {{"cell", Pick(kAddresses)},
                  {"h", Pick(kNumbers)},
                  {"orientation", Pick(kNumbers)},
                  {"merge", in_.ConsumeBool()},
                  {"rowheight", Pick(kNumbers)}}}};
      case 6:
        return {
            {"format",
             {{"cell", Pick(kAddresses)},
              {"runs", {{{"start", Pick(kNumbers)}, {"length", Pick(kNumbers)}, {"font", Font()}}}},
              {"borders", {{"7", {{"linestyle", Pick(kNumbers)}, {"weight", Pick(kNumbers)}}}}}}}};
      case 7:
        return {{"format", {{"cell", Pick(kAddresses)}, {"comment", Any()}}}};
      case 8:
        return {{"dump", {{"range", Pick(kAddresses)}}}};
      case 9:
        return {{"addsheet", Any()}};
      case 10:
        return {{"rename", {Pick(kTexts), Pick(kTexts)}}};
      case 11:
        return {{"activate", Pick(kTexts)}};
      case 12:
        return {{"show", in_.ConsumeBool() ? "state" : "commandbars"}};
      case 13:
        return {{"closeworkbook", true}};
      case 14:
        return {{"call", in_.ConsumeBool() ? "QVersion" : "END_Shori"}};
      case 15:
        return {{"format",
                 {{"cell", Pick(kAddresses)},
                  {"phonetic", {{"text", Pick(kTexts)}, {"visible", true}}}}}};
      default:
        return {{"protect", Pick(kTexts)}};
    }
  }

 private:
  const json& Pick(const std::vector<json>& pool) {
    return pool[in_.ConsumeIntegralInRange<size_t>(0, pool.size() - 1)];
  }
  json Any() {
    switch (in_.ConsumeIntegralInRange(0, 4)) {
      case 0:
        return Pick(kAddresses);
      case 1:
        return Pick(kTexts);
      case 2:
        return Pick(kNumbers);
      case 3:
        return in_.ConsumeBool();
      default:
        return nullptr;
    }
  }
  json Font() {
    return {{"name", Pick(kTexts)},
            {"size", Pick(kNumbers)},
            {"bold", Any()},
            {"underline", Pick(kNumbers)}};
  }

  FuzzedDataProvider& in_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The add-in's settings file lives under HOME: keep it in a scratch folder.
  std::string home = (std::filesystem::temp_directory_path() / "script-steps.XXXXXX").string();
  if (mkdtemp(home.data()) == nullptr) std::abort();
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_DOCUMENTS_DIR", home.c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  StepMaker maker(in);
  std::ostringstream out;
  {
    tessarin::cli::ScriptRunner runner(out);
    for (int line = 1; in.remaining_bytes() > 0 && line <= 200; ++line)
      runner.RunLine(maker.Step().dump(), line);
  }
  std::istringstream lines(out.str());
  std::string line;
  while (std::getline(lines, line)) {
    if (json::parse(line, nullptr, false).is_discarded()) std::abort();
  }
  return 0;
}
