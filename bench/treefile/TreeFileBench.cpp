// Tree files on generated trees: opening (parse, build, clone copies and
// roll-back, no layout), saving, and the heap an opening takes at its peak.
#include "support/TreeGenerator.h"
#include "treefile/TreeFile.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <malloc.h>
#include <map>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

using namespace bw;
using namespace bw::bench;

// Heap bytes in use and their peak, counted at every allocation of this
// program (operator new here, pugixml's through its hooks below).
namespace {
size_t HeapInUse = 0;
size_t HeapPeak = 0;

void* Counted(void* p) {
  if (p) {
    HeapInUse += malloc_usable_size(p);
    if (HeapInUse > HeapPeak) HeapPeak = HeapInUse;
  }
  return p;
}
// Not inlined: the replaced operator delete frees what the replaced operator
// new took from malloc, which the compiler would otherwise flag.
[[gnu::noinline]] void Uncounted(void* p) {
  if (p) HeapInUse -= malloc_usable_size(p);
  std::free(p);
}
void* CountedMalloc(size_t n) {
  return Counted(std::malloc(n));
}
} // namespace

void* operator new(size_t n) {
  if (void* p = Counted(std::malloc(n ? n : 1))) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t n) {
  return operator new(n);
}
void operator delete(void* p) noexcept {
  Uncounted(p);
}
void operator delete[](void* p) noexcept {
  Uncounted(p);
}
void operator delete(void* p, size_t) noexcept {
  Uncounted(p);
}
void operator delete[](void* p, size_t) noexcept {
  Uncounted(p);
}

namespace {

struct TreeOnDisk {
  TTreeContext Context;
  GeneratedTree Tree;
  std::string Folder;
  std::string Path;
  double FileBytes = 0;

  explicit TreeOnDisk(int nodes) : Tree(GenerateTree(Context, nodes)) {
    pugi::set_memory_management_functions(CountedMalloc, Uncounted);
    std::string pattern =
        (std::filesystem::temp_directory_path() / "bw-treefile-bench-XXXXXX").string();
    Folder = ::mkdtemp(pattern.data());
    Path = Folder + "/tree.bwk";
    WriteTreeFile(Path, *Tree.Root, Context.Options, TFontSpec{});
    FileBytes = static_cast<double>(std::filesystem::file_size(Path));
  }
  ~TreeOnDisk() { std::filesystem::remove_all(Folder); }
};

TreeOnDisk& Large() {
  static TreeOnDisk t(100000);
  return t;
}
TreeOnDisk& Small() {
  static TreeOnDisk t(1000);
  return t;
}

// The generated tree of that size, written once for the whole run.
TreeOnDisk& OfSize(int nodes) {
  static std::map<int, std::unique_ptr<TreeOnDisk>> trees;
  std::unique_ptr<TreeOnDisk>& t = trees[nodes];
  if (!t) t = std::make_unique<TreeOnDisk>(nodes);
  return *t;
}

// What File > Open does short of layout and painting.
std::unique_ptr<TDecTreeNode> Open(const std::string& path, TTreeContext& context) {
  TTreeFileContents c = ReadTreeFile(path, &context, TFontSpec{});
  c.Root->OnPath = true;
  c.Root->SyncClones();
  c.Root->EvaluateAndPropagate(1.0, CurrencyToDouble(c.Root->Payoff));
  return std::move(c.Root);
}

void OpenBench(benchmark::State& state, TreeOnDisk& t) {
  TTreeContext context;
  int nodes = 0;
  for (auto _ : state) {
    auto root = Open(t.Path, context);
    benchmark::DoNotOptimize(root->Value);
    state.PauseTiming();
    nodes = CountNodes(root.get());
    root.reset();
    state.ResumeTiming();
  }
  state.counters["nodes"] = nodes;
  state.counters["file_MB"] = t.FileBytes / 1e6;
}

void SaveBench(benchmark::State& state, TreeOnDisk& t) {
  std::string path = t.Folder + "/saved.bwk";
  for (auto _ : state)
    WriteTreeFile(path, *t.Tree.Root, t.Context.Options, TFontSpec{});
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * t.FileBytes));
}

} // namespace

