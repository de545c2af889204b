// Straightforward computations of the engine's steps, written independently of the engine:
// category membership as an explicit indicator matrix, vectors per dimension. Every sum adds
// the same terms in the same order as the engine (a product with an indicator of 0 adds a
// signed zero, which leaves a sum that started at 0.0 unchanged), so for finite inputs the
// results must agree bit for bit.
#pragma once

#include <cstdint>
#include <vector>

#include "problem.h"

namespace tallowmere::reference {

using testing::Problem;
using Vector = std::vector<double>;
using Matrix = std::vector<Vector>;  // Matrix[d][i] or Matrix[i][slot]

// G[i][slot] = 1 when object i's code on the slot's variable is the slot's category.
Matrix indicatorMatrix(const Problem& problem);

struct Marginals {
  Vector object, category;
  double total = 0.0;
};
Marginals marginals(const Problem& problem);

// Y[d][slot] from X[d][i].
Matrix centroids(const Problem& problem, const Vector& categoryMarginals, const Matrix& scores);

// X~[d][i] from Y[d][slot], over the active slots only.
Matrix objectAverages(const Problem& problem, const Vector& objectMarginals,
                      const Matrix& quantifications);

void centre(Matrix& scores, const Vector& objectMarginals, double total);
void orthonormalise(Matrix& scores, const Vector& objectMarginals, double total);

struct Evaluation {
  Vector eigenvalues;
  double fit = 0.0;
  double minimumCosine = 1.0;
};
Evaluation evaluate(const Matrix& oldScores, const Matrix& newScores, const Vector& objectMarginals,
                    double total);

// Conversions between the engine's flat dimension-major buffers and Matrix[d][...].
Matrix unflatten(const std::vector<double>& flat, std::size_t rows, std::size_t columns);
std::vector<double> flatten(const Matrix& matrix);

}  // namespace tallowmere::reference
