// The native build's side of graph_platform.h; the Windows build has its own
// in graph_platform_win32.cpp.
#include "graph/graph_platform.h"

#if !defined(_WIN32)

namespace vexlan {

ModifierKeys currentModifierKeys() { return {}; }

ScreenPoint clickScreenPosition(WindowHandle, int32_t x, int32_t y) { return {x, y}; }

int32_t trackGraphMenu(WindowHandle, int, const GraphMenuMarks*, ScreenPoint) { return 0; }

bool runSetPointDialog(PluginInstance&, WindowHandle) { return false; }

}  // namespace vexlan

#endif
