// CreateCommand: the test creation dialog driven in process, and the one record workbook.
#include "app/cli/create_command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <future>
#include <limits>
#include <memory>
#include <system_error>

#include "app/cli/book_lock.h"
#include "app/cli/command_session.h"
#include "app/cli/messages.h"
#include "core/forms/control.h"
#include "core/host/heap_pages.h"
#include "core/host/runtime.h"
#include "core/ooxml/workbook_io.h"
#include "core/testgen/kanji_form.h"
#include "core/testgen/long_questions.h"
#include "core/testgen/selection.h"
#include "core/testgen/test_sheet_layout.h"
#include "core/workbook/list_sheet.h"
#include "core/workbook/question_sheet.h"
#include "core/workbook/record_guard.h"
#include "render/cell_painter.h"
#include "render/font_catalog.h"
#include "render/gui_session.h"
#include "render/pdf_output.h"

namespace tessarin::cli {
namespace fs = std::filesystem;

namespace {

// A random code as the dialog's box takes it: a whole number that fits a 32-bit integer.
bool ParseCode(const std::string& text) {
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  const int64_t value = std::stoll(text);
  return value >= 1 && value <= std::numeric_limits<int32_t>::max();
}

// "a", "b", "c" for a list of sheet names.
std::string QuotedList(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "\"" : ", \"") + name + "\"";
  return list;
}

std::string LowerExtension(const std::string& path) {
  std::string ext = fs::path(path).extension().string();
  for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return ext;
}

std::string Absolute(const std::string& path) {
  std::error_code ec;
  return fs::absolute(path, ec).lexically_normal().string();
}

// Rows of the range that the test could not take, by the reason RateRow gives.
struct LeftOutCounts {
  int32_t must_appear_off = 0;
  int32_t already_set = 0;
  int32_t exclusion_mark = 0;
};

// Counted once the test is made, and only when it fell short: a row the test's own rating found
// eligible (a weight of 0 or more in `weights`) was no left-out row, and only such rows get a
// times-set count from the test, so every other row still rates as it did before.
LeftOutCounts CountLeftOut(const host::Sheet& sheet, int32_t first, int32_t last,
                           const testgen::RatingOptions& options,
                           const std::vector<int32_t>& weights) {
  LeftOutCounts counts;
  for (int32_t row = first; row <= last; ++row) {
    if (row >= 0 && static_cast<size_t>(row) < weights.size() && weights[row] >= 0) continue;
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

// A record in the user's words: "3 marks, 2 tests".
std::string RecordText(const workbook::RecordSummary& record) {
  std::string text =
      TrN("%1 mark", "%1 marks", static_cast<long>(record.marks), {std::to_string(record.marks)}) +
      Tr(", ") +
      TrN("%1 test", "%1 tests", static_cast<long>(record.tests), {std::to_string(record.tests)});
  if (record.must > 0) {
    text += Tr(", ") + TrN("%1 must-appear mark", "%1 must-appear marks",
                           static_cast<long>(record.must), {std::to_string(record.must)});
  }
  return text;
}

std::string Points(double size) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", size);
  return text;
}

}  // namespace

struct CreateCommand::Job {
  explicit Job(Streams& s) : streams(s) {}
  Streams& streams;
  std::string book;      // absolute
  bool is_list = false;  // a .csv, .txt or .xls: its record is kept beside it
  std::string target;    // where the workbook with the test is saved
  bool want_pdf = false;
  std::string pdf;                           // "" = beside the saved workbook
  std::unique_ptr<host::WorkbookLock> lock;  // on `book`, from the read to the save
  std::unique_ptr<CommandSession> session;
  std::string question_sheet;  // its name in the saved workbook
  std::string renamed_from;    // the list sheet's own name, when it was renamed
  int32_t questions = 0;
  int64_t first = 1, last = 2;
  std::string code;  // the random code as the dialog took it
  bool drawn_code = false;
  testgen::KanjiForm1* form = nullptr;
  std::string test_sheet;
  std::string identification;
  int32_t placed = 0;
  std::string saved;  // the path written
  // The long questions, measured beside the save; declared after `session`, so it is waited for
  // before the workbook it reads goes.
  std::future<std::vector<testgen::LongQuestion>> long_questions;
};

CLI::App* CreateCommand::Register(CLI::App& app) {
  CLI::App* c =
      app.add_subcommand("create", Tr("Make a kanji test from a question workbook and save it"));
  c->add_option("book", book_,
                Tr("the question workbook (.xlsx, .xlsm), which gets the test and is saved in "
                   "place, or a list (.csv, .txt, .xls), whose record LIST.xlsx is made beside it"))
      ->required();
  c->add_option("--sheet", sheet_, Tr("the question sheet, when the workbook has several sheets"));
  c->add_option("--range", range_, Tr("question rows FIRST-LAST (default: every question)"));
  c->add_option("--count", count_, Tr("number of questions (default 40)"))
      ->transform(DecimalNumber())
      ->check(CLI::Range(1, 1000000));
  code_option_ =
      c->add_option("--code", code_,
                    Tr("random code that fixes the order, 1 to 2147483647 (default: a fresh code "
                       "each time, as the dialog's button makes one)"));
  c->add_flag("--random-code", random_code_, Tr("let the dialog make a random code (the default)"));
  c->add_option("--per-page", per_page_, Tr("questions per page: 40 or 20"))
      ->transform(DecimalNumber())
      ->check(CLI::IsMember({40, 20}));
  c->add_flag("--ignore-wrong", ignore_wrong_,
              Tr("wrong-answer counts do not order the questions"));
  c->add_flag("--exclude-asked", exclude_asked_, Tr("leave out questions already set once"));
  c->add_flag("--must-appear", must_appear_, Tr("set the must-appear questions first"));
  c->add_flag("--no-source", no_source_, Tr("no source note under each question"));
  c->add_option("-o,--output", out_,
                Tr("save the workbook with the test elsewhere: a .xlsx or .xlsm file, or a folder; "
                   "NAME.pdf saves NAME.xlsx and prints the test to NAME.pdf beside it"))
      ->check(NonEmptyPath());
  pdf_option_ =
      c->add_option("--pdf", pdf_,
                    Tr("also print the test to a PDF (default: beside the saved workbook)"))
          ->expected(0, 1);
  return c;
}

int CreateCommand::Fail(Job& job, const std::string& why, int code) {
  job.streams.err << "tessarin create: " << why << "\n";
  return code;
}

int CreateCommand::Run(Streams& streams) {
  // The whole book is read, changed and written again by this one short process: its model is
  // built in huge pages, and memory freed on the way is kept for the next use.
  host::BackHeapWithHugePages(size_t{64} << 20);
  // Qt's platform libraries load while the book is read: they are needed after the test is made.
  render::PreloadGuiPlatform();
  Job job(streams);
  for (int (CreateCommand::*step)(Job&) :
       {&CreateCommand::CheckOptions, &CreateCommand::ChooseTarget,
        &CreateCommand::OpenQuestionSheet, &CreateCommand::ChooseRange, &CreateCommand::MakeTest}) {
    if (const int code = (this->*step)(job); code != 0) return code;
  }
  StartLongQuestionCheck(job);
  if (const int code = SaveRecord(job); code != 0) return code;
  ReportTest(job);
  WarnLongQuestions(job);
  const int code = PrintPdf(job);
  if (streams.process_ends) {
    // Freeing a big book's model row by row takes longer than the exit giving it all back at
    // once. The book's lock is let go as always.
    job.lock.reset();
    static_cast<void>(job.session.release());
  }
  return code;
}

// Options that contradict each other or cannot be a code, before any file is touched.
int CreateCommand::CheckOptions(Job& job) {
  if (ignore_wrong_ && exclude_asked_)
    return Fail(job, Tr("--ignore-wrong and --exclude-asked cannot be used together"), 2);
  const bool given = code_option_->count() > 0;
  if (random_code_ && given) return Fail(job, Tr("give --code or --random-code, not both"), 2);
  if (given && !ParseCode(code_)) {
    return Fail(job, Tr("--code takes a whole number from 1 to 2147483647, not \"%1\"", {code_}),
                2);
  }
  job.drawn_code = !given;
  return 0;
}

// Where the test goes: BOOK itself, or a list's record beside it, or -o. A list whose record
// exists already is refused here, before anything is read.
int CreateCommand::ChooseTarget(Job& job) {
  std::error_code ec;
  job.book = Absolute(book_);
  if (fs::is_directory(job.book, ec))
    return Fail(job, Tr("%1 is a folder, not a workbook", {book_}));
  if (!fs::is_regular_file(job.book, ec)) return Fail(job, Tr("no such file: %1", {book_}));
  const std::string ext = LowerExtension(job.book);
  job.is_list = ext != ".xlsx" && ext != ".xlsm";
  // A list keeps its record in LIST.xlsx; a workbook is its own record.
  const std::string record = job.is_list ? ooxml::WorkbookFiles::SaveTarget(job.book) : job.book;
  job.want_pdf = pdf_option_->count() > 0;
  job.pdf = pdf_;

  if (out_.empty()) {
    if (job.is_list && fs::exists(record, ec)) {
      const std::string command = fs::path(book_).replace_extension(".xlsx").string();
      return Fail(job, Tr("the record of %1 is kept in %2, and nothing was changed; make the next "
                          "test from it: tessarin create %3",
                          {book_, record, command}));
    }
    job.target = record;
  } else if (fs::is_directory(out_, ec)) {
    job.target = (fs::path(Absolute(out_)) / fs::path(record).filename()).string();
  } else if (out_.back() == '/') {
    return Fail(job, Tr("no such folder: %1", {out_}));
  } else {
    const std::string out_ext = LowerExtension(out_);
    if (!out_ext.empty() && out_ext != ".xlsx" && out_ext != ".xlsm" && out_ext != ".pdf") {
      return Fail(
          job,
          Tr("cannot save the test as %1: only .xlsx and .xlsm workbooks (or a .pdf beside one) "
             "can be written",
             {out_}),
          2);
    }
    job.target = Absolute(out_);
    if (out_ext == ".pdf") {
      job.pdf = job.target;
      job.target = fs::path(job.target).replace_extension(".xlsx").string();
      job.want_pdf = true;
    }
  }
  return 0;
}

// Opens BOOK through the add-in and makes its question sheet the active sheet: the one --sheet
// names, the one question sheet, or a one-sheet list's sheet taken as the question sheet.
int CreateCommand::OpenQuestionSheet(Job& job) {
  // Held until the test is saved: the record is written back into this workbook.
  if (std::string p = LockBook(job.book, job.lock); !p.empty()) return Fail(job, p);
  job.session = std::make_unique<CommandSession>(job.streams.err);
  if (std::string p = job.session->OpenBook(job.book); !p.empty()) return Fail(job, p);
  host::Application& app = job.session->app();
  host::Workbook& book = app.ActiveWorkbook();

  std::vector<std::string> sheets, question_sheets;
  for (int i = 1; i <= book.SheetCount(); ++i) {
    sheets.push_back(book.Sheet(i).name());
    if (workbook::IsQuestionSheetName(sheets.back())) question_sheets.push_back(sheets.back());
  }
  host::Worksheet* chosen = nullptr;
  if (!sheet_.empty()) {
    if (std::find(sheets.begin(), sheets.end(), sheet_) == sheets.end()) {
      return Fail(
          job,
          Tr("the workbook has no sheet \"%1\"; its sheets are %2", {sheet_, QuotedList(sheets)}),
          2);
    }
    chosen = book.FindSheet(sheet_);
  } else if (question_sheets.size() == 1) {
    chosen = book.FindSheet(question_sheets.front());
  } else if (question_sheets.size() > 1) {
    return Fail(job,
                Tr("the workbook has several question sheets (%1); choose one with --sheet NAME",
                   {QuotedList(question_sheets)}));
  } else if ((chosen = workbook::FindListSheet(book)) == nullptr) {
    return Fail(
        job,
        Tr("the workbook has no question sheet (a sheet whose name starts with %1); choose the "
           "sheet that holds the questions with --sheet NAME: %2",
           {std::string(workbook::kProductWord), QuotedList(sheets)}));
  }
  const std::string own_name = chosen->name();
  job.question_sheet = workbook::TakeAsQuestionSheet(book, *chosen);
  if (job.question_sheet != own_name) job.renamed_from = own_name;
  job.session->Activate(job.question_sheet);
  app.Range("A1").Select();

  const host::Sheet sheet = app.ActiveSheet();
  while (job.questions < host::kMaxRows &&
         !host::ShowsNothing(sheet.worksheet(), job.questions + 1, workbook::kQuestionColumn)) {
    ++job.questions;
  }
  if (job.questions == 0) {
    return Fail(job, Tr("sheet \"%1\" holds no questions: write each question in column D from row "
                        "1, its answer in column E; the first empty D cell ends the list",
                        {job.renamed_from.empty() ? job.question_sheet : job.renamed_from}));
  }
  return 0;
}

// The rows the test draws from.
int CreateCommand::ChooseRange(Job& job) {
  job.last = std::max(job.questions, 2);
  if (!range_.empty()) {
    const size_t dash = range_.find('-');
    if (dash == std::string::npos)
      return Fail(job, Tr("--range takes FIRST-LAST, for example 1-50"), 2);
    auto a = host::ParseNumber(range_.substr(0, dash)),
         b = host::ParseNumber(range_.substr(dash + 1));
    if (!a || !b || *a < 1 || *b < 1 || *a > std::numeric_limits<int32_t>::max() ||
        *b > std::numeric_limits<int32_t>::max() || *a != std::floor(*a) || *b != std::floor(*b)) {
      return Fail(job, Tr("--range takes two row numbers from 1 to 2147483647, for example 1-50"),
                  2);
    }
    job.first = static_cast<int64_t>(*a);
    job.last = static_cast<int64_t>(*b);
  }
  return 0;
}

// Fills in the test creation dialog as a user would and presses 作成; a fresh code comes from
// the dialog's own 乱数コード作成 button.
int CreateCommand::MakeTest(Job& job) {
  job.session->ui().QueueForm("KanjiForm1", [&](forms::Form& form) {
    job.form = dynamic_cast<testgen::KanjiForm1*>(&form);
    form.UserType("T1", std::to_string(job.first));
    form.UserType("T2", std::to_string(job.last));
    form.UserType("T3", std::to_string(count_));
    if (job.drawn_code) {
      // "0000" is a code the box itself would refuse; the button is pressed again.
      do {
        form.UserClick("CommandButton4");
        job.code = form.Get<forms::TextBox>("T4").text();
      } while (!ParseCode(job.code));
    } else {
      form.UserType("T4", code_);
      job.code = code_;
    }
    form.UserCheck("CBox", ignore_wrong_);
    form.UserCheck("CheckBox1", exclude_asked_);
    form.UserCheck("CheckBox2", must_appear_);
    form.UserCheck("CheckBox3", !no_source_);
    form.UserToggle("TB1", per_page_ == 40);
    form.UserClick("CommandButton1");
  });
  if (std::string p = job.session->Call(&addin::Tessarin::START); !p.empty()) return Fail(job, p);
  if (job.form == nullptr) return Fail(job, Tr("the test creation dialog did not open"));

  const workbook::KanjiModule& module = job.session->addin().module();
  const testgen::TestSheetLayout& layout = testgen::CurrentLayout(module);
  job.test_sheet = std::string(layout.sheet_name);
  const host::Sheet test = job.session->app().Sheets().Item(job.test_sheet);
  job.identification = test.Range(layout.identification_cell).Text();
  job.placed = job.form->PlacedCount() - 1;
  return 0;
}

// Saves the workbook with the test: in place (the old file kept as .bak), as the list's record,
// or to -o. The record guard refuses to replace a record the workbook does not hold.
int CreateCommand::SaveRecord(Job& job) {
  host::Application& app = job.session->app();
  try {
    job.saved = app.SaveWorkbookAs(app.ActiveWorkbook(), job.target);
  } catch (const workbook::RecordConflict& refused) {
    return Fail(job, Tr("%1 holds a learner's record (%2) that this workbook does not hold, and "
                        "saving would lose it; nothing was changed. Save elsewhere with -o, or "
                        "make the test from it: tessarin create %1",
                        {refused.target(), RecordText(refused.record())}));
  } catch (const host::HostError& error) {
    return Fail(job, HostErrorText(error.description(), error.number()));
  }
  return 0;
}

void CreateCommand::ReportTest(const Job& job) {
  std::ostream& out = job.streams.out;
  const workbook::KanjiModule& module = job.session->addin().module();
  out << Tr("Opened %1 (%2 questions on sheet %3)",
            {job.book, std::to_string(job.questions),
             job.renamed_from.empty() ? job.question_sheet : job.renamed_from})
      << "\n";
  if (!job.renamed_from.empty()) {
    out << Tr("Took sheet %1 as the question sheet and named it %2 in the saved workbook",
              {job.renamed_from, job.question_sheet})
        << "\n";
  }
  out << TrN("Made the test %1 on sheet %2: %3 questions on %4 page",
             "Made the test %1 on sheet %2: %3 questions on %4 pages", module.PageCount,
             {job.identification, job.test_sheet, std::to_string(job.placed),
              std::to_string(module.PageCount)})
      << "\n";
  out << Tr("code %1 (`--code %1` makes this test again)", {job.code}) << "\n";
  if (job.placed < count_) {
    out << Tr("Set %1 of the %2 questions asked for:",
              {std::to_string(job.placed), std::to_string(count_)})
        << "\n";
    auto reason = [&](int32_t n, const std::string& text) {
      if (n > 0) out << "  - " << text << "\n";
    };
    const int64_t low = std::min(job.first, job.last),
                  high = std::min<int64_t>(std::max(job.first, job.last), job.questions);
    reason(count_ - module.RequestedCount,
           Tr("rows %1 to %2 hold %3 questions (the question list ends at row %4)",
              {std::to_string(low), std::to_string(high), std::to_string(module.RequestedCount),
               std::to_string(job.questions)}));
    if (module.CandidateCount < module.RequestedCount) {
      const LeftOutCounts left_out =
          CountLeftOut(job.session->app().Sheets().Item(job.question_sheet),
                       static_cast<int32_t>(low), static_cast<int32_t>(high),
                       {must_appear_, exclude_asked_, ignore_wrong_}, module.QuestionWeight);
      const int32_t marked = left_out.exclusion_mark, must = left_out.must_appear_off,
                    set = left_out.already_set;
      reason(marked, TrN("%1 row has an exclusion mark (%2)", "%1 rows have an exclusion mark (%2)",
                         marked, {std::to_string(marked), workbook::ExclusionMarkersText()}));
      reason(must, TrN("%1 must-appear row is left out without --must-appear",
                       "%1 must-appear rows are left out without --must-appear", must,
                       {std::to_string(must)}));
      reason(set, TrN("%1 row already set is left out with --exclude-asked",
                      "%1 rows already set are left out with --exclude-asked", set,
                      {std::to_string(set)}));
    }
    const int32_t blank = std::min(module.RequestedCount, module.CandidateCount) - job.placed;
    reason(blank, TrN("%1 chosen question shows no text and takes no place",
                      "%1 chosen questions show no text and take no place", blank,
                      {std::to_string(blank)}));
  }
  out << Tr("Saved %1", {job.saved}) << "\n";
  if (job.is_list && job.saved == ooxml::WorkbookFiles::SaveTarget(job.book)) {
    const std::string command = fs::path(book_).replace_extension(".xlsx").string();
    out << Tr("%1 now keeps the record of %2 (marks, times set); make the next tests from it: "
              "tessarin create %3",
              {job.saved, book_, command})
        << "\n";
  }
}

namespace {

// The test's questions that print too small, measured with the fonts they print in.
std::vector<testgen::LongQuestion> MeasureLongQuestions(workbook::KanjiModule& module,
                                                        const testgen::KanjiForm1& form) {
  render::FontCatalog fonts;
  return testgen::FindLongQuestions(module, form,
                                    [&](const host::Worksheet& sheet, int32_t row, int32_t col) {
                                      return render::ShrinkFactor(fonts, sheet, row, col);
                                    });
}

}  // namespace

// The questions are measured while the record is saved: font files are loaded and text shaped on
// a second thread, and both only read the workbook (once written, the save changes the
// workbook's name and stamps, which the check never reads). When the Qt application could fail
// to start (another platform is named), it is made after the save as before, so that a failure
// there never costs the record.
void CreateCommand::StartLongQuestionCheck(Job& job) {
  if (!render::GuiApplicationIsSafe()) return;
  render::EnsureGuiApplication();
  try {
    job.long_questions = std::async(std::launch::async, MeasureLongQuestions,
                                    std::ref(job.session->addin().module()), std::cref(*job.form));
  } catch (const std::system_error&) {
    // No thread to be had: measured after the save instead.
  }
}

// Questions that print too small to read, each named by its row on the question sheet.
void CreateCommand::WarnLongQuestions(Job& job) {
  std::vector<testgen::LongQuestion> found;
  if (job.long_questions.valid()) {
    found = job.long_questions.get();
  } else {
    render::EnsureGuiApplication();
    found = MeasureLongQuestions(job.session->addin().module(), *job.form);
  }
  for (const testgen::LongQuestion& q : found) {
    job.streams.err << Tr("warning: row %1: the question has %2 characters and prints at %3 pt "
                          "instead of %4 pt; shorten it to keep it readable",
                          {std::to_string(q.row), std::to_string(q.length), Points(q.printed_size),
                           Points(q.font_size)})
                    << "\n";
  }
}

int CreateCommand::PrintPdf(Job& job) {
  if (!job.want_pdf) return 0;
  const std::string pdf =
      job.pdf.empty() ? fs::path(job.saved).replace_extension(".pdf").string() : Absolute(job.pdf);
  int pages = 0;
  try {
    render::EnsureGuiApplication();
    pages = render::WritePdf(job.session->app().Sheets().Item(job.test_sheet).worksheet(), pdf);
  } catch (const host::HostError& error) {
    return Fail(job, HostErrorText(error.description(), error.number()));
  }
  job.streams.out << TrN("Printed the test to %1 (%2 page)", "Printed the test to %1 (%2 pages)",
                         pages, {pdf, std::to_string(pages)})
                  << "\n";
  return 0;
}

}  // namespace tessarin::cli
