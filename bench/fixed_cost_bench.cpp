// The fixed cost of a runHomals call, phase by phase, in a JVM embedded in this program: the
// bridge's copies and checks on real Java arrays, then the engine's setup and export, in the
// order of the native method and of runAnalysis, with one outer iteration in between that is
// timed apart. Each phase is a counter in milliseconds of the thread's processor time per call;
// "fixed" is their sum, and "iterations" says how many outer iterations it is worth. The report,
// a table, goes to standard error.
#include <benchmark/benchmark.h>
#include <jni.h>
#include <time.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <vector>

#include "argument_checks.h"
#include "buffer.h"
#include "engine.h"
#include "fused_steps.h"
#include "iteration_plan.h"
#include "marshalling.h"
#include "object_passes.h"
#include "synthetic.h"

namespace tallowmere::bench {
namespace {

JNIEnv* env = nullptr;

constexpr int32_t objects = 1000000, variables = 20, categories = 6, dimensions = 3;

// The arguments of a call as Java arrays: the synthetic data, and tables exactly as large as the
// results need (the object-score table a single empty row when scores are not written).
struct JavaCall {
  SyntheticData input = makeSyntheticData(objects, variables, categories);
  std::array<jintArray, bridge::intParameterCount> ints{};
  jobjectArray scoreTable = nullptr;
  jobjectArray categoryTable = nullptr;
  jobjectArray noScoreTable = nullptr;
};

jintArray globalInts(const std::vector<int32_t>& values) {
  const auto length = static_cast<jsize>(values.size());
  jintArray local = env->NewIntArray(length);
  env->SetIntArrayRegion(local, 0, length, values.data());
  auto global = static_cast<jintArray>(env->NewGlobalRef(local));
  env->DeleteLocalRef(local);
  return global;
}

jobjectArray globalTable(jsize rows, jsize columns) {
  jclass rowClass = env->FindClass("[D");
  jobjectArray local = env->NewObjectArray(rows, rowClass, nullptr);
  for (jsize r = 0; r < rows; ++r) {
    jdoubleArray row = env->NewDoubleArray(columns);
    env->SetObjectArrayElement(local, r, row);
    env->DeleteLocalRef(row);
  }
  auto global = static_cast<jobjectArray>(env->NewGlobalRef(local));
  env->DeleteLocalRef(local);
  env->DeleteLocalRef(rowClass);
  return global;
}

const JavaCall& javaCall() {
  static const JavaCall call = [] {
    JavaCall c;
    const std::vector<int32_t> none;
    c.ints = {globalInts(c.input.columns),
              globalInts(none),
              globalInts(c.input.categoryCounts),
              globalInts(none),
              globalInts(c.input.single),
              globalInts(none),
              globalInts(c.input.levels),
              globalInts(none),
              globalInts(c.input.data)};
    c.scoreTable = globalTable(objects + 1, dimensions + 1);
    c.categoryTable = globalTable(1 + variables * categories, dimensions + 1);
    c.noScoreTable = globalTable(1, 0);
    return c;
  }();
  return call;
}

// The calling thread's processor time, its own and the kernel's on its behalf (page faults
// included): a busy shared machine disturbs it far less than the time on the wall.
double threadMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

// Milliseconds per phase, summed over the benchmark's iterations.
struct PhaseTimes {
  enum Phase { checks, copiesIn, buffers, plan, marginals, randomStart, export_, copiesOut, count };
  static constexpr const char* names[count] = {"checks",    "copiesIn",    "buffers", "plan",
                                               "marginals", "randomStart", "export",  "copiesOut"};
  double ms[count] = {};
  double iteration = 0.0;
  double last = threadMilliseconds();

