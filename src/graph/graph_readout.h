// The hover read-out of the graph control: frequency, note name and gain
// under the mouse, kept as text in the instance for the renderer to draw.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graph/graph_edit.h"

namespace vexlan {

struct PluginInstance;

// The formatting buffer; the stored text keeps at most 127 characters.
constexpr size_t kReadoutFormatBytes = 512;
constexpr size_t kReadoutTextBytes = 128;
// The window form's timer that clears the read-out once the mouse has left.
constexpr uintptr_t kReadoutTimerId = 5;
constexpr uint32_t kReadoutTimerMs = 500;

// "A4+", "C#5-": the nearest note to a frequency above 0 Hz and the side it
// deviates to, with the octave numbering the host configures.
void formatNoteName(double frequency, char* text, size_t capacity);

// The read-out for the mouse at (x, y); empty outside the graph area.
void buildReadoutText(const PluginInstance& instance, const GraphMouse& mouse, char* text,
                      size_t capacity);

// What the window form does after the text is stored.
struct ReadoutUpdate {
    bool armTimer;  // the text is not empty: clear it once the mouse has left
    bool repaint;   // and no analysis display repaints the control anyway
};

// Builds the text and stores it in the form's read-out field.
ReadoutUpdate updateReadout(PluginInstance& instance, const GraphMouse& mouse);

// Empties the form's read-out field.
void clearReadout(PluginInstance& instance, bool embedded);

}  // namespace vexlan
