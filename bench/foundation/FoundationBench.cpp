// Ids and numbers are converted for every node of every file opened or saved.
#include "foundation/Conversions.h"
#include "foundation/Guid.h"

#include <benchmark/benchmark.h>

#include <vector>

using namespace bw;

static void BM_GuidToString(benchmark::State& state) {
  Guid g = Guid::NewGuid();
  for (auto _ : state)
    benchmark::DoNotOptimize(Guid::ToString(g));
}
BENCHMARK(BM_GuidToString);

static void BM_GuidParse(benchmark::State& state) {
  std::string text = Guid::NewGuid().ToString();
  for (auto _ : state)
    benchmark::DoNotOptimize(Guid::Parse(text));
}
BENCHMARK(BM_GuidParse);

static void BM_GuidNewGuid(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(Guid::NewGuid());
}
BENCHMARK(BM_GuidNewGuid);

static const std::vector<double>& Values() {
  static const std::vector<double> values = {0,    1234.5,     0.1, -2.5e-7,
                                             1e20, 123456.789, 100, 33.3333};
  return values;
}

static void BM_FloatToInvariantStr(benchmark::State& state) {
  size_t i = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(FloatToInvariantStr(Values()[i++ % Values().size()]));
}
BENCHMARK(BM_FloatToInvariantStr);

static void BM_InvariantStrToFloat(benchmark::State& state) {
  std::vector<std::string> texts;
  for (double v : Values())
    texts.push_back(FloatToInvariantStr(v));
  size_t i = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(InvariantStrToFloat(texts[i++ % texts.size()]));
}
BENCHMARK(BM_InvariantStrToFloat);
