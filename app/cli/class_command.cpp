// ClassCommand: the class folder, the create and mark subcommands run per learner, the report.
#include "app/cli/class_command.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "app/cli/command_line.h"
#include "app/cli/create_command.h"
#include "app/cli/marking_commands.h"
#include "app/cli/messages.h"
#include "core/host/host_error.h"
#include "core/ooxml/workbook_io.h"
#include "core/reports/class_record.h"
#include "core/testgen/learner_name.h"
#include "core/workbook/question_sheet.h"
#include "render/class_report_pdf.h"
#include "render/gui_session.h"
#include "render/pdf_document.h"

namespace tessarin::cli {
namespace fs = std::filesystem;

namespace {

// More learners than this and each one is announced on the error stream as it is served.
constexpr size_t kQuietLearners = 5;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Columns in a terminal: East Asian characters take two.
size_t DisplayWidth(std::string_view text) {
  size_t width = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c & 0xC0) == 0x80) continue;
    width += c >= 0xE1 ? 2 : 1;  // three- and four-byte sequences from U+1000 on
  }
  return width;
}

// Rows of cells as a table with aligned columns: the first left, the others right.
void PrintTable(std::ostream& out, const std::vector<std::vector<std::string>>& rows) {
  std::vector<size_t> widths;
  for (const auto& row : rows) {
    widths.resize(std::max(widths.size(), row.size()));
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], DisplayWidth(row[i]));
  }
  for (const auto& row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      const std::string pad(widths[i] - DisplayWidth(row[i]), ' ');
      line += i == 0 ? row[i] + pad : "  " + pad + row[i];
    }
    out << line << "\n";
  }
}

// Runs `command` as the command line would run `tessarin ARGS...`, keeping what it says.
int RunSubcommand(Command& command, const std::vector<std::string>& args, std::string* out,
                  std::string* err) {
  CLI::App app("tessarin", "tessarin");
  command.Register(app);
  std::vector<const char*> argv = {"tessarin"};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::ParseError& e) {
    *err = e.what();
    return kExitUsage;
  }
  std::istringstream in;
  std::ostringstream o, e;
  Streams streams{in, o, e};
  const int code = command.Run(streams);
  *out = o.str();
  *err = e.str();
  return code;
}

// What a subcommand's error stream says, without its "tessarin NAME: " prefixes, on one line.
std::string Reason(std::string text) {
  std::string out;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty()) continue;
    if (line.rfind("tessarin ", 0) == 0) {
      if (const size_t colon = line.find(": "); colon != std::string::npos)
        line.erase(0, colon + 2);
    }
    out += (out.empty() ? "" : " ") + line;
  }
  return out;
}

// Four-digit codes, a different one for every learner.
std::vector<int> DistinctCodes(size_t count) {
  std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<int> four_digits(1000, 9999);
  std::set<int> taken;
  std::vector<int> codes;
  while (codes.size() < count) {
    const int code = four_digits(random);
    if (taken.insert(code).second || taken.size() >= 9000) codes.push_back(code);
  }
  return codes;
}

// Questions placed on a test sheet: the filled question cells of its strips.
int CountQuestions(const host::Worksheet& test) {
  int questions = 0;
  const int32_t last = test.UsedArea().bottom;
  for (int32_t row = 2; row <= last; row += 4) {
    for (int32_t col = 1; col <= 20; ++col)
      questions += test.Value(row, col).type != host::ValueType::kEmpty;
  }
  return questions;
}

// Announces learner `i` of `count` on the error stream when the class is more than a few.
void Progress(std::ostream& err, size_t i, size_t count, const std::string& name) {
  if (count > kQuietLearners) {
    err << Tr("[%1/%2] %3", {std::to_string(i + 1), std::to_string(count), name}) << "\n";
  }
}

}  // namespace