static void BM_TreeFileOpen100k(benchmark::State& state) {
  OpenBench(state, Large());
}
BENCHMARK(BM_TreeFileOpen100k)->Unit(benchmark::kMillisecond);

// Reading alone, without the recalculation.
static void BM_TreeFileRead100k(benchmark::State& state) {
  TreeOnDisk& t = Large();
  TTreeContext context;
  for (auto _ : state) {
    TTreeFileContents c = ReadTreeFile(t.Path, &context, TFontSpec{});
    benchmark::DoNotOptimize(c.Root.get());
    state.PauseTiming();
    c.Root.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_TreeFileRead100k)->Unit(benchmark::kMillisecond);

// Temporary file, fsync and rename included.
static void BM_TreeFileSave100k(benchmark::State& state) {
  SaveBench(state, Large());
}
BENCHMARK(BM_TreeFileSave100k)->Unit(benchmark::kMillisecond);

// The document in memory only: the writer without the disk.
static void BM_TreeFileSerialize100k(benchmark::State& state) {
  TreeOnDisk& t = Large();
  for (auto _ : state) {
    std::string bytes = SerializeTree(*t.Tree.Root, t.Context.Options, TFontSpec{});
    benchmark::DoNotOptimize(bytes.data());
  }
}
BENCHMARK(BM_TreeFileSerialize100k)->Unit(benchmark::kMillisecond);

// The highest heap use during an opening, above what was in use before,
// against the size of the file.
static void BM_TreeFileOpenPeakMemory100k(benchmark::State& state) {
  TreeOnDisk& t = Large();
  TTreeContext context;
  double peak = 0;
  for (auto _ : state) {
    size_t before = HeapInUse;
    HeapPeak = before;
    auto root = Open(t.Path, context);
    peak = static_cast<double>(HeapPeak - before);
    state.PauseTiming();
    root.reset();
    state.ResumeTiming();
  }
  state.counters["peak_MB"] = peak / 1e6;
  state.counters["file_MB"] = t.FileBytes / 1e6;
  state.counters["peak_per_file_byte"] = peak / t.FileBytes;
}
BENCHMARK(BM_TreeFileOpenPeakMemory100k)->Unit(benchmark::kMillisecond)->Iterations(1);

// The largest bench tree: time, the highest heap use above what was in use
// before, and the resident memory the opened tree holds once the load is
// done (the heap trimmed).
static void BM_TreeFileOpen1M(benchmark::State& state) {
  TreeOnDisk& t = OfSize(1000000);
  TTreeContext context;
  double peak = 0, resident = 0;
  int nodes = 0;
  auto residentBytes = [] {
    long pages = 0, rss = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(f, "%ld %ld", &pages, &rss) != 2) rss = 0;
      std::fclose(f);
    }
    return static_cast<double>(rss) * static_cast<double>(sysconf(_SC_PAGESIZE));
  };
  for (auto _ : state) {
    state.PauseTiming();
    malloc_trim(0);
    double residentBefore = residentBytes();
    size_t before = HeapInUse;
    HeapPeak = before;
    state.ResumeTiming();
    auto root = Open(t.Path, context);
    state.PauseTiming();
    peak = static_cast<double>(HeapPeak - before);
    resident = residentBytes() - residentBefore;
    nodes = CountNodes(root.get());
    root.reset();
    state.ResumeTiming();
  }
  state.counters["nodes"] = nodes;
  state.counters["file_MB"] = t.FileBytes / 1e6;
  state.counters["peak_heap_MB"] = peak / 1e6;
  state.counters["resident_after_MB"] = resident / 1e6;
}
BENCHMARK(BM_TreeFileOpen1M)->Unit(benchmark::kMillisecond)->Iterations(3);

static void BM_TreeFileOpen1k(benchmark::State& state) {
  OpenBench(state, Small());
}
BENCHMARK(BM_TreeFileOpen1k)->Unit(benchmark::kMillisecond);

static void BM_TreeFileSave1k(benchmark::State& state) {
  SaveBench(state, Small());
}
BENCHMARK(BM_TreeFileSave1k)->Unit(benchmark::kMillisecond);

