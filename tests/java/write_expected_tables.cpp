// Writes the cases of the Java bridge tests: for each, every argument of runHomals and the two
// result tables before and after a direct C++ call of runAnalysis. The Java tests pass the same
// arguments through the JNI library and require the same tables bit for bit.
//
// Usage: write_expected_tables EXAMPLES_DIR OUTPUT_DIR
//
// File NAME.case, little-endian: the nine int arguments (int32), the three flags (int32 0/1),
// the nine int[] arguments (each an int32 length, then its elements), fitTolerance and
// cosineTolerance (double), then objectScoreTable and categoryQuantificationTable before the
// call and the same two after it (each an int32 row count, then per row an int32 length and
// its doubles).
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine.h"

namespace {

static_assert(std::endian::native == std::endian::little);

using Table = std::vector<std::vector<double>>;

struct Dataset {
  int32_t columns = 0;
  int32_t rows = 0;
  std::vector<int32_t> codes;  // row-major
};

Dataset readCsv(const std::filesystem::path& path) {
  std::ifstream in(path);
  if (!in) {
    throw std::runtime_error("cannot read " + path.string());
  }
  Dataset d;
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    if (line.empty()) {
      continue;
    }
    std::istringstream cells(line);
    std::string cell;
    int32_t columns = 0;
    while (std::getline(cells, cell, ',')) {
      d.codes.push_back(std::stoi(cell));
      ++columns;
    }
    if (d.rows > 0 && columns != d.columns) {
      throw std::runtime_error(path.string() + ": ragged line " + line);
    }
    d.columns = columns;
    ++d.rows;
  }
  return d;
}

double nanWithPayload(uint64_t payload) {
  return std::bit_cast<double>(0x7FF8000000000000u | payload);
}

// A table whose row 0 has `columns` elements (the width C) and whose odd rows have one more,
// beyond C. Cells are distinct per table; element 0 alternates -0.0 and a NaN with a payload,
// and some cells beyond column P hold NaNs too, so that "unchanged" means bit for bit.
Table patternTable(int id, std::size_t rows, std::size_t columns) {
  Table table(rows);
  for (std::size_t r = 0; r < rows; ++r) {
    table[r].resize(r > 0 && r % 2 == 1 ? columns + 1 : columns);
    for (std::size_t k = 0; k < table[r].size(); ++k) {
      if (k == 0) {
        table[r][k] = r % 2 == 0 ? -0.0 : nanWithPayload(0xBEEF00 + r);
      } else if (r % 5 == 4 && k % 3 == 2) {
        table[r][k] = nanWithPayload(0xC0FFEE00 + r);
      } else {
        table[r][k] = id * 1e6 + static_cast<double>(r) + static_cast<double>(k) / 64.0;
      }
    }
  }
  return table;
}

struct Case {
  std::string name;
  int32_t dimensionCount = 0, dataStride = 0, objectCount = 0, maxCategories = 0;
  int32_t maxIterations = 0, innerIterations = 0, weightColumn = 0;
  bool timing = false, useWeights = false, writeObjectScores = false;
  std::vector<int32_t> activeColumns, passiveColumns, activeCategoryCounts, passiveCategoryCounts,
      activeSingle, passiveSingle, activeLevels, passiveLevels, data;
  double fitTolerance = 0.0, cosineTolerance = 0.0;
  Table objectScoreTable, categoryQuantificationTable;
};

std::vector<int32_t> sequence(int32_t first, int32_t count) {
  std::vector<int32_t> values(count);
  for (int32_t j = 0; j < count; ++j) {
    values[j] = first + j;
  }
  return values;
}

