// Integer-coded datasets from tests/data or examples/: a header of names, then codes 1..k (0
// missing), and optionally a last column "weight" of integer counts.
#pragma once

#include <string>

#include "problem.h"

namespace tallowmere::testing {

// Every column but the weight is an active multiple nominal variable with k its largest code;
// K is the largest k; the weight column, if any, weighs the objects.
Problem datasetProblem(const std::string& name, int32_t dimensions);

}  // namespace tallowmere::testing
