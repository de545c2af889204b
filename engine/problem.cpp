#include "problem.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tallowmere {

void weightUnits(std::span<double> weights, int64_t activeCount) {
  constexpr double wholeLimit = 0x1p53;
  double total = 0.0, largest = 0.0;
  bool whole = true;
  for (const double w : weights) {
    whole = whole && w == std::floor(w) && w < wholeLimit;
    total += w;
    largest = std::max(largest, w);
  }
  // The total in doubles is within a relative 2^-52 N of the exact one: a margin of 2^-8 covers
  // that for any N an array can hold.
  const double limit =
      0x1p62 * (1.0 - 0x1p-8) / static_cast<double>(std::max<int64_t>(activeCount, 1));
  if (!(largest > 0.0) || (whole && total < limit)) {
    return;
  }
  int exponent = 0;
  std::frexp(limit / total, &exponent);
  int largestExponent = 0;
  std::frexp(wholeLimit / largest, &largestExponent);
  const int scale = std::min(exponent, largestExponent) - 1;
  for (double& w : weights) {
    w = std::nearbyint(std::ldexp(w, scale));
  }
}

Problem makeProblem(std::ptrdiff_t objectCount, int32_t dimensionCount,
                    std::vector<Variable> variables, CodeColumn weights, SlotLayout layout,
                    int32_t maxCategories) {
  Problem p;
  p.objectCount = std::max<std::ptrdiff_t>(objectCount, 0);
  p.dimensionCount = std::max(dimensionCount, 0);
  p.variables = std::move(variables);
  p.weights = weights;
  p.layout = layout;
  const int32_t V = p.variableCount();
  for (int32_t J = 0; J < V; ++J) {
    (p.variables[J].active ? p.activeVariables : p.passiveVariables).push_back(J);
  }
  p.maxCategories = 0;
  for (int32_t J = 0; J < V; ++J) {
    p.maxCategories = std::max(p.maxCategories, p.categories(J));
  }
  p.slotStart.assign(static_cast<std::size_t>(V), 0);
  if (layout == SlotLayout::uniform) {
    p.maxCategories = std::max(maxCategories, 0);
    for (int32_t J = 0; J < V; ++J) {
      p.slotStart[J] = std::ptrdiff_t{J} * p.maxCategories;
    }
    p.activeSlotCount = std::ptrdiff_t{p.activeCount()} * p.maxCategories;
    p.slotCount = std::ptrdiff_t{V} * p.maxCategories;
  } else {
    std::ptrdiff_t next = 0;
    for (const auto* group : {&p.activeVariables, &p.passiveVariables}) {
      for (const int32_t J : *group) {
        p.slotStart[J] = next;
        next += p.categories(J);
      }
      if (group == &p.activeVariables) {
        p.activeSlotCount = next;
      }
    }
    p.slotCount = next;
  }
  return p;
}

}  // namespace tallowmere
