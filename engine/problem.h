// One analysis described once, as a value that its run owns and passes to every step: the sizes,
// every variable once with its codes and how it is quantified, the object weights, and the slot
// layout of every per-category buffer derived from them. Two problems never share mutable state,
// so two runs can go on side by side.
//
// Notation used throughout the engine:
//   N  objectCount      objects
//   P  dimensionCount   dimensions of the solution
//   V  variables        J = 0 .. V-1 in the order given (the caller's order)
//   M1, M2              active and passive variables
//   K  maxCategories    the largest category count (runHomals: its maxCategories argument)
//   k_J                 categories of variable J
//   S  slotCount        category slots of all variables; S1 = activeSlotCount, the first S1 of them
//   t  totalMarginal    the sum of the object marginals
//
// Codes: the code of object i on variable J is variables[J].codes[i]; codes 1 .. k_J are
// categories, anything else is missing and every step skips it. Category c of variable J lives in
// slot slotStart[J] + c - 1. Every active variable's block of slots comes before every passive
// one, active blocks in variable order, then passive blocks in variable order:
//   uniform layout (runHomals): variables are given active first, and block J is slots
//                               J * K .. J * K + K - 1 (slots past k_J hold no category);
//   packed layout (the typed entry point): block J has k_J slots, in the order above.
//
// Buffer layouts, in every step:
//   objectWeights           w  N double       [i]      whole numbers
//   objectMarginals         m  N double       [i]
//   categoryMarginals       D  S double       [slot]
//   objectScores            X  P*N double     [d * N + i]      dimension-major
//   categoryQuantifications Y  P*S double     [d * S + slot]   dimension-major
//   singleQuantifications   z  S double       [slot]
//   loadings                a  V*P            [J * P + d]      variable-major
//   eigenvalues                P double       [d]
//
// Floating point: every sum starts at 0.0 and adds its terms in increasing index order, with
// dimensions outermost, then active variables in order, then categories or objects. Passive
// variables enter no sum with active ones. The engine is built with -ffp-contract=off so that
// these sums give the same bits everywhere.
#pragma once

#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tallowmere {

// Threshold of every zero test and the margin of every convergence and ordering test: 2^-52.
inline constexpr double zeroTolerance = DBL_EPSILON;

// A column of codes. Mostly int32 values, element i at data[i * stride]: a variable's codes in its
// own array (stride 1) or in a row-major matrix (the matrix's row length). A caller that keeps its
// codes compact gives them as unsigned bytes or shorts instead (`bytes` or `shorts` set, `data`
// null, element i at [i]): a column of a few categories then costs a quarter of the memory and of
// the reads, and no widened copy of it is ever made.
struct CodeColumn {
  const int32_t* data = nullptr;
  std::ptrdiff_t stride = 1;
  const uint8_t* bytes = nullptr;
  const uint16_t* shorts = nullptr;

  int32_t operator[](std::ptrdiff_t i) const {
    return bytes != nullptr ? bytes[i] : shorts != nullptr ? shorts[i] : data[i * stride];
  }
  bool empty() const { return data == nullptr && bytes == nullptr && shorts == nullptr; }
};

struct Variable {
  CodeColumn codes;
  int32_t categoryCount = 0;  // k_J; 0 or below: no categories
  bool active = true;
  // Read as runHomals reads its flags: a single flag of exactly 1 makes the variable single (rank
  // one); a single variable's level of exactly 1 is ordinal, 2 or more numerical (its category
  // scores stay fixed), anything else nominal.
  int32_t single = 0;
  int32_t level = 0;
  // The values of the categories, k_J of them in category order, or null for 0, 1, ..., k_J - 1:
  // the initial scores of a single variable, which a numerical one keeps (standardised).
  const double* values = nullptr;
};

enum class SlotLayout { uniform, packed };

struct Problem {
  std::ptrdiff_t objectCount = 0;
  int32_t dimensionCount = 0;
  std::vector<Variable> variables;
  // The object weights: `weightValues` when set (whole numbers, below 2^53, whose sums times M1
  // stay below 2^62, so that every sum of them is exact in 64-bit integers), else the column of
  // `weights`, else 1.
  CodeColumn weights;
  const double* weightValues = nullptr;
  // Derived by makeProblem:
  int32_t maxCategories = 0;
  SlotLayout layout = SlotLayout::packed;
  std::vector<int32_t> activeVariables, passiveVariables;  // J, in order
  std::vector<std::ptrdiff_t> slotStart;                   // first slot of each variable's block
  std::ptrdiff_t slotCount = 0;
  std::ptrdiff_t activeSlotCount = 0;

  int32_t variableCount() const { return static_cast<int32_t>(variables.size()); }
  int32_t activeCount() const { return static_cast<int32_t>(activeVariables.size()); }
  int32_t passiveCount() const { return static_cast<int32_t>(passiveVariables.size()); }
  // Slots of variable J's block (K in the uniform layout, k_J in the packed one).
  std::ptrdiff_t blockSize(int32_t J) const {
    return layout == SlotLayout::uniform ? maxCategories : categories(J);
  }
  // Categories of variable J, 0 for a count of 0 or below.
  int32_t categories(int32_t J) const {
    return variables[J].categoryCount > 0 ? variables[J].categoryCount : 0;
  }
  int32_t code(std::ptrdiff_t object, int32_t J) const { return variables[J].codes[object]; }
  double weight(std::ptrdiff_t object) const {
    return weightValues != nullptr ? weightValues[object] : weights.empty() ? 1.0 : weights[object];
  }
  // Whether every object weighs 1 (no weights given).
  bool unitWeights() const { return weightValues == nullptr && weights.empty(); }
  bool isSingle(int32_t J) const { return variables[J].single == 1; }
  bool isOrdinal(int32_t J) const { return isSingle(J) && variables[J].level == 1; }
  // Nominal and ordinal single variables update their category scores; numerical ones keep them.
  bool hasFreeScores(int32_t J) const { return isSingle(J) && variables[J].level < 2; }
};

// Turns finite weights of 0 or more into whole-number units for `weightValues`, in place: weights
// that are whole numbers stay as they are while their total times `activeCount` is below 2^62;
// any others are multiplied by the power of two that takes that product as close to 2^62 as it
// goes with no unit above 2^53, and rounded to whole numbers. Multiplying every weight by one
// factor changes no result, so only the rounding counts: each weight moves by at most 2^-62 of
// the total times M1. Every sum of units is then exact in 64-bit integers.
void weightUnits(std::span<double> weights, int64_t activeCount);

// A problem with its layout derived. Counts below 0 count as 0. In the uniform layout the active
// variables must come first and K (at least every k_J) is the width of every block; in the packed
// one K is the largest k_J and `maxCategories` is ignored.
Problem makeProblem(std::ptrdiff_t objectCount, int32_t dimensionCount,
                    std::vector<Variable> variables, CodeColumn weights, SlotLayout layout,
                    int32_t maxCategories = 0);

}  // namespace tallowmere
