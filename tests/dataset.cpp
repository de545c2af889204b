#include "dataset.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tallowmere::testing {

namespace {

std::vector<std::string> splitLine(const std::string& line) {
  std::vector<std::string> cells;
  std::stringstream stream(line);
  std::string cell;
  while (std::getline(stream, cell, ',')) {
    cells.push_back(cell);
  }
  return cells;
}

}  // namespace

Problem datasetProblem(const std::string& name, int32_t dimensions) {
  std::string path = std::string(TALLOWMERE_TEST_DATA) + "/" + name + ".csv";
  std::ifstream file(path);
  if (!file) {
    path = std::string(TALLOWMERE_EXAMPLES) + "/" + name + ".csv";
    file.open(path);
  }
  if (!file) {
    throw std::runtime_error("cannot open " + name + ".csv in the test data or the examples");
  }
  std::string line;
  std::getline(file, line);
  const std::vector<std::string> header = splitLine(line);
  Problem p;
  p.dimensionCount = dimensions;
  p.dataStride = static_cast<int32_t>(header.size());
  while (std::getline(file, line)) {
    for (const std::string& cell : splitLine(line)) {
      p.data.push_back(std::stoi(cell));
    }
    ++p.objectCount;
  }
  for (int32_t column = 0; column < p.dataStride; ++column) {
    if (header[column] == "weight") {
      p.useWeights = true;
      p.weightColumn = column;
      continue;
    }
    int32_t k = 0;
    for (int32_t i = 0; i < p.objectCount; ++i) {
      k = std::max(k, p.data[std::size_t(i) * p.dataStride + column]);
    }
    p.activeColumns.push_back(column);
    p.activeCategoryCounts.push_back(k);
    p.activeSingle.push_back(0);
    p.activeLevels.push_back(0);
    p.maxCategories = std::max(p.maxCategories, k);
  }
  return p;
}

}  // namespace tallowmere::testing
