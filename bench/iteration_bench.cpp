// Time of one outer iteration of the all-multiple analysis: centroids, object averages,
// evaluation, centring and orthonormalisation.
#include <benchmark/benchmark.h>

#include "engine.h"
#include "fused_steps.h"
#include "iteration_plan.h"
#include "object_passes.h"
#include "plain_loops.h"
#include "synthetic.h"

namespace tallowmere::bench {
namespace {

// The synthetic data as the native method's run sees them (and the plain loops read them).
struct IterationState {
  testing::Problem input;
  Problem problem;
  std::vector<double> weights;
  std::vector<double> m, D, X, averages, Y, eigenvalues;
  double t = 0.0;
};

IterationState prepare(int32_t objects, int32_t variables, int32_t categories, int32_t dimensions) {
  IterationState s;
  SyntheticData in = makeSyntheticData(objects, variables, categories);
  testing::Problem& p = s.input;
  p.dimensionCount = dimensions;
  p.objectCount = objects;
  p.maxCategories = categories;
  p.dataStride = in.stride();
  p.weightColumn = variables;
  p.useWeights = true;
  p.activeColumns = in.columns;
  p.activeCategoryCounts = in.categoryCounts;
  p.activeSingle = in.single;
  p.activeLevels = in.levels;
  p.data = std::move(in.data);
  s.problem = p.engineProblem();
  const std::size_t N = objects, P = dimensions, S = p.slotCount();
  s.weights = p.objectWeights();
  s.m.assign(N, 0.0);
  s.D.assign(S, 0.0);
  computeMarginals(s.problem, s.weights, s.m, s.D, s.t);
  s.X.resize(P * N);
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> value(0.0, 1.0);
  for (double& x : s.X) {
    x = value(rng);
  }
  Workspace work;
  work.scratch.assign(2 * entryStride(dimensions), 0.0);
  centreObjectScores(s.problem, work, s.X, s.m, s.t);
  orthonormaliseObjectScores(s.problem, s.X, s.m, s.t);
  s.averages.assign(P * N, 0.0);
  s.Y.assign(P * S, 0.0);
  s.eigenvalues.assign(P, 0.0);
  return s;
}

// The single-core memory bound of an iteration: two read-only passes over the code matrix
// (the centroid and average passes each read every code once) and one over the old and new
// object scores. Integer sums reassociate freely, so this loop runs at memory speed.
template <typename T>
T streamSum(const std::vector<T>& values) {
  T lanes[8] = {};
  const std::size_t n = values.size() / 8 * 8;
  for (std::size_t e = 0; e < n; e += 8) {
    for (int lane = 0; lane < 8; ++lane) {
      lanes[lane] += values[e + lane];
    }
  }
  T sum = 0;
  for (T lane : lanes) {
    sum += lane;
  }
  return sum;
}

void MemoryBound(benchmark::State& state) {
  IterationState s =
      prepare(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)),
              static_cast<int32_t>(state.range(2)), static_cast<int32_t>(state.range(3)));
  const std::vector<int64_t> scoreBits(s.X.size()), averageBits(s.averages.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(streamSum(s.input.data));
    benchmark::DoNotOptimize(streamSum(s.input.data));
    benchmark::DoNotOptimize(streamSum(scoreBits));
    benchmark::DoNotOptimize(streamSum(averageBits));
  }
  const double bytes = 2.0 * s.input.data.size() * sizeof(int32_t) + 2.0 * s.X.size() * 8;
  state.counters["bytes"] = bytes;
  state.counters["GB/s"] =
      benchmark::Counter(bytes * 1e-9, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(MemoryBound)
    ->ArgNames({"N", "M", "K", "P"})
    ->Args({1000000, 20, 6, 3})
    ->Args({1000000, 20, 6, 5})
    ->Unit(benchmark::kMillisecond);

// Each hot step of the driver's iteration alone, on the same state.
enum class Step { centroids, averageAndEvaluate, centreAndOrthonormalise };

void OneStep(benchmark::State& state) {
  IterationState s = prepare(1000000, 20, 6, static_cast<int32_t>(state.range(1)));
  IterationPlan plan;
  Workspace work;
  buildIterationPlan(s.problem, plan, work, {.maxLanes = static_cast<int>(state.range(2))});
  EvaluationSums sums{};
  computeCategoryCentroids(s.problem, plan, work, s.weights, s.D, s.X, s.Y);
  const Step step = static_cast<Step>(state.range(0));
  for (auto _ : state) {
    switch (step) {
      case Step::centroids:
        computeCategoryCentroids(s.problem, plan, work, s.weights, s.D, s.X, s.Y);
        break;
      case Step::averageAndEvaluate:
        averageAndEvaluate(s.problem, plan, work, s.weights, s.m, s.Y, s.X, sums);
        break;
      case Step::centreAndOrthonormalise:
        centreAndOrthonormalise(s.problem, s.X, s.m, s.t, sums);
        break;
    }
    benchmark::ClobberMemory();
  }
}
// The vector width is capped at 2, 4 or 8 lanes (as far as the processor allows).
BENCHMARK(OneStep)
    ->ArgNames({"step", "P", "lanes"})
    ->ArgsProduct({{0, 1, 2}, {3, 5}, {2, 4, 8}})
    ->Unit(benchmark::kMillisecond);

// One outer iteration of the all-multiple analysis as the driver runs it.
void OuterIteration(benchmark::State& state) {
  IterationState s =
      prepare(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)),
              static_cast<int32_t>(state.range(2)), static_cast<int32_t>(state.range(3)));
  // The compact codes a run prepares once, before its loop.
  IterationPlan plan;
  Workspace work;
  buildIterationPlan(s.problem, plan, work);
  EvaluationSums sums{};
  double fit = 0.0, minimumCosine = 0.0;
  for (auto _ : state) {
    computeCategoryCentroids(s.problem, plan, work, s.weights, s.D, s.X, s.Y);
    averageAndEvaluate(s.problem, plan, work, s.weights, s.m, s.Y, s.X, sums);
    summariseEvaluation(sums, s.eigenvalues, fit, minimumCosine, s.t);
    centreAndOrthonormalise(s.problem, s.X, s.m, s.t, sums);
    benchmark::DoNotOptimize(fit);
  }
  state.counters["objects/s"] = benchmark::Counter(static_cast<double>(state.range(0)),
                                                   benchmark::Counter::kIsIterationInvariantRate);
}