// The demo's analysis: 16 votes active and multiple, the party passive, two dimensions. Wider
// tables than needed, with spare rows.
Case voteCase(const Dataset& vote) {
  Case c;
  c.name = "vote";
  c.dimensionCount = 2;
  c.dataStride = vote.columns;
  c.objectCount = vote.rows;
  c.maxCategories = 2;
  c.maxIterations = 100;
  c.writeObjectScores = true;
  c.activeColumns = sequence(0, 16);
  c.activeCategoryCounts.assign(16, 2);
  c.activeSingle.assign(16, 0);
  c.activeLevels.assign(16, 0);
  c.passiveColumns = {16};
  c.passiveCategoryCounts = {2};
  c.passiveSingle = {0};
  c.passiveLevels = {0};
  c.data = vote.codes;
  // Different tolerances, so that the run would stop elsewhere if they were swapped.
  c.fitTolerance = 1e-7;
  c.cosineTolerance = 1e-12;
  c.objectScoreTable = patternTable(1, vote.rows + 3, 4);
  c.categoryQuantificationTable = patternTable(2, 32 + 4, 5);
  return c;
}

// Rank-one restrictions at every level, K above every k, passive single variables, timing on,
// no object scores (the table must come back unchanged), stopped by the iteration bound.
Case voteRankOneCase(const Dataset& vote) {
  Case c;
  c.name = "vote-rank-one";
  c.dimensionCount = 3;
  c.dataStride = vote.columns;
  c.objectCount = vote.rows;
  c.maxCategories = 3;
  c.maxIterations = 12;
  c.innerIterations = 2;
  c.weightColumn = 16;
  c.timing = true;
  c.activeColumns = {0, 2, 3, 4, 7, 8, 12, 13};
  c.activeCategoryCounts.assign(8, 2);
  c.activeSingle = {1, 1, 0, 1, 1, 1, 0, 1};
  c.activeLevels = {1, 2, 1, 0, 3, 1, 1, -1};
  c.passiveColumns = {16, 1, 5};
  c.passiveCategoryCounts = {2, 2, 2};
  c.passiveSingle = {1, 0, 1};
  c.passiveLevels = {2, 0, 1};
  c.data = vote.codes;
  c.fitTolerance = 1e-12;
  c.cosineTolerance = 0.0;
  c.objectScoreTable = patternTable(3, vote.rows + 1, 4);
  c.categoryQuantificationTable = patternTable(4, 16 + 3, 4);
  return c;
}

// Counts as object weights, an ordinal and a numerical single variable with four categories,
// no passive variables (all four passive arrays empty).
Case hairEyeColourCase(const Dataset& hairEyeColour) {
  Case c;
  c.name = "haireyecolor-weighted";
  c.dimensionCount = 2;
  c.dataStride = hairEyeColour.columns;
  c.objectCount = hairEyeColour.rows;
  c.maxCategories = 4;
  c.maxIterations = 300;
  c.innerIterations = 3;
  c.weightColumn = 3;
  c.useWeights = true;
  c.writeObjectScores = true;
  c.activeColumns = {0, 1, 2};
  c.activeCategoryCounts = {4, 4, 2};
  c.activeSingle = {1, 1, 0};
  c.activeLevels = {1, 2, 0};
  c.data = hairEyeColour.codes;
  c.fitTolerance = 1e-10;
  c.cosineTolerance = 1e-10;
  c.objectScoreTable = patternTable(5, hairEyeColour.rows + 1, 5);
  c.categoryQuantificationTable = patternTable(6, 10 + 1, 3);
  return c;
}

// No active variable (all four active arrays empty) and one-row tables: nothing is exchanged
// and both tables come back unchanged.
Case noActiveCase(const Dataset& vote) {
  Case c;
  c.name = "no-active-one-row-tables";
  c.dimensionCount = 2;
  c.dataStride = vote.columns;
  c.objectCount = vote.rows;
  c.maxCategories = 2;
  c.maxIterations = 2;
  c.passiveColumns = {16};
  c.passiveCategoryCounts = {2};
  c.passiveSingle = {0};
  c.passiveLevels = {0};
  c.data = vote.codes;
  c.fitTolerance = 1e-9;
  c.cosineTolerance = 1e-9;
  c.objectScoreTable = patternTable(7, 1, 3);
  c.categoryQuantificationTable = patternTable(8, 1, 3);
  return c;
}