// A save after a save, as the main window makes it: the check that no other
// program changed the file since, then the save. Arguments: the nodes, and 1
// to evict the saved file from the page cache before each save (the user
// saves again after a while), 0 to leave it there.
static void BM_TreeFileSaveAfterSave(benchmark::State& state) {
  TreeOnDisk& t = OfSize(static_cast<int>(state.range(0)));
  const bool evict = state.range(1) != 0;
  const std::string path = t.Folder + "/again.bwk";
  TFileIdentity known = WriteTreeFile(path, *t.Tree.Root, t.Context.Options, TFontSpec{});
  for (auto _ : state) {
    if (evict) {
      state.PauseTiming();
      const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd >= 0) {
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
      }
      state.ResumeTiming();
    }
    if (FileChangedSince(path, known)) state.SkipWithError("the file changed");
    known = WriteTreeFile(path, *t.Tree.Root, t.Context.Options, TFontSpec{});
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * t.FileBytes));
}
BENCHMARK(BM_TreeFileSaveAfterSave)
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Args({1000000, 0})
    ->Args({1000000, 1})
    ->Unit(benchmark::kMillisecond);

// ---- Hostile files ---------------------------------------------------------

namespace {

std::string BranchText(const std::string& attributes, const std::string& children = {}) {
  std::string s = "<Branch " + attributes +
                  "><Type>Decision</Type><Probability>0</Probability><Payoff>0</Payoff>"
                  "<ChildrenVisible>1</ChildrenVisible><DecisionFixed>0</DecisionFixed>"
                  "<DecisionShowCaption>0</DecisionShowCaption><DecisionShowOwner>0"
                  "</DecisionShowOwner><DecisionShowDueDate>0</DecisionShowDueDate>"
                  "<DecisionMultiShowBudget>0</DecisionMultiShowBudget>"
                  "<DecisionMultiShowInvestment>0</DecisionMultiShowInvestment>"
                  "<DecisionShowFixed>0</DecisionShowFixed>"
                  "<DecisionMultiBudget>-1</DecisionMultiBudget>";
  if (!children.empty()) s += "<Branches>" + children + "</Branches>";
  return s + "</Branch>";
}

std::string TreeText(const std::string& rootChildren) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Tree><OutlineCodes>0</OutlineCodes>"
         "<HighlightClones>1</HighlightClones><ShowPayoff>1</ShowPayoff>"
         "<CurrencyDecimals>2</CurrencyDecimals><CurrencyPosFormat>0</CurrencyPosFormat>"
         "<CurrencyNegFormat>1</CurrencyNegFormat>" +
         BranchText("id=\"N0\"", rootChildren) + "</Tree>";
}

std::string Id(int n) {
  return "id=\"N" + std::to_string(n) + "\"";
}

struct TextOnDisk {
  std::string Folder, Path;
  double Bytes;
  explicit TextOnDisk(const std::string& text) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "bw-treefile-bench-XXXXXX").string();
    Folder = ::mkdtemp(pattern.data());
    Path = Folder + "/hostile.bwk";
    FILE* f = std::fopen(Path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    Bytes = static_cast<double>(text.size());
  }
  ~TextOnDisk() { std::filesystem::remove_all(Folder); }
};

// Masters each holding two clones of the next, written last to first: the
// copies would double at every master. About 100 KB: 2^66 nodes asked for.
TextOnDisk& ExplodingFile() {
  static TextOnDisk t([] {
    const int masters = 66;
    std::string all;
    for (int i = masters - 1; i >= 0; --i) {
      std::string children;
      for (int c = 0; c < 2; ++c)
        children += BranchText(
            Id(10000 + 2 * i + c) +
            (i + 1 < masters ? " ref=\"N" + std::to_string(i + 2) + "\"" : std::string()));
      all += BranchText(Id(i + 1), children);
    }
    return TreeText(all);
  }());
  return t;
}

// Each clone's master is the clone before it.
TextOnDisk& ChainFile() {
  static TextOnDisk t([] {
    std::string all = BranchText(Id(1), BranchText(Id(2)) + BranchText(Id(3)));
    for (int i = 0; i < 40000; ++i)
      all += BranchText(Id(10 + i) + " ref=\"N" + std::to_string(i == 0 ? 1 : 9 + i) + "\"");
    return TreeText(all);
  }());
  return t;
}

} // namespace

