// Between a parameter's stored value and its fader's position. Decibel
// faders run on the host's scale through DB2SLIDER and SLIDER2DB; the ratio
// fader runs over 0..1000 with its fader curve.
#pragma once

#include <cstdint>

#include "shell/host_api.h"

namespace vexlan {

constexpr int32_t kLinearFaderTop = 1000;
// Default position that tells a dB fader to use the host's own (0 dB).
constexpr int32_t kHostDefaultPosition = -1;

// The position a fader returns to by default: kHostDefaultPosition for a
// Decibel parameter, else the default value's position rounded to nearest.
int32_t faderDefaultPosition(int32_t index);
// Truncated toward zero.
int32_t faderPositionForValue(int32_t index, double value, Db2SliderFn db2Slider);
// A Decibel value is rounded to single precision, as the host stores it.
double faderValueForPosition(int32_t index, int32_t position, Slider2DbFn slider2Db);

}  // namespace vexlan
