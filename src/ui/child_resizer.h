// Anchored layout of a dialog's child controls: each registered control's
// edges follow the parent's change of size by their anchor factors. The
// layout is computed at the DPI of set-up and converted to the current one.
// The arithmetic here is portable; the window work is child_resizer_win32.cpp.
#pragma once

#include <cstdint>

#include "shell/plugin_instance.h"

namespace vexlan {

struct LayoutRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

struct AnchorFactors {
    float left;
    float top;
    float right;
    float bottom;
};

struct ResizerItem {
    WindowHandle control;
    LayoutRect designRect;  // in parent client coordinates at registration
    AnchorFactors factors;
};

// How far an edge moves when its side of the parent grows by `difference`:
// all of it for a factor of 1 or more, the product truncated toward zero for
// a factor between 0 and 1, nothing for any other factor.
int32_t edgeShift(int32_t difference, float factor);
// The registered rectangle moved by the parent's growth (dw, dh), never with
// right left of left or bottom above top.
LayoutRect anchoredRect(const LayoutRect& designRect, const AnchorFactors& factors, int32_t dw, int32_t dh);
// Every coordinate times `multiplier` / `divisor`, in 32-bit integers
// rounding toward zero.
LayoutRect scaledRect(const LayoutRect& rect, int32_t multiplier, int32_t divisor);

// Whether a layout at `currentScale` converts through the design DPI: both
// scales known (above 0) and different.
bool convertsDpi(int32_t designScale, int32_t currentScale);
// Where one item goes when the parent's client area is `client` (as read, at
// the current DPI).
LayoutRect itemLayoutRect(const ChildResizer& resizer, const ResizerItem& item, const LayoutRect& client,
                          int32_t currentScale);
// The design client size at the current DPI: the smallest size the editor
// takes.
void minimumClientSize(const ChildResizer& resizer, int32_t currentScale, int32_t& width, int32_t& height);

int32_t resizerItemCount(const ChildResizer& resizer);
ResizerItem* resizerItems(const ChildResizer& resizer);
// Appends an item; false when the list cannot grow.
bool appendResizerItem(ChildResizer& resizer, const ResizerItem& item);
void clearResizerItems(ChildResizer& resizer);

// Window work (Windows only).
void setUpChildResizer(ChildResizer& resizer, WindowHandle parent);
void registerResizerControl(ChildResizer& resizer, WindowHandle control, const AnchorFactors& factors);
// The parent's WM_SIZE: moves every item in one deferred batch and
// invalidates only the background the controls leave uncovered.
void layOutChildren(ChildResizer& resizer);
void tearDownChildResizer(ChildResizer& resizer);

}  // namespace vexlan