std::vector<double*> rowPointers(Table& table) {
  std::vector<double*> rows;
  for (std::vector<double>& row : table) {
    rows.push_back(row.data());
  }
  return rows;
}

class Writer {
 public:
  explicit Writer(const std::filesystem::path& path) : out_(path, std::ios::binary) {
    if (!out_) {
      throw std::runtime_error("cannot write " + path.string());
    }
  }
  void put(int32_t value) { out_.write(reinterpret_cast<const char*>(&value), sizeof value); }
  void put(double value) { out_.write(reinterpret_cast<const char*>(&value), sizeof value); }
  void put(const std::vector<int32_t>& values) {
    put(static_cast<int32_t>(values.size()));
    for (int32_t value : values) {
      put(value);
    }
  }
  void put(const Table& table) {
    put(static_cast<int32_t>(table.size()));
    for (const std::vector<double>& row : table) {
      put(static_cast<int32_t>(row.size()));
      for (double value : row) {
        put(value);
      }
    }
  }
  void finish() {
    out_.close();
    if (!out_) {
      throw std::runtime_error("write failed");
    }
  }

 private:
  std::ofstream out_;
};

void writeCase(Case c, const std::filesystem::path& directory) {
  Writer out(directory / (c.name + ".case"));
  const int32_t activeCount = static_cast<int32_t>(c.activeColumns.size());
  const int32_t passiveCount = static_cast<int32_t>(c.passiveColumns.size());
  for (int32_t value :
       {c.dimensionCount, c.dataStride, c.objectCount, c.maxCategories, c.maxIterations,
        c.innerIterations, activeCount, passiveCount, c.weightColumn}) {
    out.put(value);
  }
  for (bool flag : {c.timing, c.useWeights, c.writeObjectScores}) {
    out.put(int32_t{flag});
  }
  for (const std::vector<int32_t>* array :
       {&c.activeColumns, &c.passiveColumns, &c.activeCategoryCounts, &c.passiveCategoryCounts,
        &c.activeSingle, &c.passiveSingle, &c.activeLevels, &c.passiveLevels, &c.data}) {
    out.put(*array);
  }
  out.put(c.fitTolerance);
  out.put(c.cosineTolerance);
  out.put(c.objectScoreTable);
  out.put(c.categoryQuantificationTable);

  std::vector<double*> scoreRows = rowPointers(c.objectScoreTable);
  std::vector<double*> categoryRows = rowPointers(c.categoryQuantificationTable);
  tallowmere::runAnalysis(
      c.dimensionCount, c.dataStride, c.objectCount, c.maxCategories, c.maxIterations,
      c.innerIterations, activeCount, passiveCount, c.weightColumn, c.timing, c.useWeights,
      c.writeObjectScores, c.activeColumns.data(), c.passiveColumns.data(),
      c.activeCategoryCounts.data(), c.passiveCategoryCounts.data(), c.activeSingle.data(),
      c.passiveSingle.data(), c.activeLevels.data(), c.passiveLevels.data(), c.data.data(),
      c.fitTolerance, c.cosineTolerance, scoreRows.data(), categoryRows.data());
  out.put(c.objectScoreTable);
  out.put(c.categoryQuantificationTable);
  out.finish();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s EXAMPLES_DIR OUTPUT_DIR\n", argv[0]);
    return 2;
  }
  try {
    const std::filesystem::path examples = argv[1];
    const std::filesystem::path output = argv[2];
    std::filesystem::remove_all(output);  // no case file of an earlier build may linger
    std::filesystem::create_directories(output);
    const Dataset vote = readCsv(examples / "vote.csv");
    const Dataset hairEyeColour = readCsv(examples / "haireyecolor.csv");
    for (const Case& c : {voteCase(vote), voteRankOneCase(vote), hairEyeColourCase(hairEyeColour),
                          noActiveCase(vote)}) {
      writeCase(c, output);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
