// Scores of new objects from a finished solution, by the transition formula: for object i, with
// c_i the active variables observed on it,
//   x_id = ((1 / c_i) sum over active J observed on i of q_{J, code_iJ, d} - mu_d) / lambda_d,
// q the category quantifications of the active variables (centroids for multiple variables, the
// rank-one values for single ones), lambda the eigenvalues and mu the mean of the averaged
// quantifications over the objects of the fit, sum over active J and c of D_Jc q_Jcd / t.
//
// Why it is exact: each iteration takes the objects' averaged quantifications, centres them and
// orthonormalises them; a solution rotated to principal axes (analysis_solution.h) has
// R / t = Lambda diagonal, so at its fixed point the centred averages are X Lambda. t mu adds, over
// the active variables, sum over i observed on J of w_i x_i for a multiple variable (its D times
// its centroids) and 0 for a single one (whose scores are centred): mu is 0 when every active
// variable is multiple, since X is centred in the metric of m_i = w_i c_i, and when no active value
// is missing, since m is then proportional to w. With single variables and missing values neither
// holds, and the formula without mu would miss every score by mu_d / lambda_d. Passive variables
// do not enter.
//
// Layouts (V the active variables, k_J their category counts, S1 = sum of k_J, P dimensions):
//   codes            V columns, element i the code of object i on active variable J: 1 .. k_J a
//                    category, anything else missing
//   quantifications  S1 x P  [slot * P + d], category-major: an object reads all P values of its
//                    category at once. Variable J's categories are slots slotStart_J .. + k_J - 1,
//                    slotStart_J the sum of k over the variables before it
//   excluded         S1, nonzero where a category counts as missing; empty when none does
//   centre           P: mu
//   eigenvalues      P
//   scores           P x N  [d * N + i], dimension-major as the engine's object scores
//
// Floating point: for each object and dimension the sum starts at 0.0 and adds the observed
// variables' values in variable order; the score is (sum / c_i - mu_d) / lambda_d. Every object is
// independent, so the bits do not depend on the threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "problem.h"

namespace tallowmere {

class Workers;

struct ProjectionModel {
  std::span<const int32_t> categoryCounts;  // k_J, each at least 1
  std::span<const double> quantifications;  // S1 x P
  std::span<const uint8_t> excluded;        // S1, or empty
  std::span<const double> centre;           // P, finite
  std::span<const double> eigenvalues;      // P, finite and not 0
};

// Writes the scores of N objects; an object with no observed active category gets NaN on every
// dimension. `codes` holds one column per active variable; `scores` P * N values. With workers,
// fixed blocks of objects run on them.
void projectObjects(const ProjectionModel& model, std::span<const CodeColumn> codes,
                    std::ptrdiff_t objectCount, Workers* workers, std::span<double> scores);

}  // namespace tallowmere
