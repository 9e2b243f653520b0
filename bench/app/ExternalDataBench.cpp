// Spreadsheet payoffs: the external-data overview over many imported payoffs
// (each workbook read once per refresh), the import dialog opening a large
// worksheet and listing a workbook of many sheets, and both reading hostile
// workbooks of a few megabytes, with the memory they hold and the peak they
// reach.
#include "app/core/WorkbookFiles.h"
#include "app/dialogs/ImportExternalForm.h"
#include "app/dialogs/OverviewExternalDataForm.h"
#include "app/dialogs/WorksheetGridModel.h"
#include "control/DecTree.h"
#include "model/FunctionParser.h"
#include "platform/workbook/Workbook.h"
#include "support/CompoundFiles.h"
#include "support/Workbooks.h"
#include "ui_ImportExternalForm.h"
#include "ui_OverviewExternalDataForm.h"

#include <xlsxwriter.h>

#include <QApplication>
#include <QLocale>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <malloc.h>

using namespace bw;

namespace {

// Workbooks of rows x columns numbers on "Sheet1".
void WriteNumbers(const std::string& path, int rows, int columns) {
  test::WriteXlsx(
      path,
      [rows, columns](lxw_workbook* book) {
        lxw_worksheet* s = workbook_add_worksheet(book, "Sheet1");
        for (int r = 0; r < rows; ++r)
          for (int c = 0; c < columns; ++c)
            worksheet_write_number(s, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c),
                                   r * 1000.25 + c, nullptr);
      },
      true);
}

// The peak resident size since the last reset, in bytes.
size_t PeakResident() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.starts_with("VmHWM:")) return std::stoul(line.substr(6)) * 1024;
  return 0;
}
size_t Resident() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.starts_with("VmRSS:")) return std::stoul(line.substr(6)) * 1024;
  return 0;
}
// Bytes allocated, in the heap and in blocks of their own.
size_t Held() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}
void ResetPeakResident() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

std::string Call(const std::string& path, const std::string& address) {
  return "Excel(\"" + path + "\", \"" + address + "\")";
}

// A binary workbook whose cells all show one long shared string.
void WriteSharedTextXls(const std::string& path) {
  std::string sst("\0\0\0\0\1\0\0\0", 8);
  sst += std::string("\x40\x1F\0", 3) + std::string(8000, 'x'); // 8,000 8-bit characters
  const int rows = 45000, columns = 10;
  std::string cells = test::BiffDimensions(rows, columns);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      std::string d(10, '\0');
      d[0] = static_cast<char>(r & 0xFF);
      d[1] = static_cast<char>(r >> 8);
      d[2] = static_cast<char>(c);
      cells += test::BiffRecord(0x00FD, d);
    }
  std::ofstream(path, std::ios::binary) << test::CompoundDocument(
      {{"Workbook", test::BiffWorkbook({cells}, false, test::BiffRecord(0x00FC, sst))}});
}

