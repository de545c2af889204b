// The process-wide settings of an analysis run and the layouts of every buffer the engine
// shares between its steps.
//
// Notation used throughout the engine:
//   N  objectCount         objects (rows of data)
//   P  dimensionCount      dimensions of the solution
//   K  maxCategories       category slots reserved per variable
//   M1 activeCount         active variables, J = 0 .. M1-1
//   M2 passiveCount        passive variables, J = M1 .. M1+M2-1 (passive variable j is J = M1 + j)
//   S  slotCount()         K * (M1 + M2)
//   k_J                    activeCategoryCounts[j] or passiveCategoryCounts[j]
//   t  totalMarginal       sum of the object marginals, passed to the steps by value
//
// Codes: the code of object i on variable J is data[i * dataStride + column], column taken from
// activeColumns or passiveColumns. Codes 1 .. k_J are categories; a code of 0 or below is
// missing and every step skips it. Category c of variable J lives in slot J * K + c - 1.
//
// Buffer layouts (all allocated zero-filled by the driver, once per run):
//   objectWeights           w  N int32        [i]
//   objectMarginals         m  N double       [i]
//   categoryMarginals       D  S double       [slot]
//   objectScores            X  P*N double     [d * N + i]      dimension-major
//   objectAverages          X~ P*N double     [d * N + i]      dimension-major
//   categoryQuantifications Y  P*S double     [d * S + slot]   dimension-major
//   singleQuantifications   z  S double       [slot]
//   loadings                a  (M1+M2)*P      [J * P + d]      variable-major
//   eigenvalues                P double       [d]
//
// Result tables are 1-based: row r, element k of a table is table[r][k]; row 0 and element 0
// of every row are never written.
//
// Floating point: every sum starts at 0.0 and adds its terms in increasing index order, with
// dimensions outermost, then variables (active before passive), then categories or objects.
// The engine is built with -ffp-contract=off so that these sums give the same bits everywhere.
#pragma once

#include <cfloat>
#include <cstddef>
#include <cstdint>

namespace tallowmere {

// Rows of a caller's result table, indexed from 1.
using ResultTable = double* const*;

// Threshold of every zero test and the margin of every convergence and ordering test: 2^-52.
inline constexpr double zeroTolerance = DBL_EPSILON;

struct AnalysisSettings {
  int32_t dimensionCount = 0;
  int32_t dataStride = 0;
  int32_t objectCount = 0;
  int32_t maxCategories = 0;
  int32_t maxIterations = 0;
  int32_t innerIterations = 0;
  int32_t activeCount = 0;
  int32_t passiveCount = 0;
  int32_t weightColumn = 0;
  bool timing = false;
  bool useWeights = false;
  bool writeObjectScores = false;
  const int32_t* activeColumns = nullptr;
  const int32_t* passiveColumns = nullptr;
  const int32_t* activeCategoryCounts = nullptr;
  const int32_t* passiveCategoryCounts = nullptr;
  const int32_t* activeSingle = nullptr;
  const int32_t* passiveSingle = nullptr;
  const int32_t* activeLevels = nullptr;
  const int32_t* passiveLevels = nullptr;
  const int32_t* data = nullptr;
  double fitTolerance = 0.0;
  double cosineTolerance = 0.0;
};

// Written by the driver at the start of every run, read by every step. Runs must not overlap.
extern AnalysisSettings analysisSettings;

// Sizes are computed in 64 bits so that out-of-range counts cannot overflow; within the limits
// of the data model they equal the int32 products.
inline std::ptrdiff_t slotCount() {
  const AnalysisSettings& s = analysisSettings;
  return std::ptrdiff_t{s.maxCategories} * (std::ptrdiff_t{s.activeCount} + s.passiveCount);
}

// Slot of category c (1-based) of variable J.
inline std::ptrdiff_t categorySlot(std::ptrdiff_t variable, int32_t code) {
  return variable * analysisSettings.maxCategories + code - 1;
}

// Per-variable views over the two groups, J running over active then passive variables.
inline int32_t variableCount() {
  return analysisSettings.activeCount + analysisSettings.passiveCount;
}
inline bool isActive(int32_t variable) {
  return variable < analysisSettings.activeCount;
}
inline int32_t variableColumn(int32_t variable) {
  const AnalysisSettings& s = analysisSettings;
  return isActive(variable) ? s.activeColumns[variable]
                            : s.passiveColumns[variable - s.activeCount];
}
inline int32_t variableCategoryCount(int32_t variable) {
  const AnalysisSettings& s = analysisSettings;
  return isActive(variable) ? s.activeCategoryCounts[variable]
                            : s.passiveCategoryCounts[variable - s.activeCount];
}
inline int32_t variableSingle(int32_t variable) {
  const AnalysisSettings& s = analysisSettings;
  return isActive(variable) ? s.activeSingle[variable] : s.passiveSingle[variable - s.activeCount];
}
inline int32_t variableLevel(int32_t variable) {
  const AnalysisSettings& s = analysisSettings;
  return isActive(variable) ? s.activeLevels[variable] : s.passiveLevels[variable - s.activeCount];
}

// The single flags and levels, read as every step reads them: a single flag of exactly 1 makes
// a variable single (rank one); a single variable's level of exactly 1 is ordinal, 2 or more
// numerical (its category scores stay fixed), anything else nominal.
inline bool isSingle(int32_t variable) {
  return variableSingle(variable) == 1;
}
inline bool isOrdinal(int32_t variable) {
  return isSingle(variable) && variableLevel(variable) == 1;
}
// Nominal and ordinal single variables update their category scores; numerical ones keep them.
inline bool hasFreeScores(int32_t variable) {
  return isSingle(variable) && variableLevel(variable) < 2;
}

// Code of object i on variable J; values of 0 or below are missing.
inline int32_t objectCode(std::ptrdiff_t object, int32_t variable) {
  const AnalysisSettings& s = analysisSettings;
  return s.data[object * s.dataStride + variableColumn(variable)];
}

}  // namespace tallowmere
