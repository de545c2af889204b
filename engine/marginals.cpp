// The weighted frequencies that both halves of every iteration divide by: each object's marginal,
// their total and every category's summed weight, read from the codes of the data matrix.
#include <vector>

#include "engine.h"

namespace tallowmere {

void computeMarginals(std::span<const int32_t> objectWeights, std::span<double> objectMarginals,
                      std::span<double> categoryMarginals, double& totalMarginal) {
  const AnalysisSettings& s = analysisSettings;
  const int32_t variables = variableCount();
  std::vector<int32_t> columns(variables > 0 ? variables : 0);
  for (int32_t J = 0; J < variables; ++J) {
    columns[J] = variableColumn(J);
  }
  // The object's and the total sums live in registers, so that the compiler need not fear that
  // a category's sum shares their memory and can keep their additions back to back; each sum
  // still receives its terms one by one, in the same order.
  double total = totalMarginal;
  for (std::ptrdiff_t i = 0; i < s.objectCount; ++i) {
    const int32_t* row = s.data + i * s.dataStride;
    const double b = objectWeights[i];
    double m = objectMarginals[i];
    for (int32_t j = 0; j < s.activeCount; ++j) {
      const int32_t c = row[columns[j]];
      if (c > 0) {
        m = m + b;
        total = total + b;
        categoryMarginals[categorySlot(j, c)] += b;
      }
    }
    objectMarginals[i] = m;
    // Passive categories get their frequencies, but passive codes never weigh on an object.
    for (int32_t J = s.activeCount; J < variables; ++J) {
      const int32_t c = row[columns[J]];
      if (c > 0) {
        categoryMarginals[categorySlot(J, c)] += b;
      }
    }
  }
  totalMarginal = total;
}

}  // namespace tallowmere
