#include "graph/graph_control.h"

#include <cstring>

#include "graph/graph_menu.h"
#include "graph/graph_model.h"
#include "graph/graph_platform.h"
#include "graph/graph_readout.h"
#include "graph/set_point.h"
#include "shell/plugin_instance.h"

namespace vexlan {

namespace {

int32_t surfaceField(const void* surface, int offset) {
    int32_t value = 0;
    std::memcpy(&value, static_cast<const char*>(surface) + offset, sizeof value);
    return value;
}

}  // namespace

int32_t positionX(intptr_t position) { return int16_t(uint16_t(position & 0xFFFF)); }

int32_t positionY(intptr_t position) { return int16_t(uint16_t((position >> 16) & 0xFFFF)); }

intptr_t embeddedGraphMessage(PluginInstance& instance, uint32_t message, intptr_t position,
                              const void* surface) {
    GraphEditState& state = graphEditState;
    GraphMouse mouse;
    mouse.x = positionX(position);
    mouse.y = positionY(position);
    mouse.width = surfaceField(surface, kSurfaceWidthOffset);
    mouse.height = surfaceField(surface, kSurfaceHeightOffset);
    mouse.embedded = true;
    mouse.keys = currentModifierKeys();
    mouse.captured = state.embeddedCapture != 0;
    switch (message) {
        case kGraphLeftDown:
            if (graphLeftButtonDown(instance, state, mouse) == ButtonDownResult::RemovedPoint) return 0;
            mouse.captured = true;
            graphMouseMove(instance, state, mouse, true);
            updateReadout(instance, mouse);
            return 0;
        case kGraphMouseMove:
            graphMouseMove(instance, state, mouse, false);
            updateReadout(instance, mouse);
            return 0;
        case kGraphLeftUp:
            graphLeftButtonUp(instance, state, mouse);
            return 0;
        case kGraphLeftDoubleClick:
            graphDoubleClick(instance, mouse);
            return 0;
        case kGraphRightDown:
            clearReadout(instance, true);
            openGraphMenus(instance, nullptr, mouse);
            return 0;
        default:
            return 0;
    }
}

void openGraphMenus(PluginInstance& instance, WindowHandle window, const GraphMouse& mouse) {
    GraphHit hit = hitTestPoint(instance, mouse.width, mouse.height, mouse.x, mouse.y, mouse.embedded);
    if (instance.editMode == kEditPrecise) hit.index = -1;
    const ScreenPoint at = clickScreenPosition(window, mouse.x, mouse.y);
    if (hit.index >= 0) {
        const int32_t command = trackGraphMenu(window, kPointMenu, nullptr, at);
        if (command != kCmdSetPoint) {
            applyPointMenuCommand(instance, hit.index, command);
            return;
        }
        const GraphPoint& point = instance.points[hit.index];
        setPointDialog = {point.frequency, point.gain, at.x, at.y};
        if (runSetPointDialog(instance, window)) applySetPoint(instance, hit.index, setPointDialog);
        return;
    }
    const GraphMenuMarks marks = prepareGraphMenu(instance);
    applyGraphMenuCommand(instance, trackGraphMenu(window, kGraphMenu, &marks, at), hit.frequency, hit.gain);
}

}  // namespace vexlan
