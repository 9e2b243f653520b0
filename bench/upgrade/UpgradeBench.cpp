// The HTTP client against the loopback server of the tests: a 100 MB
// download (rate and memory besides the file), how soon a running download
// stops when cancelled, and 1,000 small transfers in a row (time, and the
// threads and file handles left afterwards).
#include "LoopbackServer.h"

#include "upgrade/HttpClient.h"
#include "upgrade/UpgradeUtils.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <chrono>
#include <dirent.h>
#include <fstream>
#include <string>

namespace bw {
namespace {

using Clock = std::chrono::steady_clock;

template <typename Condition>
void ProcessUntil(Condition condition) {
  while (!condition())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

int CountEntries(const char* folder) {
  int n = 0;
  if (DIR* d = opendir(folder)) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') ++n;
    closedir(d);
  }
  return n;
}

long StatusKb(const std::string& key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key + ":", 0) == 0) return std::stol(line.substr(key.size() + 1));
  return 0;
}

// Forgets the peak resident size so far (Linux 4.0 and later).
void ResetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

constexpr int64_t Size100MB = 100LL * 1000 * 1000;

void BM_Download100MB(benchmark::State& state) {
  auto& server = test::LoopbackServer::Plain();
  QTemporaryDir dir;
  TauCustomHTTP http;
  http.SetTransferBufferSize(static_cast<uint32_t>(state.range(0)));
  http.URL = server.Url("/file?size=" + std::to_string(Size100MB));
  http.OutputFileName = dir.filePath("big.bin").toStdString();
  bool done = false;
  http.OnDone = [&](TauCustomHTTP*, const std::string&, int64_t, TauStream*) { done = true; };
  long extraKb = 0;
  for (auto _ : state) {
    done = false;
    long before = StatusKb("VmRSS");
    ResetPeak();
    http.Read(true);
    extraKb = std::max(extraKb, StatusKb("VmHWM") - before);
    if (!done) state.SkipWithError("download failed");
  }
  state.SetBytesProcessed(state.iterations() * Size100MB);
  state.counters["extra_memory_kB"] = static_cast<double>(extraKb);
}
BENCHMARK(BM_Download100MB)->Arg(4096)->Arg(65536)->Unit(benchmark::kMillisecond)->UseRealTime();

// From Abort to the worker's end, with a download streaming at full rate.
void BM_CancelRunningDownload(benchmark::State& state) {
  auto& server = test::LoopbackServer::Plain();
  QTemporaryDir dir;
  TauCustomHTTP http;
  http.URL = server.Url("/file?size=" + std::to_string(Size100MB));
  std::string out = dir.filePath("cancel.bin").toStdString();
  http.OutputFileName = out;
  bool force = state.range(0) != 0;
  double worstMs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    http.Read(false);
    ProcessUntil([&] { return GetFileSize64(out) > 10 * 1000 * 1000; });
    state.ResumeTiming();
    auto start = Clock::now();
    http.Abort(true, force);
    ProcessUntil([&] { return TauEventThread::UnjoinedThreadCount() == 0; });
    worstMs =
        std::max(worstMs, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  state.counters["worst_ms"] = worstMs;
}
BENCHMARK(BM_CancelRunningDownload)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Each transfer starts the next from its completion, as the upgrade does.
void BM_ThousandSmallTransfers(benchmark::State& state) {
  auto& server = test::LoopbackServer::Plain();
  int threadsBefore = CountEntries("/proc/self/task");
  int filesBefore = CountEntries("/proc/self/fd");
  for (auto _ : state) {
    TauCustomHTTP http;
    http.URL = server.Url("/file?size=100");
    int done = 0;
    QEventLoop loop;
    http.OnDone = [&](TauCustomHTTP* sender, const std::string&, int64_t, TauStream*) {
      sender->FreeDataStream();
      if (++done < 1000)
        sender->Read(false);
      else
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    };
    http.OnTransferFailed = [&](TauCustomHTTP*) {
      done = -1;
      QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    };
    http.Read(false);
    loop.exec();
    ProcessUntil([&] { return !http.Busy() && TauEventThread::UnjoinedThreadCount() == 0; });
    if (done != 1000) state.SkipWithError("a transfer failed");
  }
  state.counters["threads_left"] = CountEntries("/proc/self/task") - threadsBefore;
  state.counters["files_left"] = CountEntries("/proc/self/fd") - filesBefore;
}
BENCHMARK(BM_ThousandSmallTransfers)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
} // namespace bw

int main(int argc, char** argv) {
  for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY", "no_proxy"})
    unsetenv(name);
  QCoreApplication app(argc, argv);
  bw::test::LoopbackServer::Plain();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
