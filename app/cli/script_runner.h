// ScriptRunner: the macro layer for automation. Reads JSON-lines steps, drives one host, one
// add-in and one scripted Ui, and writes the JSON-lines transcript.
#pragma once

#include <istream>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <string_view>

#include "app/cli/scripted_ui.h"
#include "app/cli/transcript.h"
#include "core/host/application.h"

namespace tessarin::addin {
class Session;
class Tessarin;
}  // namespace tessarin::addin

namespace tessarin::cli {

// Exit codes of a run.
inline constexpr int kExitOk = 0;
inline constexpr int kExitBadScript = 2;

// One run of a script. The host starts with no workbook open; the file service is installed.
//
// Each non-blank line is one JSON object naming one step ({"call": "START"}, {"select": "D5"},
// {"msgbox": "yes"} ...). A line that is not valid JSON or names no known step ends the run
// with {"error": TEXT, "line": N} (exit code 2). A step that fails at run time (a host error, a
// bad argument) logs {"error": TEXT, "number": N, "line": N} and the run goes on (exit code 0).
// Events of the add-in's boxes, forms and sounds come from the scripted Ui as they happen.
// Nothing a script contains makes the runner crash.
class ScriptRunner {
 public:
  // `out` receives the transcript and must outlive the runner.
  explicit ScriptRunner(std::ostream& out);
  ~ScriptRunner();
  ScriptRunner(const ScriptRunner&) = delete;
  ScriptRunner& operator=(const ScriptRunner&) = delete;

  // Runs every line of `in`; returns kExitOk or kExitBadScript.
  int Run(std::istream& in);
  // Runs one line (1-based `line_number`, used in errors). False when the line stops the run.
  bool RunLine(std::string_view line, int line_number);

  host::Application& app();
  ScriptedUi& ui() { return *ui_; }
  addin::Tessarin& addin();

 private:
  using Json = nlohmann::json;
  using StepHandler = void (ScriptRunner::*)(const Json& step);
  struct StepInfo;
  static const StepInfo* FindStep(std::string_view name);

  void RunStep(const StepInfo& info, const Json& step);
  void LogError(const std::string& text, int number);

  // Steps that drive the add-in.
  void Call(const Json& step);
  void Key(const Json& step);
  void Menu(const Json& step);
  // Runs the method a macro name stands for and logs its result.
  void RunMacro(const std::string& macro);
  void LogResult(const std::string& method, int result);
  void NotifySheetActivate(const std::string& name);

  // Workbooks and sheets.
  void Open(const Json& step);
  void New(const Json& step);
  void CloseWorkbook(const Json& step);
  void Save(const Json& step);
  void AddSheet(const Json& step);
  void Rename(const Json& step);
  void Activate(const Json& step);
  void Protect(const Json& step);

  // Cells.
  void Select(const Json& step);
  void Type(const Json& step);
  void Clear(const Json& step);
  void Format(const Json& step);

  // Output.
  void Print(const Json& step);
  void Dump(const Json& step);
  void Show(const Json& step);

  // {"msgbox"}, {"openfile"}, {"phonetic"}, {"form", "do"}: queued for the scripted Ui. An
  // openfile path is expanded as an open step's is: the box gives full paths.
  void Answer(const Json& step);

  Transcript transcript_;
  int line_ = 0;
  std::unique_ptr<ScriptedUi> ui_;
  std::unique_ptr<addin::Session> session_;
};

// Expands a script's path: "~" and "$HOME" (or "${HOME}") at the start stand for the home
// folder; a relative path is taken from the current folder. The result is absolute.
std::string ExpandScriptPath(std::string_view path);

}  // namespace tessarin::cli