std::vector<Learner> ListLearners(const std::string& folder) {
  std::vector<Learner> learners;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    const fs::path& path = entry.path();
    const std::string file = path.filename().string();
    const std::string ext = Lower(path.extension().string());
    if (file.starts_with(".") || file.starts_with("~$") || (ext != ".xlsx" && ext != ".xlsm"))
      continue;
    std::error_code ec;
    if (!entry.is_regular_file(ec)) continue;
    learners.push_back({path.stem().string(), fs::absolute(path).string()});
  }
  std::sort(learners.begin(), learners.end(),
            [](const Learner& a, const Learner& b) { return a.name < b.name; });
  return learners;
}

std::vector<MarkLine> ParseMarks(const std::string& text) {
  std::vector<MarkLine> lines;
  std::istringstream in(text.starts_with("\xEF\xBB\xBF") ? text.substr(3) : text);
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    MarkLine mark;
    mark.line = number;
    const size_t comma = line.find(',');
    mark.name = line.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    mark.name.erase(mark.name.find_last_not_of(" \t") + 1);
    std::string rest = comma == std::string::npos ? "" : line.substr(comma + 1);
    std::replace(rest.begin(), rest.end(), ',', ' ');
    std::replace(rest.begin(), rest.end(), '\t', ' ');
    std::istringstream numbers(rest);
    for (std::string token; numbers >> token;) {
      const bool digits =
          token.size() <= 9 && token.find_first_not_of("0123456789") == std::string::npos;
      if (!digits || std::stoi(token) == 0) {
        mark.problem =
            Tr("line %1: \"%2\" is not a question number", {std::to_string(number), token});
        break;
      }
      mark.wrong.push_back(std::stoi(token));
    }
    if (mark.name.empty() && mark.problem.empty())
      mark.problem = Tr("line %1 names no learner", {std::to_string(number)});
    lines.push_back(std::move(mark));
  }
  return lines;
}

CLI::App* ClassCommand::Register(CLI::App& app) {
  CLI::App* c = app.add_subcommand(
      "class", Tr("Serve a whole class: a folder with one question workbook per learner, named "
                  "by the learner"));
  c->require_subcommand(1);
  const std::string folder_help = Tr("the class folder: one workbook a learner (NAME.xlsx)");

  create_ = c->add_subcommand(
      "create", Tr("Make every learner's next test from their own record, save each workbook and "
                   "print all tests to one PDF"));
  create_->add_option("folder", folder_, folder_help)->required();
  create_->add_option("--count", count_, Tr("number of questions (default 40)"))
      ->check(CLI::Range(1, 1000000));
  create_->add_flag("--twenty", twenty_, Tr("20 questions a page (default: 40)"));
  create_->add_option("-o,--output", out_, Tr("the PDF with every learner's pages, in name order"))
      ->required();

  mark_ = c->add_subcommand(
      "mark", Tr("Record every learner's wrong answers from a file of lines NAME,3 7 12"));
  mark_->add_option("folder", folder_, folder_help)->required();
  mark_->add_option("marks", marks_, Tr("the marks file (.csv): one line a learner"))->required();

  report_ = c->add_subcommand(
      "report", Tr("Show every learner's tests and mistakes and the kanji most learners missed"));
  report_->add_option("folder", folder_, folder_help)->required();
  report_->add_option("--pdf", pdf_, Tr("also write the report with a chart to this PDF"));
  for (CLI::App* sub : {create_, mark_, report_}) sub->get_help_ptr()->group(Tr("Options"));
  return c;
}

int ClassCommand::Run(Streams& streams) {
  const std::string name = create_->parsed() ? "create" : mark_->parsed() ? "mark" : "report";
  std::error_code ec;
  if (!fs::is_directory(folder_, ec)) {
    streams.err << "tessarin class " << name << ": " << Tr("no such folder: %1", {folder_}) << "\n";
    return 1;
  }
  std::vector<Learner> learners;
  try {
    learners = ListLearners(folder_);
  } catch (const fs::filesystem_error& e) {
    streams.err << "tessarin class " << name << ": " << e.what() << "\n";
    return 1;
  }
  if (learners.empty()) {
    streams.err << "tessarin class " << name << ": "
                << Tr("the folder %1 holds no learner's workbook (NAME.xlsx)", {folder_}) << "\n";
    return 1;
  }
  if (create_->parsed()) return RunCreate(streams, learners);
  if (mark_->parsed()) return RunMark(streams, learners);
  return RunReport(streams, learners);
}

