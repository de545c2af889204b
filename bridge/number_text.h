// Numbers as the command line's CSV tables write them, for the rows of objects.csv formatted in
// the library: ten million objects' scores are some 30 million numbers, and their digits cost
// more than the rest of the table together. The text is byte for byte the Java writer's
// (Quorvane.homals.cli.ShortestDecimal and CsvOutput.number): the shortest decimal that reads
// back as the same double, laid out as Java's Double.toString lays it out (plain from 10^-3 up to
// 10^7, "0.0123", "267.0"; otherwise one digit before the point and an exponent, "1.5E-4",
// "2.0E9"); a whole number below 10^15 in magnitude as an integer ("3", "-12", a negative zero
// as "0"); NaN as an empty cell.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tallowmere::bridge {

// The longest text of one number: sign, 17 digits, point, "E-324".
inline constexpr std::size_t maxNumberText = 26;

// Writes the shortest decimal text of v at out; returns the end. NaN and the infinities as Java
// writes them ("NaN", "Infinity", "-Infinity"). The writers below that take a double may use all
// maxNumberText bytes at out as scratch, past the end they return: fixed-size copies there cost
// less than copies of the length of each number.
char* writeShortest(double v, char* out);

// Writes a whole number at out; returns the end.
char* writeInteger(int64_t value, char* out);

// A table cell: nothing for NaN, an integer for a whole number below 10^15 in magnitude, else
// the shortest text.
char* writeCell(double v, char* out);

// The most bytes one row of scoreRows takes with P dimensions: P + 1 cells and their commas, and
// for a numbered row its object number (an int32 of at most 10 digits), a comma and a line break.
inline constexpr std::size_t numberedRowExtra = 12;
inline constexpr std::size_t maxScoreRow(std::size_t dimensions, bool numbered = false) {
  return (dimensions + 1) * (maxNumberText + 1) + (numbered ? numberedRowExtra : 0);
}

// The cells "weight,score_1,...,score_P" of objects first .. last - 1, one row after another
// with nothing between them, into out (at least maxScoreRow(P, numbered) bytes a row); rowEnds[k]
// is where row first + k ends. scores: dimension-major, [d * N + i]; weights: N values, or empty
// for 1 each. With a firstNumber above 0 the rows are numbered, as objects.csv's are: row k is
// "firstNumber + k,cells\n". Returns the bytes written.
std::size_t scoreRows(std::span<const double> scores, std::ptrdiff_t objectCount,
                      std::ptrdiff_t dimensions, std::span<const double> weights,
                      std::ptrdiff_t first, std::ptrdiff_t last, char* out, int32_t* rowEnds,
                      int64_t firstNumber = 0);

}  // namespace tallowmere::bridge
