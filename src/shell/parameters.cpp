#include "shell/parameters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "shell/editor_link.h"
#include "shell/process_state.h"

namespace vexlan {

const ParameterInfo kParameters[kParameterCount] = {
    {"Show analysis", "", 1, kSwitchSentinel, kSwitchSentinel, 1019, 0, 0, 0},
    {"Processing mode", "", 0, kSwitchSentinel, kSwitchSentinel, 1020, 0, 0, 0},
    {"Gate Floor", "dB", -150, kDecibelSentinel, kDecibelSentinel, 1046, 1002, 1, 0},
    {"Compressor Ratio", ":1", 1, 0.2, 100, 1078, 1013, 2, 6},
    {"Output Gain", "dB", 0, kDecibelSentinel, kDecibelSentinel, 1047, 1011, 1, 0},
    {"Analysis Floor", "dB", -90, kDecibelSentinel, kDecibelSentinel, 0, 1029, 1, 0},
    {"Legacy Compatibility Modes", "", 0.125, 0, 1, 0, 0, 0, 0},
    {"Adjustment Graph Offset", "dB", 0, kDecibelSentinel, kDecibelSentinel, 0, 0, 1, 0},
};

namespace {

bool validIndex(int32_t index) { return index >= 0 && index < kParameterCount; }

// 2^-25: anything smaller reads as -150 dB.
constexpr double kDecibelFloorAmplitude = 2.9802322387695313e-8;
// The graph offset never goes below -100 dB.
constexpr double kGraphOffsetFloor = 1e-5;

}  // namespace

ParameterKind parameterKind(int32_t index) {
    const double minimum = kParameters[index].minimum;
    if (minimum == kDecibelSentinel) return ParameterKind::Decibel;
    if (minimum == kSwitchSentinel) return ParameterKind::Switch;
    return ParameterKind::Linear;
}

double normalisedDefault(int32_t index) {
    const ParameterInfo& info = kParameters[index];
    switch (parameterKind(index)) {
        case ParameterKind::Decibel:
            return std::exp(info.defaultValue * kDbToLinear);
        case ParameterKind::Switch:
            return info.defaultValue >= 0.5 ? 1.0 : 0.0;
        case ParameterKind::Linear:
            break;
    }
    return std::clamp((info.defaultValue - info.minimum) / (info.maximum - info.minimum), 0.0, 1.0);
}

double normalisedMaximum(int32_t index) {
    return parameterKind(index) == ParameterKind::Decibel ? 2.0 : 1.0;
}

double toReal(int32_t index, double value) {
    if (!validIndex(index)) return 0.0;
    const ParameterInfo& info = kParameters[index];
    switch (parameterKind(index)) {
        case ParameterKind::Decibel:
            if (index == kParamGraphOffset && value < kGraphOffsetFloor) value = kGraphOffsetFloor;
            if (value < kDecibelFloorAmplitude) return -150.0;
            return std::max(20.0 * std::log10(value), -150.0);
        case ParameterKind::Switch:
            return value >= 0.5 ? 1.0 : 0.0;
        case ParameterKind::Linear:
            break;
    }
    return info.minimum + (info.maximum - info.minimum) * value;
}

void formatParameter(int32_t index, double value, char* text, int capacity) {
    if (!text || capacity <= 0) return;
    text[0] = '\0';
    if (!validIndex(index)) return;
    const int limit = std::min(capacity, kParamTextMax + 1);
    if ((index == kParamGateFloor || index == kParamOutputGain) && value <= kSilentAmplitude) {
        std::snprintf(text, size_t(limit), "-inf");
        return;
    }
    const bool positiveDb = parameterKind(index) == ParameterKind::Decibel && value >= 1.0;
    char format[32];
    std::snprintf(format, sizeof format, "%s%%.%df", positiveDb ? "+" : "", kParameters[index].decimals);
    std::snprintf(text, size_t(limit), format, toReal(index, value));
}

void VST_CALL setParameter(AEffect* effect, int32_t index, float value) {
    PluginInstance* instance = instanceOf(effect);
    if (!instance || !validIndex(index)) return;
    LockHold state(instance->stateLock);
    instance->paramValues[index] = value;
    {
        LockHold display(instance->displayLock);
        applySettingsTail(*instance);
    }
    instance->editorRefreshPending = 1;
}

float VST_CALL getParameter(AEffect* effect, int32_t index) {
    PluginInstance* instance = instanceOf(effect);
    if (!instance || !validIndex(index)) return 0.0f;
    LockHold state(instance->stateLock);
    return float(instance->paramValues[index]);
}

void notifyParameterEdit(PluginInstance& instance, int32_t index) {
    if (!processState.hostCallback) return;
    AEffect* effect = &instance.effect;
    if (index >= 0 && index == instance.editGestureParam) {
        callHost(effect, audioMasterAutomate, index, 0, nullptr, getParameter(effect, index));
        instance.editGestureFocus = focusWindow();
        return;
    }
    if (instance.editGestureParam >= 0) {
        callHost(effect, audioMasterEndEdit, instance.editGestureParam, 0, nullptr, 0.0f);
    }
    instance.editGestureParam = index;
    if (index >= 0) {
        instance.editGestureFocus = focusWindow();
        callHost(effect, audioMasterBeginEdit, index, 0, nullptr, 0.0f);
        callHost(effect, audioMasterAutomate, index, 0, nullptr, getParameter(effect, index));
    } else {
        instance.editGestureFocus = nullptr;
        callHost(effect, audioMasterAutomate, -1, 0, nullptr, 0.0f);
    }
}

}  // namespace vexlan
