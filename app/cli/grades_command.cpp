// GradesCommand: the grade search dialog Form1 driven in process.
#include "app/cli/grades_command.h"

#include <filesystem>

#include "app/cli/command_session.h"
#include "app/cli/messages.h"
#include "core/forms/control.h"
#include "core/host/application.h"
#include "core/host/host_error.h"
#include "core/host/range.h"
#include "core/reports/kanjidic_tables.h"
#include "core/workbook/list_sheet.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::cli {
namespace fs = std::filesystem;

CLI::App* GradesCommand::Register(CLI::App& app) {
  CLI::App* c = app.add_subcommand(
      "grades",
      Tr("List the kanji of cells by school grade (the kanji grade search). By default it reads "
         "the question sentences in column D of the question sheet; --range E:E reads the "
         "answers instead"));
  c->add_option("book", book_, Tr("the question workbook (.xlsx, .xlsm, .xls, .txt, .csv)"))
      ->required();
  c->add_option("--range", range_,
                Tr("cells to read, e.g. E:E (the answers), D1:D240 or 3:5 (default: the "
                   "questions of column D, from row 1 to the first empty cell)"));
  c->add_option("--sheet", sheet_,
                Tr("the sheet to read (default: the question sheet, or the one sheet of a list)"));
  c->add_flag("--missing", missing_, Tr("list the kanji of each level that the cells do not use"));
  c->add_option("--table", table_,
                Tr("the grade allocation: 1989 (the default) or 2020, read from the kanjidic-xml "
                   "package"))
      ->check(CLI::IsMember({1989, 2020}));
  return c;
}

namespace {

// The sheet the search reads when none is named: the question sheet, or the one sheet of a list
// as `create` would take it (nothing is saved, so it keeps its name). The problem, or "".
std::string DefaultSheet(host::Workbook& opened, std::string* sheet) {
  int found = 0;
  for (int i = 1; i <= opened.SheetCount(); ++i) {
    if (!workbook::IsQuestionSheetName(opened.Sheet(i).name())) continue;
    *sheet = opened.Sheet(i).name();
    ++found;
  }
  if (found == 0) {
    if (host::Worksheet* list = workbook::FindListSheet(opened)) *sheet = list->name();
  }
  if (found > 1) return Tr("the workbook has several question sheets; name the sheet with --sheet");
  if (sheet->empty()) {
    return Tr(
        "the workbook has no question sheet (a sheet whose name starts with %1); "
        "name the sheet with --sheet",
        {std::string(workbook::kProductWord)});
  }
  return "";
}

// The cells the search reads when none are named: the questions of column D, from the top to
// the first empty cell. The problem, or "".
std::string DefaultRange(const host::Sheet& active, const std::string& sheet, std::string* range) {
  int32_t questions = 0;
  while (questions < host::kMaxRows &&
         !active.Cells(questions + 1, workbook::kQuestionColumn).Text().empty()) {
    ++questions;
  }
  if (questions == 0) return Tr("the sheet %1 has no questions in column D; give --range", {sheet});
  *range = "D1:D" + std::to_string(questions);
  return "";
}

// The dialog's report as the command prints it: one "\n" per line, a last one at the end.
std::string ReportText(const std::string& report) {
  std::string out;
  for (size_t i = 0; i < report.size(); ++i) {
    if (report.compare(i, 2, "\r\n") == 0) ++i;
    out += report[i];
  }
  if (out.empty() || out.back() != '\n') out += '\n';
  return out;
}

}  // namespace

int GradesCommand::Run(Streams& streams) {
  auto fail = [&](const std::string& why) {
    streams.err << "tessarin grades: " << why << "\n";
    return 1;
  };
  std::error_code ec;
  const std::string book = fs::absolute(book_, ec).string();
  if (!fs::is_regular_file(book, ec)) return fail(Tr("no such file: %1", {book_}));

  if (table_ == 2020) {
    try {
      reports::Tables2020();
    } catch (const host::HostError& e) {
      return fail(
          Tr("the 2020 grade tables come from the kanjidic-xml package (%1): %2; install "
             "it with: apt-get install kanjidic-xml",
             {std::string(reports::kKanjidicPath), e.what()}));
    }
  }

  CommandSession session(streams.err);
  if (std::string p = session.OpenBook(book); !p.empty()) return fail(p);
  host::Application& app = session.app();
  std::string sheet = sheet_;
  if (sheet.empty()) {
    if (std::string p = DefaultSheet(app.ActiveWorkbook(), &sheet); !p.empty()) return fail(p);
  }
  if (std::string p = Attempt([&] { session.Activate(sheet); }); !p.empty()) return fail(p);
  std::string range = range_;
  if (range.empty()) {
    if (std::string p = DefaultRange(app.ActiveSheet(), sheet, &range); !p.empty()) return fail(p);
  }
  if (std::string p = Attempt([&] { app.Range(range).Select(); }); !p.empty()) return fail(p);

  // The report is the text box as the dialog shows it before it is closed.
  std::string report;
  session.ui().QueueForm("Form1", [&](forms::Form& form) {
    if (table_ == 2020) form.UserCheck("CheckBox1", true);
    if (missing_) form.UserClick("CD1");
    report = form.Get<forms::TextBox>("Text1").text();
  });
  if (std::string p = session.Call(&addin::Tessarin::Command2); !p.empty()) return fail(p);
  streams.out << ReportText(report);
  return 0;
}

}  // namespace tessarin::cli
