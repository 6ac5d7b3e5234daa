// The "Set point..." dialog's values and limits: one point edited by numbers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vexlan {

struct PluginInstance;

constexpr int kSetPointDialogId = 103;
constexpr int kSetPointFrequencyEdit = 1016;
constexpr int kSetPointGainEdit = 1017;
// The edits are read up to this many characters.
constexpr int kSetPointTextChars = 511;

// Handed from the graph control to the dialog and back; one per process,
// since the dialog is modal.
struct SetPointDialog {
    double frequency;  // Hz
    double gain;       // dB
    int32_t x;         // the dialog's top-left corner on the screen
    int32_t y;
};

extern SetPointDialog setPointDialog;

// "%0.2f", as the edits show a value.
void formatSetPointValue(double value, char* text, size_t capacity);

// OK pressed: the typed frequency limited to 0..24000 Hz, the gain as
// typed; text that is no number reads as 0.
void readSetPointTexts(SetPointDialog& values, const char* frequencyText, const char* gainText);

// The dialog ended with OK: the point takes the values, its gain limited to
// the graph's range, and the graph is evaluated.
void applySetPoint(PluginInstance& instance, int32_t index, const SetPointDialog& values);

}  // namespace vexlan
