// The argument checks of runHomals on their own, under the sanitizers too: each kind of limit
// broken once on an otherwise valid call, with the exception class and the parts of the message
// that let a caller fix the call (the JUnit suite breaks every limit through the JVM), and the
// boundaries that only C++ can reach.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "argument_call.h"

namespace tallowmere::bridge::argument_cases {
namespace {

// Sizes of a call whose only large count is the one under test: no object scores, a
// category table as wide as the dimensions need.
void wideDimensions(Call& c, int32_t dimensions) {
  c.dimensionCount = dimensions;
  c.writeObjectScores = false;
  c.scoreRows = {0};
  c.categoryRows.assign(6, dimensions + 1);
}

const Case rejected[] = {
    {"activeColumnsNull", [](Call& c) { c.nullArrays[0] = true; }, npe, {"activeColumns"}},
    {"dataNull", [](Call& c) { c.nullArrays[data] = true; }, npe, {"data is null"}},
    {"negativeCountsDoNotShrinkTheCategoryTable",
     [](Call& c) {
       // Counts {3, -2} (the second variable's codes all missing): three category rows and
       // row 0, whatever the negative count says.
       c.arrays[activeCounts] = {3, -2};
       for (int i = 0; i < 5; ++i) {
         c.arrays[data][i * 4 + 1] = 0;
       }
       c.categoryRows.assign(3, 3);
     },
     iae,
     {"categoryQuantificationTable has 3 rows", "= 4"}},
    {"objectScoreTableNull", [](Call& c) { c.nullScores = true; }, npe, {"objectScoreTable"}},
    {"scoreRow0Null", [](Call& c) { c.scoreRows[0] = nullRow; }, npe, {"objectScoreTable[0]"}},
    {"categoryRowNull",
     [](Call& c) { c.categoryRows[4] = nullRow; },
     npe,
     {"categoryQuantificationTable[4]", "row 4"}},
    {"nullRowOfAnUnwrittenTable",
     [](Call& c) {
       c.writeObjectScores = false;
       c.scoreRows = {3, nullRow};
     },
     npe,
     {"objectScoreTable[1]"}},
    {"dimensionCountNegative",
     [](Call& c) { c.dimensionCount = -1; },
     iae,
     {"dimensionCount", "-1"}},
    {"objectCountNegative", [](Call& c) { c.objectCount = -5; }, iae, {"objectCount", "-5"}},
    {"passiveCountNegative", [](Call& c) { c.passiveCount = -1; }, iae, {"passiveCount", "-1"}},
    {"variableCountOverflows",
     [](Call& c) { c.activeCount = c.passiveCount = INT32_MAX / 2 + 1; },
     iae,
     {"activeCount + passiveCount", "2147483648"}},
    {"objectsTimesStrideOverflow",
     [](Call& c) { c.objectCount = 1 << 16, c.dataStride = 1 << 15; },
     iae,
     {"objectCount * dataStride", "65536 * 32768", "2147483647"}},
    {"objectsTimesDimensionsOverflow",
     [](Call& c) {
       wideDimensions(c, 1 << 29);
       c.objectCount = 4;
       c.arrays[data].resize(16);
     },
     iae,
     {"objectCount * dimensionCount", "4 * 536870912"}},
    {"slotsTimesDimensionsOverflow",
     [](Call& c) {
       wideDimensions(c, 1 << 28);
       c.objectCount = 0;
       c.maxCategories = 3;
     },
     iae,
     {"maxCategories * (activeCount + passiveCount) * dimensionCount", "3 * 3 * 268435456"}},
    {"slotsTimesDimensionsBeyond64Bits",
     [](Call& c) {
       c.dimensionCount = INT32_MAX;
       c.objectCount = 0;
       c.maxCategories = INT32_MAX;
       c.activeCount = INT32_MAX - 1;
     },
     iae,
     {"maxCategories * (activeCount + passiveCount) * dimensionCount",
      "2147483647 * 2147483647 * 2147483647 exceeds"}},
    {"loadingsOverflowWithoutSlots",
     [](Call& c) {
       wideDimensions(c, 1 << 30);
       c.objectCount = 1;
       c.maxCategories = 0;
       c.arrays[activeCounts] = {0, 0};
       c.arrays[passiveCounts] = {0};
       c.arrays[data] = {0, 0, 0, 1};
       c.categoryRows = {0};
     },
     iae,
     {"(activeCount + passiveCount) * dimensionCount", "3 * 1073741824"}},
    {"activeColumnsShort",
     [](Call& c) { c.arrays[0].pop_back(); },
     iae,
     {"activeColumns", "1", "activeCount = 2"}},
    {"passiveColumnsShort",
     [](Call& c) { c.arrays[1].clear(); },
     iae,
     {"passiveColumns", "passiveCount = 1"}},
    {"passiveLevelsShort", [](Call& c) { c.arrays[7].clear(); }, iae, {"passiveLevels"}},
    {"dataShortByOne",
     [](Call& c) { c.arrays[data].pop_back(); },
     iae,
     {"data has length 19", "5 * 4 = 20"}},
    {"activeColumnAtStride",
     [](Call& c) { c.arrays[0][1] = 4; },
     iae,
     {"activeColumns[1] = 4", "3"}},
    {"passiveColumnBeyondRow", [](Call& c) { c.arrays[1][0] = 9; }, iae, {"passiveColumns[0] = 9"}},
    {"columnWithZeroStride",
     [](Call& c) {
       c.dataStride = 0;
       c.objectCount = 0;
       c.writeObjectScores = false;
     },
     iae,
     {"activeColumns[0] = 0", "-1"}},
    {"weightColumnNegative",
     [](Call& c) { c.weightColumn = -1; },
     iae,
     {"weightColumn = -1", "useWeights"}},
    {"activeCountAboveK",
     [](Call& c) { c.arrays[activeCounts][1] = 4; },
     iae,
     {"activeCategoryCounts[1] = 4", "maxCategories = 3"}},
    {"activeCodeAboveItsCount",  // within K: another category's slot, a wrong result
     [](Call& c) { c.arrays[data][4 * 3 + 1] = 3; },
     iae,
     {"data[13] = 3", "object 3", "active variable 1", "activeCategoryCounts[1] = 2"}},
    {"passiveCodeAboveItsCount",
     [](Call& c) { c.arrays[data][4 * 4 + 2] = 3; },
     iae,
     {"data[18] = 3", "passive variable 0", "passiveCategoryCounts[0] = 2"}},
    {"codeAboveItsCountInAColumnApart",  // columns not side by side: the scan's other path
     [](Call& c) { c.arrays[passiveColumns] = {3}, c.weightColumn = 2; },
     iae,
     {"data[3] = 4", "object 0", "passive variable 0", "passiveColumns[0] = 3"}},
    {"codeOnAVariableWithoutCategories",
     [](Call& c) { c.arrays[activeCounts][1] = 0; },
     iae,
     {"data[1] = 2", "activeCategoryCounts[1] = 0"}},
    {"codeOnANegativeCount",
     [](Call& c) {
       c.arrays[passiveCounts][0] = -2;
       c.arrays[data] = {1, 2, 0, 4, 2, 1, 0, 1, 3, 0, 0, 2, -1, 2, 0, 0, 2, 1, 1, -3};
     },
     iae,
     {"data[18] = 1", "passiveCategoryCounts[0] = -2"}},
    {"scoreTableWithoutRows",
     [](Call& c) { c.scoreRows.clear(); },
     iae,
     {"objectScoreTable has no rows"}},
    {"unwrittenScoreTableWithoutRows",
     [](Call& c) {
       c.writeObjectScores = false;
       c.scoreRows.clear();
     },
     iae,
     {"objectScoreTable has no rows"}},
    {"scoreTableOneRowShort",
     [](Call& c) { c.scoreRows.pop_back(); },
     iae,
     {"objectScoreTable has 5 rows", "objectCount + 1 = 6"}},
    {"scoreTableNarrow",
     [](Call& c) { c.scoreRows.assign(6, 2); },
     iae,
     {"objectScoreTable[0] has length 2", "dimensionCount + 1 = 3"}},
    {"scoreRowShorterThanRow0",
     [](Call& c) { c.scoreRows[3] = 2; },
     iae,
     {"objectScoreTable[3] has length 2", "3"}},
    {"categoryTableOneRowShort",
     [](Call& c) { c.categoryRows.pop_back(); },
     iae,
     {"categoryQuantificationTable has 5 rows", "= 6"}},
    {"spareRowShorterThanRow0",  // beyond the written rows, but still copied in and back
     [](Call& c) { c.categoryRows.push_back(1); },
     iae,
     {"categoryQuantificationTable[6] has length 1"}},
};

class Rejected : public ::testing::TestWithParam<Case> {};

TEST_P(Rejected, WithTheClassAndAMessageThatLocatesTheFault) {
  Call call;
  GetParam().change(call);
  const CheckResult result = call.check();
  EXPECT_EQ(result.rejection, GetParam().rejection) << result.message;
  for (const std::string& part : GetParam().messageParts) {
    EXPECT_NE(result.message.find(part), std::string::npos)
        << "\"" << part << "\" missing from: " << result.message;
  }
}

INSTANTIATE_TEST_SUITE_P(OneBrokenLimit, Rejected, ::testing::ValuesIn(rejected),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tallowmere::bridge::argument_cases
