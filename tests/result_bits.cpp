// Prints a hash of every result bit of runAnalysis and computeSolution on the bundled datasets and
// on seeded random problems, one line per analysis. Built for each machine, its output must be the
// same everywhere: the result_bits tests run it natively and under qemu and compare the lines.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "analysis_solution.h"
#include "dataset.h"
#include "problem.h"

namespace tallowmere {
namespace {

using testing::Problem;

// FNV-1a over the bytes of 64-bit words, least significant first whatever the byte order. A NaN
// counts as one value: IEEE 754 leaves the sign and payload of a generated NaN to the processor
// (x86-64's 0.0 / 0.0 is negative, aarch64's positive), and only raw bits tell them apart.
class BitHash {
 public:
  void add(uint64_t word) {
    for (int byte = 0; byte < 8; ++byte) {
      hash_ = (hash_ ^ ((word >> (8 * byte)) & 0xFF)) * 0x100000001B3u;
    }
    ++words_;
  }
  void add(double x) { add(std::isnan(x) ? uint64_t{0x7FF8} << 48 : std::bit_cast<uint64_t>(x)); }
  void add(int32_t x) { add(static_cast<uint64_t>(static_cast<uint32_t>(x))); }
  template <typename T>
  void add(const std::vector<T>& values) {
    for (const T& v : values) {
      add(v);
    }
  }
  uint64_t value() const { return hash_; }
  long words() const { return words_; }

 private:
  uint64_t hash_ = 0xCBF29CE484222325u;
  long words_ = 0;
};

void add(BitHash& h, const RunReport& r) {
  h.add(r.iterations);
  h.add(static_cast<int32_t>(r.stopReason));
  for (const double x : {r.fit, r.fitChange, r.minimumCosine, r.subspaceChange}) {
    h.add(x);
  }
}

// The inputs are hashed too, so that a difference in the generated problems is not taken for one
// in the engine.
uint64_t inputHash(const Problem& p) {
  BitHash h;
  for (const int32_t x :
       {p.dimensionCount, p.objectCount, p.maxCategories, p.dataStride, p.maxIterations,
        p.innerIterations, p.weightColumn, int32_t{p.useWeights}}) {
    h.add(x);
  }
  h.add(p.fitTolerance);
  h.add(p.cosineTolerance);
  for (const auto* v :
       {&p.activeColumns, &p.passiveColumns, &p.activeCategoryCounts, &p.passiveCategoryCounts,
        &p.activeSingle, &p.passiveSingle, &p.activeLevels, &p.passiveLevels, &p.data}) {
    h.add(*v);
  }
  return h.value();
}

void print(const std::string& name, const Problem& p, const BitHash& results) {
  std::printf("%-36s inputs %016llx  %7ld values %016llx\n", name.c_str(),
              static_cast<unsigned long long>(inputHash(p)), results.words(),
              static_cast<unsigned long long>(results.value()));
}

void runNative(const std::string& name, const Problem& p) {
  testing::RunTables tables = testing::RunTables::sizedFor(p);
  BitHash h;
  h.add(testing::runProblem(p, tables).iterations);
  for (const auto* rows : {&tables.objectRows, &tables.categoryRows}) {
    for (const std::vector<double>& row : *rows) {
      h.add(row);
    }
  }
  print(name + " runAnalysis", p, h);
}

void runSolution(const std::string& name, const Problem& p, Solver solver) {
  SolutionOptions options;
  options.solver = solver;
  // The variables in the caller's order, passive ones among the active.
  const Solution s = testing::solveTyped(p, options, true);
  BitHash h;
  h.add(static_cast<int32_t>(s.solver));
  add(h, s.report);
  for (std::size_t e = 0; e < s.objectScores.size(); ++e) {
    h.add(s.objectScores.data()[e]);
  }
  for (const auto* v : {&s.categoryQuantifications, &s.categoryCentroids, &s.loadings,
                        &s.eigenvalues, &s.pairCounts}) {
    h.add(*v);
  }
  for (const int tie : s.tiedThrough) {
    h.add(static_cast<int32_t>(tie));
  }
  const char* solverName[] = {" auto", " objects", " cross-table", " direct"};
  print(name + solverName[static_cast<int>(solver)], p, h);
}

void runAll(const std::string& name, const Problem& p) {
  runNative(name, p);
  for (const Solver solver :
       {Solver::automatic, Solver::objects, Solver::crossTable, Solver::direct}) {
    runSolution(name, p, solver);
  }
}

void runEverything() {
  // Dimension counts 1 .. 8 have vector kernels of their own, 16 takes the scalar loops.
  const struct {
    const char* name;
    int32_t dimensions;
  } datasets[] = {{"vote", 2},  {"vote", 16}, {"haireyecolor", 2},   {"haireyecolor-persons", 3},
                  {"esoph", 3}, {"esoph", 7}, {"contact-lenses", 1}, {"contact-lenses", 4}};
  for (const auto& d : datasets) {
    runAll(std::string(d.name) + " P=" + std::to_string(d.dimensions),
           testing::datasetProblem(d.name, d.dimensions));
  }
  // Missing codes, zero and negative weights, passive and single variables of every level, and
  // a few sizes where the automatic solver takes the cross-table.
  std::mt19937 rng(20240611);
  for (int trial = 0; trial < 120; ++trial) {
    const bool large = trial % 10 == 0;
    Problem p = testing::randomProblem(
        rng, {.maxObjects = large ? 3000 : 60, .maxActive = large ? 8 : 4, .maxDimensions = 10});
    p.innerIterations = trial % 3;
    runAll("random " + std::to_string(trial), p);
  }
  // Tables large enough for the blocked products of the dense eigensolver (more than 48 slots) and
  // for the Lanczos method (more than 400).
  for (const int32_t variables : {20, 60}) {
    Problem p = testing::randomProblem(rng, {.maxObjects = 1500,
                                             .maxActive = 1,
                                             .maxPassive = 0,
                                             .maxCategories = 8,
                                             .minCategories = 8,
                                             .minDimensions = 3});
    p.activeColumns.assign(variables, 0);
    p.activeCategoryCounts.assign(variables, 8);
    p.activeSingle.assign(variables, 0);
    p.activeLevels.assign(variables, 0);
    p.dataStride = variables;
    p.useWeights = false;
    p.data.resize(std::size_t(p.objectCount) * variables);
    for (int32_t j = 0; j < variables; ++j) {
      p.activeColumns[j] = j;
    }
    for (int32_t& code : p.data) {
      code = std::uniform_int_distribution<int32_t>(0, 8)(rng);
    }
    const std::string name = "wide " + std::to_string(variables * 8) + " slots";
    runSolution(name, p, Solver::direct);
    runSolution(name, p, Solver::crossTable);
  }
}

}  // namespace
}  // namespace tallowmere

int main() {
  tallowmere::runEverything();
}
