#include "graph/display_axis.h"

#include <cmath>

namespace vexlan {

namespace {

// 24000 Hz / 400: the axis is 24000 (401^x - 1) / 400.
constexpr double kAxisScaleHz = 60.0;

}  // namespace

double displayPosition(double frequency) {
    return std::log(1.0 + frequency / kAxisScaleHz) * kDisplayAxisInverseLog;
}

double displayFrequency(double position) {
    return (std::exp(position * kDisplayAxisLog) - 1.0) * kAxisScaleHz;
}

}  // namespace vexlan
