// ScriptRunner: reads JSON-lines steps, drives the host and the add-in, writes the transcript.
#include "app/cli/script_runner.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <optional>
#include <stdexcept>
#include <vector>

#include "app/cli/format_step.h"
#include "app/cli/host_json.h"
#include "app/cli/script_args.h"
#include "core/addin/method_table.h"
#include "core/addin/session.h"
#include "core/addin/tessarin.h"
#include "core/host/host_error.h"
#include "core/host/text_util.h"
#include "render/gui_session.h"
#include "render/pdf_output.h"

namespace tessarin::cli {

using nlohmann::json;

namespace {

// Deeper steps are refused before anything walks them recursively (copying, printing).
constexpr int kMaxStepDepth = 64;
// The classic "internal error", for a failure that is not a host error.
constexpr int kErrInternal = 51;
constexpr int kErrWrongArgumentCount = 450;

bool IsBlank(std::string_view line) {
  return std::all_of(line.begin(), line.end(),
                     [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

// nlohmann's message without its "[json.exception.parse_error.101] parse error at line 1, " head.
std::string ParseErrorText(const json::parse_error& e) {
  std::string text = e.what();
  if (size_t at = text.find("column "); at != std::string::npos) return text.substr(at);
  return text;
}

using host::EqualsIgnoringAsciiCase;

// The add-in method `name` stands for: exact, else without regard to ASCII case (the macro
// layer is case-insensitive).
const addin::Method* FindMethod(std::string_view name) {
  if (const addin::Method* exact = addin::FindMethod(name)) return exact;
  for (const addin::Method& method : addin::kMethods) {
    if (EqualsIgnoringAsciiCase(method.name, name)) return &method;
  }
  return nullptr;
}

std::string Quoted(std::string_view text) { return Brief(json(std::string(text))); }

}  // namespace

struct ScriptRunner::StepInfo {
  std::string_view name;
  StepHandler handler;
  std::string_view extra_key;  // a second key the step may carry ("arg", "do"), or empty
};

const ScriptRunner::StepInfo* ScriptRunner::FindStep(std::string_view name) {
  static const std::array<StepInfo, 22> kSteps = {{
      {"call", &ScriptRunner::Call, "arg"},    {"key", &ScriptRunner::Key, ""},
      {"menu", &ScriptRunner::Menu, ""},       {"open", &ScriptRunner::Open, ""},
      {"new", &ScriptRunner::New, ""},         {"closeworkbook", &ScriptRunner::CloseWorkbook, ""},
      {"save", &ScriptRunner::Save, ""},       {"addsheet", &ScriptRunner::AddSheet, ""},
      {"rename", &ScriptRunner::Rename, ""},   {"activate", &ScriptRunner::Activate, ""},
      {"protect", &ScriptRunner::Protect, ""}, {"select", &ScriptRunner::Select, ""},
      {"type", &ScriptRunner::Type, ""},       {"clear", &ScriptRunner::Clear, ""},
      {"format", &ScriptRunner::Format, ""},   {"print", &ScriptRunner::Print, ""},
      {"dump", &ScriptRunner::Dump, ""},       {"show", &ScriptRunner::Show, ""},
      {"msgbox", &ScriptRunner::Answer, ""},   {"openfile", &ScriptRunner::Answer, ""},
      {"phonetic", &ScriptRunner::Answer, ""}, {"form", &ScriptRunner::Answer, "do"},
  }};
  for (const StepInfo& info : kSteps) {
    if (info.name == name) return &info;
  }
  return nullptr;
}

ScriptRunner::ScriptRunner(std::ostream& out) : transcript_(out) {
  ui_ = std::make_unique<ScriptedUi>([this](const json& event) { transcript_.Write(event); });
  // The host's own boxes (Application.GetOpenFilename, PrintPreview) answer from the same queues.
  session_ = std::make_unique<addin::Session>(*ui_);
}

ScriptRunner::~ScriptRunner() = default;

host::Application& ScriptRunner::app() { return session_->app(); }
addin::Tessarin& ScriptRunner::addin() { return session_->addin(); }

namespace {

// Reads one line of `in` into `line` (without its "\n"), keeping at most `max` bytes: the rest
// of a longer line is read and dropped, so no line can exhaust memory. False at the end of input
// with nothing read; `too_long` tells whether bytes were dropped.
bool ReadBoundedLine(std::istream& in, std::string& line, size_t max, bool& too_long) {
  line.clear();
  too_long = false;
  std::streambuf& buffer = *in.rdbuf();
  bool any = false;
  for (int c = buffer.sbumpc(); c != std::char_traits<char>::eof(); c = buffer.sbumpc()) {
    any = true;
    if (c == '\n') return true;
    if (line.size() < max) {
      line.push_back(static_cast<char>(c));
    } else {
      too_long = true;
    }
  }
  in.setstate(std::ios::eofbit);
  return any;
}

}  // namespace

int ScriptRunner::Run(std::istream& in) {
  std::string line;
  bool too_long = false;
  int number = 0;
  while (ReadBoundedLine(in, line, kMaxLineBytes, too_long)) {
    ++number;
    if (too_long) {
      line_ = number;
      transcript_.Write(
          {{"error", "the line is longer than the " + std::to_string(kMaxLineBytes >> 20) +
                         " MiB a script line may have"},
           {"line", number}});
      return kExitBadScript;
    }
    if (!RunLine(line, number)) return kExitBadScript;
  }
  return kExitOk;
}

bool ScriptRunner::RunLine(std::string_view line, int line_number) {
  line_ = line_number;
  if (line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);  // a byte order mark
  if (IsBlank(line)) return true;

  json step;
  try {
    step = json::parse(line);
  } catch (const json::parse_error& e) {
    transcript_.Write({{"error", "not valid JSON: " + ParseErrorText(e)}, {"line", line_number}});
    return false;
  } catch (const json::out_of_range&) {
    // A number past what a double holds (1e99999): well-formed, but no value a step can take.
    transcript_.Write(
        {{"error", "a number on the line is too large to be a value"}, {"line", line_number}});
    return false;
  }
  return RunParsed(step, line_number);
}

bool ScriptRunner::RunParsed(const json& step, int line_number) {
  line_ = line_number;
  if (!step.is_object()) {
    transcript_.Write({{"error", "a step is a JSON object such as {\"call\": \"START\"}"},
                       {"line", line_number}});
    return false;
  }
  const StepInfo* info = nullptr;
  std::vector<std::string> keys;
  for (const auto& [key, value] : step.items()) {
    keys.push_back(Quoted(key));
    const StepInfo* found = FindStep(key);
    if (found == nullptr) continue;
    if (info != nullptr) {
      transcript_.Write({{"error", "one step per line: the line names both \"" +
                                       std::string(info->name) + "\" and \"" + key + "\""},
                         {"line", line_number}});
      return false;
    }
    info = found;
  }
  if (info == nullptr) {
    std::string named = keys.empty() ? "nothing" : keys.front();
    for (size_t i = 1; i < keys.size() && i < 4; ++i) named += ", " + keys[i];
    if (keys.size() > 4) named += ", ...";
    transcript_.Write({{"error", "no known step: the line names " + named}, {"line", line_number}});
    return false;
  }
  RunStep(*info, step);
  return true;
}

void ScriptRunner::RunStep(const StepInfo& info, const json& step) {
  try {
    for (const auto& [key, value] : step.items()) {
      if (key != info.name && (info.extra_key.empty() || key != info.extra_key)) {
        throw host::HostError(host::kErrInvalidProcedureCall,
                              "the " + std::string(info.name) + " step has no key " + Quoted(key));
      }
    }
    if (NestingDepth(step, kMaxStepDepth) > kMaxStepDepth) {
      throw host::HostError(host::kErrInvalidProcedureCall, "the step is nested too deeply");
    }
    (this->*info.handler)(step);
  } catch (const host::HostError& e) {
    LogError(e.description(), e.number());
  } catch (const json::type_error& e) {
    LogError(e.what(), host::kErrTypeMismatch);
  } catch (const std::invalid_argument& e) {
    LogError(e.what(), host::kErrInvalidProcedureCall);
  } catch (const std::bad_alloc&) {
    LogError("Out of memory", host::kErrOutOfMemory);
  } catch (const std::exception& e) {
    LogError(std::string("internal error: ") + e.what(), kErrInternal);
  }
}

void ScriptRunner::LogError(const std::string& text, int number) {
  transcript_.Write({{"error", text}, {"number", number}, {"line", line_}});
}

// --- Steps that drive the add-in.

void ScriptRunner::Call(const json& step) {
  const std::string& name = RequireString(step["call"], "call");
  const addin::Method* method = FindMethod(name);
  if (method == nullptr) {
    throw host::HostError(host::kErrNotSupported, "the add-in has no method " + Quoted(name));
  }
  const std::string method_name(method->name);
  std::string arg;
  if (auto it = step.find("arg"); it != step.end()) {
    if (!method->TakesArgument()) {
      throw host::HostError(kErrWrongArgumentCount, method_name + " takes no argument");
    }
    arg = RequireString(*it, "call.arg");
  } else if (method->TakesArgument()) {
    throw host::HostError(kErrWrongArgumentCount, method_name + " takes the sheet name as \"arg\"");
  }
  LogResult(method_name, addin().Call(method_name, std::move(arg)));
}

void ScriptRunner::Key(const json& step) {
  const std::string& text = RequireString(step["key"], "key");
  std::optional<std::string> macro;
  if (std::optional<host::KeyChord> chord = host::ParseChord(text)) {
    macro = session_->MacroFor(*chord);
  }
  transcript_.Write({{"key", text}, {"macro", macro ? json(*macro) : json()}});
  if (macro) RunMacro(*macro);
}

void ScriptRunner::Menu(const json& step) {
  const json& captions = RequireArray(step["menu"], "menu");
  if (captions.empty()) {
    throw host::HostError(host::kErrInvalidProcedureCall,
                          "menu needs the captions to click, from the top");
  }
  for (const json& caption : captions) RequireString(caption, "menu caption");

  // A click on a popup only opens it; an item that is missing ends the walk with no macro.
  std::optional<std::string> macro;
  const host::ControlList* controls = &app().CommandBars().Item("cell").Controls();
  for (size_t i = 0; i < captions.size(); ++i) {
    const host::CommandBarControl* control =
        controls->Find(captions[i].get_ref<const std::string&>());
    if (control == nullptr) break;
    const bool last = i + 1 == captions.size();
    if (control->IsPopup()) {
      if (last) break;
      controls = &control->Controls();
    } else {
      if (last && !control->OnAction().empty()) macro = control->OnAction();
      break;
    }
  }
  transcript_.Write({{"menu", captions}, {"macro", macro ? json(*macro) : json()}});
  if (macro) RunMacro(*macro);
}

void ScriptRunner::RunMacro(const std::string& macro) {
  std::string method;
  const std::optional<int> result = session_->RunMacro(macro, &method);
  if (!result) {
    throw host::HostError(host::kErrApplicationDefined,
                          "cannot run the macro " + Quoted(macro) + ": no such macro");
  }
  LogResult(method, *result);
}

void ScriptRunner::LogResult(const std::string& method, int result) {
  json event = {{"call", method}, {"result", result}};
  // The caller of a method shows the user the error's description with its number.
  if (result != 0) event["description"] = addin().last_error();
  transcript_.Write(event);
}

void ScriptRunner::NotifySheetActivate(const std::string& name) {
  std::string sheet = name;
  int result = addin().SheetActivate(sheet);
  if (result != 0) LogError(addin().last_error(), result);
}

// --- Workbooks and sheets.

void ScriptRunner::Open(const json& step) {
  app().Workbooks().Open(ExpandScriptPath(RequireString(step["open"], "open")));
}

void ScriptRunner::New(const json& step) {
  if (step["new"] != true) RequireBool(json(), "new");
  app().Workbooks().Add();
}

void ScriptRunner::CloseWorkbook(const json& step) {
  if (step["closeworkbook"] != true) RequireBool(json(), "closeworkbook");
  app().CloseWorkbook(app().ActiveWorkbook());
}

void ScriptRunner::Save(const json& step) {
  const json& target = step["save"];
  host::Workbook& workbook = app().ActiveWorkbook();
  std::string path;
  if (target == true) {
    if (workbook.path().empty()) {
      throw host::HostError(host::kErrApplicationDefined,
                            "Save method of Workbook class failed: " + workbook.name() +
                                " has never been saved; use SaveAs.");
    }
    path = workbook.FullName();
  } else {
    path = ExpandScriptPath(RequireString(target, "save"));
  }
  const addin::SaveReport report = session_->Save(workbook, path);
  json event = {{"save", target}};
  // A format we never write over (.xls) is saved beside it; the user is told where.
  if (target != true && report.path != path) event["path"] = report.path;
  // A .xlsx cannot hold macros: the writer left them out, and the user is told.
  if (report.macros_left_out) {
    event["path"] = report.path;
    event["note"] =
        "The macros were not saved: a .xlsx workbook cannot hold them (save as .xlsm to keep "
        "them).";
  }
  if (event.size() > 1) transcript_.Write(event);
}

void ScriptRunner::AddSheet(const json& step) {
  const json& name = step["addsheet"];
  if (name != true) RequireString(name, "addsheet");
  host::Workbook& workbook = app().ActiveWorkbook();
  // A bad name fails before the sheet is added, so the step changes nothing.
  if (name.is_string()) workbook.CheckSheetName(name.get_ref<const std::string&>(), nullptr);
  host::Sheet sheet = app().Sheets(workbook).Add();
  if (name.is_string()) sheet.SetName(name.get_ref<const std::string&>());
  NotifySheetActivate(sheet.Name());
}

void ScriptRunner::Rename(const json& step) {
  const json& names = RequireArray(step["rename"], "rename");
  if (names.size() != 2) {
    throw host::HostError(host::kErrInvalidProcedureCall, "rename takes [OLD, NEW]");
  }
  const std::string& old_name = RequireString(names[0], "rename OLD");
  const std::string& new_name = RequireString(names[1], "rename NEW");
  app().Sheets().Item(old_name).SetName(new_name);
}

void ScriptRunner::Activate(const json& step) {
  host::Sheet sheet = app().Sheets().Item(RequireString(step["activate"], "activate"));
  sheet.Activate();
  NotifySheetActivate(sheet.Name());
}

void ScriptRunner::Protect(const json& step) {
  app().Sheets().Item(RequireString(step["protect"], "protect")).Protect();
}

// --- Cells.

void ScriptRunner::Select(const json& step) {
  app().Range(RequireString(step["select"], "select")).Select();
}

void ScriptRunner::Type(const json& step) {
  const json& fields = RequireObject(step["type"], "type");
  RejectUnknownKeys(fields, {"cell", "value"}, "type");
  const host::Range cell =
      app().Range(RequireString(RequireMember(fields, "cell", "type"), "type.cell"));
  const json& value = RequireMember(fields, "value", "type");
  if (value.is_string()) {
    host::EnterTyped(cell, value.get_ref<const std::string&>());
    return;
  }
  host::CellValue typed;
  if (value.is_number()) {
    typed = host::CellValue::Number(value.get<double>());
  } else if (value.is_boolean()) {
    typed = host::CellValue::Boolean(value.get<bool>());
  } else if (!value.is_null()) {
    RequireString(value, "type.value");
  }
  cell.SetValue(typed);
}

void ScriptRunner::Clear(const json& step) {
  app().Range(RequireString(step["clear"], "clear")).ClearContents();
}

void ScriptRunner::Format(const json& step) { ApplyFormat(app(), step["format"]); }

// --- Output.

void ScriptRunner::Print(const json& step) {
  const json& fields = RequireObject(step["print"], "print");
  RejectUnknownKeys(fields, {"sheet", "pdf", "png", "dpi"}, "print");
  const json none;
  const std::string name =
      RequireString(fields.contains("sheet") ? fields["sheet"] : none, "print.sheet");
  const bool pdf = fields.contains("pdf"), png = fields.contains("png");
  if (pdf == png)
    throw host::HostError(host::kErrInvalidProcedureCall, "print takes one of \"pdf\" or \"png\"");
  const int dpi = fields.contains("dpi") ? RequireInt(fields["dpi"], "print.dpi", 10, 1200) : 100;
  const std::string path =
      ExpandScriptPath(RequireString(fields[pdf ? "pdf" : "png"], pdf ? "print.pdf" : "print.png"));
  const host::Worksheet& sheet = app().Sheets().Item(name).worksheet();
  render::EnsureGuiApplication();
  const int pages = pdf ? render::WritePdf(sheet, path)
                        : static_cast<int>(render::WritePageImages(sheet, path, dpi).size());
  transcript_.Write({{"print", {{"sheet", name}, {"pages", pages}}}});
}

void ScriptRunner::Dump(const json& step) {
  const json& fields = RequireObject(step["dump"], "dump");
  RejectUnknownKeys(fields, {"sheet", "range"}, "dump");
  std::optional<host::Sheet> sheet;
  if (auto it = fields.find("sheet"); it != fields.end()) {
    sheet = app().Sheets().Item(RequireString(*it, "dump.sheet"));
  } else {
    sheet = app().ActiveSheet();
  }
  host::AreaList areas;
  if (auto it = fields.find("range"); it != fields.end()) {
    areas = host::ParseAddress(RequireString(*it, "dump.range"));
  } else {
    areas = host::AreaList(sheet->worksheet().UsedArea());
  }
  transcript_.WriteWith([&](std::ostream& out) {
    out << "{\"dump\":";
    WriteDump(out, *sheet, areas);
    out << '}';
  });
}

void ScriptRunner::Show(const json& step) {
  const std::string& what = RequireString(step["show"], "show");
  if (what == "state") {
    transcript_.Write({{"state", StateJson(app())}});
  } else if (what == "module") {
    transcript_.Write({{"module", ModuleJson(addin().module())}});
  } else if (what == "commandbars") {
    transcript_.Write({{"commandbars", CommandBarsJson(app())}});
  } else {
    throw host::HostError(
        host::kErrInvalidProcedureCall,
        "show takes \"state\", \"module\" or \"commandbars\", not " + Quoted(what));
  }
}

void ScriptRunner::Answer(const json& step) {
  // The open-file box hands back full paths, whatever the script wrote.
  if (auto it = step.find("openfile"); it != step.end() && it->is_string() && step.size() == 1) {
    ui_->QueueAnswer({{"openfile", ExpandScriptPath(it->get_ref<const std::string&>())}});
    return;
  }
  if (!ui_->QueueAnswer(step)) {
    throw host::HostError(host::kErrInvalidProcedureCall, "not an answer step");
  }
}

// --- Free functions.

std::string ExpandScriptPath(std::string_view path) {
  std::string expanded(path);
  const char* home = std::getenv("HOME");
  for (std::string_view prefix : {"${HOME}", "$HOME", "~"}) {
    if (home == nullptr || !path.starts_with(prefix)) continue;
    std::string_view rest = path.substr(prefix.size());
    if (!rest.empty() && rest.front() != '/') continue;  // "~user", "$HOMEDIR"
    expanded = std::string(home) + std::string(rest);
    break;
  }
  if (expanded.empty()) return expanded;
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(expanded, error);
  return error ? expanded : absolute.lexically_normal().string();
}

}  // namespace tessarin::cli
