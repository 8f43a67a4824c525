// .xlsx load and save speed and memory for a 100,000-row x 20-column sheet (half short strings,
// half numbers), beside two references measured in the same run: the floor (only inflating and
// parsing the sheet's XML with pugixml) and SheetJS reading the same file in dense mode.
// Each measurement runs in a fresh child process, so its peak memory is its own.
//   ooxml_bench [ROWS] [RUNS]
//   ooxml_bench --merges FILE COUNT   saves and opens a sheet of COUNT merged areas
#include <sys/resource.h>
#include <unistd.h>
#include <zip.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <pugixml.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "core/host/host_error.h"
#include "core/host/workbook.h"
#include "core/ooxml/workbook_io.h"
#include "core/ooxml/xlsx.h"

namespace {

using namespace tessarin;
using Clock = std::chrono::steady_clock;
constexpr int kColumns = 20;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

double PeakMb() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

// Odd columns hold short strings (one unique per row, the rest from a vocabulary), even
// columns numbers (integers and two-decimal values).
std::unique_ptr<host::Workbook> MakeWorkbook(int rows) {
  static const char* kStems[] = {"漢字", "究明", "検討", "修正",  "到達", "保存", "発表",
                                 "説明", "確認", "提案", "kanji", "test", "read", "write",
                                 "page", "note", "mark", "score", "time", "name"};
  std::vector<std::string> vocabulary;
  for (int i = 0; i < 1000; ++i)
    vocabulary.push_back(std::string(kStems[i % 20]) + std::to_string(i / 20));
  auto wb = std::make_unique<host::Workbook>("bench.xlsx");
  host::Worksheet& sheet = wb->AddSheet("Sheet1", 1);
  wb->set_active_sheet(&sheet);
  for (int r = 1; r <= rows; ++r) {
    for (int c = 1; c <= kColumns; ++c) {
      if (c == 1) {
        sheet.SetText(r, c, "問" + std::to_string(r));
      } else if (c % 2 == 1) {
        sheet.SetText(r, c, vocabulary[(static_cast<size_t>(r) * 31 + c * 7) % vocabulary.size()]);
      } else if (c % 4 == 0) {
        sheet.SetNumber(r, c, (r * c) % 1000);
      } else {
        sheet.SetNumber(r, c, static_cast<double>(r % 9973) / 100.0);
      }
    }
  }
  return wb;
}

size_t CellCount(const host::Workbook& wb) {
  size_t n = 0;
  for (int i = 1; i <= wb.SheetCount(); ++i) n += wb.Sheet(i).cells().CellCount();
  return n;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// --- Child modes: each prints "key=value" pairs on one line ---

int Make(const std::string& file, int rows) {
  auto wb = MakeWorkbook(rows);
  std::ofstream(file, std::ios::binary) << ooxml::WriteXlsx(*wb);
  return 0;
}

int Load(const std::string& file) {
  const auto start = Clock::now();
  auto wb = ooxml::WorkbookFiles().Open(file);
  const double s = Seconds(start);
  std::printf("seconds=%f cells=%zu peak_mb=%f\n", s, CellCount(*wb), PeakMb());
  return 0;
}

int Save(const std::string& file, int rows) {
  auto wb = MakeWorkbook(rows);
  const double model_mb = PeakMb();
  auto start = Clock::now();
  const std::string bytes = ooxml::WriteXlsx(*wb);
  const double serialize = Seconds(start);
  start = Clock::now();
  ooxml::WorkbookFiles().Save(*wb, file);
  const double save = Seconds(start);
  std::printf("seconds=%f serialize_seconds=%f cells=%zu peak_mb=%f model_mb=%f\n", save, serialize,
              CellCount(*wb), PeakMb(), model_mb);
  return 0;
}

// A sheet of `count` merged areas (two cells each, in a grid), saved and opened again: both
// must stay linear in the number of areas.
int Merges(const std::string& file, int count) {
  auto wb = std::make_unique<host::Workbook>("merges.xlsx");
  host::Worksheet& sheet = wb->AddSheet("Sheet1", 1);
  wb->set_active_sheet(&sheet);
  for (int i = 0; i < count; ++i) {
    const int32_t row = 1 + (i / 8) * 2, col = 1 + (i % 8) * 2;
    sheet.merges().push_back(host::Area{row, col, row, col + 1});
  }
  auto start = Clock::now();
  ooxml::WorkbookFiles files;
  files.Save(*wb, file);
  const double save = Seconds(start);
  start = Clock::now();
  auto again = files.Open(file);
  const double open = Seconds(start);
  std::printf("merges=%zu save_seconds=%f open_seconds=%f peak_mb=%f\n",
              again->Sheet(1).merges().size(), save, open, PeakMb());
  return again->Sheet(1).merges().size() == static_cast<size_t>(count) ? 0 : 1;
}

// Only inflating the sheet part and parsing it: what any reader of the file must at least do.
int Floor(const std::string& file) {
  const std::string bytes = ReadAll(file);
  const auto start = Clock::now();
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
  if (!archive) return 1;
  zip_stat_t st;
  if (zip_stat(archive, "xl/worksheets/sheet1.xml", 0, &st) != 0) return 1;
  std::string xml(st.size, '\0');
  zip_file_t* part = zip_fopen(archive, "xl/worksheets/sheet1.xml", 0);
  if (!part || zip_fread(part, xml.data(), xml.size()) != static_cast<zip_int64_t>(xml.size()))
    return 1;
  zip_fclose(part);
  const double inflate = Seconds(start);
  pugi::xml_document doc;
  if (!doc.load_buffer_inplace(xml.data(), xml.size())) return 1;
  const double s = Seconds(start);
  zip_close(archive);
  std::printf("seconds=%f inflate_seconds=%f cells=0 peak_mb=%f xml_mb=%f\n", s, inflate, PeakMb(),
              xml.size() / 1048576.0);
  return 0;
}

// --- The parent ---

std::map<std::string, double> RunChild(const std::string& command) {
  std::map<std::string, double> values;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return values;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe)) {
    std::istringstream in(line);
    std::string pair;
    while (in >> pair) {
      const size_t eq = pair.find('=');
      if (eq != std::string::npos) values[pair.substr(0, eq)] = std::atof(pair.c_str() + eq + 1);
    }
  }
  if (pclose(pipe) != 0) values.clear();
  return values;
}