// Hostile workbook files of a few megabytes, each made when it is measured.
const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> Hostile = {
    {"forty_sheets_one_part_of_empty_cells",
     [](const std::string& path) {
       test::WriteZip(
           path, test::OnePartSheets(40, test::SheetXml(test::EmptyCellRows(size_t{255} << 20))));
     }},
    {"empty_shared_strings",
     [](const std::string& path) {
       test::WriteZip(path, test::OnePartSheets(
                                1, test::SheetXml(R"(<row><c t="s"><v>0</v></c></row>)"),
                                "<sst>" + test::Repeat("<si/>", size_t{255} << 20) + "</sst>"));
     }},
    {"long_shared_strings_and_empty_cells",
     [](const std::string& path) {
       test::WriteZip(path,
                      test::OnePartSheets(1, test::SheetXml(test::EmptyCellRows(size_t{255} << 20)),
                                          "<sst><si><t>" + std::string(size_t{255} << 20, 'x') +
                                              "</t></si></sst>"));
     }},
    {"lying_directory",
     [](const std::string& path) {
       test::WriteZip(path, test::PackageParts({test::SheetXml("")}));
       std::ifstream in(path, std::ios::binary);
       std::string bytes((std::istreambuf_iterator<char>(in)), {});
       test::ClaimPartSize(bytes, "xl/worksheets/sheet1.xml", 250000000);
       std::ofstream(path, std::ios::binary) << bytes;
     }},
    {"huge_relationships",
     [](const std::string& path) {
       test::TParts parts = test::PackageParts({test::SheetXml("")});
       for (auto& [name, content] : parts)
         if (name == "xl/_rels/workbook.xml.rels")
           content.insert(content.rfind("</Relationships>"),
                          test::Repeat("<a/>", size_t{255} << 20));
       test::WriteZip(path, parts);
     }},
    {"huge_workbook_part",
     [](const std::string& path) {
       test::TParts parts = test::PackageParts({test::SheetXml("")});
       for (auto& [name, content] : parts)
         if (name == "xl/workbook.xml")
           content.insert(content.rfind("</workbook>"), test::Repeat("<a/>", size_t{255} << 20));
       test::WriteZip(path, parts);
     }},
    {"binary_shared_text_in_every_cell", WriteSharedTextXls},
    {"thirty_thousand_sheet_parts",
     [](const std::string& path) {
       std::vector<std::string> sheets(
           30000, test::SheetXml(R"(<row r="1"><c r="A1"><v>1</v></c></row>)"));
       test::WriteZip(path, test::PackageParts(sheets));
     }},
    {"names_on_as_many_sheets",
     [](const std::string& path) {
       test::TParts parts =
           test::OnePartSheets(1, test::SheetXml(R"(<row r="1"><c r="A1"><v>1</v></c></row>)"));
       for (auto& [name, content] : parts) {
         if (name != "xl/workbook.xml") continue;
         std::string sheets, names;
         for (int i = 1; i <= 180000; ++i) {
           const std::string n = std::to_string(i);
           sheets += "<sheet name=\"Sheet" + n + "\" r:id=\"rId1\"/>";
           names += "<definedName name=\"N" + n + "\">Sheet" + n + "!A1</definedName>";
         }
         content = R"(<workbook xmlns:r="r"><sheets>)" + sheets + "</sheets><definedNames>" +
                   names + "</definedNames></workbook>";
       }
       test::WriteZip(path, parts);
     }},
};

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The address space the process may use from now: its present size plus
// the given bytes, so that a run away reading fails instead of taking the
// machine. Undone when it goes.
class TAddressSpaceCap {
public:
  explicit TAddressSpaceCap(size_t more) {
    getrlimit(RLIMIT_AS, &FBefore);
    std::ifstream status("/proc/self/status");
    std::string line;
    size_t size = 0;
    while (std::getline(status, line))
      if (line.starts_with("VmSize:")) size = std::stoul(line.substr(7)) * 1024;
    rlimit cap = FBefore;
    cap.rlim_cur = size + more;
    setrlimit(RLIMIT_AS, &cap);
  }
  ~TAddressSpaceCap() { setrlimit(RLIMIT_AS, &FBefore); }

private:
  rlimit FBefore{};
};

} // namespace

static void BM_OverviewRefresh1000Imports10Workbooks(benchmark::State& state) {
  test::TTempFolder dir;
  std::vector<std::string> books;
  for (int i = 0; i < 10; ++i) {
    books.push_back(dir.File("book" + std::to_string(i) + ".xlsx"));
    WriteNumbers(books.back(), 100, 100); // 10,000 cells each
  }
  TDecTree tree;
  tree.Options.CurrencyDecimals = 2;
  TDecTreeNode* root = tree.TreeRoot();
  for (int i = 0; i < 1000; ++i) {
    std::string cell = ColumnToLetters(i % 100) + std::to_string(i / 10 + 1);
    root->AddChild(tree.NewNode(root, {.Id = Guid::NewGuid(),
                                       .Caption = "N" + std::to_string(i),
                                       .PayoffSource = "Import: Excel(\"" +
                                                       books[static_cast<size_t>(i % 10)] +
                                                       "\", \"Sheet1$" + cell + "\")"}));
  }
  TOverviewExternalDataForm form(tree);
  for (auto _ : state)
    form.RefreshExternalData();
  state.counters["rows"] = form.Form().OverviewListView->topLevelItemCount();
  state.counters["changed"] = form.Form().SummaryChangedLabel->text().toDouble();
}
BENCHMARK(BM_OverviewRefresh1000Imports10Workbooks)->Unit(benchmark::kMillisecond);

