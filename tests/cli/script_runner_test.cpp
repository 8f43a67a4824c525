// The script runner in process: line handling, run-time errors, steps and their edge cases, and
// a little fuzzing with garbage.
#include "app/cli/script_runner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/addin/tessarin.h"
#include "core/host/host_error.h"
#include "core/host/text_encoding.h"
#include "core/ooxml/content_types.h"
#include "core/ooxml/package.h"
#include "run_process.h"

namespace tessarin::cli {
namespace {

using nlohmann::json;

struct RunResult {
  int code = 0;
  std::vector<json> events;
};

// Runs `script` in a fresh runner and parses every transcript line (which must be JSON).
RunResult RunScript(const std::string& script) {
  std::ostringstream out;
  std::istringstream in(script);
  RunResult run;
  {
    ScriptRunner runner(out);
    run.code = runner.Run(in);
  }
  std::istringstream lines(out.str());
  std::string line;
  while (std::getline(lines, line)) {
    json event = json::parse(line, nullptr, /*allow_exceptions=*/false);
    EXPECT_FALSE(event.is_discarded()) << line;
    run.events.push_back(event);
  }
  return run;
}

json StateAfter(const std::string& script) {
  RunResult run = RunScript(script + "{\"show\": \"state\"}\n");
  EXPECT_FALSE(run.events.empty());
  return run.events.empty() ? json() : run.events.back()["state"];
}

TEST(ScriptRunner, BlankLinesAreSkippedButCounted) {
  RunResult run = RunScript("\n   \n\t\r\n{\"nope\": 1}\n{\"show\": \"state\"}\n");
  EXPECT_EQ(run.code, kExitBadScript);
  ASSERT_EQ(run.events.size(), 1u);
  EXPECT_EQ(run.events[0]["line"], 4);
  EXPECT_FALSE(run.events[0].contains("number"));
}

TEST(ScriptRunner, ALineOverTheLimitStopsTheRunWithoutBeingKept) {
  std::string script = "{\"new\": true}\n{\"type\": {\"cell\": \"A1\", \"value\": \"";
  script.append(kMaxLineBytes, 'x');
  script += "\"}}\n{\"show\": \"state\"}\n";
  RunResult run = RunScript(script);
  EXPECT_EQ(run.code, kExitBadScript);
  ASSERT_EQ(run.events.size(), 1u);
  EXPECT_EQ(run.events[0]["line"], 2);
  EXPECT_NE(run.events[0]["error"].get<std::string>().find("64 MiB"), std::string::npos);
}

TEST(ScriptRunner, BytesThatAreNotUtf8ShowEscapedInAValidTranscript) {
  std::ostringstream out;
  {
    ScriptRunner runner(out);
    runner.RunParsed(json{{"open", "/no/such/\x8a\xbf.xlsx"}}, 1);
  }
  const std::string transcript = out.str();
  EXPECT_TRUE(host::IsValidUtf8(transcript)) << transcript;
  EXPECT_NE(transcript.find("\\\\x8A\\\\xBF.xlsx"), std::string::npos) << transcript;
}

TEST(ScriptRunner, ByteOrderMarkAndCrLfAreAccepted) {
  RunResult run = RunScript("\xEF\xBB\xBF{\"new\": true}\r\n{\"show\": \"state\"}\r\n");
  EXPECT_EQ(run.code, kExitOk);
  ASSERT_EQ(run.events.size(), 1u);
  EXPECT_EQ(run.events[0]["state"]["active_workbook"], "Book1");
}

TEST(ScriptRunner, LinesThatAreNoStepStopTheRun) {
  for (const char* line :
       {"{\"new\": tru", "[1, 2]", "\"call\"", "42", "{}", "{\"Call\": \"START\"}",
        "{\"new\": true, \"show\": \"state\"}", "{\"new\": true} {\"new\": true}", "\xff\xfe{}",
        "{\"type\": \"\xc3\x28\"}",
        // Numbers past a double: well-formed JSON the parser refuses with its own exception.
        "1e99999", "{\"type\": {\"cell\": \"A1\", \"value\": 1e400}}"}) {
    RunResult run =
        RunScript(std::string("{\"new\": true}\n") + line + "\n{\"show\": \"state\"}\n");
    EXPECT_EQ(run.code, kExitBadScript) << line;
    ASSERT_EQ(run.events.size(), 1u) << line;
    EXPECT_EQ(run.events[0]["line"], 2) << line;
    EXPECT_TRUE(run.events[0]["error"].is_string()) << line;
  }
}

TEST(ScriptRunner, RunTimeErrorsAreLoggedWithNumberAndTheRunGoesOn) {
  RunResult run = RunScript(
      "{\"select\": \"A1\"}\n"  // no workbook open: 91
      "{\"new\": true}\n"
      "{\"select\": \"A0\"}\n"             // not an address: 1004
      "{\"activate\": \"Sheet9\"}\n"       // no such sheet: 9
      "{\"select\": 5}\n"                  // wrong type: 13
      "{\"show\": \"everything\"}\n"       // bad value: 5
      "{\"select\": \"B2\", \"at\": 1}\n"  // a key the step does not have: 5
      "{\"show\": \"state\"}\n");
  EXPECT_EQ(run.code, kExitOk);
  ASSERT_EQ(run.events.size(), 7u);
  const int numbers[] = {91, 1004, 9, 13, 5, 5};
  const int lines[] = {1, 3, 4, 5, 6, 7};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(run.events[i]["number"], numbers[i]) << run.events[i];
    EXPECT_EQ(run.events[i]["line"], lines[i]) << run.events[i];
  }
  EXPECT_EQ(run.events[6]["state"]["selection"], "A1");
}

TEST(ScriptRunner, DeeplyNestedInputNeverCrashes) {
  const std::string deep(200000, '[');
  RunResult unterminated = RunScript(deep + "\n");
  EXPECT_EQ(unterminated.code, kExitBadScript);

  std::string nested = "{\"type\": {\"cell\": \"A1\", \"value\": " + std::string(100000, '[') +
                       std::string(100000, ']') + "}}\n{\"show\": \"state\"}\n";
  RunResult run = RunScript("{\"new\": true}\n" + nested);
  EXPECT_EQ(run.code, kExitOk);
  ASSERT_EQ(run.events.size(), 2u);
  EXPECT_EQ(run.events[0]["number"], 5);
}

TEST(ScriptRunner, GarbageNeverCrashesAndEveryLineIsJson) {
  const std::vector<std::string> seeds = {
      R"j({"new": true})j",
      R"j({"type": {"cell": "F3", "value": "0427"}})j",
      R"j({"select": "A1:B2,D4"})j",
      R"j({"format": {"cell": "D1", "font": {"name": "Klee One", "size": 14, "bold": true}, "numfmt": "0.0"}})j",
      R"j({"format": {"cell": "A1", "runs": [{"start": 1, "length": 2, "font": {"bold": true}}]}})j",
      R"j({"dump": {"sheet": "Sheet1", "range": "A1:U8"}})j",
      R"j({"addsheet": "テスト用紙 【40】"})j",
      R"j({"rename": ["Sheet1", "問題"]})j",
      R"j({"menu": ["ミラトス(&K)", "漢字テスト作成(&T)"]})j",
      R"j({"key": "Ctrl+T"})j",
      R"j({"form": "KanjiForm1", "do": [{"set": ["T3", "20"]}]})j",
      R"j({"msgbox": "yes"})j",
      R"j({"clear": "1:3"})j",
      R"j({"protect": "Sheet1"})j",
      R"j({"show": "state"})j",
      R"j({"call": "QVersion"})j",
      R"j({"closeworkbook": true})j",
      R"j({"openfile": null})j"};
  std::mt19937 random(20240607);
  std::ostringstream out;
  ScriptRunner runner(out);
  for (int i = 0; i < 3000; ++i) {
    std::string line = seeds[random() % seeds.size()];
    int edits = static_cast<int>(random() % 4);
    for (int e = 0; e < edits && !line.empty(); ++e) {
      size_t at = random() % line.size();
      switch (random() % 3) {
        case 0:
          line.erase(at, 1);
          break;
        case 1:
          line.insert(at, 1, "{}[]\",:0aZ\\\x80\xe3"[random() % 14]);
          break;
        default:
          line[at] = static_cast<char>(random() % 256);
          break;
      }
    }
    runner.RunLine(line, i + 1);
  }
  std::istringstream lines(out.str());
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    ++count;
    ASSERT_FALSE(json::parse(line, nullptr, false).is_discarded()) << line;
  }
  EXPECT_GT(count, 100);
}

