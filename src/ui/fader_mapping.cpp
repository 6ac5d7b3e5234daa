#include "ui/fader_mapping.h"

#include <algorithm>
#include <cmath>

#include "graph/graph_model.h"
#include "shell/parameters.h"

namespace vexlan {

namespace {

// The fader curve e spreads small values over more travel: p = 1000 * v^(1/e).
double curvedPosition(double value, double curve) {
    return curve > 1.0 ? kLinearFaderTop * std::pow(value, 1.0 / curve) : kLinearFaderTop * value;
}

}  // namespace

int32_t faderDefaultPosition(int32_t index) {
    if (parameterKind(index) == ParameterKind::Decibel) return kHostDefaultPosition;
    const ParameterInfo& info = kParameters[index];
    const double value = std::clamp((info.defaultValue - info.minimum) / (info.maximum - info.minimum), 0.0, 1.0);
    const double position = std::clamp(curvedPosition(value, info.faderCurve), 0.0, double(kLinearFaderTop));
    return int32_t(position + 0.5);
}

int32_t faderPositionForValue(int32_t index, double value, Db2SliderFn db2Slider) {
    if (parameterKind(index) == ParameterKind::Decibel) return int32_t(db2Slider(amplitudeToDb(value)));
    return int32_t(curvedPosition(value, kParameters[index].faderCurve));
}

double faderValueForPosition(int32_t index, int32_t position, Slider2DbFn slider2Db) {
    if (parameterKind(index) == ParameterKind::Decibel) {
        return double(float(std::pow(10.0, slider2Db(position) / 20.0)));
    }
    const double share = double(position) / kLinearFaderTop;
    const double curve = kParameters[index].faderCurve;
    return curve > 1.0 ? std::pow(share, curve) : share;
}

}  // namespace vexlan
