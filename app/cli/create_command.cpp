// CreateCommand: a recipe of script steps over the test creation dialog.
#include "app/cli/create_command.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

#include "app/cli/book_lock.h"
#include "app/cli/messages.h"
#include "app/cli/print_command.h"
#include "app/cli/recipe.h"
#include "app/cli/script_runner.h"
#include "core/addin/tessarin.h"
#include "core/host/runtime.h"
#include "core/ooxml/text_import.h"
#include "core/testgen/selection.h"
#include "core/workbook/question_sheet.h"

namespace tessarin::cli {
namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

// A random code as the dialog's box takes it: a whole number that fits a 32-bit integer.
bool ParseCode(const std::string& text, int32_t* code) {
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  const int64_t value = std::stoll(text);
  if (value < 1 || value > std::numeric_limits<int32_t>::max()) return false;
  *code = static_cast<int32_t>(value);
  return true;
}

// "a", "b", "c" for a list of sheet names.
std::string QuotedList(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "\"" : ", \"") + name + "\"";
  return list;
}

// Rows of the range that no test can take, by the reason RateRow gives.
struct LeftOutCounts {
  int32_t must_appear_off = 0;
  int32_t already_set = 0;
  int32_t exclusion_mark = 0;
};

LeftOutCounts CountLeftOut(const host::Sheet& sheet, int32_t first, int32_t last,
                           const testgen::RatingOptions& options) {
  LeftOutCounts counts;
  for (int32_t row = first; row <= last; ++row) {
    switch (testgen::RateRow(sheet, row, options).left_out) {
      case testgen::LeftOutBy::kMustAppearOff:
        ++counts.must_appear_off;
        break;
      case testgen::LeftOutBy::kAlreadySet:
        ++counts.already_set;
        break;
      case testgen::LeftOutBy::kExclusionMark:
        ++counts.exclusion_mark;
        break;
      case testgen::LeftOutBy::kNothing:
        break;
    }
  }
  return counts;
}

}  // namespace

CLI::App* CreateCommand::Register(CLI::App& app) {
  CLI::App* c =
      app.add_subcommand("create", Tr("Make a kanji test from a question workbook and save it"));
  c->add_option("book", book_, Tr("the question workbook (.xlsx, .xlsm, .xls, .txt, .csv)"))
      ->required();
  c->add_option("--sheet", sheet_, Tr("the question sheet, when the workbook has several sheets"));
  c->add_option("--range", range_, Tr("question rows FIRST-LAST (default: every question)"));
  c->add_option("--count", count_, Tr("number of questions (default 40)"))
      ->transform(DecimalNumber())
      ->check(CLI::Range(1, 1000000));
  c->add_option("--code", code_,
                Tr("random code that fixes the order, 1 to 2147483647 (default 1234)"));
  c->add_flag("--random-code", random_code_, Tr("let the dialog make a random code"));
  c->add_option("--per-page", per_page_, Tr("questions per page: 40 or 20"))
      ->transform(DecimalNumber())
      ->check(CLI::IsMember({40, 20}));
  c->add_flag("--ignore-wrong", ignore_wrong_,
              Tr("wrong-answer counts do not order the questions"));
  c->add_flag("--exclude-asked", exclude_asked_, Tr("leave out questions already set once"));
  c->add_flag("--must-appear", must_appear_, Tr("set the must-appear questions first"));
  c->add_flag("--no-source", no_source_, Tr("no source note under each question"));
  c->add_option("-o,--output", out_,
                Tr("where to save the workbook with the test: a .xlsx or .xlsm file, or a folder "
                   "(default: beside BOOK); NAME.pdf saves NAME.xlsx and prints the test to "
                   "NAME.pdf beside it"))
      ->check(NonEmptyPath());
  pdf_option_ =
      c->add_option("--pdf", pdf_,
                    Tr("also print the test to a PDF (default: beside the saved workbook)"))
          ->expected(0, 1);
  return c;
}

