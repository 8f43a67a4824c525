// answers, mark and report: the add-in's after-the-test commands, called directly.
#include "app/cli/marking_commands.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>
#include <unordered_map>

#include "app/cli/book_lock.h"
#include "app/cli/command_session.h"
#include "app/cli/messages.h"
#include "app/cli/print_command.h"
#include "core/addin/tessarin.h"
#include "core/host/address.h"
#include "core/host/application.h"
#include "core/host/host_error.h"
#include "core/marking/answer_key.h"
#include "core/marking/question_index.h"
#include "core/reports/repeat_kanji.h"
#include "core/workbook/question_sheet.h"
#include "render/gui_session.h"
#include "render/stroke_key.h"

namespace tessarin::cli {
namespace fs = std::filesystem;

namespace {

// A workbook opened through the add-in with its test sheet active.
struct OpenedTest {
  explicit OpenedTest(std::ostream& warnings) : session(warnings) {}
  std::unique_ptr<host::WorkbookLock> lock;  // held from the read to the save
  CommandSession session;
  std::string book;
  std::string test_sheet;
};

std::string Absolute(const std::string& path) {
  std::error_code ec;
  return fs::absolute(path, ec).string();
}

// Opens the book and activates the test sheet the options name; the problem, or "".
std::string OpenTest(const TestSheetOptions& options, OpenedTest& opened) {
  opened.book = Absolute(options.book);
  std::error_code ec;
  if (!fs::is_regular_file(opened.book, ec)) return Tr("no such file: %1", {options.book});
  if (std::string p = LockBook(opened.book, opened.lock); !p.empty()) return p;
  if (std::string p = opened.session.OpenBook(opened.book); !p.empty()) return p;

  host::Application& app = opened.session.app();
  auto exists = [&](std::string_view name) {
    return app.ActiveWorkbook().FindSheet(name) != nullptr;
  };
  const bool has40 = exists(workbook::kTestSheet40), has20 = exists(workbook::kTestSheet20);
  std::string_view sheet;
  if (options.sheet != 0) {
    sheet = options.sheet == 40 ? workbook::kTestSheet40 : workbook::kTestSheet20;
    if (!exists(sheet)) return Tr("the workbook has no sheet %1", {std::string(sheet)});
  } else if (has40 && has20) {
    const std::string& active = app.ActiveSheet().Name();
    sheet = active == workbook::kTestSheet20 ? workbook::kTestSheet20 : workbook::kTestSheet40;
  } else if (has40 || has20) {
    sheet = has40 ? workbook::kTestSheet40 : workbook::kTestSheet20;
  } else {
    return Tr("the workbook has no test sheet; make a test first (tessarin create)");
  }
  opened.test_sheet = sheet;
  return Attempt([&] { opened.session.Activate(opened.test_sheet); });
}

// Saves in place (the replaced file stays as the backup) or to `out`; the problem, or "".
std::string SaveBook(OpenedTest& opened, const std::string& out, std::ostream& report) {
  std::error_code ec;
  const std::string target = out.empty() ? "" : fs::absolute(out, ec).lexically_normal().string();
  std::string written;
  if (std::string p = opened.session.Save(target, &written); !p.empty()) return p;
  report << Tr("Saved %1", {written}) << "\n";
  return "";
}

// The cell of each question number on test sheet `sheet`: the number row holds the number, the
// question lies below it. A number written twice counts where it is met first, row by row from
// the top, each row from column T leftwards.
std::unordered_map<int, host::CellRef> QuestionCells(const host::Sheet& sheet) {
  std::unordered_map<int, host::CellRef> cells;
  const int32_t last_row = sheet.worksheet().UsedArea().bottom;
  for (int32_t row = 1; row <= last_row; row += 4) {
    for (int32_t col = 20; col >= 1; --col) {
      const host::CellValue value = sheet.worksheet().Value(row, col);
      if (value.type != host::ValueType::kNumber) continue;
      const double number = value.number;
      if (number >= 1 && number <= std::numeric_limits<int>::max() && number == std::floor(number))
        cells.try_emplace(static_cast<int>(number), host::CellRef{row + 1, col});
    }
  }
  return cells;
}

// Writes the stroke-order answer key of the opened test to `path`; the problem, or "".
std::string WriteStrokeKey(OpenedTest& opened, const std::string& path, std::ostream& report) {
  host::Application& app = opened.session.app();
  std::string problem;
  if (QuestionSheetName(app, &problem).empty()) return problem;
  render::EnsureGuiApplication();
  if (!render::StrokeFontInstalled()) {
    return Tr(
        "the stroke-order font %1 is not installed; install it with: apt-get install "
        "fonts-kanjistrokeorders",
        {std::string(render::kStrokeFontFamily)});
  }
  try {
    std::string title;
    const auto key = marking::ReadAnswerKey(app, opened.test_sheet, &title);
    if (key.empty()) return Tr("the test sheet %1 holds no question", {opened.test_sheet});
    const int pages = render::WriteStrokeKeyPdf(title, key, Absolute(path));
    report << TrN("Wrote the stroke-order answer key to %1 (%2 page)",
                  "Wrote the stroke-order answer key to %1 (%2 pages)", pages,
                  {Absolute(path), std::to_string(pages)})
           << "\n";
  } catch (const host::HostError& e) {
    return HostErrorText(e.description(), e.number());
  }
  return "";
}

// Question numbers as the parser checks them; its own positive-number check names a range up to
// the largest double, digits by the hundred.
const CLI::Range kQuestionNumbers(1, std::numeric_limits<int>::max());

}  // namespace

void TestSheetOptions::Add(CLI::App& command) {
  command.add_option("book", book, Tr("the workbook with the test sheet (.xlsx)"))->required();
  command.add_option("--sheet", sheet, Tr("the test sheet: 40 or 20 (default: the one there is)"))
      ->transform(DecimalNumber())
      ->check(CLI::IsMember({40, 20}));
  command.add_option("-o,--output", out, Tr("save to this file instead of over BOOK"))
      ->check(NonEmptyPath());
}

CLI::App* AnswersCommand::Register(CLI::App& app) {
  CLI::App* c = app.add_subcommand(
      "answers", Tr("Show the answers on the test sheet, or erase them, and save"));
  options_.Add(*c);
  c->add_flag("--show", show_, Tr("write every answer below its question"));
  c->add_flag("--erase", erase_, Tr("empty the answer cells again"));
  c->add_option(
       "--pdf", pdf_,
       Tr("with --show, also print the test sheet with its answers (the answer key) to this PDF"))
      ->check(NonEmptyPath());
  c->add_option("--strokes", strokes_,
                Tr("write the answers in test order with every kanji in the stroke-order font "
                   "(each stroke numbered) to this PDF"))
      ->check(NonEmptyPath());
  return c;
}

int AnswersCommand::Run(Streams& streams) {
  auto fail = [&](const std::string& why, int code = 1) {
    streams.err << "tessarin answers: " << why << "\n";
    return code;
  };
  if (show_ && erase_) return fail(Tr("give one of --show and --erase"), 2);
  if (!show_ && !erase_ && strokes_.empty())
    return fail(Tr("give one of --show and --erase, or --strokes"), 2);
  if (!pdf_.empty() && !show_)
    return fail(Tr("--pdf prints the answer key, so it goes with --show"), 2);
  OpenedTest opened(streams.err);
  if (std::string p = OpenTest(options_, opened); !p.empty()) return fail(p);
  if (!strokes_.empty()) {
    if (std::string p = WriteStrokeKey(opened, strokes_, streams.out); !p.empty()) return fail(p);
    if (!show_ && !erase_) return 0;
  }
  host::Application& app = opened.session.app();
  addin::Tessarin& addin = opened.session.addin();
  // The add-in leaves the selection where the user had it; the command starts at the top.
  app.Range("A1").Select();
  const AddinCall call = show_ ? opened.session.Run("InPutAns", [&] { return addin.InPutAns(); })
                               : opened.session.Run("ANS_DEL", [&] { return addin.ANS_DEL(); });
  if (std::string p = call.Problem(); !p.empty()) return fail(p);
  streams.out << (show_ ? Tr("Showed the answers on %1", {opened.test_sheet})
                        : Tr("Erased the answers on %1", {opened.test_sheet}))
              << "\n";
  if (std::string p = SaveBook(opened, options_.out, streams.out); !p.empty()) return fail(p);
  if (!pdf_.empty()) {
    int pages = 0;
    if (std::string p = PrintSheetTo(app, opened.test_sheet, pdf_, 100, pages); !p.empty())
      return fail(p);
    streams.out << TrN("Printed the answer key to %1 (%2 page)",
                       "Printed the answer key to %1 (%2 pages)", pages,
                       {Absolute(pdf_), std::to_string(pages)})
                << "\n";
  }
  return 0;
}

CLI::App* MarkCommand::Register(CLI::App& app) {
  CLI::App* c = app.add_subcommand(
      "mark", Tr("Mark questions of the test wrong or must-appear, by their numbers, and save"));
  options_.Add(*c);
  c->add_option("--wrong", wrong_, Tr("numbers of the questions answered wrongly (3,7,12)"))
      ->delimiter(',')
      ->transform(DecimalNumber())
      ->check(kQuestionNumbers);
  c->add_option("--must", must_, Tr("numbers of the questions that must appear in every test"))
      ->delimiter(',')
      ->transform(DecimalNumber())
      ->check(kQuestionNumbers);
  return c;
}

int MarkCommand::Run(Streams& streams) {
  auto fail = [&](const std::string& why, int code = 1) {
    streams.err << "tessarin mark: " << why << "\n";
    return code;
  };
  if (wrong_.empty() && must_.empty())
    return fail(Tr("give --wrong or --must with question numbers"), 2);
  // Each mark adds an "X", so a number typed twice would count one mistake twice.
  for (const std::vector<int>* numbers : {&wrong_, &must_}) {
    std::vector<int> sorted = *numbers;
    std::sort(sorted.begin(), sorted.end());
    if (auto twice = std::adjacent_find(sorted.begin(), sorted.end()); twice != sorted.end()) {
      return fail(Tr("question %1 is given twice", {std::to_string(*twice)}), 2);
    }
  }
  OpenedTest opened(streams.err);
  if (std::string p = OpenTest(options_, opened); !p.empty()) return fail(p);
  host::Application& app = opened.session.app();
  addin::Tessarin& addin = opened.session.addin();
  const host::Sheet test = app.Sheets().Item(opened.test_sheet);

  // Every number is found before anything is marked, so a typing slip changes nothing.
  struct Job {
    int number;
    bool wrong;
    host::CellRef cell;
  };
  std::vector<Job> jobs;
  const std::unordered_map<int, host::CellRef> cells = QuestionCells(test);
  for (const auto& [numbers, wrong] : {std::pair{&wrong_, true}, std::pair{&must_, false}}) {
    for (int number : *numbers) {
      const auto cell = cells.find(number);
      if (cell == cells.end())
        return fail(
            Tr("there is no question %1 on %2", {std::to_string(number), opened.test_sheet}));
      // An emptied question cell would be marked silently: the add-in finds no row for it.
      if (test.Cells(cell->second.row, cell->second.col).Text().empty()) {
        return fail(Tr("question %1 on %2 has no question text. Nothing was saved.",
                       {std::to_string(number), opened.test_sheet}));
      }
      jobs.push_back({number, wrong, cell->second});
    }
  }
  // Marks write only columns F to R of the question sheet, so one index of its column D serves
  // every mark. Without a single question sheet the add-in's own message stops the first mark.
  std::string no_sheet;
  const std::string question_sheet = QuestionSheetName(app, &no_sheet);
  std::optional<marking::QuestionIndex> index;
  if (!question_sheet.empty()) index.emplace(app.Sheets().Item(question_sheet));

  for (const Job& job : jobs) {
    if (app.ActiveSheet().Name() != opened.test_sheet) {
      test.Activate();
      std::string name = opened.test_sheet;
      addin.SheetActivate(name);
    }
    const std::string question = test.Cells(job.cell.row, job.cell.col).Text();
    test.Cells(job.cell.row, job.cell.col).Select();
    const AddinCall call = opened.session.Run(job.wrong ? "ThisQSisNG" : "ThisQSisHITU", [&] {
      if (!index) return job.wrong ? addin.ThisQSisNG() : addin.ThisQSisHITU();
      return job.wrong ? addin.ThisQSisNGWith(*index) : addin.ThisQSisHITUWith(*index);
    });
    if (std::string p = call.Problem(); !p.empty()) {
      return fail(
          Tr("question %1 (%2): %3 Nothing was saved.", {std::to_string(job.number), question, p}));
    }
    // Marking wrong leaves the test sheet active unless the ten mark cells were already full.
    if (job.wrong && app.ActiveSheet().Name() != opened.test_sheet) {
      return fail(Tr("question %1 (%2): its ten mark cells F to O are full. Nothing was saved.",
                     {std::to_string(job.number), question}));
    }
    const std::string number = std::to_string(job.number);
    streams.out << (job.wrong ? Tr("Question %1 (%2): marked wrong", {number, question})
                              : Tr("Question %1 (%2): marked must-appear", {number, question}))
                << "\n";
  }
  if (std::string p = SaveBook(opened, options_.out, streams.out); !p.empty()) return fail(p);
  return 0;
}

CLI::App* ReportCommand::Register(CLI::App& app) {
  CLI::App* c =
      app.add_subcommand("report", Tr("Print a report on the question sheet (nothing is saved)"));
  c->add_option("book", book_, Tr("the question workbook"))->required();
  c->add_option("report", report_,
                Tr("mistakes (wrong answers per attempt), must (must-appear total) or duplicates"))
      ->required()
      ->check(CLI::IsMember({"mistakes", "must", "duplicates"}));
  return c;
}

int ReportCommand::Run(Streams& streams) {
  auto fail = [&](const std::string& why) {
    streams.err << "tessarin report: " << why << "\n";
    return 1;
  };
  const std::string book = Absolute(book_);
  std::error_code ec;
  if (!fs::is_regular_file(book, ec)) return fail(Tr("no such file: %1", {book_}));
  CommandSession session(streams.err);
  if (std::string p = session.OpenBook(book); !p.empty()) return fail(p);
  std::string problem;
  const std::string question_sheet = QuestionSheetName(session.app(), &problem);
  if (question_sheet.empty()) return fail(problem);
  host::Application& app = session.app();
  addin::Tessarin& addin = session.addin();
  if (report_ == "duplicates") {
    // Written out group by group as it is made: a report can be far larger than memory.
    const reports::AnswerColumn rows = reports::ReadAnswerColumn(app.Sheets().Item(question_sheet));
    bool any = false;
    reports::WriteDuplicateReport(rows, "\n", [&](std::string_view group) {
      if (any) streams.out << "\n";
      streams.out << group;
      any = true;
    });
    if (!any) streams.out << "重複なし\n";
    return streams.out.good() ? 0 : fail(Tr("the report could not be written"));
  }
  // With nothing queued every "go on?" takes its first button, Yes: the chain stops by itself
  // at an attempt without marks or at attempt 10.
  const AddinCall call = report_ == "mistakes"
                             ? session.Run("NG_Report", [&] { return addin.NG_Report(); })
                             : session.Run("HITU_Report", [&] { return addin.HITU_Report(); });
  // The report is the add-in's boxes: each a message, the "go on?" questions left out.
  if (!call.failure.empty()) return fail(call.failure);
  for (const CommandUi::Message& box : call.messages) {
    if (box.buttons == forms::MsgBoxButtons::kYesNo) continue;
    std::string text = box.text;
    std::erase(text, '\r');
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    streams.out << text << "\n";
  }
  return 0;
}

}  // namespace tessarin::cli
