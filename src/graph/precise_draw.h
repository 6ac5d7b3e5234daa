// Drawing the BinGainTable directly with the mouse in the "Precise" edit
// mode: freehand, a straight dB line from the button-down position, or
// scaling the whole table by the vertical travel.
#pragma once

#include <cstdint>

#include "graph/graph_edit.h"
#include "graph/graph_geometry.h"

namespace vexlan {

struct PluginInstance;

// Pixel column of table entry k in a graph area `graphWidth` wide: the
// display axis applied to the entry's frequency, truncated.
int32_t entryColumn(int32_t entry, int32_t graphWidth);

// One captured mouse message at column x and gain `gain` (dB). Sets
// tableChanged when any entry changed.
void drawPrecise(PluginInstance& instance, GraphEditState& state, const GraphGeometry& geometry,
                 int32_t x, double gain, bool buttonDown);

}  // namespace vexlan