// Well-formed steps with odd arguments reach deep into the host: none of them may crash it.
TEST(ScriptRunner, SelectionOfSeveralAreasRowsAndColumns) {
  json state = StateAfter("{\"new\": true}\n{\"select\": \"D5:D12,A1:B2\"}\n");
  EXPECT_EQ(state["selection"], "D5:D12,A1:B2");
  EXPECT_EQ(state["active_cell"], "D5");
  state = StateAfter("{\"new\": true}\n{\"select\": \"3:5\"}\n");
  EXPECT_EQ(state["selection"], "3:5");
  EXPECT_EQ(state["active_cell"], "A3");
  state = StateAfter("{\"new\": true}\n{\"select\": \"B:D\"}\n");
  EXPECT_EQ(state["selection"], "B:D");
  EXPECT_EQ(state["active_cell"], "B1");
}

TEST(ScriptRunner, TypingDoesNotMoveTheSelection) {
  RunResult run = RunScript(
      "{\"new\": true}\n{\"select\": \"C3\"}\n"
      "{\"type\": {\"cell\": \"F3\", \"value\": \"12\"}}\n"
      "{\"type\": {\"cell\": \"F4\", \"value\": \"'0427\"}}\n"
      "{\"type\": {\"cell\": \"F5\", \"value\": \"true\"}}\n"
      "{\"show\": \"state\"}\n{\"dump\": {\"range\": \"F3:F5\"}}\n");
  ASSERT_EQ(run.events.size(), 2u);
  EXPECT_EQ(run.events[0]["state"]["active_cell"], "C3");
  json cells = run.events[1]["dump"]["cells"];
  EXPECT_EQ(cells["F3"]["value"], 12);
  EXPECT_EQ(cells["F4"]["value"], "0427");
  EXPECT_EQ(cells["F5"]["value"], true);
  EXPECT_EQ(cells["F5"]["text"], "TRUE");
}

