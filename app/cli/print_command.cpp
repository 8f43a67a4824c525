// PrintCommand: open, then the print step.
#include "app/cli/print_command.h"

#include <filesystem>

#include "app/cli/command_session.h"
#include "app/cli/messages.h"
#include "core/host/application.h"
#include "core/workbook/question_sheet.h"
#include "render/gui_session.h"
#include "render/pdf_output.h"

namespace tessarin::cli {
namespace fs = std::filesystem;

namespace {

bool IsPng(const std::string& path) {
  std::string ext = fs::path(path).extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".png";
}

}  // namespace

std::string PrintSheetTo(host::Application& app, const std::string& sheet, const std::string& out,
                         int dpi, int& pages) {
  std::error_code ec;
  const std::string path = fs::absolute(out, ec).string();
  return Attempt([&] {
    const host::Worksheet& model = app.Sheets().Item(sheet).worksheet();
    render::EnsureGuiApplication();
    pages = IsPng(out) ? static_cast<int>(render::WritePageImages(model, path, dpi).size())
                       : render::WritePdf(model, path);
  });
}

std::string DefaultTestSheet(host::Application& app) {
  const std::string active = app.ActiveSheet().Name();
  if (active == workbook::kTestSheet40 || active == workbook::kTestSheet20) return active;
  for (std::string_view name : {workbook::kTestSheet40, workbook::kTestSheet20}) {
    for (int i = 1; i <= app.Sheets().Count(); ++i) {
      if (app.Sheets().Item(i).Name() == name) return std::string(name);
    }
  }
  return "";
}

CLI::App* PrintCommand::Register(CLI::App& app) {
  CLI::App* c = app.add_subcommand(
      "print", Tr("Print a workbook's test sheet (or another sheet) to a PDF or page images"));
  c->add_option("book", book_, Tr("the workbook (.xlsx, .xls, .txt, .csv)"))->required();
  c->add_option("--sheet", sheet_, Tr("the sheet to print (default: the test sheet)"));
  c->add_option("-o,--output", out_, Tr("the PDF to write, or PAGE.png for page images"))
      ->required()
      ->check(NonEmptyPath());
  c->add_option("--dpi", dpi_, Tr("resolution of page images (default 100)"))
      ->transform(DecimalNumber())
      ->check(CLI::Range(10, 1200));
  return c;
}

int PrintCommand::Run(Streams& streams) {
  auto fail = [&](const std::string& why) {
    streams.err << "tessarin print: " << why << "\n";
    return 1;
  };
  std::error_code ec;
  const std::string book = fs::absolute(book_, ec).string();
  if (!fs::is_regular_file(book, ec)) return fail(Tr("no such file: %1", {book_}));
  CommandSession session(streams.err);
  host::Application& app = session.app();
  if (std::string p = Attempt([&] { app.Workbooks().Open(book); }); !p.empty()) return fail(p);
  std::string sheet = sheet_;
  if (sheet.empty()) {
    sheet = DefaultTestSheet(app);
    if (sheet.empty()) {
      return fail(
          Tr("the workbook has no test sheet (%1 or %2); name the sheet to print with --sheet",
             {std::string(workbook::kTestSheet40), std::string(workbook::kTestSheet20)}));
    }
  }
  int pages = 0;
  if (std::string p = PrintSheetTo(app, sheet, out_, dpi_, pages); !p.empty()) return fail(p);
  const std::string to = fs::absolute(out_, ec).string(), count = std::to_string(pages);
  streams.out << (IsPng(out_) && pages > 1
                      ? Tr("Printed sheet %1: %2 pages to %3 (one image per page, numbered)",
                           {sheet, count, to})
                      : TrN("Printed sheet %1: %2 page to %3", "Printed sheet %1: %2 pages to %3",
                            pages, {sheet, count, to}))
              << "\n";
  return 0;
}

}  // namespace tessarin::cli
