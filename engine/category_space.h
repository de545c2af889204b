// The outer loop run on the category cross-table (cross_table.h) instead of over the objects:
// the same steps in the same order as the passes over the objects, with scores kept as
// X = C^-1 G Z for a category-by-dimension Z (S1 x P), so that an iteration costs a few products
// with B instead of two passes over N x M codes. Private to the engine.
//
// Only the first centroid step (from the random start, which has no such form) and the final
// scores pass over the objects. Objects of weight 0 have no C^-1 G Z form either; they weigh
// nothing in any step, and their final scores mean nothing.
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

// Sizes Z and the scratch for a problem, once the tables are in place.
void resetCategorySpace(const Problem& problem, CategorySpace& space);

RunReport iterateInCategorySpace(RunState& run, CategorySpace& space, const StoppingRule& rule,
                                 SubspaceTracker* tracker, Momentum* momentum);

// The object scores X = C^-1 G Z (0 for objects of weight 0), by one pass over the objects.
void scoresFromCategorySpace(RunState& run, const CategorySpace& space);

// The centroids D^-1 B Z of the scores X = C^-1 G Z for every active slot, and D_p^-1 B_p Z for
// the passive slots when the passive table is there (P x S, [d * S + slot], 0 where D is 0 and in
// the slots of passive variables without a table).
void centroidsFromCategorySpace(const RunState& run, const CategorySpace& space,
                                std::span<double> categoryCentroids);

}  // namespace tallowmere
