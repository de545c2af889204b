// The argument checks of runHomals on their own: the values and oddities that must stay accepted,
// and the order in which the checks report the first broken limit.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "argument_call.h"

namespace tallowmere::bridge::argument_cases {
namespace {

const Case accepted[] = {
    {"valid", [](Call&) {}, Rejection::none, {}},
    {"missingCodesAnyNegativeValue",
     [](Call& c) { c.arrays[data][0] = INT32_MIN, c.arrays[data][6] = -7; },
     Rejection::none,
     {}},
    {"codesAtTheirCounts",
     [](Call& c) { c.arrays[data][0] = 3, c.arrays[data][1] = 2; },
     Rejection::none,
     {}},
    {"countsOfZeroOrBelowWithMissingCodes",
     [](Call& c) {
       c.arrays[activeCounts] = {0, -4};
       c.arrays[passiveCounts] = {INT32_MIN};
       c.arrays[data] = {0, 0, 0, 1, -1, 0, 0, 1, 0, -9, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
       c.categoryRows = {0};  // no category row to write: one row of any width
     },
     Rejection::none,
     {}},
    {"unusedWeightColumn",
     [](Call& c) {
       c.useWeights = false;
       c.weightColumn = INT32_MIN;
     },
     Rejection::none,
     {}},
    {"negativeAndZeroWeights",
     [](Call& c) { c.arrays[data][3] = INT32_MIN, c.arrays[data][7] = 0; },
     Rejection::none,
     {}},
    {"unwrittenScoreTableOfOneEmptyRow",
     [](Call& c) {
       c.writeObjectScores = false;
       c.scoreRows = {0};
     },
     Rejection::none,
     {}},
    {"noObjectsAnyScoreWidth",
     [](Call& c) {
       c.objectCount = 0;
       c.scoreRows = {0};
     },
     Rejection::none,
     {}},
    {"largerTablesLongerRows",
     [](Call& c) {
       c.scoreRows = {3, 3, 9, 3, 4, 3, 3, 3};
       c.categoryRows = {3, 5, 3, 3, 3, 3, 3, 8};
     },
     Rejection::none,
     {}},
    {"longerArrays",
     [](Call& c) {
       for (std::vector<int32_t>& array : c.arrays) {
         array.push_back(99);
       }
     },
     Rejection::none,
     {}},
    {"noVariablesEmptyArrays",
     [](Call& c) {
       c.activeCount = c.passiveCount = 0;
       for (int p = 0; p < 8; ++p) {
         c.arrays[p].clear();
       }
       c.categoryRows = {0};
     },
     Rejection::none,
     {}},
    {"largestBufferSize",  // N * P = 2^31 - 1 exactly, with a table that is never written
     [](Call& c) {
       c.objectCount = INT32_MAX;
       c.dimensionCount = 1;
       c.dataStride = 0;
       c.activeCount = c.passiveCount = 0;
       c.useWeights = c.writeObjectScores = false;
       c.categoryRows = {0};
     },
     Rejection::none,
     {}},
    {"largestSlotCount",  // K * (M1 + M2) * P = 2^31 - 1 with a single variable and dimension
     [](Call& c) {
       c.maxCategories = INT32_MAX;
       c.dimensionCount = 1;
       c.passiveCount = 0;
       c.activeCount = 1;
       c.arrays[activeCounts] = {INT32_MAX};
       c.objectCount = 0;
       c.categoryRows = std::vector<int32_t>(2, 2);  // fewer than the categories: checked below
     },
     iae,
     {"categoryQuantificationTable has 2 rows", "2147483648"}},
};

class Accepted : public ::testing::TestWithParam<Case> {};

TEST_P(Accepted, OrRejectedOnlyForTheNamedReason) {
  Call call;
  GetParam().change(call);
  const CheckResult result = call.check();
  EXPECT_EQ(result.rejection, GetParam().rejection) << result.message;
  for (const std::string& part : GetParam().messageParts) {
    EXPECT_NE(result.message.find(part), std::string::npos) << result.message;
  }
}

INSTANTIATE_TEST_SUITE_P(WithinTheLimits, Accepted, ::testing::ValuesIn(accepted),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ArgumentChecks, TheFirstBrokenLimitInCheckOrderIsReported) {
  Call call;
  call.arrays[0][0] = -1;        // a column
  call.arrays[data].pop_back();  // a length, checked before any column
  call.nullScores = true;        // a null table, checked before everything else
  EXPECT_EQ(call.check().rejection, npe);
  call.nullScores = false;
  EXPECT_NE(call.check().message.find("data has length"), std::string::npos);
}

}  // namespace
}  // namespace tallowmere::bridge::argument_cases
