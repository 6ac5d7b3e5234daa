// The quality choice shared by the editor's quality selector and the graph
// menu: one of three settings of the "Legacy Compatibility Modes" parameter.
#pragma once

#include <cstdint>

namespace vexlan {

struct PluginInstance;

constexpr int32_t kQualityChoiceCount = 3;

// Choice 0 "Best quality", 1 "Legacy 2007-2016", 2 "Legacy 2006-2007" sets
// parameter 6 to 0.125, 0.0 or 1.0, reports the edit to the host and marks
// the filter for rebuilding. Any other choice changes nothing.
void setQualityMode(PluginInstance& instance, int32_t choice);

// The choice a parameter-6 value stands for: 2 above 0.5, 1 below 0.0625,
// else 0.
int32_t qualityChoice(double value);

}  // namespace vexlan
