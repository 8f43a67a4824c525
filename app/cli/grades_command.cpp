// GradesCommand: a recipe of script steps over the grade search dialog Form1.
#include "app/cli/grades_command.h"

#include <filesystem>
#include <nlohmann/json.hpp>

#include "app/cli/messages.h"
#include "app/cli/recipe.h"
#include "core/host/application.h"
#include "core/host/host_error.h"
#include "core/host/range.h"
#include "core/reports/kanjidic_tables.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::cli {
namespace fs = std::filesystem;
using Json = nlohmann::json;

CLI::App* GradesCommand::Register(CLI::App& app) {
  CLI::App* c = app.add_subcommand(
      "grades", Tr("List the kanji of cells by school grade (the kanji grade search)"));
  c->add_option("book", book_, Tr("the question workbook (.xlsx, .xls, .txt, .csv)"))->required();
  c->add_option(
      "--range", range_,
      Tr("cells to read, e.g. D1:D240, 3:5 or D:D (default: the question column's questions)"));
  c->add_option("--sheet", sheet_, Tr("the sheet to read (default: the question sheet)"));
  c->add_flag("--missing", missing_, Tr("list the kanji of each level that the cells do not use"));
  c->add_option("--table", table_,
                Tr("the grade allocation: 1989 (the default) or 2020, read from the kanjidic-xml "
                   "package"))
      ->check(CLI::IsMember({1989, 2020}));
  return c;
}

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

  Recipe recipe;
  if (std::string p = recipe.OpenBook(book); !p.empty()) return fail(p);
  host::Application& app = recipe.runner().app();
  std::string sheet = sheet_;
  if (sheet.empty()) {
    std::string problem;
    sheet = QuestionSheetName(app, &problem);
    if (sheet.empty()) return fail(Tr("%1; name the sheet with --sheet", {problem}));
  }
  if (std::string p = Problem(recipe.Step({{"activate", sheet}})); !p.empty()) return fail(p);

  std::string range = range_;
  if (range.empty()) {
    int32_t questions = 0;
    const host::Sheet active = app.ActiveSheet();
    while (questions < host::kMaxRows &&
           !active.Cells(questions + 1, workbook::kQuestionColumn).Text().empty()) {
      ++questions;
    }
    if (questions == 0)
      return fail(Tr("the sheet %1 has no questions in column D; give --range", {sheet}));
    range = "D1:D" + std::to_string(questions);
  }
  if (std::string p = Problem(recipe.Step({{"select", range}})); !p.empty()) return fail(p);

  Json actions = Json::array();
  if (table_ == 2020) actions.push_back({{"check", {"CheckBox1", true}}});
  if (missing_) actions.push_back({{"click", "CD1"}});
  actions.push_back({{"click", "Command1"}});
  recipe.Step({{"form", "Form1"}, {"do", actions}});
  const std::vector<Json> events = recipe.Step({{"call", "Command2"}});
  if (std::string p = Problem(events); !p.empty()) return fail(p);

  // The report is the text box as the dialog last showed it.
  std::string report;
  for (const Json& e : events) {
    const Json* text = nullptr;
    if (e.contains("form") && e["form"].contains("controls")) {
      text = &e["form"]["controls"]["Text1"]["text"];
    }
    if (text != nullptr && text->is_string()) report = text->get<std::string>();
  }
  std::string out;
  for (size_t i = 0; i < report.size(); ++i) {
    if (report.compare(i, 2, "\r\n") == 0) ++i;
    out += report[i];
  }
  if (out.empty() || out.back() != '\n') out += '\n';
  streams.out << out;
  return 0;
}

}  // namespace tessarin::cli
