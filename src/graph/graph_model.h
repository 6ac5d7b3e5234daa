// The adjustment graph: up to 32 points (or a freehand table in "Precise"
// mode) evaluated into the 4096-entry BinGainTable.
#pragma once

#include <cstdint>

namespace vexlan {

struct PluginInstance;

// Rewrites BinGainTable from the points (unless editing "Precise").
void evaluateGraph(PluginInstance& instance);
// The two default points.
void resetGraphPoints(PluginInstance& instance);

}  // namespace vexlan
