#include "analysis_settings.h"

namespace tallowmere {

AnalysisSettings analysisSettings;

}  // namespace tallowmere
