// The native method's settings record: its 23 parameters, which runAnalysis keeps process-wide for
// the length of a run, as its contract says, and the problem it describes.
//
// Codes: the code of object i on active variable j is data[i * dataStride + activeColumns[j]]
// (passive: passiveColumns), and the weight of object i, with useWeights, is
// data[i * dataStride + weightColumn]. The record's variables are the active ones, then the
// passive ones: its problem (problemFromSettings) has them in that order, in the uniform slot
// layout of K = maxCategories slots each (problem.h).
#pragma once

#include <cstdint>

#include "problem.h"

namespace tallowmere {

// Rows of a caller's result table, indexed from 1: row r, element k is table[r][k]; row 0 and
// element 0 of every row are never written.
using ResultTable = double* const*;

struct AnalysisSettings {
  int32_t dimensionCount = 0;
  int32_t dataStride = 0;
  int32_t objectCount = 0;
  int32_t maxCategories = 0;
  int32_t maxIterations = 0;
  int32_t innerIterations = 0;
  int32_t activeCount = 0;
  int32_t passiveCount = 0;
  int32_t weightColumn = 0;
  bool timing = false;
  bool useWeights = false;
  bool writeObjectScores = false;
  const int32_t* activeColumns = nullptr;
  const int32_t* passiveColumns = nullptr;
  const int32_t* activeCategoryCounts = nullptr;
  const int32_t* passiveCategoryCounts = nullptr;
  const int32_t* activeSingle = nullptr;
  const int32_t* passiveSingle = nullptr;
  const int32_t* activeLevels = nullptr;
  const int32_t* passiveLevels = nullptr;
  const int32_t* data = nullptr;
  double fitTolerance = 0.0;
  double cosineTolerance = 0.0;
};

// Written by runAnalysis at the start of every run. Runs must not overlap.
extern AnalysisSettings analysisSettings;

// Last state drawn by runAnalysis's random start.
extern uint32_t randomState;

// The problem of a settings record: its variables active first, codes read in place from its data
// matrix, weights from its weight column when useWeights is set.
Problem problemFromSettings(const AnalysisSettings& settings);

}  // namespace tallowmere
