// CreateCommand: a recipe of script steps over the test creation dialog.
#include "app/cli/create_command.h"

#include <filesystem>
#include <sstream>

#include <nlohmann/json.hpp>

#include "app/cli/print_command.h"
#include "app/cli/recipe.h"
#include "app/cli/script_runner.h"
#include "core/addin/tessarin.h"
#include "core/host/runtime.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::cli {
namespace fs = std::filesystem;
using Json = nlohmann::json;

CLI::App* CreateCommand::Register(CLI::App& app) {
  CLI::App* c = app.add_subcommand("create", "Make a kanji test from a question workbook and save it");
  c->add_option("book", book_, "the question workbook (.xlsx, .xls, .txt, .csv)")->required();
  c->add_option("--range", range_, "question rows FIRST-LAST (default: every question)");
  c->add_option("--count", count_, "number of questions (default 40)")->check(CLI::Range(1, 1000000));
  c->add_option("--code", code_, "random code that fixes the order (default 1234)");
  c->add_flag("--random-code", random_code_, "let the dialog make a random code");
  c->add_option("--per-page", per_page_, "questions per page: 40 or 20")->check(CLI::IsMember({40, 20}));
  c->add_flag("--ignore-wrong", ignore_wrong_, "wrong-answer counts do not order the questions");
  c->add_flag("--exclude-asked", exclude_asked_, "leave out questions already set once");
  c->add_flag("--must-appear", must_appear_, "set the must-appear questions first");
  c->add_flag("--no-source", no_source_, "no source note under each question");
  c->add_option("-o,--output", out_,
                 "where to save the workbook with the test (default: beside BOOK); NAME.pdf saves NAME.xlsx "
                 "and prints the test to NAME.pdf beside it");
  pdf_option_ = c->add_option("--pdf", pdf_, "also print the test to a PDF (default: beside the saved workbook)")
                    ->expected(0, 1);
  return c;
}

int CreateCommand::Run(Streams& streams) {
  auto fail = [&](const std::string& why, int code = 1) {
    streams.err << "tessarin create: " << why << "\n";
    return code;
  };
  if (ignore_wrong_ && exclude_asked_) return fail("--ignore-wrong and --exclude-asked cannot be used together", 2);
  if (random_code_ && code_ != "1234") return fail("give --code or --random-code, not both", 2);
  if (!random_code_ && (!host::ParseNumber(code_) || *host::ParseNumber(code_) < 1)) {
    return fail("the random code must be a number of at least 1", 2);
  }
  std::error_code ec;
  const std::string book = fs::absolute(book_, ec).string();
  if (!fs::is_regular_file(book, ec)) return fail("no such file: " + book_);

  Recipe recipe;
  // Start the add-in and open the workbook from its file dialog.
  recipe.Step({{"openfile", book}});
  recipe.Step({{"form", "FILE_Sentaku"}, {"do", Json::array({Json{{"click", "Command3"}}})}});
  if (std::string p = Problem(recipe.Step({{"call", "Auto_Open"}})); !p.empty()) return fail(p);

  host::Application& app = recipe.runner().app();
  std::string question_sheet;
  for (int i = 1; i <= app.Sheets().Count(); ++i) {
    const std::string& name = app.Sheets().Item(i).Name();
    if (workbook::IsQuestionSheetName(name)) {
      if (!question_sheet.empty()) return fail("the workbook has several question sheets; keep one whose name starts with ミラトス");
      question_sheet = name;
    }
  }
  if (question_sheet.empty()) return fail("the workbook has no question sheet (a sheet whose name starts with ミラトス)");
  recipe.Step({{"activate", question_sheet}});
  recipe.Step({{"select", "A1"}});

  int32_t questions = 0;
  host::Sheet sheet = app.ActiveSheet();
  while (questions < host::kMaxRows && !sheet.Cells(questions + 1, workbook::kQuestionColumn).Text().empty()) {
    ++questions;
  }
  std::string first = "1", last = std::to_string(std::max(questions, 2));
  if (!range_.empty()) {
    const size_t dash = range_.find('-');
    if (dash == std::string::npos) return fail("--range takes FIRST-LAST, for example 1-50", 2);
    first = range_.substr(0, dash);
    last = range_.substr(dash + 1);
    auto a = host::ParseNumber(first), b = host::ParseNumber(last);
    if (!a || !b || *a < 1 || *b < 1) return fail("--range takes two row numbers of at least 1", 2);
  }

  Json actions = Json::array({
      {{"set", {"T1", first}}},
      {{"set", {"T2", last}}},
      {{"set", {"T3", std::to_string(count_)}}},
  });
  if (random_code_) {
    actions.push_back({{"click", "CommandButton4"}});
  } else {
    actions.push_back({{"set", {"T4", code_}}});
  }
  actions.push_back({{"check", {"CBox", ignore_wrong_}}});
  actions.push_back({{"check", {"CheckBox1", exclude_asked_}}});
  actions.push_back({{"check", {"CheckBox2", must_appear_}}});
  actions.push_back({{"check", {"CheckBox3", !no_source_}}});
  actions.push_back({{"toggle", {"TB1", per_page_ == 40}}});
  actions.push_back({{"click", "CommandButton1"}});
  recipe.Step({{"form", "KanjiForm1"}, {"do", actions}});
  if (std::string p = Problem(recipe.Step({{"call", "START"}})); !p.empty()) return fail(p);

  const workbook::KanjiModule& module = recipe.runner().addin().module();
  const std::string test_sheet(module.Is40Sheet ? workbook::kTestSheet40 : workbook::kTestSheet20);
  host::Sheet test = app.Sheets().Item(test_sheet);
  const std::string identification = test.Range(module.Is40Sheet ? "U8" : "U4").Text();

  std::string out = out_, pdf = pdf_;
  bool want_pdf = pdf_option_->count() > 0;
  if (fs::path(out).extension() == ".pdf" || fs::path(out).extension() == ".PDF") {
    pdf = out;
    out = fs::path(out).replace_extension(".xlsx").string();
    want_pdf = true;
  }
  if (out.empty()) {
    const fs::path source(book);
    const std::string code = identification.substr(0, identification.find('['));
    out = (source.parent_path() / (source.stem().string() + "_テスト_" + code + ".xlsx")).string();
  }
  std::vector<Json> saved = recipe.Step({{"save", fs::absolute(out, ec).string()}});
  if (std::string p = Problem(saved); !p.empty()) return fail(p);

  int32_t placed = 0;
  for (int q = 1; q <= module.RequestedCount; ++q) {
    const int32_t row = 4 * ((q - 1) / 20) + 2, col = 20 - ((q - 1) % 20);
    if (!test.Cells(row, col).Text().empty()) ++placed;
  }
  streams.out << "Opened " << book << " (" << questions << " questions on sheet " << question_sheet << ")\n"
              << "Made the test " << identification << " on sheet " << test_sheet << ": " << placed
              << " questions on " << module.PageCount << (module.PageCount == 1 ? " page" : " pages") << "\n"
              << "Saved " << app.ActiveWorkbook().FullName() << "\n";
  if (want_pdf) {
    if (pdf.empty()) pdf = fs::path(app.ActiveWorkbook().FullName()).replace_extension(".pdf").string();
    int pages = 0;
    if (std::string p = PrintSheetTo(recipe, test_sheet, pdf, 100, pages); !p.empty()) return fail(p);
    streams.out << "Printed the test to " << fs::absolute(pdf, ec).string() << " (" << pages
                << (pages == 1 ? " page" : " pages") << ")\n";
  }
  return 0;
}

}  // namespace tessarin::cli
