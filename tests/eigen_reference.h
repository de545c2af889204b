// The eigenproblem of a converged all-multiple analysis, solved densely with Eigen, independently
// of the engine: with W = diag(w), G_j the indicator matrix and D_j the marginals of variable j,
// and M = diag(m), the object scores span the leading non-trivial eigenvectors of
//     A x = lambda M x,   A = sum_j W G_j D_j^-1 G_j' W.
// (The constant vector is the trivial solution with lambda = 1.) The weights are the problem's
// as they are, real weights included.
#pragma once

#include <Eigen/Dense>
#include <vector>

#include "problem.h"

namespace tallowmere::testing {

// Objects with a positive marginal: the rows of the eigenproblem.
std::vector<int> scoredObjects(const Problem& p);

struct Eigensolution {
  Eigen::MatrixXd x;       // rows of the objects, scaled to x' M x = t
  Eigen::VectorXd values;  // the P + 1 largest non-trivial eigenvalues, decreasing
};

// Eigenvectors of the problem for the P largest non-trivial eigenvalues.
Eigensolution leadingEigenvectors(const Problem& p, const std::vector<int>& objects);

// The largest difference between the scores of dimension d (scores[i], object i) and the
// eigenvector, up to its sign, relative to the eigenvector's largest score.
double dimensionError(const double* scores, const Eigensolution& e, int d,
                      const std::vector<int>& objects);

}  // namespace tallowmere::testing