static void BM_RefuseExplodingClones100KB(benchmark::State& state) {
  TextOnDisk& t = ExplodingFile();
  TTreeContext context;
  double peak = 0;
  for (auto _ : state) {
    size_t before = HeapInUse;
    HeapPeak = before;
    try {
      ReadTreeFile(t.Path, &context, TFontSpec{});
      state.SkipWithError("the file was not refused");
    } catch (const Exception&) {
    }
    peak = static_cast<double>(HeapPeak - before);
  }
  state.counters["file_KB"] = t.Bytes / 1e3;
  state.counters["peak_per_file_byte"] = peak / t.Bytes;
}
BENCHMARK(BM_RefuseExplodingClones100KB)->Unit(benchmark::kMillisecond);

// Reading, with the repair of clone links, and then the first clone
// synchronisation of the recalculation.
static void BM_ReadChainedClones40k(benchmark::State& state) {
  TextOnDisk& t = ChainFile();
  TTreeContext context;
  for (auto _ : state) {
    TTreeFileContents c = ReadTreeFile(t.Path, &context, TFontSpec{});
    benchmark::DoNotOptimize(c.Root.get());
    state.PauseTiming();
    c.Root.reset();
    state.ResumeTiming();
  }
  state.counters["file_MB"] = t.Bytes / 1e6;
}
BENCHMARK(BM_ReadChainedClones40k)->Unit(benchmark::kMillisecond);

static void BM_SyncChainedClones40k(benchmark::State& state) {
  TextOnDisk& t = ChainFile();
  TTreeContext context;
  for (auto _ : state) {
    state.PauseTiming();
    TTreeFileContents c = ReadTreeFile(t.Path, &context, TFontSpec{});
    state.ResumeTiming();
    c.Root->SyncClones();
    benchmark::DoNotOptimize(c.Root.get());
    state.PauseTiming();
    c.Root.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SyncChainedClones40k)->Unit(benchmark::kMillisecond);

// ---- Ids as scripts write them ----------------------------------------------

namespace {

// The same tree with every id replaced by a counter in its last hex digits,
// "00000000-0000-0000-0000-000000000001" on, clone links following.
TextOnDisk& WithSequentialIds(int nodes) {
  static std::map<int, std::unique_ptr<TextOnDisk>> files;
  std::unique_ptr<TextOnDisk>& file = files[nodes];
  if (file) return *file;
  std::string text =
      SerializeTree(*OfSize(nodes).Tree.Root, OfSize(nodes).Context.Options, TFontSpec{});
  std::unordered_map<std::string, std::string> fresh;
  constexpr size_t GuidLength = 36;
  for (const char* attribute : {" id=\"", " ref=\""}) {
    const std::string quoted = attribute;
    for (size_t at = text.find(quoted); at != std::string::npos; at = text.find(quoted, at)) {
      at += quoted.size();
      std::string& id = fresh[text.substr(at, GuidLength)];
      if (id.empty()) {
        char digits[13];
        std::snprintf(digits, sizeof digits, "%012zx", fresh.size());
        id = "00000000-0000-0000-0000-" + std::string(digits);
      }
      text.replace(at, GuidLength, id);
    }
  }
  file = std::make_unique<TextOnDisk>(text);
  return *file;
}

void OpenIdsBench(benchmark::State& state, const std::string& path) {
  TTreeContext context;
  for (auto _ : state) {
    auto root = Open(path, context);
    benchmark::DoNotOptimize(root->Value);
    state.PauseTiming();
    root.reset();
    state.ResumeTiming();
  }
}

} // namespace

// One tree with random ids and with sequential ones, at 65,536 and at a
// million nodes: the id index must not care which.
static void BM_TreeFileOpenRandomIds(benchmark::State& state) {
  OpenIdsBench(state, OfSize(static_cast<int>(state.range(0))).Path);
}
BENCHMARK(BM_TreeFileOpenRandomIds)->Arg(65536)->Arg(1000000)->Unit(benchmark::kMillisecond);

static void BM_TreeFileOpenSequentialIds(benchmark::State& state) {
  OpenIdsBench(state, WithSequentialIds(static_cast<int>(state.range(0))).Path);
}
BENCHMARK(BM_TreeFileOpenSequentialIds)->Arg(65536)->Arg(1000000)->Unit(benchmark::kMillisecond);