// Opening the dialog on a reference into a sheet of a million cells reads
// the sheet list (every sheet) and fills the grid of the chosen one.
static void BM_ImportDialogOpensMillionCellSheet(benchmark::State& state) {
  test::TTempFolder dir;
  const std::string path = dir.File("large.xlsx");
  const int rows = 10000, columns = 100;
  WriteNumbers(path, rows, columns);
  const double cells = double(rows) * columns;
  double heldPerCell = 0, peakPerCell = 0;
  for (auto _ : state) {
    state.PauseTiming();
    malloc_trim(0);
    const size_t heldBefore = Held();
    const size_t residentBefore = Resident();
    ResetPeakResident();
    state.ResumeTiming();
    {
      TImportExternalForm form;
      form.Decimals = 2;
      form.Restore("Excel(\"" + path + "\", \"Sheet1$B2\")");
      benchmark::DoNotOptimize(form.GridModel().rowCount());
      state.PauseTiming();
      if (form.Step() != 6) state.SkipWithError("the reference was not restored");
      heldPerCell = double(Held() - heldBefore) / cells;
      peakPerCell = double(PeakResident() - residentBefore) / cells;
      state.ResumeTiming();
    }
  }
  state.counters["held_bytes_per_cell"] = heldPerCell;
  state.counters["peak_bytes_per_cell"] = peakPerCell;
}
BENCHMARK(BM_ImportDialogOpensMillionCellSheet)->Unit(benchmark::kMillisecond)->Iterations(3);

// Listing the sheets of a workbook of 100 sheets of 10,000 numbers each, as
// choosing it in the import dialog does.
static void BM_ImportDialogLists100Sheets(benchmark::State& state) {
  test::TTempFolder dir;
  const std::string path = dir.File("hundred.xlsx");
  test::WriteXlsx(
      path,
      [](lxw_workbook* book) {
        for (int s = 0; s < 100; ++s) {
          lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
          for (int r = 0; r < 100; ++r)
            for (int c = 0; c < 100; ++c)
              worksheet_write_number(sheet, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c),
                                     r * 100 + c, nullptr);
        }
      },
      true);
  TImportExternalForm form;
  form.Dialogs.Error = [&](const QString& text) {
    state.SkipWithError(text.toStdString().c_str());
  };
  form.Form().edtExcelFilename->setText(QString::fromStdString(path));
  for (auto _ : state)
    form.LoadWorkbook(true, true, false);
  state.counters["sheets"] = form.Form().cboExcelWorksheets->count();
}
BENCHMARK(BM_ImportDialogLists100Sheets)->Unit(benchmark::kMillisecond);

// A hostile workbook of a few megabytes, opened, listed and one sheet read
// by the import dialog (restoring a reference into it), then read by the
// overview's evaluator. The process may take 2 GiB more address space than
// it has: a reading that needs more fails. Counters: the file's size, the
// seconds of each reading and the process's peak resident size during it,
// and 1 where it failed without a message (an exception, an allocation
// refused).
static void BM_HostileWorkbook(benchmark::State& state) {
  const auto& [name, write] = Hostile.at(static_cast<size_t>(state.range(0)));
  state.SetLabel(name);
  test::TTempFolder dir;
  const std::string path = dir.File("hostile.bin");
  write(path);
  malloc_trim(0);
  double dialogSeconds = 0, dialogPeak = 0, overviewSeconds = 0, overviewPeak = 0;
  bool dialogEscaped = false, overviewEscaped = false;
  QStringList told;
  for (auto _ : state) {
    TAddressSpaceCap cap(size_t{2} << 30);
    ResetPeakResident();
    auto start = std::chrono::steady_clock::now();
    try {
      TImportExternalForm form;
      form.Dialogs.Error = [&](const QString& text) { told << text; };
      form.Restore(Call(path, "Sheet1$A1"));
    } catch (...) {
      dialogEscaped = true;
    }
    dialogSeconds = Seconds(start);
    dialogPeak = double(PeakResident()) / (1 << 20);
    malloc_trim(0);

    ResetPeakResident();
    start = std::chrono::steady_clock::now();
    try {
      TWorkbookFiles files(true);
      std::string error;
      EvaluateFunction(Call(path, "Sheet1$A1"), error, files);
      if (!error.empty()) told << QString::fromStdString(error);
    } catch (const std::bad_alloc&) {
      overviewEscaped = true;
    } catch (const std::exception& e) {
      told << e.what(); // the overview shows it in the row
    }
    overviewSeconds = Seconds(start);
    overviewPeak = double(PeakResident()) / (1 << 20);
    malloc_trim(0);
  }
  state.counters["file_MB"] = double(std::filesystem::file_size(path)) / 1e6;
  state.counters["dialog_s"] = dialogSeconds;
  state.counters["dialog_peak_MiB"] = dialogPeak;
  state.counters["dialog_escaped"] = dialogEscaped;
  state.counters["overview_s"] = overviewSeconds;
  state.counters["overview_peak_MiB"] = overviewPeak;
  state.counters["overview_escaped"] = overviewEscaped;
  if (!told.isEmpty()) state.SetLabel(name + ": " + told.join(" | ").left(300).toStdString());
}
BENCHMARK(BM_HostileWorkbook)
    ->DenseRange(0, static_cast<int>(Hostile.size()) - 1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
