#include "graph/precise_draw.h"

#include <cmath>

#include "graph/display_axis.h"
#include "graph/graph_model.h"
#include "shell/parameters.h"
#include "shell/plugin_instance.h"

namespace vexlan {

namespace {

constexpr double kEntrySpacing = 0.000244140625;  // 1 / 4096

bool swept(int32_t column, int32_t previousX, int32_t x) {
    return (previousX < column && column <= x) || (x <= column && column < previousX);
}

// Entries whose column the mouse crossed since previousX get `gainAt(column)`.
template <typename GainAt>
bool sweepColumns(PluginInstance& instance, int32_t graphWidth, int32_t previousX, int32_t x,
                  GainAt gainAt) {
    bool changed = false;
    for (int32_t k = 0; k < kBinGainTableSize; ++k) {
        const int32_t column = entryColumn(k, graphWidth);
        if (!swept(column, previousX, x)) continue;
        instance.binGainTable[k] = dbToAmplitude(gainAt(column));
        changed = true;
    }
    return changed;
}

}  // namespace

int32_t entryColumn(int32_t entry, int32_t graphWidth) {
    return int32_t(std::log(entry * kEntrySpacing * 400.0 + 1.0) * kDisplayAxisInverseLog * graphWidth);
}

void drawPrecise(PluginInstance& instance, GraphEditState& state, const GraphGeometry& geometry,
                 int32_t x, double gain, bool buttonDown) {
    bool changed = false;
    switch (state.dragKind) {
        case kScaleAll:
            if (!buttonDown) {
                const double factor = std::exp((gain - state.anchorGain) * kDbToLinear);
                for (float& entry : instance.binGainTable) entry = float(entry * factor);
                changed = true;
            }
            state.anchorGain = gain;
            break;
        case kLine: {
            // The line always runs from the button-down point, so each message
            // redraws it whole towards the mouse.
            if (buttonDown) state.anchorGain = gain;
            const int32_t startX = state.anchorX;
            const double startGain = state.anchorGain;
            changed = sweepColumns(instance, geometry.graphWidth, startX, x, [&](int32_t column) {
                const double t = double(column - startX) / double(x - startX);
                return (1.0 - t) * startGain + t * gain;
            });
            break;
        }
        default:
            changed = sweepColumns(instance, geometry.graphWidth, state.anchorX, x,
                                   [&](int32_t) { return gain; });
            state.anchorX = x;
            break;
    }
    if (changed) instance.tableChanged = 1;
}

}  // namespace vexlan