// The same iteration with every step's loops as plainly written: dimension outermost, codes
// read from the data on every pass.
void StraightforwardIteration(benchmark::State& state) {
  IterationState s =
      prepare(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)),
              static_cast<int32_t>(state.range(2)), static_cast<int32_t>(state.range(3)));
  double fit = 0.0, minimumCosine = 0.0;
  for (auto _ : state) {
    const testing::Problem& p = s.input;
    plain::computeCategoryCentroids(p, s.weights, s.D, s.X, s.Y);
    plain::computeObjectAverages(p, s.weights, s.m, s.Y, s.averages);
    plain::evaluateIteration(p, s.m, s.X, s.averages, s.eigenvalues, fit, minimumCosine, s.t);
    plain::centreObjectScores(p, s.X, s.m, s.t);
    plain::orthonormaliseObjectScores(p, s.X, s.m, s.t);
    benchmark::DoNotOptimize(fit);
  }
}
BENCHMARK(StraightforwardIteration)
    ->ArgNames({"N", "M", "K", "P"})
    ->Args({1000000, 20, 6, 3})
    ->Unit(benchmark::kMillisecond);

BENCHMARK(OuterIteration)
    ->ArgNames({"N", "M", "K", "P"})
    ->Args({1000000, 20, 6, 3})
    ->Args({1000000, 20, 6, 5})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tallowmere::bench

BENCHMARK_MAIN();
