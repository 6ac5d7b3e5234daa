#include "graph/graph_edit.h"

#include <algorithm>

#include "graph/graph_model.h"
#include "graph/precise_draw.h"
#include "shell/plugin_instance.h"
#include "shell/process_state.h"

namespace vexlan {

GraphEditState graphEditState;

namespace {

bool pointsMode(const PluginInstance& instance) { return instance.editMode != kEditPrecise; }

double limitFrequency(double frequency) { return std::clamp(frequency, 0.0, kGraphTopFrequency); }

// The point nearest below `frequency` (strictly below; the earlier one on a
// tie), or -1: the left end of the segment under the mouse.
int32_t nearestPointBelow(const PluginInstance& instance, double frequency) {
    int32_t nearest = -1;
    for (int32_t i = 0; i < activePointCount(instance); ++i) {
        const double f = instance.points[i].frequency;
        if (f < frequency && (nearest < 0 || f > instance.points[nearest].frequency)) nearest = i;
    }
    return nearest;
}

// The point other than `selected` with the lowest frequency strictly above
// the selected one's (above 0 Hz without a selection), or -1.
int32_t rightNeighbour(const PluginInstance& instance, int32_t selected) {
    const double above = selected >= 0 ? instance.points[selected].frequency : 0.0;
    int32_t neighbour = -1;
    for (int32_t i = 0; i < activePointCount(instance); ++i) {
        const double f = instance.points[i].frequency;
        if (i == selected || f <= above) continue;
        if (neighbour < 0 || f < instance.points[neighbour].frequency) neighbour = i;
    }
    return neighbour;
}

// Shifts every point by the same amounts. The frequency shift shrinks so
// that the first point to reach 0 Hz or 24000 Hz stops all of them.
void moveAllPoints(PluginInstance& instance, double deltaFrequency, double deltaGain,
                   bool moveFrequencies) {
    const int32_t count = activePointCount(instance);
    for (int32_t i = 0; i < count; ++i) {
        const double f = instance.points[i].frequency;
        if (f + deltaFrequency < 0.0) {
            deltaFrequency = -f;
        } else if (f + deltaFrequency > kGraphTopFrequency) {
            deltaFrequency = kGraphTopFrequency - f;
        }
    }
    for (int32_t i = 0; i < count; ++i) {
        GraphPoint& point = instance.points[i];
        if (moveFrequencies) point.frequency += deltaFrequency;
        point.gain += deltaGain;
        point.frequency = limitFrequency(point.frequency);
    }
}

void dragPoints(PluginInstance& instance, GraphEditState& state, const GraphMouse& mouse,
                double frequency, double gain) {
    const int32_t count = activePointCount(instance);
    if (count == 0) return;
    // A selection the graph no longer has (the point went while the mouse
    // was held) moves nothing of its own.
    if (state.selected >= count) state.selected = -1;
    const int32_t reference = state.selected > 0 ? state.selected : 0;
    const double deltaFrequency = frequency - instance.points[reference].frequency;
    const double deltaGain = gain - instance.points[reference].gain;
    if (state.dragKind == kMoveAll) {
        const double travel = gain - state.anchorGain;
        state.anchorGain = gain;
        moveAllPoints(instance, deltaFrequency, travel, false);
    } else if (mouse.keys.ctrl) {
        moveAllPoints(instance, deltaFrequency, deltaGain, true);
    } else if (state.dragKind == kMovePoint) {
        if (state.selected >= 0) {
            instance.points[state.selected].frequency = limitFrequency(frequency);
            instance.points[state.selected].gain = gain;
        }
    } else {
        const double travel = gain - state.anchorGain;
        if (state.selected >= 0) instance.points[state.selected].gain += travel;
        state.anchorGain = gain;
        const int32_t neighbour = rightNeighbour(instance, state.selected);
        if (neighbour >= 0) instance.points[neighbour].gain += travel;
    }
    evaluateGraph(instance);
    instance.tableChanged = 1;
}

}  // namespace

GraphGeometry controlGeometry(const PluginInstance& instance, int32_t width, int32_t height,
                              bool embedded) {
    const int32_t scale = embedded ? instance.embeddedScale : instance.displayScale;
    return graphGeometry(width, height, scale, instance.graphMinDb, instance.graphMaxDb);
}

GraphHit hitTestPoint(const PluginInstance& instance, int32_t width, int32_t height, int32_t x,
                      int32_t y, bool embedded) {
    const GraphGeometry geometry = controlGeometry(instance, width, height, embedded);
    // At the edges a point sits half outside the area: grab it by frequency alone.
    bool edge = false;
    if (x <= 1) {
        x = std::max(x, 0);
        edge = true;
    } else if (x >= geometry.graphWidth - 2) {
        x = std::min(x, geometry.graphWidth - 1);
        edge = true;
    }
    const int32_t r = geometry.hitRadius;
    const double lowFrequency = frequencyAtX(geometry, x - r);
    const double highFrequency = frequencyAtX(geometry, x + r);
    const double lowGain = gainAtY(geometry, y + r);
    const double highGain = gainAtY(geometry, y - r);
    GraphHit hit{-1, frequencyAtX(geometry, x), gainAtY(geometry, y)};
    for (int32_t i = 0; i < activePointCount(instance); ++i) {
        const GraphPoint& point = instance.points[i];
        if (point.frequency < lowFrequency || point.frequency > highFrequency) continue;
        if (!edge && (point.gain < lowGain || point.gain > highGain)) continue;
        hit.index = i;
        break;
    }
    return hit;
}

ButtonDownResult graphLeftButtonDown(PluginInstance& instance, GraphEditState& state,
                                     const GraphMouse& mouse) {
    state.anchorX = mouse.x;
    if (mouse.keys.shift) {
        state.dragKind = kMoveSegment;
    } else {
        state.dragKind = !pointsMode(instance) && mouse.keys.ctrl ? kScaleAll : kMovePoint;
    }
    if (mouse.embedded) state.embeddedCapture = 1;
    if (!pointsMode(instance)) return ButtonDownResult::Continue;

    const GraphHit hit = hitTestPoint(instance, mouse.width, mouse.height, mouse.x, mouse.y, mouse.embedded);
    if (hit.index >= 0 && mouse.keys.alt) {
        removePoint(instance, hit.index);
        return ButtonDownResult::RemovedPoint;
    }
    if (hit.index >= 0) {
        state.dragging = 1;
        state.selected = hit.index;
        state.anchorGain = hit.gain;
    } else if ((state.dragKind == kMovePoint && !mouse.keys.ctrl) || activePointCount(instance) == 0) {
        if (activePointCount(instance) < kMaxGraphPoints) {
            const int32_t index = activePointCount(instance);
            instance.points[index] = {hit.frequency, hit.gain};
            instance.pointCount = index + 1;
            state.dragging = 1;
            state.selected = index;
        }
    } else {
        if (state.dragKind == kMovePoint) state.dragKind = kMoveAll;
        state.selected = nearestPointBelow(instance, hit.frequency);
        state.anchorGain = hit.gain;
        state.dragging = 1;
    }
    return ButtonDownResult::Continue;
}

int32_t heldY(const GraphMouse& mouse, const GraphGeometry& geometry) {
    return mouse.captured ? std::clamp(mouse.y, 0, geometry.graphHeight - 1) : mouse.y;
}

void graphMouseMove(PluginInstance& instance, GraphEditState& state, const GraphMouse& mouse,
                    bool buttonDown) {
    if (!mouse.captured) return;
    const GraphGeometry geometry = controlGeometry(instance, mouse.width, mouse.height, mouse.embedded);
    const double gain = gainAtY(geometry, heldY(mouse, geometry));
    if (!pointsMode(instance)) {
        drawPrecise(instance, state, geometry, mouse.x, gain, buttonDown);
    } else if (state.dragging) {
        dragPoints(instance, state, mouse, frequencyAtX(geometry, mouse.x), gain);
    }
}

void graphLeftButtonUp(PluginInstance& instance, GraphEditState& state, const GraphMouse& mouse) {
    if (mouse.captured) callHost(&instance.effect, audioMasterAutomate, -1, 0, nullptr, 0.0f);
    state.dragging = 0;
    if (mouse.embedded) state.embeddedCapture = 0;
}

void graphDoubleClick(PluginInstance& instance, const GraphMouse& mouse) {
    if (!pointsMode(instance)) return;
    const GraphHit hit = hitTestPoint(instance, mouse.width, mouse.height, mouse.x, mouse.y, mouse.embedded);
    if (hit.index < 0) return;
    instance.points[hit.index].gain = 0.0;
    evaluateGraph(instance);
    instance.tableChanged = 1;
}

}  // namespace vexlan
