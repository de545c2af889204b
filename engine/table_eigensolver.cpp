#include "table_eigensolver.h"

#include <Spectra/SymEigsSolver.h>
#include <Eigen/Eigenvalues>
#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis_settings.h"

namespace tallowmere {

namespace {

// Eigen splits the depth of its larger matrix products into blocks sized from the processor's
// caches, which it asks the processor for: the same product would add its terms in another
// grouping on another machine. Fixed sizes, set once when the library is loaded and before any
// thread can run a product, make the grouping the same everywhere.
const bool cacheSizesFixed = [] {
  Eigen::setCpuCacheSizes(32 * 1024, 256 * 1024, 2 * 1024 * 1024);
  return true;
}();

// The problem on the slots of positive marginal: A = D^-1/2 B D^-1/2 (n x n, symmetric, stored
// by columns, which are its rows), and u, the unit vector of the constant's direction, D^1/2 1
// normalised, an eigenvector of A with eigenvalue 1.
struct ReducedTable {
  std::vector<std::ptrdiff_t> slots;
  std::vector<double> scale;  // D^-1/2 of each kept slot
  std::vector<double> matrix;
  std::vector<double> constant;
  std::ptrdiff_t n = 0;
};

ReducedTable reduce(std::span<const double> table, std::span<const double> marginals,
                    std::ptrdiff_t S1) {
  ReducedTable r;
  double total = 0.0;
  for (std::ptrdiff_t s = 0; s < S1; ++s) {
    if (!(zeroTolerance > std::fabs(marginals[s]))) {
      r.slots.push_back(s);
      r.scale.push_back(1.0 / std::sqrt(marginals[s]));
      total += marginals[s];
    }
  }
  r.n = static_cast<std::ptrdiff_t>(r.slots.size());
  r.matrix.resize(static_cast<std::size_t>(r.n * r.n));
  r.constant.resize(static_cast<std::size_t>(r.n));
  for (std::ptrdiff_t a = 0; a < r.n; ++a) {
    const double* row = table.data() + r.slots[a] * S1;
    for (std::ptrdiff_t b = 0; b < r.n; ++b) {
      r.matrix[a * r.n + b] = r.scale[a] * row[r.slots[b]] * r.scale[b];
    }
    r.constant[a] = std::sqrt(marginals[r.slots[a]] / total);
  }
  return r;
}

double dot(const double* x, const double* y, std::ptrdiff_t n) {
  double sum = 0.0;
  for (std::ptrdiff_t a = 0; a < n; ++a) {
    sum += x[a] * y[a];
  }
  return sum;
}

// y = A x, as a sum of A's columns so that it vectorises over the outputs; each y[a] still adds
// its terms in increasing order.
void multiply(const ReducedTable& r, const double* x, double* y) {
  std::fill(y, y + r.n, 0.0);
  for (std::ptrdiff_t b = 0; b < r.n; ++b) {
    const double* column = r.matrix.data() + b * r.n;
    const double xb = x[b];
    for (std::ptrdiff_t a = 0; a < r.n; ++a) {
      y[a] += column[a] * xb;
    }
  }
}

// y := y - u (u' y)
void projectOut(const std::vector<double>& u, double* y) {
  const double along = dot(u.data(), y, static_cast<std::ptrdiff_t>(u.size()));
  for (std::size_t a = 0; a < u.size(); ++a) {
    y[a] -= u[a] * along;
  }
}

// The operator of Spectra's Lanczos iteration: (I - u u') A (I - u u'), whose eigenvalue at the
// constant is 0 instead of 1 and whose others are A's; less, when given, the eigenpairs found
// already (sum of lambda v v'), whose eigenvalues become 0 too.
class ProjectedTable {
 public:
  using Scalar = double;

  explicit ProjectedTable(const ReducedTable& table, const Eigen::VectorXd* values = nullptr,
                          const Eigen::MatrixXd* vectors = nullptr)
      : table_(table),
        values_(values),
        vectors_(vectors),
        projected_(static_cast<std::size_t>(table.n)) {}

  Eigen::Index rows() const { return table_.n; }
  Eigen::Index cols() const { return table_.n; }

  void perform_op(const double* x, double* y) const {
    std::copy(x, x + table_.n, projected_.begin());
    projectOut(table_.constant, projected_.data());
    multiply(table_, projected_.data(), y);
    projectOut(table_.constant, y);
    if (values_ != nullptr) {
      for (Eigen::Index d = 0; d < values_->size(); ++d) {
        const double* v = vectors_->col(d).data();
        const double along = (*values_)(d)*dot(v, x, table_.n);
        for (std::ptrdiff_t a = 0; a < table_.n; ++a) {
          y[a] -= along * v[a];
        }
      }
    }
  }

