// Which editor control shows what: the controls of each parameter, their
// accessible names, and the controls each processing mode shows.
#pragma once

#include <cstdint>

namespace vexlan {

// A switch's check box, or a Decibel or Linear parameter's fader; 0 for
// none.
int32_t parameterFaderId(int32_t index);
int32_t parameterCheckBoxId(int32_t index);
int32_t parameterEditId(int32_t index);
// The parameter a control belongs to, or -1.
int32_t parameterOfEdit(int32_t controlId);
int32_t parameterOfCheckBox(int32_t controlId);

// The accessible name of a parameter's controls: its name (with the usual
// spelling of "Low Pass" and "High Pass"), followed by " (unit)" when it has
// one. Returns true when the unit was added.
bool accessibleParameterName(int32_t index, char* text, int capacity);

// A control that only some processing modes show.
struct ModeControl {
    int32_t controlId;
    int32_t mode;
    bool onlyInMode;  // shown in `mode` alone, or in every mode but `mode`
};

constexpr int32_t kModeControlCount = 10;
extern const ModeControl kModeControls[kModeControlCount];

bool modeControlShown(const ModeControl& control, int32_t processingMode);

}  // namespace vexlan
