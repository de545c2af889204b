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

struct IterationState {
  SyntheticData input;
  std::vector<int32_t> weights;
  std::vector<double> m, D, X, averages, Y, eigenvalues;
  double t = 0.0;
};

IterationState prepare(int32_t objects, int32_t variables, int32_t categories, int32_t dimensions) {
  IterationState s;
  s.input = makeSyntheticData(objects, variables, categories);
  const SyntheticData& in = s.input;
  analysisSettings = settingsFor(in, dimensions, 0, 0, -1.0, -1.0);
  const std::size_t N = objects, P = dimensions, S = slotCount();
  s.weights.resize(N);
  for (std::size_t i = 0; i < N; ++i) {
    s.weights[i] = in.data[i * in.stride() + variables];
  }
  s.m.assign(N, 0.0);
  s.D.assign(S, 0.0);
  computeMarginals(s.weights, s.m, s.D, s.t);
  s.X.resize(P * N);
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> value(0.0, 1.0);
  for (double& x : s.X) {
    x = value(rng);
  }
  centreObjectScores(s.X, s.m, s.t);
  orthonormaliseObjectScores(s.X, s.m, s.t);
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
  buildIterationPlan(plan, work, {.maxLanes = static_cast<int>(state.range(2))});
  EvaluationSums sums{};
  computeCategoryCentroids(plan, work, s.weights, s.D, s.X, s.Y);
  const Step step = static_cast<Step>(state.range(0));
  for (auto _ : state) {
    switch (step) {
      case Step::centroids:
        computeCategoryCentroids(plan, work, s.weights, s.D, s.X, s.Y);
        break;
      case Step::averageAndEvaluate:
        averageAndEvaluate(plan, work, s.weights, s.m, s.Y, s.X, sums);
        break;
      case Step::centreAndOrthonormalise:
        centreAndOrthonormalise(s.X, s.m, s.t, sums);
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
  buildIterationPlan(plan, work);
  EvaluationSums sums{};
  double fit = 0.0, minimumCosine = 0.0;
  for (auto _ : state) {
    computeCategoryCentroids(plan, work, s.weights, s.D, s.X, s.Y);
    averageAndEvaluate(plan, work, s.weights, s.m, s.Y, s.X, sums);
    summariseEvaluation(sums, s.eigenvalues, fit, minimumCosine, s.t);
    centreAndOrthonormalise(s.X, s.m, s.t, sums);
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
    plain::computeCategoryCentroids(s.weights, s.D, s.X, s.Y);
    plain::computeObjectAverages(s.weights, s.m, s.Y, s.averages);
    plain::evaluateIteration(s.m, s.X, s.averages, s.eigenvalues, fit, minimumCosine, s.t);
    plain::centreObjectScores(s.X, s.m, s.t);
    plain::orthonormaliseObjectScores(s.X, s.m, s.t);
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
