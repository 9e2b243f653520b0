// Picture export of fully expanded generated trees, written to files: the
// metafiles of a 10,000-node tree (at most 200 ms each, no bitmap), and the
// bitmap formats, whose cost is that of the picture's pixels (BMP at most
// 300 ms, JPEG and GIF at most 500 ms on 10,000 nodes). The peak memory an
// export adds is reported against the 24-bit bitmap it needs (at most
// 20% more than the bitmap itself). And Copy as picture of the 10,000-node
// tree.
#include "export/qt/PictureExport.h"
#include "support/TreeGenerator.h"
#include "widgets/DecTreeWidget.h"

#include <QApplication>
#include <QClipboard>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>

using namespace bw;
using namespace bw::bench;

namespace {

struct TTree {
  TDecTreeWidget Widget;
  int Nodes = 0;
  explicit TTree(int nodeCount) {
    TDecTree& tree = Widget.Tree();
    tree.Options.ShowPayoff = true;
    tree.Options.CurrencyDecimals = 2;
    tree.Options.CurrencySymbol = std::string(1, '$');
    GeneratedTree generated = GenerateTree(tree, nodeCount);
    Nodes = generated.Nodes;
    tree.ExchangeRoot(std::move(generated.Root));
    tree.Recalculate();
  }
  TPictureSource Picture() {
    TDecTree& tree = Widget.Tree();
    const TNodeRect& bounds = tree.TreeRoot()->Bounds;
    return {bounds.Width + 2 * tree.BorderSize, bounds.Height + 2 * tree.BorderSize,
            Widget.logicalDpiY(), [&tree](TCanvas& c) { tree.PaintTo(c); }};
  }
};

// Made once per size; the widgets must go before the QApplication does.
std::map<int, std::unique_ptr<TTree>>& Trees() {
  static std::map<int, std::unique_ptr<TTree>> trees;
  return trees;
}

TTree& Tree(int nodeCount) {
  auto& tree = Trees()[nodeCount];
  if (!tree) tree = std::make_unique<TTree>(nodeCount);
  return *tree;
}

// Kilobytes of a line of /proc/self/status.
long StatusKb(const char* key) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::strlen(key)));
  return -1;
}

// The resident peak starts again from what is resident now.
void ResetPeak() {
  if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", f);
    std::fclose(f);
  }
}

// bitmap: the format is written from a 24-bit bitmap of the picture.
void Export(benchmark::State& state, int nodeCount, const char* name, bool bitmap) {
  TTree& tree = Tree(nodeCount);
  const TPictureSource source = tree.Picture();
  QTemporaryDir dir;
  const std::string path = dir.filePath(name).toStdString();
  long added = 0;
  for (auto _ : state) {
    const long before = StatusKb("VmRSS:");
    ResetPeak();
    WritePictureFile(path, source);
    added = std::max(added, StatusKb("VmHWM:") - before);
  }
  state.counters["nodes"] = tree.Nodes;
  state.counters["megapixels"] = source.Width * static_cast<double>(source.Height) / 1e6;
  state.counters["peak_added_MB"] = added / 1024.0;
  if (bitmap)
    state.counters["peak_per_bitmap"] = added * 1024.0 / (3.0 * source.Width * source.Height);
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  state.counters["file_MB"] = static_cast<double>(file.tellg()) / 1e6;
}

void BM_Emf10k(benchmark::State& state) {
  Export(state, 10000, "tree.emf", false);
}
BENCHMARK(BM_Emf10k)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Wmf10k(benchmark::State& state) {
  Export(state, 10000, "tree.wmf", false);
}
BENCHMARK(BM_Wmf10k)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole 10,000-node tree is 2033 x 349468 pixels, beyond JPEG's and
// GIF's 65535 rows and 2 GB as a bitmap: the bitmap formats are measured
// on 1,000 nodes (1500 x 35426 pixels), and BMP once on 10,000.
void BM_Bmp1k(benchmark::State& state) {
  Export(state, 1000, "tree.bmp", true);
}
BENCHMARK(BM_Bmp1k)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Jpeg1k(benchmark::State& state) {
  Export(state, 1000, "tree.jpg", true);
}
BENCHMARK(BM_Jpeg1k)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Gif1k(benchmark::State& state) {
  Export(state, 1000, "tree.gif", true);
}
BENCHMARK(BM_Gif1k)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Render1k(benchmark::State& state) {
  TTree& tree = Tree(1000);
  const TPictureSource source = tree.Picture();
  for (auto _ : state)
    benchmark::DoNotOptimize(RenderPicture(source));
}
BENCHMARK(BM_Render1k)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Bmp10k(benchmark::State& state) {
  Export(state, 10000, "tree.bmp", true);
}
BENCHMARK(BM_Bmp10k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// Edit > Copy as picture of the whole 10,000-node tree: its bitmap (2 GB)
// and its enhanced metafile put on the clipboard, the memory it may take
// checked first. The clipboard is emptied between runs, untimed, so that
// one bitmap is held at a time.
void BM_CopyPicture10k(benchmark::State& state) {
  TTree& tree = Tree(10000);
  const TPictureSource source = tree.Picture();
  for (auto _ : state) {
    CopyPictureToClipboard(source);
    state.PauseTiming();
    QGuiApplication::clipboard()->clear();
    state.ResumeTiming();
  }
  state.counters["nodes"] = tree.Nodes;
  state.counters["megapixels"] = source.Width * static_cast<double>(source.Height) / 1e6;
}
BENCHMARK(BM_CopyPicture10k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Trees().clear();
  return 0;
}
