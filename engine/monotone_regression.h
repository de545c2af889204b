// The monotone regression with work arrays that the caller keeps, so that a run allocates them
// once (iteration_plan.h); private to the engine. engine.h declares the routines without them.
#pragma once

#include <cstdint>
#include <span>

#include "iteration_plan.h"

namespace tallowmere {

// Needs work arrays of at least categoryCount entries.
void monotoneRegression(int32_t categoryCount, const double* weights, double* values,
                        RegressionWorkspace& work);

// Needs work arrays of at least K entries.
void applyOrdinalRestrictions(std::span<const double> categoryMarginals,
                              std::span<double> singleQuantifications, RegressionWorkspace& work);

}  // namespace tallowmere