// Best time of `runs` runs; memory and other figures of that run.
std::map<std::string, double> Best(const std::string& command, int runs) {
  std::map<std::string, double> best;
  for (int i = 0; i < runs; ++i) {
    auto v = RunChild(command);
    if (v.empty()) return v;
    if (best.empty() || v["seconds"] < best["seconds"]) best = v;
  }
  return best;
}

// SheetJS prints milliseconds; normalise to the children's keys.
std::map<std::string, double> SheetJs(const std::string& file, int runs) {
  const std::string script = TESSARIN_SOURCE_DIR "/bench/sheetjs_read.js";
  const std::string modules = TESSARIN_BINARY_DIR "/bench/sheetjs/node_modules";
  if (!std::filesystem::exists(modules + "/xlsx")) return {};
  std::map<std::string, double> best;
  for (int i = 0; i < runs; ++i) {
    FILE* pipe = popen(("NODE_PATH='" + modules + "' node --max-old-space-size=8192 '" + script +
                        "' '" + file + "'")
                           .c_str(),
                       "r");
    if (!pipe) return {};
    char line[512] = {0};
    std::fgets(line, sizeof line, pipe);
    pclose(pipe);
    double ms = 0, cells = 0, peak = 0;
    if (std::sscanf(line, "{\"ms\":%lf,\"cells\":%lf,\"peak_mb\":%lf", &ms, &cells, &peak) != 3)
      return {};
    if (best.empty() || ms / 1000 < best["seconds"])
      best = {{"seconds", ms / 1000}, {"cells", cells}, {"peak_mb", peak}};
  }
  return best;
}

void Row(const char* what, const std::map<std::string, double>& v, double cells) {
  if (v.empty()) {
    std::printf("  %-34s %s\n", what, "(not measured)");
    return;
  }
  const double s = v.at("seconds");
  std::printf("  %-34s %8.3f s %10.2f M cells/s %8.0f MB\n", what, s, cells / s / 1e6,
              v.at("peak_mb"));
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--make") return Make(argv[2], std::atoi(argv[3]));
    if (mode == "--load") return Load(argv[2]);
    if (mode == "--save") return Save(argv[2], std::atoi(argv[3]));
    if (mode == "--floor") return Floor(argv[2]);
    if (mode == "--merges") return Merges(argv[2], std::atoi(argv[3]));
  } catch (const host::HostError& e) {
    std::fprintf(stderr, "HostError %d: %s\n", e.number(), e.description().c_str());
    return 1;
  }

  const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string dir =
      std::filesystem::temp_directory_path() / ("ooxml_bench_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string file = dir + "/bench.xlsx";
  if (std::system(("'" + self + "' --make '" + file + "' " + std::to_string(rows)).c_str()) != 0) {
    std::fprintf(stderr, "could not write the benchmark workbook\n");
    return 1;
  }
  const double cells = static_cast<double>(rows) * kColumns;
  std::printf(
      "%d rows x %d columns = %.0f cells (half short strings, half numbers); file %.1f MB; best of "
      "%d\n",
      rows, kColumns, cells, std::filesystem::file_size(file) / 1048576.0, runs);

  const auto load = Best("'" + self + "' --load '" + file + "'", runs);
  const auto floor = Best("'" + self + "' --floor '" + file + "'", runs);
  const auto sheetjs = SheetJs(file, std::min(runs, 2));
  const auto save =
      Best("'" + self + "' --save '" + dir + "/saved.xlsx' " + std::to_string(rows), runs);
  std::printf("load\n");
  Row("Open (read + parse into the model)", load, cells);
  Row("floor: inflate + pugixml parse", floor, cells);
  if (!floor.empty()) {
    std::printf("  %-34s %8.3f s   (sheet XML %.0f MB)\n", "  of which inflate",
                floor.at("inflate_seconds"), floor.at("xml_mb"));
  }
  Row("SheetJS readFile, dense", sheetjs, cells);
  if (!load.empty() && !floor.empty())
    std::printf("  Open / floor: %.2fx", load.at("seconds") / floor.at("seconds"));
  if (!load.empty() && !sheetjs.empty())
    std::printf("   SheetJS / Open: %.1fx", sheetjs.at("seconds") / load.at("seconds"));
  std::printf("\nsave\n");
  Row("Save (write, fsync, rename)", save, cells);
  if (!save.empty()) {
    std::printf("  %-34s %8.3f s %10.2f M cells/s   (model alone %.0f MB)\n", "WriteXlsx only",
                save.at("serialize_seconds"), cells / save.at("serialize_seconds") / 1e6,
                save.at("model_mb"));
  }
  if (sheetjs.empty()) {
    std::printf("SheetJS not measured: npm install --prefix %s/bench/sheetjs xlsx\n",
                TESSARIN_BINARY_DIR);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
