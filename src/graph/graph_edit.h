// Mouse editing of the graph: the hit test and the left-button rules of both
// forms of the graph control (the editor's window and the host's embedded
// surface). Plain computation on the instance and the drag state; the
// caller reads the key state and the capture and passes them in, so every
// rule runs without a window.
#pragma once

#include <cstdint>

#include "graph/graph_geometry.h"

namespace vexlan {

struct PluginInstance;

// Fixed at left-button down. In the points modes: 0 moves the hit point,
// 1 (shift) moves it with its right neighbour, 2 (ctrl on empty space)
// moves every point's gain. In "Precise": freehand, straight line, scale.
enum DragKind : int32_t {
    kMovePoint = 0,
    kMoveSegment = 1,
    kMoveAll = 2,
    kFreehand = 0,
    kLine = 1,
    kScaleAll = 2,
};

// One per process: only one control can hold the mouse at a time.
struct GraphEditState {
    int32_t dragging = 0;
    int32_t selected = -1;
    int32_t dragKind = kMovePoint;
    int32_t anchorX = 0;  // in freehand drawing: the previous message's x
    double anchorGain = 0.0;
    int32_t embeddedCapture = 0;
};

extern GraphEditState graphEditState;

struct ModifierKeys {
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
};

// One mouse message as the editing rules see it. x and y are client
// coordinates; captured says whether the control holds the mouse (the
// window's capture, or the embedded form's flag).
struct GraphMouse {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool embedded = false;
    bool captured = false;
    ModifierKeys keys;
};

struct GraphHit {
    int32_t index;  // storage index, -1 for none
    double frequency;
    double gain;
};

// The geometry of either form: the window form uses the scale stored at its
// last paint, the embedded form the scale the host's surface reported.
GraphGeometry controlGeometry(const PluginInstance& instance, int32_t width, int32_t height,
                              bool embedded);

// First point in storage order within the hit radius of (x, y); at the
// left and right edges of the graph area only the frequency is compared.
GraphHit hitTestPoint(const PluginInstance& instance, int32_t width, int32_t height, int32_t x,
                      int32_t y, bool embedded);

enum class ButtonDownResult { Continue, RemovedPoint };

// Left-button down after the caller has taken the window's capture (the
// embedded form's capture is taken here). On Continue the caller goes on
// with graphMouseMove for the same message; on RemovedPoint nothing more.
ButtonDownResult graphLeftButtonDown(PluginInstance& instance, GraphEditState& state,
                                     const GraphMouse& mouse);

// y as the drag and the read-out use it: held inside the graph area while
// the control holds the capture, as given otherwise.
int32_t heldY(const GraphMouse& mouse, const GraphGeometry& geometry);

// The drag step of a mouse move (and of the button down that starts it):
// moves points, or draws into the table in "Precise". Without the capture
// nothing happens.
void graphMouseMove(PluginInstance& instance, GraphEditState& state, const GraphMouse& mouse,
                    bool buttonDown);

// Ends a drag; with the capture held, tells the host that the state changed.
// The caller releases the window's capture.
void graphLeftButtonUp(PluginInstance& instance, GraphEditState& state, const GraphMouse& mouse);

// A double click on a point sets it to 0 dB.
void graphDoubleClick(PluginInstance& instance, const GraphMouse& mouse);

}  // namespace vexlan
