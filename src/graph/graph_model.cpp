#include "graph/graph_model.h"

#include "shell/plugin_instance.h"

namespace vexlan {

void evaluateGraph(PluginInstance&) {}

void resetGraphPoints(PluginInstance& instance) {
    instance.pointCount = 2;
    instance.points[0] = {0.0, 0.0};
    instance.points[1] = {24000.0, 0.0};
}

}  // namespace vexlan
