// The analysis as the typed Java API runs it: the same alternating least squares as runAnalysis,
// stopped when the solution's subspace has settled rather than its fit, and finished by a
// rotation to principal axes so that every dimension, not only their sum, is the solution's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "buffer.h"
#include "cross_table.h"
#include "problem.h"
#include "run_report.h"
#include "workers.h"

namespace tallowmere {

// How the solution is found: by iterations that pass over the objects (object scores in memory,
// 2 N M1 P multiply-adds per iteration), by iterations on the category cross-table
// (category_space.h: one pass of N M1 (M1 + 1) / 2 additions to build it, then 3 P S1^2
// multiply-adds per iteration), or, when every active variable is multiple, as the eigenvectors of
// the cross-table (table_eigensolver.h), without iterations. Numbered as the Java side passes them.
enum class Solver : int32_t {
  // Direct when every active variable is multiple and the tables fit the budget; otherwise the
  // cross-table when crossTablePays() and its tables fit, else the objects.
  automatic = 0,
  objects = 1,     // always the passes over the objects
  crossTable = 2,  // the cross-table iteration whenever its tables fit the budget
  direct = 3,      // as automatic; the name says what is wanted
};

struct SolutionOptions {
  // Outer iterations at most (0 or less: no bound), and rounds of the rank-one step in each (0 or
  // less: single variables are treated as multiple).
  int32_t maxIterations = 1000;
  int32_t innerIterations = 0;
  // Also stop when the fit changes by less, or 1 - the smallest cosine falls below; NaN: never.
  double fitTolerance = std::numeric_limits<double>::quiet_NaN();
  double cosineTolerance = std::numeric_limits<double>::quiet_NaN();
  // The run stops once the estimated distance of its subspace from the limit is at most this
  // (dimensionless: sines of the angles between subspaces). 0 or NaN: only the tests below.
  double subspaceTolerance = 1e-8;
  // Heavy-ball acceleration (momentum.h) when every active variable is multiple and the subspace
  // is tracked.
  bool accelerate = true;
  Solver solver = Solver::automatic;
  // The cross-table's integer tables may take at most this many bytes; past it the run falls back
  // to the passes over the objects.
  std::size_t crossTableBudget = std::size_t{256} << 20;
  // Without the rotation the dimensions stay as the iterations left them (a turn of the principal
  // axes within their subspace), and eigenvalue d is that dimension's Rayleigh quotient.
  bool principalAxes = true;
  // When positive, the bound of the cross-table iteration: as many iterations as this many
  // multiply-adds of its products pay for (3 P S1^2 each), and never fewer than maxIterations.
  // 0: maxIterations alone. The passes over the objects keep maxIterations.
  double categorySpaceWork = 0.0;
  // The rank-one step by rounds of alternating least squares (regressSingleQuantifications in
  // engine.h), which settle far faster than the accumulating rounds of runAnalysis and have the
  // same fixed points.
  bool regressRankOne = true;
  // Rank-one runs on the cross-table start from the direct solution of the same data with every
  // active variable multiple instead of from the random start.
  bool warmStart = true;
  // Threads the run may use, the calling one among them; the results do not depend on it.
  int32_t threads = 1;
  // Every non-trivial eigenvalue of the cross-table too (Solution::tableEigenvalues).
  bool tableEigenvalues = false;
  // False: the table solvers leave Solution::objectScores empty, and the caller computes them
  // from the score coefficients a part at a time (computeObjectScores), so that they never take
  // the memory of all the objects at once.
  bool objectScores = true;
};

// True when building the cross-table and 100 iterations on it take fewer operations than 100
// passes over the objects: N M1 (M1 + 1) / 2 + 100 * 3 P S1^2 < 100 * 2 N M1 P.
bool crossTablePays(const Problem& problem);

// Layouts as in problem.h:
//   objectScores            P x N  [d * N + i]; objects without weight or without a valid
//                                   active code have no meaningful score
//   categoryQuantifications P x S  [d * S + slot]; rank-one a_Jd z_J for single variables
//   categoryCentroids       P x S  [d * S + slot]; weighted means of the object scores
//   loadings                V x P    [J * P + d]; written for single variables only
//   eigenvalues             P      decreasing
//   pairCounts              S1 x S1  [s * S1 + s2], the weighted counts of every pair of active
//                                   categories among the objects that take part; only when the
//                                   cross-table was built, else empty
//   tiedThrough             P        for each dimension, the last dimension (from 0, possibly P or
//                                   more) whose eigenvalue it shares (tiedThrough() in
//                                   table_eigensolver.h, with tieTolerance); its own index when it
//                                   shares it with none. Past P only when the solver knows more
//                                   eigenvalues than it reports (the direct solution).
struct Solution {
  Buffer<double> objectScores;
  std::vector<double> categoryQuantifications;
  std::vector<double> categoryCentroids;
  std::vector<double> loadings;
  std::vector<double> eigenvalues;
  std::vector<double> pairCounts;
  std::vector<int> tiedThrough;
  // Asked for in the options, when every active variable is multiple and the cross-table was
  // built: all its non-trivial eigenvalues, decreasing (allTableEigenvalues); else empty.
  std::vector<double> tableEigenvalues;
  // The table solvers' Z (P x S1, [d * S1 + s], S1 the active slots): an object's score on
  // dimension d is the sum of Z over its valid active cells divided by their number. Empty for
  // the passes over the objects.
  std::vector<double> scoreCoefficients;
  // Sums of w_i x_id and of w_i x_id^2 over the objects that take part, by dimension, with the
  // weights in their whole units: from the tables for the table solvers (the same bits for every
  // order of the objects), else from the object scores.
  std::vector<double> scoreSums, scoreSquares;
  RunReport report;
  Solver solver = Solver::objects;  // the one that ran: objects, crossTable or direct
};

// Runs the analysis of `problem` with the given options and fills `solution`:
// - the steps are runAnalysis's, but objects without a valid active code weigh 0, so that they
//   shape no passive category, and a NaN fit ends the run;
// - after the loop the object scores are normalised once more; the centroids of every variable
//   are taken from them, and the loadings of single variables recomputed from those centroids;
// - a direct solution takes its scores, centroids and quantifications from the table's
//   eigenvectors instead, with the passive single variables' rank-one steps repeated on the
//   final centroids until they settle, and its report says 0 iterations and StopReason::direct;
// - a solution found by iterations is rotated to principal axes: with R = sum over active
//   variables of Q_j' D_j Y_j (Q the quantifications, Y the centroids; R is symmetric), object
//   scores, centroids, quantifications and loadings are multiplied by the eigenvectors of R,
//   ordered by decreasing eigenvalue, and eigenvalue d of the analysis is that of R divided by t;
// - the sign of each dimension is set so that, among the active categories with weight, the
//   first (in variable and category order) whose quantification is within a relative 10^-6 of
//   the largest absolute one is positive.
// Reentrant: runs of different problems may go on at the same time. Throws std::bad_alloc when
// the buffers cannot be allocated.
void computeSolution(Problem problem, const SolutionOptions& options, Solution& solution);

// The solution from tables summed elsewhere (a database): `problem` describes the variables and
// has no objects (objectCount 0, no codes), `tables` hold the counts of its objects in whole
// weight units. The results are those that computeSolution's table solvers give for the objects
// the tables were summed from, bit for bit, but without object scores (scoreCoefficients give
// them). The direct solution unless the options ask for the cross-table iteration or a single
// variable is active.
void computeSolutionFromTables(Problem problem, const CrossTables& tables,
                               const SolutionOptions& options, Solution& solution);

// The scores of objects first .. last - 1 from a table solver's coefficients Z (P x S1), into
// `scores` (P x (last - first), [d * (last - first) + i - first]): for each object the sum over
// its valid active cells of w_i Z, in variable order, divided by w_i times their number; 0 for an
// object of weight 0 or without a valid active code. The same bits as the passes over the objects
// give, for every part of the objects and every number of workers (none: the calling thread).
void computeObjectScores(const Problem& problem, std::span<const double> Z, std::ptrdiff_t first,
                         std::ptrdiff_t last, std::span<double> scores, Workers* workers);

}  // namespace tallowmere
