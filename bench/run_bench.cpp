// Time of a whole run of runAnalysis with a fixed number of outer iterations (tolerances of
// -1 leave the iteration bound as the only stopping test), all variables multiple or a mix of
// single ordinal, nominal and numerical variables.
#include <benchmark/benchmark.h>

#include "engine.h"
#include "synthetic.h"

namespace tallowmere::bench {
namespace {

constexpr int32_t iterations = 10;

void WholeRun(benchmark::State& state) {
  const int32_t N = static_cast<int32_t>(state.range(0));
  const int32_t M = static_cast<int32_t>(state.range(1));
  const int32_t K = static_cast<int32_t>(state.range(2));
  const int32_t P = static_cast<int32_t>(state.range(3));
  const bool mixed = state.range(4) != 0;
  SyntheticData in = makeSyntheticData(N, M, K);
  if (mixed) {
    // A quarter each of single ordinal, single nominal and single numerical variables.
    for (int32_t j = 0; j < M; ++j) {
      const int32_t kind = j % 4;
      in.single[j] = kind == 3 ? 0 : 1;
      in.levels[j] = kind == 0 ? 1 : kind == 1 ? 0 : 2;
    }
  }
  std::vector<std::vector<double>> objectRows(N + 1, std::vector<double>(P + 1));
  std::vector<std::vector<double>> categoryRows(M * K + 1, std::vector<double>(P + 1));
  std::vector<double*> objectTable, categoryTable;
  for (auto& row : objectRows) {
    objectTable.push_back(row.data());
  }
  for (auto& row : categoryRows) {
    categoryTable.push_back(row.data());
  }
  for (auto _ : state) {
    runAnalysis(P, in.stride(), N, K, iterations, mixed ? 2 : 0, M, 0, M, false, true, true,
                in.columns.data(), nullptr, in.categoryCounts.data(), nullptr, in.single.data(),
                nullptr, in.levels.data(), nullptr, in.data.data(), -1.0, -1.0, objectTable.data(),
                categoryTable.data());
  }
  // Seconds per outer iteration, setup included.
  state.counters["s/outer"] = benchmark::Counter(
      iterations, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(WholeRun)
    ->ArgNames({"N", "M", "K", "P", "mixed"})
    ->Args({1000000, 20, 6, 3, 0})
    ->Args({1000000, 20, 6, 3, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace
}  // namespace tallowmere::bench

BENCHMARK_MAIN();