int CreateCommand::Run(Streams& streams) {
  auto fail = [&](const std::string& why, int code = 1) {
    streams.err << "tessarin create: " << why << "\n";
    return code;
  };
  if (ignore_wrong_ && exclude_asked_)
    return fail(Tr("--ignore-wrong and --exclude-asked cannot be used together"), 2);
  if (random_code_ && code_ != "1234") return fail(Tr("give --code or --random-code, not both"), 2);
  int32_t code = 0;
  if (!random_code_ && !ParseCode(code_, &code)) {
    return fail(Tr("--code takes a whole number from 1 to 2147483647, not \"%1\"", {code_}), 2);
  }
  std::error_code ec;
  const std::string book = fs::absolute(book_, ec).string();
  if (fs::is_directory(book, ec)) return fail(Tr("%1 is a folder, not a workbook", {book_}));
  if (!fs::is_regular_file(book, ec)) return fail(Tr("no such file: %1", {book_}));

  // Where the result goes, checked before any work: a folder takes the default name later.
  std::string out_folder;
  if (!out_.empty()) {
    if (fs::is_directory(out_, ec)) {
      out_folder = fs::absolute(out_, ec).string();
    } else if (out_.back() == '/') {
      return fail(Tr("no such folder: %1", {out_}));
    } else {
      std::string ext = fs::path(out_).extension().string();
      for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      if (!ext.empty() && ext != ".xlsx" && ext != ".xlsm" && ext != ".pdf") {
        return fail(
            Tr("cannot save the test as %1: only .xlsx and .xlsm workbooks (or a .pdf beside one) "
               "can be written",
               {out_}),
            2);
      }
    }
  }

  // Held until the result is saved: the question workbook's record may be written back.
  std::unique_ptr<host::WorkbookLock> lock;
  if (std::string p = LockBook(book, lock); !p.empty()) return fail(p);
  Recipe recipe;
  if (std::string p = recipe.OpenBook(book); !p.empty()) return fail(p);

  host::Application& app = recipe.runner().app();
  std::vector<std::string> sheets, question_sheets;
  for (int i = 1; i <= app.Sheets().Count(); ++i) {
    const std::string& name = app.Sheets().Item(i).Name();
    sheets.push_back(name);
    if (workbook::IsQuestionSheetName(name)) question_sheets.push_back(name);
  }
  std::string question_sheet, renamed_from;
  if (!sheet_.empty()) {
    if (std::find(sheets.begin(), sheets.end(), sheet_) == sheets.end()) {
      return fail(
          Tr("the workbook has no sheet \"%1\"; its sheets are %2", {sheet_, QuotedList(sheets)}),
          2);
    }
    question_sheet = sheet_;
  } else if (question_sheets.size() == 1) {
    question_sheet = question_sheets.front();
  } else if (question_sheets.size() > 1) {
    return fail(Tr("the workbook has several question sheets (%1); choose one with --sheet NAME",
                   {QuotedList(question_sheets)}));
  } else if (sheets.size() == 1) {
    question_sheet = sheets.front();
  } else {
    return fail(
        Tr("the workbook has no question sheet (a sheet whose name starts with %1); choose the "
           "sheet that holds the questions with --sheet NAME: %2",
           {std::string(workbook::kProductWord), QuotedList(sheets)}));
  }
  // Any other sheet becomes the question sheet under the product word and the file's name; only
  // the saved copy carries the new name.
  if (!workbook::IsQuestionSheetName(question_sheet)) {
    renamed_from = question_sheet;
    question_sheet = ooxml::SheetNameForFile(std::string(workbook::kProductWord) +
                                             fs::path(book).filename().string());
    if (std::string p = Problem(recipe.Step({{"rename", {renamed_from, question_sheet}}}));
        !p.empty())
      return fail(p);
  }
  recipe.Step({{"activate", question_sheet}});
  recipe.Step({{"select", "A1"}});

  int32_t questions = 0;
  host::Sheet sheet = app.ActiveSheet();
  while (questions < host::kMaxRows &&
         !sheet.Cells(questions + 1, workbook::kQuestionColumn).Text().empty()) {
    ++questions;
  }
  if (questions == 0) {
    return fail(
        Tr("sheet \"%1\" holds no questions: write each question in column D from row 1, its "
           "answer in column E; the first empty D cell ends the list",
           {renamed_from.empty() ? question_sheet : renamed_from}));
  }
  int64_t first = 1, last = std::max(questions, 2);
  if (!range_.empty()) {
    const size_t dash = range_.find('-');
    if (dash == std::string::npos) return fail(Tr("--range takes FIRST-LAST, for example 1-50"), 2);
    auto a = host::ParseNumber(range_.substr(0, dash)),
         b = host::ParseNumber(range_.substr(dash + 1));
    if (!a || !b || *a < 1 || *b < 1 || *a > std::numeric_limits<int32_t>::max() ||
        *b > std::numeric_limits<int32_t>::max() || *a != std::floor(*a) || *b != std::floor(*b)) {
      return fail(Tr("--range takes two row numbers from 1 to 2147483647, for example 1-50"), 2);
    }
    first = static_cast<int64_t>(*a);
    last = static_cast<int64_t>(*b);
  }
  // Why rows of the range cannot be set, counted before the test adds to their times-set counts.
  const LeftOutCounts left_out =
      CountLeftOut(sheet, static_cast<int32_t>(std::min(first, last)),
                   static_cast<int32_t>(std::min<int64_t>(std::max(first, last), questions)),
                   {must_appear_, exclude_asked_, ignore_wrong_});

  Json actions = Json::array({
      {{"set", {"T1", std::to_string(first)}}},
      {{"set", {"T2", std::to_string(last)}}},
      {{"set", {"T3", std::to_string(count_)}}},
  });
  if (random_code_) {
    actions.push_back({{"click", "CommandButton4"}});
  } else {
    actions.push_back({{"set", {"T4", std::to_string(code)}}});
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
  if (out_folder.empty() && !out.empty() && fs::path(out).extension() == ".pdf") {
    pdf = out;
    out = fs::path(out).replace_extension(".xlsx").string();
    want_pdf = true;
  }
  if (out.empty() || !out_folder.empty()) {
    const fs::path source(book);
    const std::string id_code = identification.substr(0, identification.find('['));
    const std::string name = source.stem().string() + "_テスト_" + id_code + ".xlsx";
    out = ((out_folder.empty() ? source.parent_path() : fs::path(out_folder)) / name).string();
  }
  std::vector<Json> saved = recipe.Step({{"save", fs::absolute(out, ec).string()}});
  if (std::string p = Problem(saved); !p.empty()) return fail(p);

  int32_t placed = 0;
  for (int q = 1; q <= module.RequestedCount; ++q) {
    const int32_t row = 4 * ((q - 1) / 20) + 2, col = 20 - ((q - 1) % 20);
    if (!test.Cells(row, col).Text().empty()) ++placed;
  }
  streams.out << Tr("Opened %1 (%2 questions on sheet %3)",
                    {book, std::to_string(questions),
                     renamed_from.empty() ? question_sheet : renamed_from})
              << "\n";
  if (!renamed_from.empty()) {
    streams.out << Tr("Took sheet %1 as the question sheet and named it %2 in the saved workbook",
                      {renamed_from, question_sheet})
                << "\n";
  }
  streams.out << TrN("Made the test %1 on sheet %2: %3 questions on %4 page",
                     "Made the test %1 on sheet %2: %3 questions on %4 pages", module.PageCount,
                     {identification, test_sheet, std::to_string(placed),
                      std::to_string(module.PageCount)})
              << "\n";
  if (placed < count_) {
    streams.out << Tr("Set %1 of the %2 questions asked for:",
                      {std::to_string(placed), std::to_string(count_)})
                << "\n";
    auto reason = [&](int32_t n, const std::string& text) {
      if (n > 0) streams.out << "  - " << text << "\n";
    };
    const int64_t low = std::min(first, last),
                  high = std::min<int64_t>(std::max(first, last), questions);
    reason(count_ - module.RequestedCount,
           Tr("rows %1 to %2 hold %3 questions (the question list ends at row %4)",
              {std::to_string(low), std::to_string(high), std::to_string(module.RequestedCount),
               std::to_string(questions)}));
    if (module.CandidateCount < module.RequestedCount) {
      const int32_t marked = left_out.exclusion_mark, must = left_out.must_appear_off,
                    set = left_out.already_set;
      reason(marked, TrN("%1 row has an exclusion mark (%2)", "%1 rows have an exclusion mark (%2)",
                         marked, {std::to_string(marked), "S, E, 除, 止, 修, 外"}));
      reason(must, TrN("%1 must-appear row is left out without --must-appear",
                       "%1 must-appear rows are left out without --must-appear", must,
                       {std::to_string(must)}));
      reason(set, TrN("%1 row already set is left out with --exclude-asked",
                      "%1 rows already set are left out with --exclude-asked", set,
                      {std::to_string(set)}));
    }
    const int32_t blank = std::min(module.RequestedCount, module.CandidateCount) - placed;
    reason(blank, TrN("%1 chosen question shows no text and takes no place",
                      "%1 chosen questions show no text and take no place", blank,
                      {std::to_string(blank)}));
  }
  streams.out << Tr("Saved %1", {app.ActiveWorkbook().FullName()}) << "\n";
  if (want_pdf) {
    if (pdf.empty())
      pdf = fs::path(app.ActiveWorkbook().FullName()).replace_extension(".pdf").string();
    int pages = 0;
    if (std::string p = PrintSheetTo(recipe, test_sheet, pdf, 100, pages); !p.empty())
      return fail(p);
    streams.out << TrN("Printed the test to %1 (%2 page)", "Printed the test to %1 (%2 pages)",
                       pages, {fs::absolute(pdf, ec).string(), std::to_string(pages)})
                << "\n";
  }
  return 0;
}

}  // namespace tessarin::cli