TEST(ScriptRunner, FailedStepsChangeNothing) {
  // A bad sheet name fails before the sheet is added; a bad format key before any format is set.
  RunResult run = RunScript(
      "{\"new\": true}\n{\"addsheet\": \"a/b\"}\n{\"addsheet\": \"sheet1\"}\n"
      "{\"format\": {\"cell\": \"A1\", \"font\": {\"bold\": true}, \"colour\": 3}}\n"
      "{\"format\": {\"cell\": \"A1\", \"font\": {\"bold\": true, \"size\": \"big\"}}}\n"
      "{\"show\": \"state\"}\n{\"dump\": {\"range\": \"A1\"}}\n");
  ASSERT_EQ(run.events.size(), 6u);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(run.events[i].contains("number")) << run.events[i];
  EXPECT_EQ(run.events[4]["state"]["sheets"], json({"Sheet1"}));
  EXPECT_TRUE(run.events[5]["dump"]["cells"].empty());
}

TEST(ScriptRunner, ProtectedSheetRefusesTypingWith1004) {
  RunResult run = RunScript(
      "{\"new\": true}\n{\"protect\": \"Sheet1\"}\n"
      "{\"type\": {\"cell\": \"A1\", \"value\": \"x\"}}\n{\"clear\": \"A1\"}\n");
  ASSERT_EQ(run.events.size(), 2u);
  EXPECT_EQ(run.events[0]["number"], 1004);
  EXPECT_EQ(run.events[1]["number"], 1004);
}

