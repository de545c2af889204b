// The outer loop run on the category cross-table (cross_table.h) instead of over the objects:
// the same steps in the same order as the passes over the objects, with scores kept as
// X = C^-1 G Z for a category-by-dimension Z (S1 x P), so that an iteration costs a few products
// with B instead of two passes over N x M codes. Private to the engine.
//
// Only the final scores pass over the objects, each object on its own (the start is drawn in
// category space). Objects of weight 0 weigh nothing in any step; their final scores are those
// of the same formula.
#pragma once

#include <vector>

#include "run_report.h"
#include "run_state.h"

namespace tallowmere {

struct SubspaceTracker;
struct Momentum;

struct CategorySpace {
  std::vector<double> activeTable;   // B, S1 x S1
  std::vector<double> passiveTable;  // B_p, passive slots x S1; empty when not needed
  // Layouts P x S1, dimension-major, [d * S1 + s]:
  std::vector<double> scores;    // Z
  std::vector<double> weighted;  // G' W X of the current scores: D times their centroids
  std::vector<double> products;  // B Z, one dimension at a time
  std::vector<double> passiveProducts, crossProducts, newLengths;  // scratch
  // Set when `scores` hold a start, centred with D' Z = 0 and with Z' B Z = t I: the first
  // centroid step then comes from them instead of from a pass over the objects.
  bool warm = false;
};

// Centres Z (D' Z = 0 over the active slots) and orthonormalises it by Gram-Schmidt in the metric
// of B (Z' B Z = t I), leaving B Z in `products`.
void normaliseCategoryScores(CategorySpace& space, std::span<const double> activeMarginals,
                             double totalMarginal, std::ptrdiff_t P);

// The start of the typed solvers, in category space (P x S, [d * S + slot]): for each active
// category a whole number 0 .. 32767 drawn from its dimension, its variable's place among the
// active variables and its place in the variable; 0 in the other slots. Unlike a start drawn object
// by object, it is the same whatever the order of the objects, the layout of the slots, or where
// the tables were summed.
void drawCategoryStart(const Problem& problem, std::span<double> start);

// Z from drawCategoryStart, normalised, and marked warm.
void drawCategorySpaceStart(const RunState& run, CategorySpace& space);

// Sizes Z and the scratch for a problem, once the tables are in place.
void resetCategorySpace(const Problem& problem, CategorySpace& space);

RunReport iterateInCategorySpace(RunState& run, CategorySpace& space, const StoppingRule& rule,
                                 SubspaceTracker* tracker, Momentum* momentum);

// The centroids D^-1 B Z of the scores X = C^-1 G Z for every active slot, and D_p^-1 B_p Z for
// the passive slots when the passive table is there (P x S, [d * S + slot], 0 where D is 0 and in
// the slots of passive variables without a table).
void centroidsFromCategorySpace(const RunState& run, const CategorySpace& space,
                                std::span<double> categoryCentroids);

}  // namespace tallowmere
