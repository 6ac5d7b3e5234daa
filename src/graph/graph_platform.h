// What the graph control asks of the platform: the modifier keys, the
// pop-up menus and the modal "Set point..." dialog. The native build has no
// windows: no key is down, every menu is dismissed and the dialog cancelled.
#pragma once

#include <cstdint>

#include "graph/graph_edit.h"
#include "graph/graph_menu.h"
#include "shell/host_api.h"

namespace vexlan {

struct PluginInstance;

struct ScreenPoint {
    int32_t x;
    int32_t y;
};

ModifierKeys currentModifierKeys();

// Where a menu opened by a click at client (x, y) is anchored: the click in
// screen coordinates, or the cursor in the embedded form (window null).
ScreenPoint clickScreenPosition(WindowHandle window, int32_t x, int32_t y);

// Shows pop-up `menu` (kPointMenu or kGraphMenu) of resource 104 with its
// top-left at `at`, owned by the control's window (the focus window in the
// embedded form). Returns the chosen command, 0 when dismissed.
int32_t trackGraphMenu(WindowHandle window, int menu, const GraphMenuMarks* marks, ScreenPoint at);

// Runs dialog 103 on setPointDialog's values; true when it ended with OK.
bool runSetPointDialog(PluginInstance& instance, WindowHandle window);

}  // namespace vexlan
