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
#include "expected_cases.h"

namespace {

using tallowmere::expected_cases::Case;
using tallowmere::expected_cases::Dataset;
using tallowmere::expected_cases::Table;

static_assert(std::endian::native == std::endian::little);

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