  double lap() {
    const double now = threadMilliseconds();
    const double elapsed = now - last;
    last = now;
    return elapsed;
  }
  void end(Phase phase) { ms[phase] += lap(); }
};

// One call of runHomals with one outer iteration, phase by phase.
void callInPhases(const JavaCall& c, bool writeObjectScores, PhaseTimes& t) {
  const SyntheticData& in = c.input;
  const jobjectArray scoreTable = writeObjectScores ? c.scoreTable : c.noScoreTable;
  t.lap();

  // The bridge: copies of the int[] arguments, the tables' shapes and the checks, the buffers of
  // the result cells and the category rows' walk.
  auto ints = std::make_unique<bridge::IntArguments>(env, c.ints);
  t.end(PhaseTimes::copiesIn);
  const bridge::TableRows scoreRows = bridge::measureRows(env, scoreTable);
  const bridge::TableRows categoryRows = bridge::measureRows(env, c.categoryTable);
  bridge::Arguments arguments;
  arguments.dimensionCount = dimensions;
  arguments.dataStride = in.stride();
  arguments.objectCount = objects;
  arguments.maxCategories = categories;
  arguments.activeCount = variables;
  arguments.weightColumn = variables;
  arguments.useWeights = true;
  arguments.writeObjectScores = writeObjectScores;
  for (int p = 0; p < bridge::IntArguments::count; ++p) {
    arguments.arrays[p] = ints->argument(p);
  }
  arguments.objectScoreTable = scoreRows.argument();
  arguments.categoryQuantificationTable = categoryRows.argument();
  if (!bridge::checkArguments(arguments).accepted()) {
    std::abort();
  }
  t.end(PhaseTimes::checks);
  auto scores = std::make_unique<bridge::ResultRows>(writeObjectScores ? objects : 0, dimensions);
  auto categoryCells = std::make_unique<bridge::ResultRows>(
      static_cast<jsize>(bridge::categoryRowCount(arguments)), dimensions);
  bridge::fetchRowsWithMarkers(env, c.categoryTable, bridge::shapeOf(categoryRows));
  t.end(PhaseTimes::copiesIn);

  // The engine, as runAnalysis runs it.
  analysisSettings = {.dimensionCount = dimensions,
                      .dataStride = in.stride(),
                      .objectCount = objects,
                      .maxCategories = categories,
                      .maxIterations = 1,
                      .innerIterations = 0,
                      .activeCount = variables,
                      .passiveCount = 0,
                      .weightColumn = variables,
                      .timing = false,
                      .useWeights = true,
                      .writeObjectScores = writeObjectScores,
                      .activeColumns = (*ints)[0],
                      .passiveColumns = (*ints)[1],
                      .activeCategoryCounts = (*ints)[2],
                      .passiveCategoryCounts = (*ints)[3],
                      .activeSingle = (*ints)[4],
                      .passiveSingle = (*ints)[5],
                      .activeLevels = (*ints)[6],
                      .passiveLevels = (*ints)[7],
                      .data = (*ints)[8],
                      .fitTolerance = -1.0,
                      .cosineTolerance = -1.0};
  const Problem problem = problemFromSettings(analysisSettings);
  const std::size_t N = objects, P = dimensions, S = problem.slotCount;
  {
    Buffer<double> w(N);
    Buffer<double> X(P * N), Y(P * S), m(N), D(S), z(S), a(variables * P), eigenvalues(P);
    t.end(PhaseTimes::buffers);
    IterationPlan plan;
    Workspace work;
    buildIterationPlan(problem, plan, work);
    t.end(PhaseTimes::plan);
    for (std::size_t i = 0; i < N; ++i) {
      w[i] = analysisSettings.data[i * in.stride() + variables];
    }
    double total = 0.0;
    computeMarginals(problem, w, m, D, total);
    t.end(PhaseTimes::marginals);
    drawRandomStart(X, randomState);
    centreObjectScores(problem, work, X, m, total);
    orthonormaliseObjectScores(problem, X, m, total);
    t.end(PhaseTimes::randomStart);

    EvaluationSums sums{};
    double fit = 0.0, minimumCosine = 0.0;
    computeCategoryCentroids(problem, plan, work, w, D, X, Y);
    averageAndEvaluate(problem, plan, work, w, m, Y, X, sums);
    summariseEvaluation(sums, eigenvalues, fit, minimumCosine, total);
    centreAndOrthonormalise(problem, X, m, total, sums);
    benchmark::DoNotOptimize(fit);
    t.iteration += t.lap();

    exportCategoryQuantifications(problem, Y, categoryCells->table());
    if (writeObjectScores) {
      centreObjectScores(problem, work, X, m, total);
      orthonormaliseObjectScores(problem, X, m, total);
      exportObjectScores(problem, X, scores->table());
    }
  }
  t.end(PhaseTimes::export_);

  scores->copyBack(env, scoreTable, bridge::shapeOf(scoreRows));
  categoryCells->copyBack(env, c.categoryTable, bridge::shapeOf(categoryRows));
  categoryCells.reset();
  scores.reset();
  ints.reset();
  t.end(PhaseTimes::copiesOut);
}

void CallPhases(benchmark::State& state) {
  const JavaCall& c = javaCall();
  const bool writeObjectScores = state.range(0) != 0;
  // A first call untimed, so that what a process pays once (the library's first touch of memory
  // the kernel has never given it) is not counted against every call.
  PhaseTimes warmUp;
  callInPhases(c, writeObjectScores, warmUp);
  PhaseTimes t;
  for (auto _ : state) {
    callInPhases(c, writeObjectScores, t);
  }
  const double calls = static_cast<double>(state.iterations());
  double fixed = 0.0;
  for (int p = 0; p < PhaseTimes::count; ++p) {
    state.counters[PhaseTimes::names[p]] = t.ms[p] / calls;
    fixed += t.ms[p] / calls;
  }
  state.counters["fixed"] = fixed;
  state.counters["iteration"] = t.iteration / calls;
  state.counters["iterations"] = fixed / (t.iteration / calls);
}
BENCHMARK(CallPhases)
    ->ArgName("scores")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

}  // namespace
}  // namespace tallowmere::bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  JavaVM* vm = nullptr;
  JavaVMInitArgs args{JNI_VERSION_10, 0, nullptr, JNI_FALSE};
  if (JNI_CreateJavaVM(&vm, reinterpret_cast<void**>(&tallowmere::bench::env), &args) != JNI_OK) {
    std::fprintf(stderr, "cannot create a JVM\n");
    return 1;
  }
  // The bridge's progress markers go nowhere, the report to standard error.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) {
    return 1;
  }
  benchmark::ConsoleReporter reporter(benchmark::ConsoleReporter::OO_Tabular);
  reporter.SetOutputStream(&std::cerr);
  reporter.SetErrorStream(&std::cerr);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  vm->DestroyJavaVM();
  return 0;
}
