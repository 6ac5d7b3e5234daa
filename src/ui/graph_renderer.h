// The complete picture of the graph display, drawn into a host bitmap: black
// background, the input and output spectra, dB and frequency grids with
// labels, the adjustment curve (and its offset copy), the points, the
// analysis-floor label and the hover read-out box. The graph control paints
// its window with it; the dispatcher paints the host's embedded surface.
#pragma once

#include <cstdint>

#include "shell/host_api.h"
#include "shell/plugin_instance.h"

namespace vexlan {

// window: the graph control, or null for the host's embedded surface, of
// which only mouseY is read (the read-out box keeps out of the mouse's half).
void renderGraph(PluginInstance& instance, WindowHandle window, VizeBitmap* bitmap, const VizeRect& rect, int mouseX,
                 int mouseY);

// Where the read-out box's text goes: beside the cursor in the window form,
// at the edge away from the mouse on the embedded surface; always inside the
// rectangle's height.
struct ReadoutPlacement {
    int32_t x;
    int32_t y;
};
ReadoutPlacement placeReadout(bool embedded, int32_t cursorX, int32_t cursorY, int32_t textWidth,
                              int32_t textHeight, const VizeRect& rect);

// Deletes the label font and the drawing's scratch arrays (the last
// instance closed).
void releaseGraphRenderer();

}  // namespace vexlan