TEST(ScriptRunner, AddSheetAndActivateTellTheAddIn) {
  ScriptRunner* seen = nullptr;
  std::ostringstream out;
  ScriptRunner runner(out);
  seen = &runner;
  runner.RunLine(R"j({"new": true})j", 1);
  runner.RunLine(R"j({"addsheet": "テスト用紙 【40】"})j", 2);
  EXPECT_TRUE(seen->addin().module().Is40Sheet);
  runner.RunLine(R"j({"addsheet": "テスト用紙 【20】"})j", 3);
  EXPECT_FALSE(seen->addin().module().Is40Sheet);
  runner.RunLine(R"j({"activate": "テスト用紙 【40】"})j", 4);
  EXPECT_TRUE(seen->addin().module().Is40Sheet);
  // Activation through the host alone (as the add-in's own commands do) does not call it.
  runner.app().ActivateSheet(*runner.app().ActiveWorkbook().FindSheet("テスト用紙 【20】"));
  EXPECT_TRUE(seen->addin().module().Is40Sheet);
  EXPECT_EQ(runner.app().ActiveWorkbook().Sheet(3).name(), "テスト用紙 【20】");
  EXPECT_TRUE(out.str().empty()) << out.str();
}

TEST(ScriptRunner, CallLogsResultAndDescription) {
  RunResult run = RunScript(
      "{\"call\": \"QVersion\"}\n{\"call\": \"NG_Report\"}\n{\"call\": \"Nothing\"}\n"
      "{\"call\": \"QVersion\", \"arg\": \"x\"}\n{\"call\": \"SheetActivate\", \"arg\": "
      "\"テスト用紙 【40】\"}\n"
      "{\"show\": \"module\"}\n");
  ASSERT_EQ(run.events.size(), 7u);
  EXPECT_EQ(run.events[0]["msgbox"]["auto"], true);
  EXPECT_EQ(run.events[1], json({{"call", "QVersion"}, {"result", 0}}));
  EXPECT_EQ(run.events[2]["result"], 91);  // no host attached before Auto_Open
  EXPECT_NE(run.events[2]["description"].get<std::string>().find("Auto_Open"), std::string::npos);
  EXPECT_EQ(run.events[3]["number"], 438);
  EXPECT_EQ(run.events[4]["number"], 450);
  EXPECT_EQ(run.events[5], json({{"call", "SheetActivate"}, {"result", 0}}));
  EXPECT_EQ(run.events[6]["module"]["Is40Sheet"], true);
}

TEST(ScriptRunner, MenuWalksCaptionsAndLogsNullForAnythingButAMacroButton) {
  RunResult run = RunScript(
      "{\"menu\": [\"コピー(&C)\"]}\n{\"menu\": [\"ミラトス(&K)\", "
      "\"ﾊﾞｰｼﾞｮﾝ情報(&V)\"]}\n{\"menu\": []}\n");
  ASSERT_EQ(run.events.size(), 3u);
  EXPECT_EQ(run.events[0], json({{"menu", {"コピー(&C)"}}, {"macro", nullptr}}));
  EXPECT_TRUE(run.events[1]["macro"].is_null());
  EXPECT_EQ(run.events[2]["number"], 5);
}

TEST(ScriptRunner, HostOpenFileBoxAnswersFromTheQueueWithFullPaths) {
  std::ostringstream out;
  ScriptRunner runner(out);
  runner.RunLine(R"j({"openfile": "~/問題.xlsx"})j", 1);
  runner.RunLine(R"j({"openfile": null})j", 2);
  const std::string home = std::getenv("HOME");
  EXPECT_EQ(runner.app().GetOpenFilename("Excel,*.xlsx"), home + "/問題.xlsx");
  EXPECT_EQ(runner.app().GetOpenFilename("Excel,*.xlsx"), "False");
  EXPECT_EQ(runner.app().GetOpenFilename("Excel,*.xlsx"), "False");  // none queued: cancelled
  std::istringstream lines(out.str());
  std::string line;
  std::vector<json> events;
  while (std::getline(lines, line)) events.push_back(json::parse(line));
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0],
            json({{"openfile", {{"filter", "Excel,*.xlsx"}, {"answer", home + "/問題.xlsx"}}}}));
  EXPECT_TRUE(events[1]["openfile"]["answer"].is_null());
}

TEST(ScriptRunner, PrintWithNoWorkbookOpenIsAnErrorAndTheRunGoesOn) {
  RunResult run = RunScript(
      "{\"print\": {\"sheet\": \"Sheet1\", \"pdf\": \"x.pdf\"}}\n{\"show\": \"state\"}\n");
  ASSERT_EQ(run.events.size(), 2u);
  EXPECT_TRUE(run.events[0].contains("error"));
  EXPECT_TRUE(run.events[0]["number"].is_number());
  EXPECT_TRUE(run.events[1].contains("state"));
  EXPECT_FALSE(std::filesystem::exists("x.pdf"));
}