int ClassCommand::RunCreate(Streams& streams, const std::vector<Learner>& learners) {
  render::EnsureGuiApplication();
  const std::string pdf_path = fs::absolute(out_).string();
  render::PdfDocument pdf(Tr("Tests of %1", {fs::path(folder_).filename().string()}));
  const std::string test_sheet(twenty_ ? workbook::kTestSheet20 : workbook::kTestSheet40);
  const std::vector<int> codes = DistinctCodes(learners.size());
  std::vector<std::vector<std::string>> table = {
      {Tr("Learner"), Tr("Code"), Tr("Questions"), Tr("Pages")}};
  int failed = 0;
  ooxml::WorkbookFiles files;
  for (size_t i = 0; i < learners.size(); ++i) {
    const Learner& learner = learners[i];
    Progress(streams.err, i, learners.size(), learner.name);
    auto fail = [&](const std::string& why) {
      streams.err << "tessarin class create: " << learner.name << ": " << why << "\n";
      ++failed;
    };
    // The test is made and saved as `tessarin create` makes one, with the learner's own code.
    CreateCommand create;
    std::vector<std::string> args = {"create",  learner.book,
                                     "--code",  std::to_string(codes[i]),
                                     "--count", std::to_string(count_)};
    if (twenty_) args.insert(args.end(), {"--per-page", "20"});
    std::string out, err;
    if (RunSubcommand(create, args, &out, &err) != 0) {
      fail(Reason(err));
      continue;
    }
    // The saved test, read back, is printed with the learner's name; the file keeps no name.
    try {
      std::unique_ptr<host::Workbook> book = files.Open(learner.book);
      host::Worksheet* test = book->FindSheet(test_sheet);
      if (test == nullptr) {
        fail(Tr("the saved workbook has no sheet %1", {test_sheet}));
        continue;
      }
      testgen::WriteLearnerName(*test, learner.name);
      const int pages = render::AppendPrintPages(pdf, *test);
      table.push_back({learner.name, std::to_string(codes[i]),
                       std::to_string(CountQuestions(*test)), std::to_string(pages)});
    } catch (const host::HostError& e) {
      fail(HostErrorText(e.description(), e.number()));
    }
  }
  PrintTable(streams.out, table);
  if (pdf.pages() > 0) {
    try {
      pdf.Save(pdf_path);
    } catch (const host::HostError& e) {
      streams.err << "tessarin class create: " << HostErrorText(e.description(), e.number())
                  << "\n";
      return 1;
    }
    const size_t served = table.size() - 1;
    streams.out << TrN("Printed the tests of %1 learner to %2 (%3 pages)",
                       "Printed the tests of %1 learners to %2 (%3 pages)",
                       static_cast<long>(served),
                       {std::to_string(served), pdf_path, std::to_string(pdf.pages())})
                << "\n";
  }
  return failed == 0 ? 0 : 1;
}

