// The graph control's message handling shared by its two forms: the
// editor's "FFTdisp" window and the host's embedded surface, which has no
// window and arrives through the dispatcher.
#pragma once

#include <cstdint>

#include "graph/graph_edit.h"
#include "shell/host_api.h"

namespace vexlan {

struct PluginInstance;

// Mouse messages; the embedded view's codes use the same numbers.
constexpr uint32_t kGraphMouseMove = 0x0200;
constexpr uint32_t kGraphLeftDown = 0x0201;
constexpr uint32_t kGraphLeftUp = 0x0202;
constexpr uint32_t kGraphLeftDoubleClick = 0x0203;
constexpr uint32_t kGraphRightDown = 0x0204;
constexpr uint32_t kGraphRightUp = 0x0205;

// The host's surface record: int32 width at byte 24, height at byte 28.
constexpr int kSurfaceWidthOffset = 24;
constexpr int kSurfaceHeightOffset = 28;

// (x, y) from a message's position word: two signed 16-bit halves.
int32_t positionX(intptr_t position);
int32_t positionY(intptr_t position);

// The embedded form: `message` at `position` on the host's surface. Returns 0.
intptr_t embeddedGraphMessage(PluginInstance& instance, uint32_t message, intptr_t position,
                              const void* surface);

// The right-button menus of either form, after the read-out was cleared:
// the point menu on a point (not in "Precise"), the graph menu elsewhere.
void openGraphMenus(PluginInstance& instance, WindowHandle window, const GraphMouse& mouse);

}  // namespace vexlan
