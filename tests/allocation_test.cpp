// A run allocates its buffers once: the number of allocations does not depend on the number of
// outer iterations. Global operator new is replaced in this test program to count the heap's;
// the engine's buffers (buffer.h), which may be mappings, count their own.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "buffer.h"
#include "dataset.h"
#include "problem.h"

namespace {
std::atomic<long> allocations{0};
std::atomic<long> liveBytes{0};
std::atomic<long> peakBytes{0};
constexpr std::size_t header = 16;  // keeps the block's size, and malloc's alignment
}  // namespace

void* operator new(std::size_t size) {
  ++allocations;
  auto* block = static_cast<char*>(std::malloc(size + header));
  if (block == nullptr) {
    throw std::bad_alloc();
  }
  *reinterpret_cast<std::size_t*>(block) = size;
  const long live = liveBytes += static_cast<long>(size);
  for (long peak = peakBytes; live > peak && !peakBytes.compare_exchange_weak(peak, live);) {
  }
  return block + header;
}
void operator delete(void* p) noexcept {
  if (p != nullptr) {
    char* block = static_cast<char*>(p) - header;
    liveBytes -= static_cast<long>(*reinterpret_cast<std::size_t*>(block));
    std::free(block);
  }
}
void operator delete(void* p, std::size_t) noexcept {
  operator delete(p);
}

namespace tallowmere {
namespace {

using testing::Problem;
using testing::RunTables;

long allAllocations() {
  return allocations + bufferStatistics().allocations;
}

long allocationsOfRun(Problem p, int32_t iterations) {
  p.maxIterations = iterations;
  p.fitTolerance = -1.0;
  p.cosineTolerance = -1.0;
  RunTables tables = RunTables::sizedFor(p);
  const long before = allAllocations();
  testing::runProblem(p, tables);
  return allAllocations() - before;
}

struct AllocationCase {
  const char* name;
  int32_t dimensions;
  int32_t innerIterations;
  bool mapped;  // every buffer a mapping (outside sanitized builds)
};
void PrintTo(const AllocationCase& c, std::ostream* out) {
  *out << c.name;
}

class Allocations : public ::testing::TestWithParam<AllocationCase> {};

TEST_P(Allocations, NoneInsideTheIterationLoop) {
  const AllocationCase& c = GetParam();
  Problem p = testing::datasetProblem("esoph", c.dimensions);
  p.innerIterations = c.innerIterations;
  p.activeSingle = {1, 1, 0};
  p.activeLevels = {1, 2, 0};  // ordinal regression runs in every inner iteration
  setMappingThreshold(c.mapped ? 0 : defaultMappingThreshold);
  const long one = allocationsOfRun(p, 1);
  EXPECT_GT(one, 0);
  EXPECT_EQ(allocationsOfRun(p, 25), one);
  if (c.mapped) {
    // Mapped buffers hold the same zeros as heap ones: results cannot depend on where they are.
    RunTables mapped = RunTables::sizedFor(p), heap = RunTables::sizedFor(p);
    testing::runProblem(p, mapped);
    setMappingThreshold(SIZE_MAX);
    testing::runProblem(p, heap);
    EXPECT_TRUE(testing::sameTables(mapped, heap));
  }
  setMappingThreshold(defaultMappingThreshold);
}

INSTANTIATE_TEST_SUITE_P(Runs, Allocations,
                         ::testing::Values(AllocationCase{"fused", 2, 0, false},
                                           AllocationCase{"rankOne", 3, 2, false},
                                           AllocationCase{"manyDimensions", 9, 1, true},
                                           AllocationCase{"mapped", 2, 0, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// The run's own memory (working buffers and compact codes) stays within a quarter more than the
// data matrix and the buffers of the plain design (object averages included) would take.
TEST(Memory, PeakWithinAQuarterOfDataAndWorkingBuffers) {
  Problem p;
  const std::size_t N = 20000, M = 20, K = 6, P = 3;
  p.objectCount = N;
  p.dimensionCount = P;
  p.maxCategories = K;
  p.dataStride = M + 1;
  p.useWeights = true;
  p.weightColumn = M;
  for (std::size_t j = 0; j < M; ++j) {
    p.activeColumns.push_back(j);
    p.activeCategoryCounts.push_back(K);
    p.activeSingle.push_back(0);
    p.activeLevels.push_back(0);
  }
  std::mt19937 rng(3);
  for (std::size_t i = 0; i < N; ++i) {
    for (std::size_t j = 0; j < M; ++j) {
      p.data.push_back(std::uniform_int_distribution<int32_t>(0, K)(rng));
    }
    p.data.push_back(1);
  }
  p.maxIterations = 3;
  RunTables tables = RunTables::sizedFor(p);
  const long dataBytes = N * (M + 1) * sizeof(int32_t);
  const long S = K * M;
  const long plainBuffers =
      N * 4 + N * 8 + S * 8 + 2 * P * N * 8 + P * S * 8 + S * 8 + M * P * 8 + P * 8;
  // The heap's peak and the buffers' peak added: at least the peak of both together.
  const long before = liveBytes, buffersBefore = bufferStatistics().liveBytes;
  peakBytes = before;
  resetBufferPeak();
  testing::runProblem(p, tables);
  const long runPeak = peakBytes - before + bufferStatistics().peakBytes - buffersBefore;
  EXPECT_EQ(liveBytes, before) << "the run leaves nothing allocated";
  EXPECT_EQ(bufferStatistics().liveBytes, buffersBefore) << "nor any buffer";
  EXPECT_LE(dataBytes + runPeak, (dataBytes + plainBuffers) * 5 / 4)
      << "run peak " << runPeak << " bytes";
  RecordProperty("runPeakBytes", std::to_string(runPeak));
  RecordProperty("dataAndPlainBuffers", std::to_string(dataBytes + plainBuffers));
}

}  // namespace
}  // namespace tallowmere
