// Whole runs of runAnalysis on synthetic data: a fixed number of outer iterations (tolerances of
// -1 leave the iteration bound as the only stopping test), all variables multiple or a mix of
// single ordinal, nominal and numerical variables; and a run to convergence.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>

#include "analysis_solution.h"
#include "cross_table.h"
#include "engine.h"
#include "number_text.h"
#include "synthetic.h"
#include "table_eigensolver.h"
#include "workers.h"

namespace tallowmere::bench {
namespace {

// Result tables of the exact size a run writes, as row pointers.
struct Tables {
  std::vector<std::vector<double>> objectRows, categoryRows;
  std::vector<double*> objectTable, categoryTable;

  Tables(int32_t objects, int32_t categories, int32_t dimensions)
      : objectRows(objects + 1, std::vector<double>(dimensions + 1)),
        categoryRows(categories + 1, std::vector<double>(dimensions + 1)) {
    for (auto& row : objectRows) {
      objectTable.push_back(row.data());
    }
    for (auto& row : categoryRows) {
      categoryTable.push_back(row.data());
    }
  }
};

void run(const SyntheticData& in, int32_t dimensions, int32_t maxIterations,
         int32_t innerIterations, double fitTolerance, Tables& tables, RunReport& report) {
  report = runAnalysisReporting(
      settingsFor(in, dimensions, maxIterations, innerIterations, fitTolerance, -1.0),
      tables.objectTable.data(), tables.categoryTable.data());
}

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
  Tables tables(N, M * K, P);
  RunReport report;
  for (auto _ : state) {
    run(in, P, iterations, mixed ? 2 : 0, -1.0, tables, report);
  }
  // Seconds per outer iteration, setup included.
  state.counters["s/outer"] = benchmark::Counter(
      iterations, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(WholeRun)
    ->ArgNames({"N", "M", "K", "P", "mixed"})
    ->Args({1000000, 20, 6, 3, 0})
    ->Args({1000000, 20, 6, 3, 1})
    ->Args({1000000, 20, 6, 5, 0})
    ->Args({1000000, 20, 6, 5, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

// A whole run from the random start until the fit changes by less than 1e-10, all variables
// multiple: the number a user waits for.
void ConvergedRun(benchmark::State& state) {
  const int32_t N = static_cast<int32_t>(state.range(0)), M = 20, K = 6;
  const int32_t P = static_cast<int32_t>(state.range(1));
  const SyntheticData in = makeSyntheticData(N, M, K);
  Tables tables(N, M * K, P);
  RunReport report;
  for (auto _ : state) {
    run(in, P, 0, 0, 1e-10, tables, report);
  }
  state.counters["iterations"] = report.iterations;
}
BENCHMARK(ConvergedRun)
    ->ArgNames({"N", "P"})
    ->Args({1000000, 3})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

// The typed API's runs: the direct solution (solver 3: the cross-table's build and its
// eigenvectors, no iterations); the iterations until the subspace settles, then principal axes, on
// the cross-table (solver 2) or by passes over the objects (solver 1).
void SolutionRun(benchmark::State& state) {
  const int32_t N = static_cast<int32_t>(state.range(0));
  const int32_t M = static_cast<int32_t>(state.range(1));
  const int32_t K = static_cast<int32_t>(state.range(2));
  const int32_t P = 3;
  const SyntheticData in = makeSyntheticData(N, M, K);
  const double off = std::numeric_limits<double>::quiet_NaN();
  const Problem problem = typedProblemFor(in, P);
  const SolutionOptions options{.maxIterations = 1000,
                                .fitTolerance = off,
                                .cosineTolerance = off,
                                .solver = static_cast<Solver>(state.range(3))};
  Solution solution;
  for (auto _ : state) {
    computeSolution(problem, options, solution);
  }
  state.counters["iterations"] = solution.report.iterations;
  state.counters["crossTable"] = solution.solver == Solver::crossTable;
}
BENCHMARK(SolutionRun)
    ->ArgNames({"N", "M", "K", "solver"})
    ->Args({1000000, 20, 6, 1})
    ->Args({1000000, 20, 6, 2})
    ->Args({1000000, 20, 6, 3})
    ->Args({10000000, 20, 6, 2})
    ->Args({100000, 20, 6, 2})
    ->Args({1000000, 10, 6, 2})
    ->Args({1000000, 40, 6, 2})
    ->Args({1000000, 20, 3, 2})
    ->Args({1000000, 20, 12, 2})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

// The cross-table's build on 1 or 2 threads (parts of the objects whose integer tables are added),
// the pass that dominates the direct solution at large N, with the data's weights or with none
// (each object 1, as the command line's unweighted files). Aborts unless every thread count gives
// the tables of one thread exactly.
void CrossTableBuild(benchmark::State& state) {
  const int32_t N = static_cast<int32_t>(state.range(0));
  const int threads = static_cast<int>(state.range(1));
  const bool weighted = state.range(2) != 0;
  static SyntheticData in;
  if (in.objectCount != N) {
    in = makeSyntheticData(N, 20, 6);
  }
  Problem problem = typedProblemFor(in, 3);
  std::vector<double> weights;
  if (weighted) {
    weights.resize(static_cast<std::size_t>(N));
    for (int32_t i = 0; i < N; ++i) {
      weights[i] = in.data[std::size_t(i) * in.stride() + in.variableCount];
    }
  } else {
    problem.weights = {};
    problem.weightValues = nullptr;
  }
  CrossTables one, tables;
  buildCrossTables(problem, weights, false, SIZE_MAX, nullptr, one);
  Workers workers(threads);
  for (auto _ : state) {
    buildCrossTables(problem, weights, false, SIZE_MAX, &workers, tables);
  }
  if (tables.counts != one.counts) {
    std::abort();
  }
  state.counters["objects/s"] =
      benchmark::Counter(N, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(CrossTableBuild)
    ->ArgNames({"N", "threads", "weighted"})
    ->ArgsProduct({{1000000, 10000000}, {1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A table solver's object scores from its coefficients, on one byte column per variable and no
// weights, as the command line passes them: the pass after the cross-table at large N.
void TableObjectScores(benchmark::State& state) {
  const int32_t N = static_cast<int32_t>(state.range(0));
  const int threads = static_cast<int>(state.range(1));
  const SyntheticData in = makeSyntheticData(N, 20, 6);
  std::vector<std::vector<uint8_t>> columns(static_cast<std::size_t>(in.variableCount));
  Problem problem = typedProblemFor(in, 3);
  for (int32_t j = 0; j < in.variableCount; ++j) {
    for (int32_t i = 0; i < N; ++i) {
      columns[j].push_back(static_cast<uint8_t>(std::max(problem.variables[j].codes[i], 0)));
    }
    problem.variables[j].codes = CodeColumn{.bytes = columns[j].data()};
  }
  problem.weights = {};
  std::vector<double> Z(static_cast<std::size_t>(problem.activeSlotCount * 3));
  for (std::size_t s = 0; s < Z.size(); ++s) {
    Z[s] = static_cast<double>(s % 7) - 3.0;
  }
  std::vector<double> scores(static_cast<std::size_t>(N) * 3);
  Workers workers(threads);
  for (auto _ : state) {
    computeObjectScores(problem, Z, 0, N, scores, threads > 1 ? &workers : nullptr);
    benchmark::DoNotOptimize(scores.data());
  }
  state.counters["objects/s"] =
      benchmark::Counter(N, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(TableObjectScores)
    ->ArgNames({"N", "threads"})
    ->ArgsProduct({{10000000}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The eigensolution of a cross-table alone, for S active categories (M variables of K), densely
// (method 0) or by Lanczos (method 1): the part of the direct solution that does not grow with N.
void TableSolve(benchmark::State& state) {
  const int32_t M = static_cast<int32_t>(state.range(0));
  const int32_t K = static_cast<int32_t>(state.range(1));
  const bool lanczos = state.range(2) != 0;
  const SyntheticData in = makeSyntheticData(20000, M, K);
  const Problem problem = typedProblemFor(in, 3);
  CrossTables tables;
  resetCrossTables(problem, tables, false);
  std::vector<double> weights(in.objectCount);
  for (int32_t i = 0; i < in.objectCount; ++i) {
    weights[i] = in.data[std::size_t(i) * in.stride() + M];
  }
  accumulateCrossTables(problem, tables, 0, in.objectCount, weights, SIZE_MAX);
  std::vector<double> B, passive, pairs;
  formCrossTable(tables, B, passive);
  formPairCounts(tables, pairs);
  const std::ptrdiff_t S = std::ptrdiff_t{M} * K;
  std::vector<double> D(S);
  for (std::ptrdiff_t s = 0; s < S; ++s) {
    D[s] = pairs[s * S + s];
  }
  TableEigenpairs eigenpairs;
  for (auto _ : state) {
    solveCategoryTable(B, D, S, 5, eigenpairs, lanczos ? 0 : S);
  }
  state.counters["categories"] = static_cast<double>(S);
}
BENCHMARK(TableSolve)
    ->ArgNames({"M", "K", "lanczos"})
    ->Args({20, 6, 0})
    ->Args({20, 6, 1})
    ->Args({40, 6, 0})
    ->Args({40, 6, 1})
    ->Args({50, 8, 0})
    ->Args({50, 8, 1})
    ->Args({60, 10, 0})
    ->Args({60, 10, 1})
    ->Args({100, 30, 0})
    ->Args({100, 30, 1})
    ->Unit(benchmark::kMillisecond);

// The rows of objects.csv as the library writes their cells: a weight of 1 and P = 3 scores of a
// standard normal spread, mixed signs and magnitudes as an analysis gives them, 2^16 rows at a
// time.
void ScoreRowsText(benchmark::State& state) {
  const std::ptrdiff_t N = 1 << 20, P = 3, rows = 1 << 16;
  std::mt19937_64 random(11);
  std::normal_distribution<double> spread;
  std::vector<double> scores(static_cast<std::size_t>(N * P));
  for (double& score : scores) {
    score = spread(random);
  }
  std::vector<char> text(static_cast<std::size_t>(rows) * bridge::maxScoreRow(P));
  std::vector<int32_t> rowEnds(static_cast<std::size_t>(rows));
  std::ptrdiff_t first = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        bridge::scoreRows(scores, N, P, {}, first, first + rows, text.data(), rowEnds.data()));
    first = (first + rows) % N;
  }
  // Seconds per number, printed with its prefix (28n: 28 ns).
  state.counters["per number"] = benchmark::Counter(
      static_cast<double>(rows * (P + 1)),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(ScoreRowsText)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tallowmere::bench

BENCHMARK_MAIN();
