#include "ui/editor_controls.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "../../res/resource_ids.h"
#include "shell/parameters.h"

namespace vexlan {

namespace {

bool equalIgnoringCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) {
            return false;
        }
    }
    return *a == *b;
}

const char* spokenName(const char* name) {
    if (equalIgnoringCase(name, "lowpass") || equalIgnoringCase(name, "lopass")) return "Low Pass";
    if (equalIgnoringCase(name, "highpass") || equalIgnoringCase(name, "hipass")) return "High Pass";
    return name;
}

bool validIndex(int32_t index) { return index >= 0 && index < kParameterCount; }

}  // namespace

const ModeControl kModeControls[kModeControlCount] = {
    {IDC_REDUCE_ARTIFACTS, kModeSubtract, false}, {IDC_AUTO_NOISE_PROFILE, kModeSubtract, true},
    {IDC_GATE_LABEL, kModeGate, true},            {IDC_GATE_UNIT, kModeGate, true},
    {IDC_GATE_EDIT, kModeGate, true},             {IDC_GATE_FADER, kModeGate, true},
    {IDC_RATIO_LABEL, kModeCompressor, true},     {IDC_RATIO_UNIT, kModeCompressor, true},
    {IDC_RATIO_EDIT, kModeCompressor, true},      {IDC_RATIO_FADER, kModeCompressor, true},
};

int32_t parameterFaderId(int32_t index) {
    if (!validIndex(index) || parameterKind(index) == ParameterKind::Switch) return 0;
    return kParameters[index].primaryControl;
}

int32_t parameterCheckBoxId(int32_t index) {
    if (!validIndex(index) || parameterKind(index) != ParameterKind::Switch) return 0;
    return kParameters[index].primaryControl;
}

int32_t parameterEditId(int32_t index) { return validIndex(index) ? kParameters[index].textControl : 0; }

int32_t parameterOfEdit(int32_t controlId) {
    for (int32_t i = 0; i < kParameterCount; ++i) {
        if (controlId != 0 && parameterEditId(i) == controlId) return i;
    }
    return -1;
}

int32_t parameterOfCheckBox(int32_t controlId) {
    for (int32_t i = 0; i < kParameterCount; ++i) {
        if (controlId != 0 && parameterCheckBoxId(i) == controlId) return i;
    }
    return -1;
}

bool accessibleParameterName(int32_t index, char* text, int capacity) {
    if (!text || capacity <= 0) return false;
    text[0] = '\0';
    if (!validIndex(index)) return false;
    const char* name = spokenName(kParameters[index].name);
    const char* unit = kParameters[index].unit;
    if (unit[0] == '\0') {
        std::snprintf(text, size_t(capacity), "%s", name);
        return false;
    }
    std::snprintf(text, size_t(capacity), "%s (%s)", name, unit);
    return true;
}

bool modeControlShown(const ModeControl& control, int32_t processingMode) {
    return (processingMode == control.mode) == control.onlyInMode;
}

}  // namespace vexlan
