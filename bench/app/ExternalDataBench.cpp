// Spreadsheet payoffs: the external-data overview over many imported payoffs
// (each workbook read once per refresh), and the import dialog opening a
// large worksheet, with the memory it holds and the peak it reaches.
#include "app/dialogs/ImportExternalForm.h"
#include "app/dialogs/OverviewExternalDataForm.h"
#include "app/dialogs/WorksheetGridModel.h"
#include "control/DecTree.h"
#include "model/FunctionParser.h"
#include "platform/workbook/Workbook.h"
#include "support/Workbooks.h"
#include "ui_OverviewExternalDataForm.h"

#include <xlsxwriter.h>

#include <QApplication>
#include <QLocale>

#include <benchmark/benchmark.h>

#include <fstream>
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
void ResetPeakResident() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

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
    const size_t heldBefore = mallinfo2().uordblks;
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
      heldPerCell = double(mallinfo2().uordblks - heldBefore) / cells;
      peakPerCell = double(PeakResident() - residentBefore) / cells;
      state.ResumeTiming();
    }
  }
  state.counters["held_bytes_per_cell"] = heldPerCell;
  state.counters["peak_bytes_per_cell"] = peakPerCell;
}
BENCHMARK(BM_ImportDialogOpensMillionCellSheet)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
