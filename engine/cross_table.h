// The category cross-table of an analysis. With G the indicator matrix of the valid active codes
// (N x S1, S1 the active slots, problem.h), W = diag(w) and C = diag(number of valid active codes
// of each object), every step of an iteration after the first centroid step is linear in a
// category-by-dimension matrix Z with object scores X = C^-1 G Z, and every product it needs
// comes from B = G' W C^-1 G (S1 x S1): the centroids of X are D^-1 B Z, and the m-metric product
// of two dimensions is Z_d' B Z_e. Passive single variables need their centroids too, from
// B_p = G_p' W C^-1 G (passive slots x S1).
//
// The weights are summed exactly, as 64-bit integers, in one table per number of valid active
// codes; B is then sum over c of T_c / c. Integer sums do not depend on the order of the objects,
// so the tables of parts of the data, added (addCrossTables), give B bit for bit: the pass can be
// split across threads, machines or a database's GROUP BY.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "problem.h"

namespace tallowmere {

class Workers;

struct CrossTables {
  std::ptrdiff_t activeSlots = 0;   // S1
  std::ptrdiff_t passiveSlots = 0;  // S - S1 when passive centroids are wanted, else 0
  // counts[c - 1] for objects with c valid active codes, empty when there are none. Layout:
  // the active pairs, [s * S1 + s2] for slots s <= s2 (upper triangle; the rest stays 0), then
  // the passive-active pairs at S1 * S1 + [p * S1 + s].
  std::vector<std::vector<int64_t>> counts;

  std::size_t tableSize() const {
    return static_cast<std::size_t>((activeSlots + passiveSlots) * activeSlots);
  }
  // Bytes held by the tables now.
  std::size_t bytes() const;
};

// Empty tables for a problem (M1 counts), with passive pairs when `withPassive`.
void resetCrossTables(const Problem& problem, CrossTables& tables, bool withPassive);

// Adds objects first .. last - 1 of the problem with the given weights (the problem's own when
// `objectWeights` is empty). Objects of weight 0 add nothing. Returns false, with the tables
// incomplete, when a new table would take the tables past `budgetBytes`.
bool accumulateCrossTables(const Problem& problem, CrossTables& tables, std::ptrdiff_t first,
                           std::ptrdiff_t last, std::span<const double> objectWeights,
                           std::size_t budgetBytes);

// The tables of all objects of a problem with the given weights, one part of the objects a worker
// (workers.h; all on the calling thread without them), each part within its share of the budget,
// added together: the same tables for every number of parts. False when they do not fit.
bool buildCrossTables(const Problem& problem, std::span<const double> objectWeights,
                      bool withPassive, std::size_t budgetBytes, Workers* workers,
                      CrossTables& tables);

// into += part, table by table; both of the same shape.
void addCrossTables(CrossTables& into, const CrossTables& part);

// B (S1 x S1, symmetric, [s * S1 + s2]) and B_p (passive slots x S1) as sums over c = 1 .. M1,
// in increasing order, of T_c / c, each starting at 0.0.
void formCrossTable(const CrossTables& tables, std::vector<double>& activeTable,
                    std::vector<double>& passiveTable);

// The weighted counts of every pair of active categories, sum over c of T_c (S1 x S1,
// symmetric): the Burt table of the objects that take part, whose diagonal is D.
void formPairCounts(const CrossTables& tables, std::vector<double>& pairCounts);

}  // namespace tallowmere