int ClassCommand::RunMark(Streams& streams, const std::vector<Learner>& learners) {
  std::ifstream file(marks_, std::ios::binary);
  if (!file) {
    streams.err << "tessarin class mark: " << Tr("cannot read %1", {marks_}) << "\n";
    return 1;
  }
  std::stringstream text;
  text << file.rdbuf();
  std::map<std::string, const Learner*> by_name;
  for (const Learner& learner : learners) by_name[learner.name] = &learner;
  std::map<std::string, int> seen;  // learner name -> the line that named them first
  const std::vector<MarkLine> lines = ParseMarks(text.str());
  int failed = 0;
  auto refuse = [&](const std::string& why) {
    streams.err << "tessarin class mark: " << why << "\n";
    ++failed;
  };
  for (size_t i = 0; i < lines.size(); ++i) {
    const MarkLine& line = lines[i];
    Progress(streams.err, i, lines.size(), line.name);
    if (!line.problem.empty()) {
      refuse(line.problem);
      continue;
    }
    const std::string number = std::to_string(line.line);
    const auto learner = by_name.find(line.name);
    if (learner == by_name.end()) {
      refuse(Tr("line %1: no learner named %2 in %3", {number, line.name, folder_}));
      continue;
    }
    // A second line for a learner would mark their test twice.
    if (auto [first, fresh] = seen.emplace(line.name, line.line); !fresh) {
      refuse(Tr("line %1: %2 was marked on line %3 already; this line changes nothing",
                {number, line.name, std::to_string(first->second)}));
      continue;
    }
    if (line.wrong.empty()) {
      streams.out << Tr("%1: no wrong answers", {line.name}) << "\n";
      continue;
    }
    std::string numbers;
    for (int n : line.wrong) numbers += (numbers.empty() ? "" : ",") + std::to_string(n);
    // Marked as `tessarin mark` marks: every number is checked before anything is written.
    MarkCommand mark;
    std::string out, err;
    if (RunSubcommand(mark, {"mark", learner->second->book, "--wrong", numbers}, &out, &err) != 0) {
      refuse(Tr("line %1: %2: %3; nothing was changed for this learner",
                {number, line.name, Reason(err)}));
      continue;
    }
    streams.out << TrN("%1: marked %2 wrong answer", "%1: marked %2 wrong answers",
                       static_cast<long>(line.wrong.size()),
                       {line.name, std::to_string(line.wrong.size())})
                << "\n";
  }
  return failed == 0 ? 0 : 1;
}

int ClassCommand::RunReport(Streams& streams, const std::vector<Learner>& learners) {
  reports::ClassRecord record;
  ooxml::WorkbookFiles files;
  int failed = 0;
  for (size_t i = 0; i < learners.size(); ++i) {
    const Learner& learner = learners[i];
    Progress(streams.err, i, learners.size(), learner.name);
    try {
      const std::unique_ptr<host::Workbook> book = files.Open(learner.book);
      const host::Worksheet* questions = reports::FindQuestionSheetIn(*book);
      if (questions == nullptr) {
        streams.err << "tessarin class report: " << learner.name << ": "
                    << Tr("no single question sheet (a sheet whose name starts with %1)",
                          {std::string(workbook::kProductWord)})
                    << "\n";
        ++failed;
        continue;
      }
      record.AddLearner(learner.name, *questions);
    } catch (const host::HostError& e) {
      streams.err << "tessarin class report: " << learner.name << ": "
                  << HostErrorText(e.description(), e.number()) << "\n";
      ++failed;
    }
  }
  std::vector<std::vector<std::string>> table = {{Tr("Learner"), Tr("Tests"), Tr("Mistakes")}};
  for (const reports::LearnerSummary& learner : record.learners()) {
    table.push_back(
        {learner.name, std::to_string(learner.tests), std::to_string(learner.mistakes)});
  }
  PrintTable(streams.out, table);
  const std::vector<reports::MissedKanji> missed = record.MostMissed();
  streams.out << "\n";
  if (missed.empty()) {
    streams.out << Tr("No learner has a wrong answer yet.") << "\n";
  } else {
    std::vector<std::vector<std::string>> kanji = {{Tr("Kanji"), Tr("Learners who missed it")}};
    for (const reports::MissedKanji& k : missed)
      kanji.push_back({k.kanji, std::to_string(k.learners)});
    PrintTable(streams.out, kanji);
  }
  if (!pdf_.empty()) {
    render::EnsureGuiApplication();
    const std::string path = fs::absolute(pdf_).string();
    try {
      const int pages = render::WriteClassReportPdf(
          record,
          "クラスの記録　" + fs::path(fs::absolute(folder_)).lexically_normal().filename().string(),
          path);
      streams.out << "\n"
                  << TrN("Wrote the class report to %1 (%2 page)",
                         "Wrote the class report to %1 (%2 pages)", pages,
                         {path, std::to_string(pages)})
                  << "\n";
    } catch (const host::HostError& e) {
      streams.err << "tessarin class report: " << HostErrorText(e.description(), e.number())
                  << "\n";
      return 1;
    }
  }
  return failed == 0 ? 0 : 1;
}

}  // namespace tessarin::cli
