// Printing a large tree: recording the preview's page of a 10,000-node tree
// (target 100 ms), repainting the preview zoomed in (one frame, 16 ms),
// printing the tree to a PDF file (1 s), and the page store keeping 1,000
// pages with flat memory in its temporary file.
#include "app/TreePrinting.h"
#include "printing/PrintPreview.h"
#include "printing/Printer.h"
#include "support/TreeGenerator.h"
#include "widgets/DecTreeWidget.h"

#include <QApplication>
#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <unistd.h>

using namespace bw;
using namespace bw::bench;

namespace {

// A laid-out tree of about 10,000 nodes in its widget, and the preview of
// the print window (pixels, landscape).
struct PrintedTree {
  TDecTreeWidget Widget;
  TPrintPreview Preview;
  int Nodes = 0;

  PrintedTree() {
    TDecTree& tree = Widget.Tree();
    tree.Options.ShowPayoff = true;
    tree.Options.CurrencyDecimals = 2;
    tree.Options.CurrencySymbol.assign(1, '$');
    GeneratedTree generated = GenerateTree(tree, 10000);
    Nodes = generated.Nodes;
    tree.ExchangeRoot(std::move(generated.Root));
    tree.Recalculate();
    Preview.SetUnits(mmPixel);
    Preview.SetOrientation(poLandscape);
    Preview.UsePrinterOptions = true;
    Preview.resize(1000, 700);
    Preview.show();
    QApplication::processEvents();
  }
  void Record(bool showMargins) {
    PrintTreeTo(Preview, Widget.Tree(), TPageMargins{}, showMargins, true);
  }
};

// Made once and kept across the benchmarks; it must go before the
// QApplication does.
std::unique_ptr<PrintedTree> Shared;

PrintedTree& Tree() {
  if (!Shared) Shared = std::make_unique<PrintedTree>();
  return *Shared;
}

long ResidentKiB() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void BM_RecordTreePage10k(benchmark::State& state) {
  PrintedTree& t = Tree();
  for (auto _ : state)
    t.Record(true);
  state.counters["nodes"] = t.Nodes;
  state.counters["page_KiB"] = static_cast<double>(t.Preview.Pages().StreamSize()) / 1024;
}

// The zoomed preview repainted, as when it is scrolled or uncovered: the
// sheet is copied from its image.
void BM_RepaintZoomedPreview10k(benchmark::State& state) {
  PrintedTree& t = Tree();
  t.Record(true);
  t.Preview.SetZoom(200);
  TPaperPreview& paper = t.Preview.PaperControl();
  paper.repaint();
  for (auto _ : state) {
    t.Preview.verticalScrollBar()->setValue(state.iterations() % 2 ? 100 : 0);
    paper.repaint();
  }
  state.counters["sheet_px"] = paper.width() * paper.height();
}

// The page drawn again into the sheet at 200 %, as after a change of zoom
// or page: the recorded page is played once more.
void BM_RedrawZoomedPage10k(benchmark::State& state) {
  PrintedTree& t = Tree();
  t.Record(true);
  t.Preview.SetZoom(200);
  TPaperPreview& paper = t.Preview.PaperControl();
  for (auto _ : state) {
    paper.InvalidatePage();
    paper.repaint();
  }
  state.counters["sheet_px"] = paper.width() * paper.height();
}

void BM_PrintTreeToPdf10k(benchmark::State& state) {
  PrintedTree& t = Tree();
  QTemporaryDir dir;
  auto printer = std::make_unique<TQtPrinter>();
  printer->SelectPdfFile(dir.filePath("tree.pdf"));
  auto previous = SetPrinter(std::move(printer));
  for (auto _ : state) {
    // As the Print button does: the page without margin marks, printed.
    t.Record(false);
    t.Preview.Print();
  }
  state.counters["pdf_KiB"] =
      static_cast<double>(QFileInfo(dir.filePath("tree.pdf")).size()) / 1024;
  SetPrinter(std::move(previous));
}

// 1,000 pages of a few hundred shapes and texts each; the growth of the
// resident memory while they are added, with the pages in memory (0) and
// in the temporary file (1).
void BM_StoreThousandPages(benchmark::State& state) {
  const bool tempFile = state.range(0) != 0;
  TMetafilePage page;
  page.Extent = QSize(794, 1123);
  {
    QPainter painter(&page.Picture);
    for (int i = 0; i < 300; ++i) {
      painter.drawRect(i, i, 50, 20);
      painter.drawText(i, i + 15, QString("Node %1 caption").arg(i));
    }
  }
  long growth = 0;
  for (auto _ : state) {
    TMetafileList list;
    list.SetUseTempFile(tempFile);
    const long before = ResidentKiB();
    for (int i = 0; i < 1000; ++i)
      list.Add(page);
    list.Items(500);
    growth = ResidentKiB() - before;
    state.counters["stream_MiB"] = static_cast<double>(list.StreamSize()) / (1 << 20);
  }
  state.counters["rss_growth_MiB"] = static_cast<double>(growth) / 1024;
}

} // namespace

BENCHMARK(BM_RecordTreePage10k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RepaintZoomedPreview10k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RedrawZoomedPage10k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PrintTreeToPdf10k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StoreThousandPages)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Shared.reset();
  return 0;
}