// A macro workbook: one empty sheet and a macro project.
std::string MacroBook() {
  const std::string rels_ns = "http://schemas.openxmlformats.org/package/2006/relationships";
  const std::string doc_rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  const std::vector<std::pair<std::string, std::string>> parts = {
      {"[Content_Types].xml",
       "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
       "<Default Extension=\"rels\" "
       "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
       "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
       "<Default Extension=\"bin\" ContentType=\"application/vnd.ms-office.vbaProject\"/>"
       "<Override PartName=\"/xl/workbook.xml\" ContentType=\"" +
           std::string(ooxml::content_type::kMacroWorkbook) +
           "\"/>"
           "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
           "ContentType=\"application/vnd.openxmlformats-"
           "officedocument.spreadsheetml.worksheet+xml\"/></Types>"},
      {"_rels/.rels", "<Relationships xmlns=\"" + rels_ns + "\"><Relationship Id=\"rId1\" Type=\"" +
                          doc_rel +
                          "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
      {"xl/workbook.xml",
       "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" xmlns:r=\"" +
           doc_rel +
           "\"><sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
      {"xl/_rels/workbook.xml.rels",
       "<Relationships xmlns=\"" + rels_ns + "\"><Relationship Id=\"rId1\" Type=\"" + doc_rel +
           "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" "
           "Type=\"http://schemas."
           "microsoft.com/office/2006/relationships/vbaProject\" "
           "Target=\"vbaProject.bin\"/></Relationships>"},
      {"xl/worksheets/sheet1.xml",
       "<worksheet "
       "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData/></"
       "worksheet>"},
      {"xl/vbaProject.bin", "macro project"}};
  std::vector<ooxml::ZipEntry> entries;
  for (const auto& [name, data] : parts) {
    ooxml::ZipEntry& entry = entries.emplace_back();
    entry.name = name;
    entry.data = data;
  }
  return ooxml::WriteZip(entries);
}

// Saving a macro workbook under .xlsx leaves the macros out, and the transcript says so; under
// .xlsm they are kept and nothing is said.
TEST(ScriptRunner, SavingMacrosAsXlsxSaysTheyWereLeftOut) {
  testing::TempFolder temp;
  const std::string book = temp.path() + "/macros.xlsm";
  std::ofstream(book, std::ios::binary) << MacroBook();
  RunResult run = RunScript("{\"open\": \"" + book + "\"}\n{\"save\": \"" + temp.path() +
                            "/plain.xlsx\"}\n" + "{\"save\": \"" + temp.path() + "/kept.xlsm\"}\n");
  ASSERT_EQ(run.events.size(), 1u) << run.events.size();
  EXPECT_EQ(run.events[0]["path"], temp.path() + "/plain.xlsx");
  EXPECT_THAT(run.events[0].value("note", ""), ::testing::HasSubstr("macros were not saved"));
  EXPECT_TRUE(std::filesystem::exists(temp.path() + "/kept.xlsm"));
}

TEST(ScriptPath, HomeAndRelativePathsBecomeAbsolute) {
  const char* home = std::getenv("HOME");
  ASSERT_NE(home, nullptr);
  const std::string expected =
      std::filesystem::path(std::string(home) + "/a/b.xlsx").lexically_normal();
  EXPECT_EQ(ExpandScriptPath("~/a/b.xlsx"), expected);
  EXPECT_EQ(ExpandScriptPath("$HOME/a/b.xlsx"), expected);
  EXPECT_EQ(ExpandScriptPath("${HOME}/a/b.xlsx"), expected);
  EXPECT_EQ(ExpandScriptPath("/x/../y.xlsx"), "/y.xlsx");
  EXPECT_EQ(ExpandScriptPath("q.xlsx"), (std::filesystem::current_path() / "q.xlsx").string());
  EXPECT_EQ(ExpandScriptPath("~user/q.xlsx"),
            (std::filesystem::current_path() / "~user/q.xlsx").string());
}

}  // namespace
}  // namespace tessarin::cli
