#include "graph/graph_geometry.h"

#include <algorithm>
#include <cmath>

#include "graph/display_axis.h"

namespace vexlan {

GraphGeometry graphGeometry(int32_t clientWidth, int32_t clientHeight, int32_t scale, double minDb,
                            double maxDb) {
    GraphGeometry geometry{};
    geometry.scale = scale;
    geometry.compact = clientWidth < (scale * 128) / 256;
    geometry.rightMargin = geometry.compact ? 0 : (scale * 28) >> 8;
    geometry.bottomMargin = geometry.compact ? 0 : scale >> 4;
    geometry.graphWidth = std::max(1, clientWidth - geometry.rightMargin);
    geometry.graphHeight = std::max(1, clientHeight - geometry.bottomMargin);
    geometry.hitRadius = ((geometry.compact ? 3 : 5) * scale) >> 8;
    geometry.minDb = minDb;
    geometry.maxDb = maxDb;
    return geometry;
}

double frequencyAtX(const GraphGeometry& geometry, double x) {
    return 60.0 * (std::exp(x / (geometry.graphWidth * kDisplayAxisInverseLog)) - 1.0);
}

double gainAtY(const GraphGeometry& geometry, double y) {
    const double height = geometry.graphHeight;
    return (y - height) / (-height / (geometry.maxDb - geometry.minDb)) + geometry.minDb;
}

double xOfFrequency(const GraphGeometry& geometry, double frequency) {
    return geometry.graphWidth * displayPosition(frequency);
}

double yOfGain(const GraphGeometry& geometry, double gain) {
    const double height = geometry.graphHeight;
    return (gain - geometry.minDb) * (-height / (geometry.maxDb - geometry.minDb)) + height;
}

}  // namespace vexlan