 private:
  const ReducedTable& table_;
  const Eigen::VectorXd* values_;
  const Eigen::MatrixXd* vectors_;
  mutable std::vector<double> projected_;
};

// The projected matrix (I - u u') A (I - u u') itself.
Eigen::MatrixXd projectedMatrix(const ReducedTable& r) {
  const std::ptrdiff_t n = r.n;
  std::vector<double> g(static_cast<std::size_t>(n));
  multiply(r, r.constant.data(), g.data());
  const double c = dot(r.constant.data(), g.data(), n);
  Eigen::MatrixXd A(n, n);
  const std::vector<double>& u = r.constant;
  for (std::ptrdiff_t b = 0; b < n; ++b) {
    for (std::ptrdiff_t a = 0; a < n; ++a) {
      A(a, b) = r.matrix[b * n + a] - u[a] * g[b] - g[a] * u[b] + c * u[a] * u[b];
    }
  }
  return A;
}

// Every eigenpair of the projected matrix, densely.
void solveDense(const ReducedTable& r, std::ptrdiff_t count, Eigen::VectorXd& values,
                Eigen::MatrixXd& vectors) {
  const std::ptrdiff_t n = r.n;
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(projectedMatrix(r));
  values.resize(count);
  vectors.resize(n, count);
  // Increasing order from the solver.
  for (std::ptrdiff_t d = 0; d < count; ++d) {
    values(d) = solver.eigenvalues()(n - 1 - d);
    vectors.col(d) = solver.eigenvectors().col(n - 1 - d);
  }
}

// The `count` leading eigenpairs of an operator by implicitly restarted Lanczos; false when it
// does not converge.
bool lanczos(ProjectedTable& op, std::ptrdiff_t count, Eigen::VectorXd& values,
             Eigen::MatrixXd& vectors) {
  const std::ptrdiff_t n = op.rows();
  const std::ptrdiff_t ncv =
      std::min<std::ptrdiff_t>(n, std::max<std::ptrdiff_t>(2 * count + 1, 30));
  Spectra::SymEigsSolver<ProjectedTable> solver(op, count, ncv);
  solver.init();
  solver.compute(Spectra::SortRule::LargestAlge, 100000, 1e-13, Spectra::SortRule::LargestAlge);
  if (solver.info() != Spectra::CompInfo::Successful) {
    return false;
  }
  values = solver.eigenvalues();
  vectors = solver.eigenvectors();
  return true;
}

// The leading pairs by Lanczos; false when it does not converge, or may have missed one. A Krylov
// method started from one vector sees only one direction of an eigenspace in exact arithmetic, so
// an eigenvalue that occurs more than once can lose its copies. A second run on the operator with
// the pairs found taken out tells: its largest eigenvalue would be such a copy.
bool solveLanczos(const ReducedTable& r, std::ptrdiff_t count, Eigen::VectorXd& values,
                  Eigen::MatrixXd& vectors) {
  ProjectedTable op(r);
  if (count + 2 > r.n || !lanczos(op, count, values, vectors)) {
    return false;
  }
  ProjectedTable rest(r, &values, &vectors);
  Eigen::VectorXd next;
  Eigen::MatrixXd nextVector;
  return lanczos(rest, 1, next, nextVector) &&
         next(0) <= values(count - 1) - tieTolerance * std::fabs(values(0));
}

}  // namespace

void solveCategoryTable(std::span<const double> table, std::span<const double> marginals,
                        std::ptrdiff_t slots, std::ptrdiff_t count, TableEigenpairs& pairs,
                        std::ptrdiff_t denseLimit) {
  static_cast<void>(cacheSizesFixed);
  const ReducedTable r = reduce(table, marginals, slots);
  // The constant takes one dimension of the n.
  count = std::max<std::ptrdiff_t>(0, std::min(count, r.n - 1));
  pairs.values.assign(static_cast<std::size_t>(count), 0.0);
  pairs.vectors.assign(static_cast<std::size_t>(count * slots), 0.0);
  pairs.dense = true;
  if (count == 0) {
    return;
  }
  Eigen::VectorXd values;
  Eigen::MatrixXd vectors;
  pairs.dense = r.n <= denseLimit || !solveLanczos(r, count, values, vectors);
  if (pairs.dense) {
    solveDense(r, count, values, vectors);
  }
  for (std::ptrdiff_t d = 0; d < count; ++d) {
    pairs.values[d] = values(d);
    double* v = pairs.vectors.data() + d * slots;
    for (std::ptrdiff_t a = 0; a < r.n; ++a) {
      v[r.slots[a]] = r.scale[a] * vectors(a, d);
    }
  }
}

std::vector<double> allTableEigenvalues(std::span<const double> table,
                                        std::span<const double> marginals, std::ptrdiff_t slots,
                                        std::ptrdiff_t limit) {
  static_cast<void>(cacheSizesFixed);
  const ReducedTable r = reduce(table, marginals, slots);
  if (r.n < 2 || r.n > limit) {
    return {};
  }
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(projectedMatrix(r),
                                                              Eigen::EigenvaluesOnly);
  std::vector<double> values(static_cast<std::size_t>(r.n - 1));
  for (std::ptrdiff_t d = 0; d + 1 < r.n; ++d) {
    values[d] = solver.eigenvalues()(r.n - 1 - d);
  }
  return values;
}

std::vector<int> tiedThrough(std::span<const double> values, std::span<const double> following,
                             double tolerance) {
  std::vector<double> all(values.begin(), values.end());
  all.insert(all.end(), following.begin(), following.end());
  double largest = 0.0;
  for (const double v : all) {
    largest = std::max(largest, std::fabs(v));
  }
  const double margin = tolerance * largest;
  std::vector<int> last(values.size());
  for (std::size_t d = values.size(); d-- > 0;) {
    std::size_t e = d;
    while (e + 1 < all.size() && std::fabs(all[e] - all[e + 1]) <= margin) {
      ++e;
    }
    last[d] = static_cast<int>(e);
  }
  return last;
}

}  // namespace tallowmere
