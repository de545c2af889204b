// The eigenproblem of an analysis in which every active variable is multiple. With B the category
// cross-table and D the category marginals (cross_table.h), the centroids y of a converged run
// satisfy B y = lambda D y, and the solution's dimensions are the eigenvectors of the largest
// eigenvalues other than the trivial one (the constant vector, whose eigenvalue is 1 since
// B 1 = D). Solved directly instead of iterated: as the standard symmetric problem of
// A = D^-1/2 B D^-1/2 on the slots with a positive marginal, with the constant's direction
// projected out, densely (Eigen) for small tables and by implicitly restarted Lanczos (Spectra)
// for large ones.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace tallowmere {

struct TableEigenpairs {
  std::vector<double> values;   // decreasing
  std::vector<double> vectors;  // values.size() x S1, [d * S1 + s]: v' D v = 1, 0 where D = 0
  bool dense = false;           // which method found them
};

// Tables with at most this many slots of positive marginal are solved densely; Lanczos is faster
// from about 100 slots on (bench/run_bench --benchmark_filter=TableSolve).
inline constexpr std::ptrdiff_t denseTableLimit = 100;

// The `count` leading non-trivial eigenpairs of B v = lambda D v, or as many as the table has.
// `table` is S1 x S1, [s * S1 + s2], symmetric; `marginals` has S1 elements, none negative.
// Deterministic: the same table gives the same bits on every machine and in every thread.
void solveCategoryTable(std::span<const double> table, std::span<const double> marginals,
                        std::ptrdiff_t slots, std::ptrdiff_t count, TableEigenpairs& pairs,
                        std::ptrdiff_t denseLimit = denseTableLimit);

// Every non-trivial eigenvalue of B v = lambda D v, decreasing (the n - 1 of the n slots with a
// positive marginal), densely; empty past `limit` such slots, where that would take too long.
std::vector<double> allTableEigenvalues(std::span<const double> table,
                                        std::span<const double> marginals, std::ptrdiff_t slots,
                                        std::ptrdiff_t limit = 2000);

// For each of the P dimensions with eigenvalues `values` (decreasing; `following` continues them
// past P, as far as they are known): the last dimension, counting from 0 and possibly beyond P,
// whose eigenvalue agrees with this one's through a chain of neighbours that differ by at most
// `tolerance` times the largest eigenvalue. A dimension that shares its eigenvalue with none gets
// its own index. NaN eigenvalues tie with nothing.
std::vector<int> tiedThrough(std::span<const double> values, std::span<const double> following,
                             double tolerance);

// Eigenvalues that differ by at most this times the largest are reported as tied.
inline constexpr double tieTolerance = 1e-8;

}  // namespace tallowmere
