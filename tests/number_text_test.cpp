// The library's number text for tables: Java's layout on the cases that decide it, and on random
// doubles the shortest text that reads back as the same value. The Java suite compares it byte for
// byte with the Java writer; this suite runs on every machine the library is built for.
#include "number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace tallowmere::bridge {
namespace {

std::string shortest(double v) {
  char text[maxNumberText];
  return {text, writeShortest(v, text)};
}

std::string cell(double v) {
  char text[maxNumberText];
  return {text, writeCell(v, text)};
}

struct Layout {
  double value;
  const char* shortestText;
  const char* cellText;
};

class NumberLayout : public testing::TestWithParam<Layout> {};

TEST_P(NumberLayout, IsThatOfTheJavaWriter) {
  EXPECT_EQ(shortest(GetParam().value), GetParam().shortestText);
  EXPECT_EQ(cell(GetParam().value), GetParam().cellText);
}

constexpr double inf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Cases, NumberLayout,
    testing::Values(
        Layout{267, "267.0", "267"}, Layout{-0.0, "-0.0", "0"}, Layout{0.0, "0.0", "0"},
        Layout{1e7, "1.0E7", "10000000"}, Layout{9999999.5, "9999999.5", "9999999.5"},
        Layout{0.001, "0.001", "0.001"}, Layout{0.00099, "9.9E-4", "9.9E-4"},
        Layout{123.45, "123.45", "123.45"}, Layout{-1.5e-300, "-1.5E-300", "-1.5E-300"},
        Layout{4.9e-324, "5.0E-324", "5.0E-324"},
        Layout{2.82879384806159E17, "2.82879384806159E17", "2.82879384806159E17"},
        Layout{1e15, "1.0E15", "1.0E15"},
        Layout{999999999999999.0, "9.99999999999999E14", "999999999999999"},
        Layout{-999999999999999.0, "-9.99999999999999E14", "-999999999999999"},
        Layout{1e21, "1.0E21", "1.0E21"}, Layout{1e23, "1.0E23", "1.0E23"},
        Layout{1.0 / 3, "0.3333333333333333", "0.3333333333333333"},
        Layout{std::nan(""), "NaN", ""}, Layout{-inf, "-Infinity", "-Infinity"},
        // The plain layout with one to three leading zeros and with one to seven integer
        // digits, up to the longest fraction and the longest number.
        Layout{-0.5, "-0.5", "-0.5"}, Layout{0.0123, "0.0123", "0.0123"},
        Layout{-0.001, "-0.001", "-0.001"}, Layout{0.007, "0.007", "0.007"},
        Layout{1.2345678901234567, "1.2345678901234567", "1.2345678901234567"},
        Layout{0.012345678901234568, "0.012345678901234568", "0.012345678901234568"},
        Layout{-0.0012345678901234567, "-0.0012345678901234567", "-0.0012345678901234567"},
        Layout{1234567.125, "1234567.125", "1234567.125"},
        Layout{-9999999.999999998, "-9999999.999999998", "-9999999.999999998"},
        Layout{inf, "Infinity", "Infinity"},
        Layout{1.7976931348623157e308, "1.7976931348623157E308", "1.7976931348623157E308"}));

TEST(NumberText, RandomDoublesReadBackWithNoMoreThanSeventeenDigits) {
  std::mt19937_64 random(5);
  for (int k = 0; k < 200000; ++k) {
    const double v = std::bit_cast<double>(random());
    if (!std::isfinite(v)) {
      continue;
    }
    const std::string text = shortest(v);
    ASSERT_EQ(std::strtod(text.c_str(), nullptr), v) << text;
    std::string digits;
    for (const char c : text.substr(0, text.find('E'))) {
      if (c >= '0' && c <= '9') {
        digits += c;
      }
    }
    const std::size_t from = digits.find_first_not_of('0');
    const std::size_t to = digits.find_last_not_of('0');
    ASSERT_LE(to - from + 1, 17U) << text;
  }
}

TEST(NumberText, RowsAreWeightThenScoresWithTheirEnds) {
  const double scores[] = {0.5, -2, std::nan(""), 1e-5};  // two objects, two dimensions
  const double weights[] = {3, 0.25};
  char text[2 * maxScoreRow(2)];
  int32_t ends[2];
  const std::size_t length = scoreRows(scores, 2, 2, weights, 0, 2, text, ends);
  EXPECT_EQ(std::string(text, length), "3,0.5,0.25,-2,1.0E-5");
  EXPECT_EQ(ends[0], 6);
  EXPECT_EQ(ends[1], 20);
  const std::size_t second = scoreRows(scores, 2, 2, {}, 1, 2, text, ends);
  EXPECT_EQ(std::string(text, second), "1,-2,1.0E-5");
}

// Numbered rows are objects.csv's: the number, the cells, a line break; across a number's
// growing digits and up to the largest object number, in exactly the room they are promised.
TEST(NumberText, NumberedRowsAreTheTablesRows) {
  const double scores[] = {-0.1, 2.5e-4, 1.0 / 3, -1e300};  // two objects, two dimensions
  struct Case {
    int64_t firstNumber;
    const char* rows;
  };
  for (const Case c : {Case{1, "1,1,-0.1,0.3333333333333333\n2,1,2.5E-4,-1.0E300\n"},
                       Case{9, "9,1,-0.1,0.3333333333333333\n10,1,2.5E-4,-1.0E300\n"},
                       Case{2147483646,
                            "2147483646,1,-0.1,0.3333333333333333\n"
                            "2147483647,1,2.5E-4,-1.0E300\n"}}) {
    std::vector<char> text(2 * maxScoreRow(2, true));
    int32_t ends[2];
    const std::size_t length = scoreRows(scores, 2, 2, {}, 0, 2, text.data(), ends, c.firstNumber);
    const std::string rows(text.data(), length);
    EXPECT_EQ(rows, c.rows);
    EXPECT_EQ(ends[0], static_cast<int32_t>(rows.find('\n') + 1));
    EXPECT_EQ(ends[1], static_cast<int32_t>(length));
  }
}

}  // namespace
}  // namespace tallowmere::bridge
