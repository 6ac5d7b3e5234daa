#include "graph/set_point.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "graph/graph_model.h"
#include "shell/plugin_instance.h"

namespace vexlan {

SetPointDialog setPointDialog;

void formatSetPointValue(double value, char* text, size_t capacity) {
    std::snprintf(text, capacity, "%0.2f", value);
}

namespace {

// atof also reads "nan", which would slip past every limit.
double typedNumber(const char* text) {
    const double value = std::atof(text);
    return std::isnan(value) ? 0.0 : value;
}

}  // namespace

void readSetPointTexts(SetPointDialog& values, const char* frequencyText, const char* gainText) {
    values.frequency = std::clamp(typedNumber(frequencyText), 0.0, kGraphTopFrequency);
    values.gain = typedNumber(gainText);
}

void applySetPoint(PluginInstance& instance, int32_t index, const SetPointDialog& values) {
    if (index < 0 || index >= activePointCount(instance)) return;
    GraphPoint& point = instance.points[index];
    point.frequency = values.frequency;
    point.gain = std::clamp(values.gain, instance.graphMinDb, instance.graphMaxDb);
    evaluateGraph(instance);
    instance.tableChanged = 1;
}

}  // namespace vexlan
