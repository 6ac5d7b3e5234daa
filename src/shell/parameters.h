// The eight host-visible parameters: the table, unit conversion, display text
// and the edit gestures the editor reports to the host.
#pragma once

#include <cstdint>

#include "shell/plugin_instance.h"

namespace vexlan {

enum class ParameterKind { Decibel, Switch, Linear };

enum ParameterIndex : int32_t {
    kParamShowAnalysis = 0,
    kParamReduceArtifacts = 1,  // named "Processing mode" for hosts
    kParamGateFloor = 2,
    kParamCompressorRatio = 3,
    kParamOutputGain = 4,
    kParamAnalysisFloor = 5,
    kParamQuality = 6,
    kParamGraphOffset = 7,
};

constexpr double kDecibelSentinel = -10000.0;
constexpr double kSwitchSentinel = -1000.0;
// dB to linear: exp(dB * ln(10) / 20).
constexpr double kDbToLinear = 0.11512925464970228;
// Gate floor and output gain at or below this are exactly 0 ("-inf").
constexpr double kSilentAmplitude = 1e-6;

struct ParameterInfo {
    const char* name;
    const char* unit;
    double defaultValue;
    double minimum;
    double maximum;
    uint16_t primaryControl;
    uint16_t textControl;
    int32_t decimals;
    double faderCurve;
};

extern const ParameterInfo kParameters[kParameterCount];

ParameterKind parameterKind(int32_t index);
double normalisedDefault(int32_t index);
// Top of the normalised range a host may set: 2.0 for Decibel, else 1.0.
double normalisedMaximum(int32_t index);
double toReal(int32_t index, double value);
// Writes at most `capacity` - 1 characters and a terminator.
void formatParameter(int32_t index, double value, char* text, int capacity);

// Host entry points (they find the instance through effect->object).
void VST_CALL setParameter(AEffect* effect, int32_t index, float value);
float VST_CALL getParameter(AEffect* effect, int32_t index);

// Reports a change the editor made itself: a parameter (index >= 0) inside
// a begin/end edit gesture, or a change of other state (index < 0).
void notifyParameterEdit(PluginInstance& instance, int32_t index);

}  // namespace vexlan
